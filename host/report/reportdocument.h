#pragma once

#include "host_global.h"
#include "reportmodel.h"
#include "reportstyle.h"

#include <QImage>
#include <QList>
#include <QPageLayout>
#include <QPointF>
#include <QRectF>
#include <QString>

class QPagedPaintDevice;
class QPainter;

// The paged report on A4, measured at 300 dpi: a page header (title, filters), the chart on the
// first page, the column headings on every page, then a run of the model's lines, and a footer
// (page numbers). Lines have fixed heights per kind and texts are elided, never wrapped, so paging
// is one pass over the lines and a page paints only its own lines, whatever the report's length.
class HOST_EXPORT ReportDocument
{
public:
    static constexpr int Dpi = ReportStyle::Dpi;

    // The lines one page prints; for a cross-tab report, its columns (all rows on every page).
    struct PageRange
    {
        int first = 0;      // index of the first line in model().lines (cross-tab: first column)
        int count = 0;      // lines on the page (cross-tab: columns)
        int continued = -1; // the GroupHeader line repeated as "(continuação)" on top, or -1
    };

    explicit ReportDocument(ReportModel model);
    ~ReportDocument();
    ReportDocument(const ReportDocument &) = delete;
    ReportDocument &operator=(const ReportDocument &) = delete;

    const ReportModel &model() const { return mModel; }
    int pageCount() const { return int(mPages.size()); }
    // The size the column headings print in.
    qreal headingPoints() const { return mHeadingPixels * 72.0 / Dpi; }
    int lineCount() const { return int(mModel.lines.size()); }
    // The lines of page `page` (from 0); an empty range for a page out of range.
    PageRange pageRange(int page) const;
    // A4 in the report's orientation, no margins: the page header and footer sit inside the paper.
    QPageLayout pageLayout() const;

    // Paints page `page` (from 0) on a painter whose origin is the paper's top-left corner: any page,
    // in any order, also from a worker thread on a QPdfWriter or QImage (it reads only what the
    // constructor laid out and uses no widget or pixmap). Text stays text on a PDF or a printer.
    void paintPage(QPainter *painter, int page) const;
    // Every page, with newPage() in between. Answers false when the device cannot be painted.
    bool paint(QPagedPaintDevice *device) const;
    // The chart as an image (drawn on each call), null when the report has no chart or no rows.
    QImage chartImage() const;

private:
    // One "Label: value" of the page header's filters, placed once for every page.
    struct FilterSpot
    {
        QString label;
        QString value;
        QPointF at; // top-left, relative to the filter block
    };

    void layOutHeader();
    void layOutColumns();
    void paginate();
    qreal lineHeight(const ReportLine &line) const;
    QRectF paperRect() const;
    QRectF bodyRect() const;
    qreal chartBlockHeight() const;
    qreal noteHeight() const;
    void drawNote(QPainter *painter, qreal top) const;
    void drawBestWorst(QPainter *painter, qreal top) const;
    void layOutMatrix();
    void paintMatrix(QPainter *painter, const PageRange &range, qreal top) const;

    ReportModel mModel;
    QList<PageRange> mPages;
    QList<FilterSpot> mFilters;
    QList<qreal> mColumnX;  // left edge of each column and the table's right edge, relative to the body
    int mLabelColumns = 0;  // leading text columns a subtotal's or total's label spans
    qreal mHeaderHeight = 0;
    qreal mRowHeight = 0, mGroupHeight = 0, mTotalHeight = 0, mHeadingHeight = 0;
    int mHeadingPixels = 0; // column heading font size: the body's (a heading wider than its column wraps)
    bool mChart = false;
    qreal mMatrixLabelWidth = 0, mMatrixTotalWidth = 0, mMatrixCellWidth = 0, mMatrixRowHeight = 0;
    int mMatrixPixels = 0; // text size of the hour columns: the largest at which each of their values fits
};
