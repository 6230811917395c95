#pragma once

#include "host_global.h"
#include "params.h"
#include "reportlayout.h"

#include <QColor>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

struct ReportModel;
struct ReportTable;

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

    // The cross-tab of `table` into `model` (its layout's "matrix"): rows by their index in the
    // row names, columns by the column field's values in order, cells summed per pair. The lines
    // carry the same matrix for CSV and the totals. `require` answers a field's column or throws.
    static void fill(ReportModel &model, const ReportTable &table, const TParams &params,
                     const std::function<int(const QString &, const QString &)> &require,
                     const std::function<void(int rows)> &step);
};
