#pragma once

#include "host_global.h"
#include "params.h"
#include "reportrunner.h"

#include <QDateTime>
#include <QImage>
#include <QJsonObject>
#include <QList>
#include <QPageLayout>
#include <QString>
#include <QVariant>
#include <functional>
#include <memory>

class QPagedPaintDevice;
class QPainter;
class QTextDocument;
struct ReportDefinition;

// One printed column of a report (the "columns" entries of a definition; docs/reports.md).
struct HOST_EXPORT ReportColumn
{
    enum class Type { Text, Date, Hour, Minutes, Interval, Integer, Number, Money, Percent };
    enum class Total { None, Sum, Ratio };

    QString field;
    QString label;
    Type type = Type::Text;
    Total total = Total::None;
    QString ratioOf, ratioOver; // Ratio: sum(ratioOf) / sum(ratioOver) * ratioScale
    double ratioScale = 1.0;
    QString endField;           // Interval: the field holding the last minute of the interval
    double width = 0;           // relative width; 0 = by type

    bool numeric() const;
    int decimals() const;
};

// How a definition's rows are printed: columns, grouping with subtotals, the chart, the paper.
struct HOST_EXPORT ReportLayout
{
    QList<ReportColumn> columns; // empty: every query column, as text
    QString groupField;          // rows come ordered by it; each change starts a group
    QString groupTitle;          // "{CDFILIAL} - {NMFILIAL}": fields in braces
    QString groupLabel;          // the group's column heading in CSV/XLSX
    ReportColumn groupFormat;    // how the group field reads in the title ("type", "end")
    QString chartLabel, chartValue, chartTitle;
    bool landscape = false;
    QString emptyText;

    // Throws EHostError naming the entry that is wrong.
    static ReportLayout fromJson(const QJsonObject &layout);
    bool grouped() const { return !groupField.isEmpty(); }
    bool hasChart() const { return !chartLabel.isEmpty() && !chartValue.isEmpty(); }
};

// pt-BR texts of values: decimal comma, thousands dot, dd/MM/yyyy.
namespace ReportFormat {
HOST_EXPORT QString number(double value, int decimals, bool thousands = true);
HOST_EXPORT QDate toDate(const QVariant &value);
HOST_EXPORT QString minutes(int minutesOfDay); // 510 -> "08:30"
// The text of a cell; `end` is the interval end for Interval columns.
HOST_EXPORT QString cell(const ReportColumn &column, const QVariant &value, const QVariant &end = {},
                         bool thousands = true);
} // namespace ReportFormat

// A printable line of the report.
struct HOST_EXPORT ReportLine
{
    enum class Kind { GroupHeader, Detail, Subtotal, Total };
    Kind kind = Kind::Detail;
    QString caption;      // group title (GroupHeader, Subtotal)
    QString group;        // the group of a Detail line
    QVariantList values;  // one per layout column; totals already computed
    QVariantList ends;    // interval ends, Detail lines only
    QString groupValue;   // the group field's value of a Detail line ("08:00", "0001"), for CSV/XLSX
};

// The laid-out content: what every output (page, CSV, XLSX, HTML) prints.
struct HOST_EXPORT ReportModel
{
    QString code;  // catalogue code ("Vnd025")
    QString title;
    QList<QPair<QString, QString>> filters; // readable label, value
    QDateTime issued;
    ReportLayout layout;
    QList<ReportLine> lines;
    int detailCount = 0;
    QList<QPair<QString, double>> chart; // label text, summed value, in order of appearance

    // Throws EHostError when the layout names a field the query does not answer. `step` is called
    // every few thousand rows with the rows read so far; it may throw EAbort to stop.
    static ReportModel build(const QString &code, const ReportDefinition &definition, const TParams &params,
                             const ReportTable &table, const std::function<void(int rows)> &step = {});
    const ReportLine *totalLine() const;
};

// The filters the parameters express, with pt-BR labels, in a fixed order.
HOST_EXPORT QList<QPair<QString, QString>> reportFilters(const TParams &params);

// The bar chart of a model's chart series, `width` x `height` pixels.
HOST_EXPORT QImage renderReportChart(const ReportModel &model, int width, int height);

// The paged report: a QTextDocument laid out once on A4 at 300 dpi, painted page by page with its
// page header (title, filters) and footer (page numbers) onto a preview, a printer or a PDF.
class HOST_EXPORT ReportDocument
{
public:
    static constexpr int Dpi = 300;

    explicit ReportDocument(ReportModel model);
    ~ReportDocument();
    ReportDocument(const ReportDocument &) = delete;
    ReportDocument &operator=(const ReportDocument &) = delete;

    const ReportModel &model() const { return mModel; }
    QTextDocument *textDocument() const { return mDoc.get(); }
    int pageCount() const;
    // A4 in the report's orientation, no margins: the page header and footer sit inside the paper.
    QPageLayout pageLayout() const;

    // Paints page `page` (from 0) on a painter whose origin is the paper's top-left corner.
    void paintPage(QPainter *painter, int page) const;
    // Every page, with newPage() in between. Answers false when the device cannot be painted.
    bool paint(QPagedPaintDevice *device) const;
    QImage chartImage() const { return mChart; }

private:
    void layOut();
    void fillBody();
    QRectF paperRect() const;
    QRectF bodyRect() const;

    ReportModel mModel;
    std::unique_ptr<QTextDocument> mDoc;
    std::unique_ptr<QTextDocument> mFilters; // the page header's filter text
    std::unique_ptr<QImage> mLayoutDevice;
    QImage mChart;
    qreal mHeaderHeight = 0;
};
