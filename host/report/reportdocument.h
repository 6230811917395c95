#pragma once

#include "host_global.h"
#include "params.h"
#include "reportfill.h"
#include "reportrunner.h"

#include <QColor>
#include <QDateTime>
#include <QImage>
#include <QJsonObject>
#include <QList>
#include <QPageLayout>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <memory>
#include <optional>

class QPagedPaintDevice;
class QPainter;
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
    // Percent: each line's share of the report's total of this column ("share": "VRTOTAL"), worked
    // out from the values as printed so that the shares add up to 100 %.
    QString shareOf;
    // Sum: the field holding each line's unit of measure ("unit": "SGUNIDADE"); a total over lines of
    // more than one unit is left empty, and the report gets one total line per unit.
    QString unitField;

    bool numeric() const;
    int decimals() const;
};

// A cross-tab ("matrix" in a definition): one row per value of `rowField` named by `rowNames`
// (the value is the index), one column per value of `columnField` that has rows, each cell the
// `valueField` of that pair (and its `countField`), with row and column totals (docs/reports.md).
struct HOST_EXPORT ReportMatrixLayout
{
    QString rowField;
    QString rowLabel;          // heading of the row names' column
    QStringList rowNames;      // every row, in order, also those without values
    QString columnField;       // minute of the day
    ReportColumn columnFormat; // how a column reads in its heading ("minutes", "interval" with "end")
    QString valueField;
    ReportColumn valueFormat; // money by default
    QString countField;       // optional: printed under the value
    QString countLabel;       // "vendas"

    bool active() const { return !rowField.isEmpty(); }
};

// How a definition's rows are printed: columns, grouping with subtotals, the chart, the paper.
struct HOST_EXPORT ReportLayout
{
    QList<ReportColumn> columns; // empty: every query column, as text
    QString groupField;          // rows come ordered by it; each change starts a group
    QString groupTitle;          // "{CDFILIAL} - {NMFILIAL}": fields in braces
    QString groupLabel;          // the group's column heading in CSV/XLSX
    // Fields that name the group ("names": [{"field", "label"}]), in CSV/XLSX columns beside its code.
    QList<QPair<QString, QString>> groupNames; // field, heading
    ReportColumn groupFormat;    // how the group field reads in the title ("type", "end")
    QString chartLabel, chartValue, chartTitle;
    // Bars side by side per label ("series": [{"value", "name"}]); empty for the single-series chart,
    // whose value is chartValue. With series, chartValue is the first one's.
    QList<QPair<QString, QString>> chartSeries; // value field, name in the legend
    // Periods derived from the chosen one for the page header ("periods"): each the chosen period
    // moved back by its own length ("shift": "previous") or by a number of days ("days": -364).
    struct Period
    {
        QString label;
        bool previous = false;
        int days = 0;
    };
    QList<Period> periods;
    bool landscape = false;
    QString emptyText;
    ReportMatrixLayout matrix; // a cross-tab instead of lines of rows
    QString bestWorst;       // value field whose highest and lowest interval are marked
    int fixedInterval = 0;   // minutes per line the header states (the report declares no interval)
    ReportFill fill;         // intervals or days listed with zeros when nothing sold ("fill")

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
    enum class Mark
    {
        None,
        Best,
        Worst
    };
    Mark mark = Mark::None; // the interval with the highest or lowest sales ("bestWorst")
    QStringList groupNames; // a Detail line's values of the layout's groupNames
    QString unit;           // a per-unit Total line's unit of measure ("KG"; empty: lines without one)
};

// The cells of a cross-tab report. Cells without rows hold no value and take no colour; the colour
// scale runs from the smallest to the largest cell that has one.
struct HOST_EXPORT ReportMatrix
{
    QStringList rowNames;
    QStringList columnNames;     // headings ("08:00")
    QStringList columnIntervals; // the same as intervals ("08:00 às 08:59"), for the best and worst line
    QList<QList<std::optional<double>>> values; // [row][column]
    QList<QList<qint64>> counts;
    QList<double> rowTotals, columnTotals;
    QList<qint64> rowCounts, columnCounts;
    double total = 0;
    qint64 count = 0;
    double minimum = 0, maximum = 0;
    int best = -1, worst = -1; // columns whose totals are the highest and the lowest
    // Decimals of the values in the hour columns (cells and the hours' totals): the value's own,
    // or none when many hours of wide values would not fit a landscape page or a 1280 px window;
    // the day's totals keep theirs. Counts carry their label only with few hours.
    int cellDecimals = 2;
    bool countLabels = true;
    ReportColumn valueFormat;

    int rows() const { return int(rowNames.size()); }
    int columns() const { return int(columnNames.size()); }
    bool empty() const { return columnNames.isEmpty(); }
    QString cellText(double value) const;  // a value of an hour column
    QString totalText(double value) const; // a day's total, the grand total
    QString countText(qint64 count, const QString &label) const; // "12 vendas", or "12" without label
    // What the cells hold when their texts are short ("Valores em R$ inteiros; …"), or nothing.
    QString cellNote(const ReportMatrixLayout &shape) const;
    // Where `value` sits on the scale, 0 (smallest cell) to 1 (largest).
    double position(double value) const;
    // The cell colour of `value` on the scale (the same two ends as the XLSX colour scale).
    QColor shade(double value) const;
    static QColor lowColour();
    static QColor highColour();
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
    // Label text and value summed over every line with that label (across groups), in the order of
    // the label's values when they are times, dates or numbers, otherwise in order of appearance.
    QList<QPair<QString, double>> chart;
    // With the layout's series: each one's name and values, in the order of `chart`'s labels.
    struct ChartSeries
    {
        QString name;
        QList<double> values;
    };
    QList<ChartSeries> chartSeries;
    QString chartTitle; // the definition's, saying so when the bars sum several groups
    ReportMatrix matrix; // a cross-tab report's cells (layout.matrix)
    // "Melhor horário: 12:00 às 12:59 (R$ 1.234,56) · Pior horário: …"; empty without "bestWorst" or
    // when no interval sold more than another.
    QString bestWorstText;

    // Throws EHostError when the layout names a field the query does not answer. The intervals or
    // days of the layout's "fill" that the query lacks become lines of zeros (ReportFill).
    // `productMask`: the host's mask for product codes, for the filter texts. `step` is called every
    // few thousand rows with the rows read so far; it may throw EAbort to stop.
    static ReportModel build(const QString &code, const ReportDefinition &definition, const TParams &params,
                             const ReportTable &table, const QString &productMask = {},
                             const std::function<void(int rows)> &step = {});
    const ReportLine *totalLine() const;
};

// The filters the parameters express, with pt-BR labels, in a fixed order; product codes shown
// through `productMask` (the host's code mask) as the screen's edits show them.
HOST_EXPORT QList<QPair<QString, QString>> reportFilters(const TParams &params, const QString &productMask = {});
// The period a comparison sets beside the chosen one ("shift": "previous"): the month(s) before
// when it is whole calendar months, else the days of equal length just before (for whole Monday to
// Sunday weeks, the week(s) before); `rule` says which ("mês anterior", "semana anterior", …).
struct PreviousPeriod
{
    QDate first, last;
    QString rule;
};
HOST_EXPORT PreviousPeriod previousPeriod(const QDate &first, const QDate &last);
// The periods a layout derives from P_DTVENDAINI/P_DTVENDAFIN, as "dd/MM/yyyy a dd/MM/yyyy" after
// their labels (the previous one after its rule: "mês anterior, 01/10/2026 a 31/10/2026"); nothing
// when the parameters hold no dates.
HOST_EXPORT QList<QPair<QString, QString>> derivedPeriods(const ReportLayout &layout, const TParams &params);

// The bar chart of a model's chart series drawn into `rect` of any painter: vector text and bars on
// a PDF or a printer, pixels on an image. Every measure scales with the rectangle's height.
HOST_EXPORT void drawReportChart(QPainter *painter, const QRectF &rect, const ReportModel &model);
// The same chart as an image of `width` x `height` pixels (HTML export).
HOST_EXPORT QImage renderReportChart(const ReportModel &model, int width, int height);

// The paged report on A4, measured at 300 dpi: a page header (title, filters), the chart on the
// first page, the column headings on every page, then a run of the model's lines, and a footer
// (page numbers). Lines have fixed heights per kind and texts are elided, never wrapped, so paging
// is one pass over the lines and a page paints only its own lines, whatever the report's length.
class HOST_EXPORT ReportDocument
{
public:
    static constexpr int Dpi = 300;

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
    void layOutMatrix();
    void paintMatrix(QPainter *painter, const PageRange &range, qreal top) const;

    ReportModel mModel;
    QList<PageRange> mPages;
    QList<FilterSpot> mFilters;
    QList<qreal> mColumnX;  // left edge of each column and the table's right edge, relative to the body
    int mLabelColumns = 0;  // leading text columns a subtotal's or total's label spans
    qreal mHeaderHeight = 0;
    qreal mRowHeight = 0, mGroupHeight = 0, mTotalHeight = 0, mHeadingHeight = 0;
    int mHeadingPixels = 0; // column heading font size: the largest at which every heading fits
    bool mChart = false;
    qreal mMatrixLabelWidth = 0, mMatrixTotalWidth = 0, mMatrixCellWidth = 0, mMatrixRowHeight = 0;
    int mMatrixPixels = 0; // text size of the hour columns: the largest at which each of their values fits
};
