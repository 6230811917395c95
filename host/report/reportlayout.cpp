#include "reportlayout.h"

#include "errors.h"
#include "ptbrlocale.h"

#include <QHash>
#include <QJsonArray>
#include <cmath>

using namespace Qt::StringLiterals;

namespace {

const QHash<QString, ReportColumn::Type> &typeNames()
{
    static const QHash<QString, ReportColumn::Type> names{
        {u"text"_s, ReportColumn::Type::Text},         {u"date"_s, ReportColumn::Type::Date},
        {u"hour"_s, ReportColumn::Type::Hour},         {u"minutes"_s, ReportColumn::Type::Minutes},
        {u"interval"_s, ReportColumn::Type::Interval}, {u"integer"_s, ReportColumn::Type::Integer},
        {u"number"_s, ReportColumn::Type::Number},     {u"money"_s, ReportColumn::Type::Money},
        {u"percent"_s, ReportColumn::Type::Percent}};
    return names;
}

} // namespace

double ReportColumn::defaultWidth(Type type)
{
    switch (type) {
    case ReportColumn::Type::Text:
        return 3;
    case ReportColumn::Type::Interval:
        return 1.8;
    case ReportColumn::Type::Date:
    case ReportColumn::Type::Money:
        return 1.4;
    case ReportColumn::Type::Number:
        return 1.2;
    default:
        return 1;
    }
}

namespace {

// A column's relative width, as the definition gives it. The widths share the page in proportion,
// so one absurd width leaves the others no room: they vanish from the page. Within these bounds a
// column is at most 20 times as wide as another, and a money column beside the widest still shows
// its values.
double columnWidth(const QJsonValue &value, const ReportColumn &column)
{
    constexpr double kNarrowest = 0.5, kWidest = 10;
    // 0, as no width at all, is the type's
    if (value.isUndefined() || value.isNull() || (value.isDouble() && value.toDouble() == 0))
        return ReportColumn::defaultWidth(column.type);
    const double width = value.toDouble(-1);
    if (value.isDouble() && std::isfinite(width) && width >= kNarrowest && width <= kWidest)
        return width;
    const QString given = value.isDouble() ? ptBRLocale().toString(width, 'g', 6) : u"um valor que não é número"_s;
    throw EHostError(u"A largura da coluna '%1' do layout deve ser um número de 0,5 a 10 (relativo às outras "
                     u"colunas), não %2."_s.arg(column.field, given));
}

} // namespace

bool ReportColumn::numeric() const
{
    switch (type) {
    case Type::Integer:
    case Type::Number:
    case Type::Money:
    case Type::Percent:
        return true;
    default:
        return false;
    }
}

int ReportColumn::decimals() const
{
    switch (type) {
    case Type::Number:
        return 3;
    case Type::Money:
    case Type::Percent:
        return 2;
    default:
        return 0;
    }
}

ReportLayout ReportLayout::fromJson(const QJsonObject &layout)
{
    ReportLayout result;
    const QJsonValue columns = layout.value(u"columns");
    if (!columns.isUndefined() && !columns.isArray())
        throw EHostError(u"\"columns\" deve ser uma lista de colunas."_s);
    const QJsonArray columnArray = columns.toArray();
    for (qsizetype i = 0; i < columnArray.size(); ++i) {
        const QJsonObject c = columnArray.at(i).toObject();
        ReportColumn column;
        column.field = c.value(u"field").toString();
        if (column.field.isEmpty())
            throw EHostError(u"A coluna %1 do layout não tem \"field\"."_s.arg(i + 1));
        column.label = c.value(u"label").toString(column.field);
        const QString type = c.value(u"type").toString(u"text"_s);
        const auto typeIt = typeNames().constFind(type);
        if (typeIt == typeNames().constEnd())
            throw EHostError(u"Tipo '%1' desconhecido na coluna '%2' do layout."_s.arg(type, column.field));
        column.type = typeIt.value();
        const QJsonValue total = c.value(u"total");
        if (total.isBool() ? total.toBool() : total.toString() == u"sum") {
            column.total = ReportColumn::Total::Sum;
        } else if (total.isObject()) {
            const QJsonArray ratio = total.toObject().value(u"ratio").toArray();
            if (ratio.size() != 2)
                throw EHostError(u"O total da coluna '%1' deve ser {\"ratio\": [campo, campo]}."_s.arg(column.field));
            column.total = ReportColumn::Total::Ratio;
            column.ratioOf = ratio.at(0).toString();
            column.ratioOver = ratio.at(1).toString();
            column.ratioScale = total.toObject().value(u"scale").toDouble(1.0);
        } else if (!total.isUndefined() && !total.isNull() && !(total.isBool() && !total.toBool())) {
            throw EHostError(u"Total '%1' desconhecido na coluna '%2'."_s.arg(total.toVariant().toString(), column.field));
        }
        if (column.total != ReportColumn::Total::None && !column.numeric())
            throw EHostError(u"A coluna '%1' tem total mas não é numérica."_s.arg(column.field));
        column.endField = c.value(u"end").toString();
        if (column.type == ReportColumn::Type::Interval && column.endField.isEmpty())
            throw EHostError(u"A coluna de intervalo '%1' precisa de \"end\"."_s.arg(column.field));
        column.width = columnWidth(c.value(u"width"), column);
        column.shareOf = c.value(u"share").toString();
        if (!column.shareOf.isEmpty() && column.type != ReportColumn::Type::Percent)
            throw EHostError(u"A coluna '%1' tem \"share\" mas não é de percentual."_s.arg(column.field));
        column.unitField = c.value(u"unit").toString();
        if (!column.unitField.isEmpty() && column.total != ReportColumn::Total::Sum)
            throw EHostError(u"A coluna '%1' tem \"unit\" mas não é somada."_s.arg(column.field));
        result.columns << column;
    }

    const QJsonValue group = layout.value(u"group");
    if (group.isString()) {
        result.groupField = group.toString();
    } else if (group.isObject()) {
        const QJsonObject g = group.toObject();
        result.groupField = g.value(u"field").toString();
        if (result.groupField.isEmpty())
            throw EHostError(u"O agrupamento do layout não tem \"field\"."_s);
        result.groupTitle = g.value(u"title").toString();
        result.groupLabel = g.value(u"label").toString();
        const QString type = g.value(u"type").toString(u"text"_s);
        const auto typeIt = typeNames().constFind(type);
        if (typeIt == typeNames().constEnd())
            throw EHostError(u"Tipo '%1' desconhecido no agrupamento."_s.arg(type));
        result.groupFormat.type = typeIt.value();
        result.groupFormat.endField = g.value(u"end").toString();
        for (const QJsonValue &entry : g.value(u"names").toArray()) {
            const QString field = entry.toObject().value(u"field").toString();
            if (field.isEmpty())
                throw EHostError(u"Um nome do agrupamento (\"names\") não tem \"field\"."_s);
            result.groupNames.append({field, entry.toObject().value(u"label").toString(field)});
        }
    } else if (!group.isUndefined() && !group.isNull()) {
        throw EHostError(u"\"group\" deve ser um campo ou um objeto."_s);
    }
    if (result.grouped()) {
        if (result.groupTitle.isEmpty())
            result.groupTitle = u"{%1}"_s.arg(result.groupField);
        if (result.groupLabel.isEmpty())
            result.groupLabel = result.groupField;
    }

    const QJsonValue chart = layout.value(u"chart");
    if (chart.isObject()) {
        const QJsonObject c = chart.toObject();
        result.chartLabel = c.value(u"label").toString();
        result.chartValue = c.value(u"value").toString();
        result.chartTitle = c.value(u"title").toString();
        const QJsonValue series = c.value(u"series");
        if (!series.isUndefined() && !series.isArray())
            throw EHostError(u"\"series\" do gráfico deve ser uma lista de {\"value\", \"name\"}."_s);
        for (const QJsonValue &entry : series.toArray()) {
            const QString value = entry.toObject().value(u"value").toString();
            if (value.isEmpty())
                throw EHostError(u"Uma série do gráfico não tem \"value\"."_s);
            result.chartSeries.append({value, entry.toObject().value(u"name").toString(value)});
        }
        if (!result.chartSeries.isEmpty() && result.chartValue.isEmpty())
            result.chartValue = result.chartSeries.first().first;
        if (!result.hasChart())
            throw EHostError(u"O gráfico do layout precisa de \"label\" e \"value\"."_s);
    } else if (!chart.isUndefined() && !chart.isNull()) {
        throw EHostError(u"\"chart\" deve ser um objeto."_s);
    }
    const QJsonValue matrix = layout.value(u"matrix");
    if (matrix.isObject()) {
        const QJsonObject m = matrix.toObject();
        ReportMatrixLayout &shape = result.matrix;
        shape.rowField = m.value(u"row").toString();
        shape.columnField = m.value(u"column").toString();
        shape.valueField = m.value(u"value").toString();
        if (shape.rowField.isEmpty() || shape.columnField.isEmpty() || shape.valueField.isEmpty())
            throw EHostError(u"A matriz do layout precisa de \"row\", \"column\" e \"value\"."_s);
        if (!result.columns.isEmpty() || result.grouped())
            throw EHostError(
                u"Um layout de matriz não leva \"columns\" nem \"group\": as colunas vêm dos dados."_s);
        shape.rowLabel = m.value(u"rowLabel").toString(shape.rowField);
        const QJsonArray names = m.value(u"rowNames").toArray();
        for (const QJsonValue &name : names)
            shape.rowNames << name.toString();
        auto typeOf = [&m](const char16_t *key, const QString &fallback) {
            const QString type = m.value(QStringView(key)).toString(fallback);
            const auto it = typeNames().constFind(type);
            if (it == typeNames().constEnd())
                throw EHostError(u"Tipo '%1' desconhecido na matriz do layout."_s.arg(type));
            return it.value();
        };
        shape.columnFormat.type = typeOf(u"columnType", u"minutes"_s);
        shape.columnFormat.endField = m.value(u"end").toString();
        shape.valueFormat.type = typeOf(u"valueType", u"money"_s);
        if (!shape.valueFormat.numeric())
            throw EHostError(u"O valor da matriz deve ser numérico."_s);
        shape.countField = m.value(u"count").toString();
        shape.countLabel = m.value(u"countLabel").toString();
    } else if (!matrix.isUndefined() && !matrix.isNull()) {
        throw EHostError(u"\"matrix\" deve ser um objeto."_s);
    }
    result.bestWorst = layout.value(u"bestWorst").toString();
    if (result.matrix.active() && !result.bestWorst.isEmpty() &&
        result.bestWorst.compare(result.matrix.valueField, Qt::CaseInsensitive) != 0)
        throw EHostError(u"Numa matriz, \"bestWorst\" é o próprio valor das células (\"%1\")."_s.arg(
            result.matrix.valueField));
    if (const QJsonValue marks = layout.value(u"marks"); marks.isObject()) {
        const QJsonObject m = marks.toObject();
        result.marks = {m.value(u"field").toString(), m.value(u"over").toString(), m.value(u"under").toString()};
        if (result.marks.field.isEmpty() || result.marks.over.isEmpty() || result.marks.under.isEmpty())
            throw EHostError(u"\"marks\" precisa de \"field\", \"over\" e \"under\"."_s);
    } else if (!marks.isUndefined() && !marks.isNull()) {
        throw EHostError(u"\"marks\" deve ser um objeto."_s);
    }
    result.fixedInterval = layout.value(u"fixedInterval").toInt(0);
    result.fill = ReportFill::fromJson(layout.value(u"fill"));
    result.split = ReportSplitLayout::fromJson(layout.value(u"split"));
    const QJsonValue periods = layout.value(u"periods");
    if (!periods.isUndefined() && !periods.isArray())
        throw EHostError(u"\"periods\" deve ser uma lista de períodos."_s);
    for (const QJsonValue &entry : periods.toArray()) {
        const QJsonObject p = entry.toObject();
        ReportLayout::Period period;
        period.label = p.value(u"label").toString();
        period.previous = p.value(u"shift").toString() == u"previous";
        period.days = p.value(u"days").toInt();
        if (period.label.isEmpty() || (!period.previous && period.days == 0))
            throw EHostError(u"Cada período de \"periods\" precisa de \"label\" e de \"shift\": \"previous\" ou \"days\"."_s);
        result.periods.append(period);
    }
    result.landscape = layout.value(u"orientation").toString() == u"landscape";
    result.emptyText = layout.value(u"empty").toString(u"Nenhuma venda encontrada para os filtros informados."_s);
    return result;
}
