#include "reportmodel.h"

#include "errors.h"
#include "reportbestworst.h"
#include "reportdefinition.h"
#include "reportformat.h"
#include "reportsplit.h"

#include <QRegularExpression>
#include <algorithm>
#include <cmath>
#include <numeric>
#include <optional>

using namespace Qt::StringLiterals;

namespace {

// "{CDFILIAL} - {NMFILIAL}" with the row's values, each read as the group or the column of that
// field reads (an interval as "08:00 às 08:59"), other fields as plain text.
QString expandTitle(const ReportLayout &layout, const ReportTable &table, int row)
{
    static const QRegularExpression field(u"\\{([A-Za-z0-9_]+)\\}"_s);
    auto formatted = [&](const QString &name) {
        const QVariant value = table.value(row, table.columnIndex(name));
        const ReportColumn *format = nullptr;
        if (name.compare(layout.groupField, Qt::CaseInsensitive) == 0) {
            format = &layout.groupFormat;
        } else {
            for (const ReportColumn &column : layout.columns) {
                if (column.field.compare(name, Qt::CaseInsensitive) == 0)
                    format = &column;
            }
        }
        if (!format)
            return ReportFormat::text(value);
        const QVariant end = format->endField.isEmpty() ? QVariant() : table.value(row, table.columnIndex(format->endField));
        return ReportFormat::cell(*format, value, end);
    };
    const QString &pattern = layout.groupTitle;
    QString result;
    qsizetype pos = 0;
    auto it = field.globalMatch(pattern);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        result += QStringView(pattern).mid(pos, m.capturedStart() - pos);
        result += formatted(m.captured(1));
        pos = m.capturedEnd();
    }
    result += QStringView(pattern).mid(pos);
    return result;
}

QStringList titleFields(const QString &pattern)
{
    static const QRegularExpression field(u"\\{([A-Za-z0-9_]+)\\}"_s);
    QStringList fields;
    auto it = field.globalMatch(pattern);
    while (it.hasNext())
        fields << it.next().captured(1);
    return fields;
}


// What orders a chart's bars: the minute of the day, the day, the number.
double chartOrder(const ReportColumn &column, const QVariant &value)
{
    switch (column.type) {
    case ReportColumn::Type::Date: {
        const QDate date = ReportFormat::toDate(value);
        return date.isValid() ? double(date.toJulianDay()) : 0.0;
    }
    case ReportColumn::Type::Hour:
        return ReportFormat::text(value).toDouble();
    default:
        return value.toDouble();
    }
}

// "caixa" -> "caixas", "horário" -> "horários": enough for the group labels the reports use.
QString plural(const QString &noun)
{
    if (noun.isEmpty())
        return u"grupos"_s;
    const QChar last = noun.back();
    if (u"aeiouáéíóú"_s.contains(last))
        return noun + u's';
    if (last == u'r' || last == u'z' || last == u's')
        return noun + u"es"_s;
    if (last == u'l')
        return noun.chopped(1) + u"is"_s;
    return noun;
}

struct Accumulator
{
    QList<double> sums;
    QList<double> ratioOf;
    QList<double> ratioOver;
    QList<std::optional<QString>> units; // a unit column's first unit
    QList<bool> mixed;                   // lines of more than one unit were summed

    explicit Accumulator(qsizetype columns)
        : sums(columns, 0.0), ratioOf(columns, 0.0), ratioOver(columns, 0.0), units(columns), mixed(columns, false)
    {
    }
    void reset()
    {
        sums.fill(0.0);
        ratioOf.fill(0.0);
        ratioOver.fill(0.0);
        units.fill(std::nullopt);
        mixed.fill(false);
    }
};

// Each value's share of their sum in percent, rounded to `decimals` so that the shares add up to
// exactly 100 (largest remainders get the units that rounding down leaves over); nothing when the
// values sum to zero.
QList<std::optional<double>> roundedShares(const QList<double> &values, int decimals)
{
    QList<std::optional<double>> shares(values.size());
    const double total = std::accumulate(values.cbegin(), values.cend(), 0.0);
    if (total == 0)
        return shares;
    const double scale = std::pow(10.0, decimals);
    QList<double> floors(values.size()), rests(values.size());
    double given = 0;
    for (qsizetype i = 0; i < values.size(); ++i) {
        const double exact = values.at(i) / total * 100.0 * scale;
        floors[i] = std::floor(exact + 1e-9);
        rests[i] = exact - floors[i];
        given += floors[i];
    }
    QList<qsizetype> order(values.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&rests](qsizetype a, qsizetype b) { return rests[a] > rests[b]; });
    const qsizetype left = qsizetype(std::llround(100.0 * scale - given));
    for (qsizetype k = 0; k < left && k < order.size(); ++k)
        floors[order.at(k)] += 1;
    for (qsizetype i = 0; i < values.size(); ++i)
        shares[i] = floors.at(i) / scale;
    return shares;
}

} // namespace

ReportModel ReportModel::build(const QString &code, const ReportDefinition &definition, const TParams &params,
                               const ReportTable &queried, const Filters &filters,
                               const std::function<void(int rows)> &step)
{
    ReportModel model;
    model.code = code;
    model.title = definition.title;
    model.filters = filters;
    model.issued = QDateTime::currentDateTime();
    model.layout = ReportLayout::fromJson(definition.layout);
    ReportLayout &layout = model.layout;
    // The intervals or days that sold nothing, as lines of zeros (a copy only when one is missing).
    const std::optional<ReportTable> filled =
        layout.matrix.active() ? std::nullopt : layout.fill.filled(layout, params, queried);
    const ReportTable &listed = filled ? *filled : queried;
    // The effects of each line's change are columns like the query's (the zeros of "fill" included).
    const std::optional<ReportTable> split =
        layout.split.active() ? std::optional(ReportSplit::apply(layout.split, listed)) : std::nullopt;
    const ReportTable &table = split ? *split : listed;
    if (layout.columns.isEmpty() && !layout.matrix.active()) {
        for (const QString &name : table.columns) {
            ReportColumn column;
            column.field = column.label = name;
            column.width = ReportColumn::defaultWidth(column.type);
            layout.columns << column;
        }
    }

    auto require = [&table, &definition](const QString &field, const QString &where) {
        const int index = table.columnIndex(field);
        if (index < 0)
            throw EHostError(u"O relatório '%1' usa o campo '%2' (%3), que a consulta não retorna."_s.arg(
                definition.title, field, where));
        return index;
    };
    if (layout.matrix.active()) {
        ReportMatrix::fill(model, table, params, require, step);
        return model;
    }
    const qsizetype count = layout.columns.size();
    QList<int> valueAt(count), endAt(count, -1), ofAt(count, -1), overAt(count, -1), unitAt(count, -1);
    // Per share column: its value on each row, and the part it is of (the base column as printed)
    // on each row and over the report; a total of a share is its lines' part of the report's.
    QHash<qsizetype, QList<std::optional<double>>> shares;
    QHash<qsizetype, QList<double>> shareParts;
    QHash<qsizetype, double> shareWhole;
    int linesUnitAt = -1; // the unit of the per-unit total lines: the first unit column's
    for (qsizetype c = 0; c < count; ++c) {
        const ReportColumn &column = layout.columns.at(c);
        valueAt[c] = require(column.field, u"coluna"_s);
        if (!column.endField.isEmpty())
            endAt[c] = require(column.endField, u"fim do intervalo"_s);
        if (column.total == ReportColumn::Total::Ratio) {
            ofAt[c] = require(column.ratioOf, u"total"_s);
            overAt[c] = require(column.ratioOver, u"total"_s);
        }
        if (!column.unitField.isEmpty()) {
            unitAt[c] = require(column.unitField, u"unidade"_s);
            if (linesUnitAt < 0)
                linesUnitAt = unitAt[c];
        }
    }
    for (qsizetype c = 0; c < count; ++c) {
        const ReportColumn &column = layout.columns.at(c);
        if (column.shareOf.isEmpty())
            continue;
        const auto base = std::find_if(layout.columns.cbegin(), layout.columns.cend(), [&column](const ReportColumn &b) {
            return b.numeric() && b.field.compare(column.shareOf, Qt::CaseInsensitive) == 0;
        });
        if (base == layout.columns.cend())
            throw EHostError(u"A coluna '%1' é a parte de '%2', que não é uma coluna numérica do relatório."_s.arg(
                column.field, column.shareOf));
        // the values as the report prints them, so that the shares are those of the printed figures
        const double scale = std::pow(10.0, base->decimals());
        QList<double> values;
        values.reserve(table.rows.size());
        for (int row = 0; row < table.rows.size(); ++row)
            values << std::round(table.value(row, valueAt[base - layout.columns.cbegin()]).toDouble() * scale) / scale;
        shares.insert(c, roundedShares(values, column.decimals()));
        shareWhole.insert(c, std::accumulate(values.cbegin(), values.cend(), 0.0));
        shareParts.insert(c, std::move(values));
    }
    auto cellValue = [&](int row, qsizetype c) -> QVariant {
        const auto share = shares.constFind(c);
        if (share == shares.constEnd())
            return table.value(row, valueAt[c]);
        const std::optional<double> &value = share->at(row);
        return value ? QVariant(*value) : QVariant();
    };
    int groupAt = -1;
    if (layout.grouped()) {
        groupAt = require(layout.groupField, u"agrupamento"_s);
        for (const QString &field : titleFields(layout.groupTitle))
            require(field, u"título do grupo"_s);
        if (!layout.groupFormat.endField.isEmpty())
            require(layout.groupFormat.endField, u"agrupamento"_s);
    }
    QList<int> namesAt;
    for (const auto &name : std::as_const(layout.groupNames))
        namesAt << require(name.first, u"nome do agrupamento"_s);
    int chartLabelAt = -1, chartValueAt = -1;
    QList<int> seriesAt;
    const ReportColumn *chartColumn = nullptr;
    if (layout.hasChart()) {
        chartLabelAt = require(layout.chartLabel, u"gráfico"_s);
        chartValueAt = require(layout.chartValue, u"gráfico"_s);
        for (const auto &series : std::as_const(layout.chartSeries)) {
            seriesAt.append(require(series.first, u"série do gráfico"_s));
            model.chartSeries.append({series.second, {}});
        }
        // The group field is no printed column (the hour of "Horário 08:00 às 08:59"): it reads as
        // the group does, not as raw minutes.
        if (layout.grouped() && layout.groupField.compare(layout.chartLabel, Qt::CaseInsensitive) == 0)
            chartColumn = &layout.groupFormat;
        for (const ReportColumn &column : std::as_const(layout.columns)) {
            if (column.field.compare(layout.chartLabel, Qt::CaseInsensitive) == 0)
                chartColumn = &column;
        }
    }
    QList<double> chartKeys; // per bar: what orders it (minutes, day, number)
    const int lineMarkAt = layout.marks.field.isEmpty() ? -1 : require(layout.marks.field, u"marcas"_s);

    // Best and worst: the interval is the chart's label (or the first interval column); each detail
    // line's value is kept with its group, and the intervals are summed over the whole report.
    int markAt = -1, intervalAt = -1, intervalEndAt = -1;
    const ReportColumn *intervalFormat = nullptr;
    const ReportColumn *markFormat = nullptr;
    bool intervalIsGroup = false;
    if (!layout.bestWorst.isEmpty()) {
        markAt = require(layout.bestWorst, u"melhor e pior horário"_s);
        QString field = layout.chartLabel;
        for (const ReportColumn &column : std::as_const(layout.columns)) {
            if (field.isEmpty() && column.type == ReportColumn::Type::Interval)
                field = column.field;
        }
        if (field.isEmpty())
            throw EHostError(
                u"O relatório '%1' marca o melhor e o pior horário, mas não tem horário (gráfico ou coluna de intervalo)."_s
                    .arg(definition.title));
        intervalAt = require(field, u"melhor e pior horário"_s);
        intervalIsGroup = layout.grouped() && layout.groupField.compare(field, Qt::CaseInsensitive) == 0;
        if (intervalIsGroup)
            intervalFormat = &layout.groupFormat;
        for (const ReportColumn &column : std::as_const(layout.columns)) {
            if (!intervalIsGroup && column.field.compare(field, Qt::CaseInsensitive) == 0)
                intervalFormat = &column;
            if (column.field.compare(layout.bestWorst, Qt::CaseInsensitive) == 0)
                markFormat = &column;
        }
        if (intervalFormat && !intervalFormat->endField.isEmpty())
            intervalEndAt = require(intervalFormat->endField, u"fim do intervalo"_s);
    }
    struct MarkedRow
    {
        qsizetype line;
        int group;
        double value;
    };
    QList<MarkedRow> markedRows;
    QList<qsizetype> subtotalLines; // per group
    QHash<QString, qsizetype> intervalIndex;
    QStringList intervalNames;
    QList<double> intervalSums, intervalKeys;

    Accumulator group(count), grand(count);
    std::map<QString, Accumulator> perUnit; // the grand total of each unit's lines
    auto add = [&](Accumulator &acc, int row) {
        for (qsizetype c = 0; c < count; ++c) {
            const ReportColumn &column = layout.columns.at(c);
            // a line without a unit of its own (an hour that sold nothing) mixes no units
            if (unitAt[c] >= 0 && !table.value(row, unitAt[c]).isNull()) {
                const QString unit = ReportFormat::text(table.value(row, unitAt[c]));
                if (!acc.units[c])
                    acc.units[c] = unit;
                else if (*acc.units[c] != unit)
                    acc.mixed[c] = true;
            }
            if (column.total == ReportColumn::Total::Sum) {
                const auto part = shareParts.constFind(c);
                acc.sums[c] += part != shareParts.cend() ? part->at(row) : table.value(row, valueAt[c]).toDouble();
            } else if (column.total == ReportColumn::Total::Ratio) {
                acc.ratioOf[c] += table.value(row, ofAt[c]).toDouble();
                acc.ratioOver[c] += table.value(row, overAt[c]).toDouble();
            }
        }
    };
    auto totals = [&](const Accumulator &acc) {
        QVariantList values(count);
        for (qsizetype c = 0; c < count; ++c) {
            const ReportColumn &column = layout.columns.at(c);
            if (column.total == ReportColumn::Total::Sum && shares.contains(c)) {
                if (shareWhole.value(c) != 0)
                    values[c] = acc.sums[c] / shareWhole.value(c) * 100.0;
            } else if (column.total == ReportColumn::Total::Sum && !acc.mixed[c]) {
                values[c] = acc.sums[c];
            } else if (column.total == ReportColumn::Total::Ratio && acc.ratioOver[c] != 0) {
                values[c] = acc.ratioOf[c] / acc.ratioOver[c] * column.ratioScale;
            }
        }
        return values;
    };

    QHash<QString, qsizetype> chartIndex;
    QString currentGroup;
    QString currentTitle;
    QString currentValue;
    QStringList currentNames;
    bool inGroup = false;
    int groups = 0;
    auto closeGroup = [&] {
        model.lines.append({ReportLine::Kind::Subtotal, u"Subtotal "_s + currentTitle, {}, totals(group), {}, {},
                            ReportLine::Mark::None, {}, {}});
        subtotalLines.append(model.lines.size() - 1);
    };
    for (int row = 0; row < table.rows.size(); ++row) {
        if (step && row % 4096 == 0 && row > 0)
            step(row);
        if (groupAt >= 0) {
            const QString key = ReportFormat::text(table.value(row, groupAt));
            if (!inGroup || key != currentGroup) {
                if (inGroup)
                    closeGroup();
                group.reset();
                currentGroup = key;
                currentTitle = expandTitle(layout, table, row);
                // The value alone, as the group's type reads it without the interval's end.
                currentValue = ReportFormat::cell(layout.groupFormat, table.value(row, groupAt), {}, false);
                currentNames.clear();
                for (const int at : std::as_const(namesAt))
                    currentNames << ReportFormat::text(table.value(row, at));
                inGroup = true;
                ++groups;
                model.lines.append(
                    {ReportLine::Kind::GroupHeader, currentTitle, {}, {}, {}, {}, ReportLine::Mark::None, {}, {}});
            }
        }
        ReportLine line;
        line.kind = ReportLine::Kind::Detail;
        line.group = currentTitle;
        line.groupValue = currentValue;
        line.groupNames = currentNames;
        line.values.reserve(count);
        line.ends.reserve(count);
        for (qsizetype c = 0; c < count; ++c) {
            line.values << cellValue(row, c);
            line.ends << (endAt[c] >= 0 ? table.value(row, endAt[c]) : QVariant());
        }
        if (lineMarkAt >= 0) {
            const QString flag = ReportFormat::text(table.value(row, lineMarkAt));
            line.mark = flag == layout.marks.over    ? ReportLine::Mark::Over
                        : flag == layout.marks.under ? ReportLine::Mark::Under
                                                     : ReportLine::Mark::None;
        }
        model.lines.append(std::move(line));
        ++model.detailCount;
        if (markAt >= 0) {
            const double value = table.value(row, markAt).toDouble();
            markedRows.append({model.lines.size() - 1, std::max(0, groups - 1), value});
            const QVariant key = table.value(row, intervalAt);
            const QString text =
                intervalFormat
                    ? ReportFormat::cell(*intervalFormat, key,
                                         intervalEndAt >= 0 ? table.value(row, intervalEndAt) : QVariant())
                    : ReportFormat::text(key);
            const auto it = intervalIndex.constFind(text);
            if (it == intervalIndex.constEnd()) {
                intervalIndex.insert(text, intervalNames.size());
                intervalNames << text;
                intervalSums << value;
                intervalKeys << (intervalFormat ? chartOrder(*intervalFormat, key) : 0.0);
            } else {
                intervalSums[it.value()] += value;
            }
        }
        add(group, row);
        add(grand, row);
        if (linesUnitAt >= 0 && !table.value(row, linesUnitAt).isNull())
            add(perUnit.try_emplace(ReportFormat::text(table.value(row, linesUnitAt)), count).first->second, row);

        if (chartLabelAt >= 0) {
            const QVariant label = table.value(row, chartLabelAt);
            const QString text = chartColumn ? ReportFormat::cell(*chartColumn, label) : ReportFormat::text(label);
            const auto it = chartIndex.constFind(text);
            const double value = table.value(row, chartValueAt).toDouble();
            qsizetype bar = 0;
            if (it == chartIndex.constEnd()) {
                bar = model.chart.size();
                chartIndex.insert(text, bar);
                model.chart.append({text, value});
                chartKeys.append(chartColumn ? chartOrder(*chartColumn, label) : 0.0);
                for (ReportModel::ChartSeries &series : model.chartSeries)
                    series.values.append(0.0);
            } else {
                bar = it.value();
                model.chart[bar].second += value;
            }
            for (qsizetype s = 0; s < seriesAt.size(); ++s)
                model.chartSeries[s].values[bar] += table.value(row, seriesAt.at(s)).toDouble();
        }
    }
    if (inGroup)
        closeGroup();
    if (markAt >= 0) {
        // The line names the intervals over the whole report (the chart's bars), by the clock.
        QList<qsizetype> order(intervalNames.size());
        std::iota(order.begin(), order.end(), 0);
        std::stable_sort(order.begin(), order.end(), [&intervalKeys](qsizetype a, qsizetype b) {
            return intervalKeys[a] < intervalKeys[b];
        });
        QList<double> sums;
        for (const qsizetype i : std::as_const(order))
            sums << intervalSums.at(i);
        if (const auto e = ReportBestWorst::extremes(sums))
            model.bestWorstText = ReportBestWorst::bestWorstLine(
                intervalNames.at(order.at(e->first)), ReportBestWorst::markedValue(markFormat, sums.at(e->first)),
                intervalNames.at(order.at(e->second)), ReportBestWorst::markedValue(markFormat, sums.at(e->second)));
        auto mark = [&model](qsizetype line, ReportLine::Mark how) { model.lines[line].mark = how; };
        if (intervalIsGroup) {
            // Each group is an interval: its subtotal is the interval's sales.
            QList<double> groupSums(subtotalLines.size(), 0.0);
            for (const MarkedRow &row : std::as_const(markedRows))
                groupSums[row.group] += row.value;
            if (const auto e = ReportBestWorst::extremes(groupSums)) {
                mark(subtotalLines.at(e->first), ReportLine::Mark::Best);
                mark(subtotalLines.at(e->second), ReportLine::Mark::Worst);
            }
        } else {
            // Each group's own intervals (a store's best hour), the whole report when not grouped.
            for (qsizetype from = 0; from < markedRows.size();) {
                qsizetype to = from;
                QList<double> values;
                while (to < markedRows.size() && markedRows.at(to).group == markedRows.at(from).group)
                    values << markedRows.at(to++).value;
                if (const auto e = ReportBestWorst::extremes(values)) {
                    mark(markedRows.at(from + e->first).line, ReportLine::Mark::Best);
                    mark(markedRows.at(from + e->second).line, ReportLine::Mark::Worst);
                }
                from = to;
            }
        }
    }
    if (chartColumn && chartColumn->type != ReportColumn::Type::Text) {
        // A report grouped by product lists each product's hours: the bars go by the clock.
        QList<qsizetype> order(model.chart.size());
        std::iota(order.begin(), order.end(), 0);
        std::stable_sort(order.begin(), order.end(), [&chartKeys](qsizetype a, qsizetype b) { return chartKeys[a] < chartKeys[b]; });
        QList<QPair<QString, double>> sorted;
        sorted.reserve(order.size());
        for (const qsizetype i : std::as_const(order))
            sorted.append(model.chart.at(i));
        model.chart = std::move(sorted);
        for (ReportModel::ChartSeries &series : model.chartSeries) {
            QList<double> values;
            values.reserve(order.size());
            for (const qsizetype i : std::as_const(order))
                values.append(series.values.at(i));
            series.values = std::move(values);
        }
    }
    model.notes = ReportSplit::moversList(layout, table);
    if (layout.hasChart()) {
        model.chartTitle = layout.chartTitle.isEmpty() ? u"Vendas por intervalo"_s : layout.chartTitle;
        if (groups > 1 && layout.groupField.compare(layout.chartLabel, Qt::CaseInsensitive) != 0)
            model.chartTitle += u" — soma de %1 %2"_s.arg(groups).arg(plural(layout.groupLabel.toLower()));
    }
    const bool anyTotal = std::any_of(layout.columns.cbegin(), layout.columns.cend(),
                                      [](const ReportColumn &c) { return c.total != ReportColumn::Total::None; });
    if (anyTotal && model.detailCount > 0) {
        // Quantities of different units are not added up: a line per unit before the grand total.
        if (perUnit.size() > 1) {
            for (const auto &[unit, acc] : perUnit)
                model.lines.append({ReportLine::Kind::Total, u"Total "_s + (unit.isEmpty() ? u"sem unidade"_s : unit), {},
                                    totals(acc), {}, {}, ReportLine::Mark::None, {}, unit});
        }
        model.lines.append(
            {ReportLine::Kind::Total, u"Total geral"_s, {}, totals(grand), {}, {}, ReportLine::Mark::None, {}, {}});
    }
    return model;
}

const ReportLine *ReportModel::totalLine() const
{
    return !lines.isEmpty() && lines.last().kind == ReportLine::Kind::Total ? &lines.last() : nullptr;
}
