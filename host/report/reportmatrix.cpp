#include "reportmatrix.h"

#include "errors.h"
#include "reportbestworst.h"
#include "reportformat.h"
#include "reportmodel.h"
#include "reportstyle.h"

#include <algorithm>
#include <cmath>
#include <map>

using namespace Qt::StringLiterals;

void ReportMatrix::fill(ReportModel &model, const ReportTable &table, const TParams &params,
                 const std::function<int(const QString &, const QString &)> &require,
                 const std::function<void(int rows)> &step)
{
    ReportLayout &layout = model.layout;
    const ReportMatrixLayout &shape = layout.matrix;
    const int rowAt = require(shape.rowField, u"linha da matriz"_s);
    const int columnAt = require(shape.columnField, u"coluna da matriz"_s);
    const int valueAt = require(shape.valueField, u"valor da matriz"_s);
    const int endAt = shape.columnFormat.endField.isEmpty()
                          ? -1
                          : require(shape.columnFormat.endField, u"fim do intervalo"_s);
    const int countAt = shape.countField.isEmpty() ? -1 : require(shape.countField, u"contagem da matriz"_s);

    ReportMatrix &m = model.matrix;
    m.rowNames = shape.rowNames;
    QHash<QString, int> rowByText; // rows without names: one per value, in order of appearance
    std::map<double, std::pair<QVariant, QVariant>> keys; // column value -> (value, end)
    QList<std::pair<int, double>> cellOf(table.rows.size(), {-1, 0.0});
    for (int row = 0; row < table.rows.size(); ++row) {
        const QVariant key = table.value(row, columnAt);
        if (key.isNull())
            continue;
        int index = -1;
        if (shape.rowNames.isEmpty()) {
            const QString text = ReportFormat::text(table.value(row, rowAt));
            index = int(rowByText.value(text, int(m.rowNames.size())));
            if (index == m.rowNames.size()) {
                rowByText.insert(text, index);
                m.rowNames << text;
            }
        } else {
            bool ok = false;
            index = table.value(row, rowAt).toInt(&ok);
            if (!ok || index < 0 || index >= shape.rowNames.size())
                throw EHostError(
                    u"A consulta devolveu a linha '%1' em \"%2\", que a matriz não nomeia (0 a %3)."_s
                        .arg(ReportFormat::text(table.value(row, rowAt)), shape.rowField)
                        .arg(shape.rowNames.size() - 1));
        }
        keys.emplace(key.toDouble(), std::make_pair(key, endAt >= 0 ? table.value(row, endAt) : QVariant()));
        cellOf[row] = {index, key.toDouble()};
    }
    const ReportFill &fill = layout.fill;
    if (fill.kind == ReportFill::Kind::Hours && !keys.empty()) {
        // Every hour of the window is a column, also one that sold nothing (its cells stay empty).
        const int minutes = fill.step(params);
        QList<int> present;
        for (const auto &entry : keys)
            present.append(int(entry.first));
        for (const int start : fill.intervals(params, minutes, present))
            keys.emplace(double(start), std::make_pair(QVariant(start), endAt >= 0 ? QVariant(std::min(start + minutes - 1, 1439))
                                                                                   : QVariant()));
    }
    QHash<double, int> columnOf;
    for (const auto &[key, value] : keys) {
        columnOf.insert(key, int(m.columnNames.size()));
        m.columnNames << ReportFormat::cell(shape.columnFormat, value.first);
        ReportColumn asInterval = shape.columnFormat;
        if (asInterval.type == ReportColumn::Type::Minutes && !value.second.isNull())
            asInterval.type = ReportColumn::Type::Interval;
        m.columnIntervals << ReportFormat::cell(asInterval, value.first, value.second);
    }
    const int rows = m.rows(), columns = m.columns();
    m.values = QList<QList<std::optional<double>>>(rows, QList<std::optional<double>>(columns));
    m.counts = QList<QList<qint64>>(rows, QList<qint64>(columns, 0));
    m.rowTotals = QList<double>(rows, 0.0);
    m.rowCounts = QList<qint64>(rows, 0);
    m.columnTotals = QList<double>(columns, 0.0);
    m.columnCounts = QList<qint64>(columns, 0);
    for (int row = 0; row < table.rows.size(); ++row) {
        if (step && row % 4096 == 0 && row > 0)
            step(row);
        const auto [r, key] = cellOf.at(row);
        if (r < 0)
            continue;
        const int c = columnOf.value(key);
        const double value = table.value(row, valueAt).toDouble();
        const qint64 count = countAt >= 0 ? qint64(std::llround(table.value(row, countAt).toDouble())) : 0;
        m.values[r][c] = m.values[r][c].value_or(0.0) + value;
        m.counts[r][c] += count;
        m.rowTotals[r] += value;
        m.rowCounts[r] += count;
        m.columnTotals[c] += value;
        m.columnCounts[c] += count;
        m.total += value;
        m.count += count;
    }
    // Many hours of wide values: the hour columns drop the cents (the day's totals keep them), so
    // that the day fits a landscape page and a 1280 px window (about 160 characters across).
    m.valueFormat = shape.valueFormat;
    m.cellDecimals = shape.valueFormat.decimals();
    m.countLabels = columns <= 12;
    qsizetype widest = 0;
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            if (m.values[r][c])
                widest = std::max(widest, m.cellText(*m.values[r][c]).size());
        }
    }
    for (const double value : std::as_const(m.columnTotals))
        widest = std::max(widest, m.cellText(value).size());
    if (columns * widest > 160)
        m.cellDecimals = 0;
    bool first = true;
    for (const auto &cells : std::as_const(m.values)) {
        for (const auto &cell : cells) {
            if (!cell)
                continue;
            m.minimum = first ? *cell : std::min(m.minimum, *cell);
            m.maximum = first ? *cell : std::max(m.maximum, *cell);
            first = false;
        }
    }
    if (!layout.bestWorst.isEmpty()) {
        if (const auto marked = ReportBestWorst::extremes(m.columnTotals)) {
            m.best = int(marked->first);
            m.worst = int(marked->second);
            model.bestWorstText = ReportBestWorst::bestWorstLine(
                m.columnIntervals.at(m.best), ReportBestWorst::markedValue(&shape.valueFormat, m.columnTotals.at(m.best)),
                m.columnIntervals.at(m.worst), ReportBestWorst::markedValue(&shape.valueFormat, m.columnTotals.at(m.worst)));
        }
    }

    // The same cells as lines: CSV prints the plain matrix, the total line its column totals.
    ReportColumn name;
    name.field = shape.rowField;
    name.label = shape.rowLabel;
    name.width = 1.6;
    layout.columns << name;
    for (int c = 0; c < columns; ++c) {
        ReportColumn column = shape.valueFormat;
        column.field = shape.valueField;
        column.label = m.columnNames.at(c);
        column.total = ReportColumn::Total::Sum;
        column.width = 1;
        layout.columns << column;
    }
    ReportColumn total = shape.valueFormat;
    total.field = shape.valueField;
    total.label = u"Total"_s;
    total.total = ReportColumn::Total::Sum;
    total.width = 1.2;
    layout.columns << total;
    if (m.empty())
        return;
    for (int r = 0; r < rows; ++r) {
        ReportLine line;
        line.values << m.rowNames.at(r);
        for (int c = 0; c < columns; ++c)
            line.values << (m.values[r][c] ? QVariant(*m.values[r][c]) : QVariant());
        line.values << (m.rowCounts[r] > 0 || m.rowTotals[r] != 0 ? QVariant(m.rowTotals[r]) : QVariant());
        line.ends = QVariantList(line.values.size());
        model.lines.append(std::move(line));
        ++model.detailCount;
    }
    ReportLine totalLine;
    totalLine.kind = ReportLine::Kind::Total;
    totalLine.caption = u"Total geral"_s;
    totalLine.values << QVariant();
    for (int c = 0; c < columns; ++c)
        totalLine.values << m.columnTotals.at(c);
    totalLine.values << m.total;
    model.lines.append(std::move(totalLine));
}

QString ReportMatrix::cellText(double value) const
{
    if (valueFormat.numeric() && cellDecimals < valueFormat.decimals())
        return ReportFormat::number(std::round(value), cellDecimals);
    return ReportFormat::cell(valueFormat, value);
}

QString ReportMatrix::totalText(double value) const
{
    return ReportFormat::cell(valueFormat, value);
}

QString ReportMatrix::countText(qint64 count, const QString &label) const
{
    const QString number = ReportFormat::number(double(count), 0);
    return label.isEmpty() ? number : number + u' ' + label;
}

QString ReportMatrix::cellNote(const ReportMatrixLayout &shape) const
{
    const bool whole = valueFormat.numeric() && cellDecimals < valueFormat.decimals();
    const bool bareCounts = !countLabels && !shape.countField.isEmpty();
    const QString counts = u"número de "_s + (shape.countLabel.isEmpty() ? shape.countField : shape.countLabel);
    const QString value = valueFormat.type == ReportColumn::Type::Money ? u"o valor em reais inteiros"_s
                                                                         : u"o valor sem casas decimais"_s;
    if (whole && bareCounts)
        return u"Nas horas: %1 e, abaixo, o %2"_s.arg(value, counts);
    if (whole)
        return u"Nas horas: "_s + value;
    if (bareCounts)
        return u"Nas horas: o valor e, abaixo, o %1"_s.arg(counts);
    return {};
}

double ReportMatrix::position(double value) const
{
    return maximum > minimum ? std::clamp((value - minimum) / (maximum - minimum), 0.0, 1.0) : 1.0;
}

QColor ReportMatrix::lowColour()
{
    return ReportStyle::kScaleLow;
}

QColor ReportMatrix::highColour()
{
    return ReportStyle::kScaleHigh;
}

QColor ReportMatrix::shade(double value) const
{
    // Linear between the two ends, as a spreadsheet's two-colour scale draws it.
    const double t = position(value);
    const QColor low = lowColour(), high = highColour();
    return QColor(qRound(low.red() + (high.red() - low.red()) * t),
                  qRound(low.green() + (high.green() - low.green()) * t),
                  qRound(low.blue() + (high.blue() - low.blue()) * t));
}
