#pragma once

#include "host_global.h"
#include "reportfill.h"
#include "reportsplit.h"

#include <QJsonObject>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

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
    // The relative width of a column of `type` whose definition gives none.
    static double defaultWidth(Type type);
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
    // Lines marked over or under by a field of the query ("marks": {"field", "over", "under"}):
    // the field's value on a line equal to `over` or to `under`.
    struct LineMarks
    {
        QString field, over, under;
    };
    LineMarks marks;
    int fixedInterval = 0;   // minutes per line the header states (the report declares no interval)
    ReportFill fill;         // intervals or days listed with zeros when nothing sold ("fill")
    ReportSplitLayout split; // each line's change told apart into traffic and ticket ("split")

    // Throws EHostError naming the entry that is wrong.
    static ReportLayout fromJson(const QJsonObject &layout);
    bool grouped() const { return !groupField.isEmpty(); }
    bool hasChart() const { return !chartLabel.isEmpty() && !chartValue.isEmpty(); }
};
