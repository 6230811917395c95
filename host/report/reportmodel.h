#pragma once

#include "host_global.h"
#include "params.h"
#include "reportlayout.h"
#include "reportmatrix.h"
#include "reporttable.h"

#include <QDateTime>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>

struct ReportDefinition;

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
        Worst,
        Over,
        Under
    };
    // the interval with the highest or lowest sales ("bestWorst"); a line over or under ("marks")
    Mark mark = Mark::None;
    QStringList groupNames; // a Detail line's values of the layout's groupNames
    QString unit;           // a per-unit Total line's unit of measure ("KG"; empty: lines without one)
};

// The laid-out content: what every output (page, CSV, XLSX, HTML) prints.
struct HOST_EXPORT ReportModel
{
    QString code;  // catalogue code ("Vnd025")
    QString title;
    QList<QPair<QString, QString>> filters; // readable label, value (build's `filters`)
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
    // Lines under the chart after it ("split": the stores that moved the hour most, a heading first).
    QStringList notes;

    // What the run's filters read as, "label", "value" in print order, for the page header, the
    // HTML and the XLSX: the screen that filled the parameters says what each of them means.
    using Filters = QList<QPair<QString, QString>>;

    // Throws EHostError when the layout names a field the query does not answer. The intervals or
    // days of the layout's "fill" that the query lacks become lines of zeros (ReportFill). `step`
    // is called every few thousand rows with the rows read so far; it may throw EAbort to stop.
    static ReportModel build(const QString &code, const ReportDefinition &definition, const TParams &params,
                             const ReportTable &table, const Filters &filters = {},
                             const std::function<void(int rows)> &step = {});
    const ReportLine *totalLine() const;
};
