#include "reportdocument.h"

#include "errors.h"
#include "reportdefinition.h"
#include "widgets.h"

#include <QFontMetricsF>
#include <QHash>
#include <QJsonArray>
#include <QLinearGradient>
#include <QLocale>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QRegularExpression>
#include <algorithm>
#include <cmath>
#include <map>
#include <numeric>
#include <optional>

using namespace Qt::StringLiterals;

namespace {

const QLocale &ptBR()
{
    static const QLocale locale(QLocale::Portuguese, QLocale::Brazil);
    return locale;
}

// Layout units are pixels at 300 dpi; sizes in the code are given in points.
constexpr qreal pt(qreal points)
{
    return points * ReportDocument::Dpi / 72.0;
}

constexpr qreal mm(qreal millimetres)
{
    return millimetres * ReportDocument::Dpi / 25.4;
}

QFont reportFont(qreal points, bool bold = false)
{
    QFont font(u"DejaVu Sans"_s);
    font.setStyleHint(QFont::SansSerif);
    // No ligatures: "Buffet" stays f-f in the PDF's text, found by a search for it.
    font.setStyleStrategy(QFont::PreferNoShaping);
    font.setPixelSize(qRound(pt(points)));
    font.setBold(bold);
    return font;
}

// No line of a page shows more characters than this (a landscape line of the smallest type holds
// a few hundred). A longer text is cut first: measured whole, a text of millions of characters
// (a product name, a report's SQL) costs the text shaper its memory, and more than that crashes it.
constexpr qsizetype kPageChars = 4000;

QString pageText(const QString &text)
{
    if (text.size() <= kPageChars)
        return text;
    return text.left(text.at(kPageChars - 1).isHighSurrogate() ? kPageChars - 1 : kPageChars);
}

constexpr qreal kChartPoints = 7; // replaced by sizes that follow the chart's height
const QColor kInk(0x20, 0x20, 0x20);
const QColor kMuted(0x60, 0x60, 0x60);
const QColor kAccent(0x1F, 0x4E, 0x79);
const QColor kHeadingFill(0xDC, 0xE6, 0xF1);
const QColor kGroupFill(0xEE, 0xF2, 0xF7);
const QColor kStripeFill(0xF7, 0xF7, 0xF7);
const QColor kTotalFill(0xC9, 0xD7, 0xE8);
const QColor kBar(0x2E, 0x6D, 0xB4);
const QColor kBestFill(0xD9, 0xEE, 0xD0);
const QColor kWorstFill(0xF9, 0xDA, 0xDA);
const QColor kBestInk(0x2E, 0x6B, 0x1F);
const QColor kWorstInk(0xA3, 0x24, 0x24);

// The first series keeps the single chart's colour; the others stay apart in grey print too.
QColor seriesColour(qsizetype series)
{
    static const QColor colours[] = {kBar, QColor(0xA7, 0xC3, 0xE2), QColor(0xE0, 0x8A, 0x2E), QColor(0x5E, 0x5E, 0x5E)};
    return colours[series % 4];
}

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

double defaultWidth(ReportColumn::Type type)
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

QString textOf(const QVariant &value)
{
    return value.isNull() ? QString() : value.toString().trimmed();
}

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
            return textOf(value);
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

// A selection string of the list picker, readable: "0001,0003" -> "0001, 0003".
QString selectionText(const QString &selection, const QString &none)
{
    const QString trimmed = selection.trimmed();
    if (trimmed.isEmpty())
        return none;
    QStringList items = trimmed.split(QRegularExpression(u"[,;\\s]+"_s), Qt::SkipEmptyParts);
    if (items.size() > 12) {
        const qsizetype count = items.size();
        items = items.mid(0, 12);
        return items.join(u", "_s) + u" e mais %1 (%2 no total)"_s.arg(count - 12).arg(count);
    }
    return items.join(u", "_s);
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
        return textOf(value).toDouble();
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

// A column's relative width, as the definition gives it. The widths share the page in proportion,
// so one absurd width leaves the others no room: they vanish from the page. Within these bounds a
// column is at most 20 times as wide as another, and a money column beside the widest still shows
// its values.
double columnWidth(const QJsonValue &value, const ReportColumn &column)
{
    constexpr double kNarrowest = 0.5, kWidest = 10;
    // 0, as no width at all, is the type's
    if (value.isUndefined() || value.isNull() || (value.isDouble() && value.toDouble() == 0))
        return defaultWidth(column.type);
    const double width = value.toDouble(-1);
    if (value.isDouble() && std::isfinite(width) && width >= kNarrowest && width <= kWidest)
        return width;
    const QString given = value.isDouble() ? ptBR().toString(width, 'g', 6) : u"um valor que não é número"_s;
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
    result.fixedInterval = layout.value(u"fixedInterval").toInt(0);
    result.fill = ReportFill::fromJson(layout.value(u"fill"));
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

namespace ReportFormat {

QString number(double value, int decimals, bool thousands)
{
    // Avoids "-0,00" for tiny negative remainders of sums.
    if (std::abs(value) < 0.5 * std::pow(10.0, -decimals))
        value = 0.0;
    QLocale locale = ptBR();
    if (!thousands)
        locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale.toString(value, 'f', decimals);
}

QDate toDate(const QVariant &value)
{
    if (value.isNull())
        return {};
    if (value.typeId() == QMetaType::QDate)
        return value.toDate();
    if (value.typeId() == QMetaType::QDateTime)
        return value.toDateTime().date();
    const QString text = value.toString().trimmed();
    QDate date = QDate::fromString(text.left(10), u"yyyy-MM-dd"_s);
    if (!date.isValid())
        date = QDate::fromString(text.left(10), u"dd/MM/yyyy"_s);
    return date;
}

QString minutes(int minutesOfDay)
{
    return u"%1:%2"_s.arg(minutesOfDay / 60, 2, 10, QChar(u'0')).arg(minutesOfDay % 60, 2, 10, QChar(u'0'));
}

QString cell(const ReportColumn &column, const QVariant &value, const QVariant &end, bool thousands)
{
    if (value.isNull() || !value.isValid())
        return {};
    switch (column.type) {
    case ReportColumn::Type::Text:
        return textOf(value);
    case ReportColumn::Type::Date: {
        const QDate date = toDate(value);
        return date.isValid() ? date.toString(u"dd/MM/yyyy"_s) : textOf(value);
    }
    case ReportColumn::Type::Hour: {
        const QString text = textOf(value);
        return text.size() == 4 ? text.left(2) + u':' + text.mid(2) : text;
    }
    case ReportColumn::Type::Minutes:
        return minutes(value.toInt());
    case ReportColumn::Type::Interval:
        if (end.isNull() || !end.isValid())
            return minutes(value.toInt());
        return minutes(value.toInt()) + u" às "_s + minutes(end.toInt());
    case ReportColumn::Type::Integer:
        return number(std::round(value.toDouble()), 0, thousands);
    case ReportColumn::Type::Number:
    case ReportColumn::Type::Money:
        return number(value.toDouble(), column.decimals(), thousands);
    case ReportColumn::Type::Percent:
        return number(value.toDouble(), 2, thousands) + u" %"_s;
    }
    return textOf(value);
}

} // namespace ReportFormat

namespace {

// "1 h", "30 minutos", "1 h 30 min": the interval as the page header shows it.
QString intervalText(qint64 minutes)
{
    return minutes < 60 ? u"%1 minutos"_s.arg(minutes)
                        : (minutes % 60 == 0 ? u"%1 h"_s.arg(minutes / 60)
                                             : u"%1 h %2 min"_s.arg(minutes / 60).arg(minutes % 60));
}

QDate paramDate(const TParams &params, const QString &name)
{
    const TParam *p = params.FindParam(name);
    if (!p || p->kind() == TParam::Kind::Unassigned || p->IsNull())
        return {};
    try {
        return p->AsDateTime().date();
    } catch (const EHostError &) {
        return ReportFormat::toDate(p->AsString());
    }
}

} // namespace

PreviousPeriod previousPeriod(const QDate &first, const QDate &last)
{
    // The same rule as the comparison's SQL: whole calendar months go back by as many months,
    // anything else by its own length (whole Monday-to-Sunday weeks thus by as many weeks).
    PreviousPeriod before;
    before.last = first.addDays(-1);
    if (first.day() == 1 && last.addDays(1).day() == 1) {
        const int months = (last.year() * 12 + last.month()) - (first.year() * 12 + first.month()) + 1;
        before.first = first.addMonths(-months);
        before.rule = months == 1 ? u"mês anterior"_s : u"os %1 meses anteriores"_s.arg(months);
        return before;
    }
    const qint64 length = first.daysTo(last) + 1;
    before.first = first.addDays(-length);
    if (first.dayOfWeek() == Qt::Monday && last.dayOfWeek() == Qt::Sunday)
        before.rule = length == 7 ? u"semana anterior"_s : u"as %1 semanas anteriores"_s.arg(length / 7);
    else
        before.rule = length == 1 ? u"dia anterior"_s : u"os %1 dias anteriores"_s.arg(length);
    return before;
}

QList<QPair<QString, QString>> derivedPeriods(const ReportLayout &layout, const TParams &params)
{
    QList<QPair<QString, QString>> shown;
    const QDate first = paramDate(params, u"P_DTVENDAINI"_s);
    const QDate last = paramDate(params, u"P_DTVENDAFIN"_s);
    if (!first.isValid() || !last.isValid())
        return shown;
    auto span = [](const QDate &from, const QDate &to) {
        return from.toString(u"dd/MM/yyyy"_s) + u" a "_s + to.toString(u"dd/MM/yyyy"_s);
    };
    for (const ReportLayout::Period &period : layout.periods) {
        if (period.previous) {
            const PreviousPeriod before = previousPeriod(first, last);
            shown.append({period.label, before.rule + u", "_s + span(before.first, before.last)});
        } else {
            // the same days moved by whole weeks, so that each date falls on the same weekday
            shown.append({period.label, span(first.addDays(period.days), last.addDays(period.days))});
        }
    }
    return shown;
}

QList<QPair<QString, QString>> reportFilters(const TParams &params, const QString &productMask)
{
    QList<QPair<QString, QString>> filters;
    auto text = [&params](const char *name) -> std::optional<QString> {
        const TParam *p = params.FindParam(QLatin1String(name));
        if (!p || p->kind() == TParam::Kind::Unassigned)
            return std::nullopt;
        return p->IsNull() ? QString() : p->AsString().trimmed();
    };
    auto dateText = [&params](const char *name) -> QString {
        const TParam *p = params.FindParam(QLatin1String(name));
        if (!p || p->IsNull())
            return {};
        try {
            return p->AsDateTime().date().toString(u"dd/MM/yyyy"_s);
        } catch (const EHostError &) {
            return p->AsString();
        }
    };
    auto hhmm = [](const QString &s) { return s.size() == 4 ? s.left(2) + u':' + s.mid(2) : s; };

    if (const auto branch = text("P_CDFILIAL")) {
        const QString all = text("P_TCDFILIAL").value_or(QString());
        if (branch->compare(u"T"_s) == 0 || branch->compare(u"TODAS"_s, Qt::CaseInsensitive) == 0 || all == u"T")
            filters.append({u"Filial"_s, u"Todas"_s});
        else
            filters.append({u"Filial"_s, selectionText(*branch, u"Nenhuma selecionada"_s)});
    }
    const std::pair<const char *, const char *> lists[] = {{"P_TCDLOJA", "P_CDLOJA"}, {"P_TCDCAIXA", "P_CDCAIXA"}};
    const QString listLabels[] = {u"Lojas"_s, u"Caixas"_s};
    for (int i = 0; i < 2; ++i) {
        const auto all = text(lists[i].first);
        const auto list = text(lists[i].second);
        if (!all && !list)
            continue;
        filters.append({listLabels[i], all.value_or(QString()) == u"T" ? (i == 0 ? u"Todas"_s : u"Todos"_s)
                                                                      : selectionText(list.value_or(QString()),
                                                                                      u"Nenhum selecionado"_s)});
    }
    const auto from = text("P_HRINI1");
    const auto to = text("P_HRFIN1");
    if (from && to) {
        filters.append({u"Período"_s, *from + u" a "_s + *to});
    } else {
        const QString first = dateText("P_DTVENDAINI");
        const QString last = dateText("P_DTVENDAFIN");
        if (!first.isEmpty() || !last.isEmpty())
            filters.append({u"Período"_s, first + u" a "_s + last});
    }
    if (const auto byHour = text("P_IDIMPHR")) {
        if (*byHour == u"S")
            filters.append({u"Horário"_s, hhmm(text("P_HRINI").value_or(QString())) + u" às "_s +
                                              hhmm(text("P_HRFIN").value_or(QString()))});
        else
            filters.append({u"Horário"_s, u"Dia inteiro"_s});
    }
    const TParam *interval = params.FindParam(u"MINUTOS"_s);
    if (!interval || interval->kind() != TParam::Kind::Integer)
        interval = params.FindParam(u"MINUTOS1"_s);
    if (interval && interval->kind() == TParam::Kind::Integer) {
        // Same rule as the hour reports' SQL: no interval (or one minute) groups by hour.
        filters.append({u"Intervalo"_s, intervalText(interval->AsInteger() > 1 ? interval->AsInteger() : 60)});
    }
    const auto firstProduct = text("P_PRODINI");
    auto lastProduct = text("P_PRODFIN");
    if (firstProduct || lastProduct) {
        QString last = lastProduct.value_or(QString());
        while (last.endsWith(u'Z'))
            last.chop(1); // the screen pads the end of the range with Z
        last = TMaskEdit::maskedText(productMask, last);
        const QString first = TMaskEdit::maskedText(productMask, firstProduct.value_or(QString()));
        QString shown;
        if (first.isEmpty() && last.isEmpty())
            shown = u"Todos"_s;
        else if (first.isEmpty())
            shown = u"até "_s + last;
        else if (last.isEmpty())
            shown = u"a partir de "_s + first;
        else
            shown = first + u" a "_s + last;
        filters.append({u"Produtos"_s, shown});
    }
    if (const auto fees = text("P_IDCONSTXSERV"))
        filters.append({u"Taxas de serviço e entrega"_s, *fees == u"S" ? u"Incluídas"_s : u"Não incluídas"_s});
    return filters;
}

namespace {

// A value of the best and worst line: money with its sign, anything else as its column reads.
QString markedValue(const ReportColumn *format, double value)
{
    if (!format || format->type == ReportColumn::Type::Money)
        return u"R$ "_s + ReportFormat::number(value, 2);
    return ReportFormat::cell(*format, value);
}

QString bestWorstLine(const QString &best, const QString &bestValue, const QString &worst,
                      const QString &worstValue)
{
    return u"Melhor horário: %1 (%2) · Pior horário: %3 (%4)"_s.arg(best, bestValue, worst, worstValue);
}

// The highest and the lowest of `values`; on a tie the first (the earliest interval) wins. Nothing
// when fewer than two values differ: no interval sold more than another.
std::optional<std::pair<qsizetype, qsizetype>> extremes(const QList<double> &values)
{
    if (values.size() < 2)
        return std::nullopt;
    qsizetype best = 0, worst = 0;
    for (qsizetype i = 1; i < values.size(); ++i) {
        if (values.at(i) > values.at(best))
            best = i;
        if (values.at(i) < values.at(worst))
            worst = i;
    }
    if (values.at(best) == values.at(worst))
        return std::nullopt;
    return std::make_pair(best, worst);
}

// The cross-tab: rows by their index in the row names, columns by the column field's values in
// order, cells summed per pair. The lines carry the same matrix for CSV and the totals.
void buildMatrix(ReportModel &model, const ReportTable &table, const TParams &params,
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
            const QString text = textOf(table.value(row, rowAt));
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
                        .arg(textOf(table.value(row, rowAt)), shape.rowField)
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
        for (const int start : ReportFill::intervals(params, minutes, present))
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
        if (const auto marked = extremes(m.columnTotals)) {
            m.best = int(marked->first);
            m.worst = int(marked->second);
            model.bestWorstText = bestWorstLine(
                m.columnIntervals.at(m.best), markedValue(&shape.valueFormat, m.columnTotals.at(m.best)),
                m.columnIntervals.at(m.worst), markedValue(&shape.valueFormat, m.columnTotals.at(m.worst)));
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

} // namespace

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
    return QColor(0xFF, 0xF4, 0xE0);
}

QColor ReportMatrix::highColour()
{
    return QColor(0xF0, 0x7C, 0x38);
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

ReportModel ReportModel::build(const QString &code, const ReportDefinition &definition, const TParams &params,
                               const ReportTable &queried, const QString &productMask,
                               const std::function<void(int rows)> &step)
{
    ReportModel model;
    model.code = code;
    model.title = definition.title;
    model.filters = reportFilters(params, productMask);
    model.issued = QDateTime::currentDateTime();
    model.layout = ReportLayout::fromJson(definition.layout);
    ReportLayout &layout = model.layout;
    {
        // The derived periods go right after the chosen one.
        qsizetype at = 0;
        while (at < model.filters.size() && model.filters.at(at).first != u"Período")
            ++at;
        at = at < model.filters.size() ? at + 1 : model.filters.size();
        const auto periods = derivedPeriods(layout, params);
        for (qsizetype i = 0; i < periods.size(); ++i)
            model.filters.insert(at + i, periods.at(i));
    }
    if (layout.fixedInterval > 0) {
        // The screen's interval does not reach this report: the header says which one it uses.
        const QPair<QString, QString> fixed{u"Intervalo"_s, intervalText(layout.fixedInterval) +
                                                                u" (fixo neste relatório)"_s};
        auto it = std::find_if(model.filters.begin(), model.filters.end(),
                               [](const auto &f) { return f.first == u"Intervalo"; });
        if (it != model.filters.end()) {
            *it = fixed;
        } else {
            auto after = std::find_if(model.filters.begin(), model.filters.end(),
                                      [](const auto &f) { return f.first == u"Horário"; });
            model.filters.insert(after == model.filters.end() ? model.filters.end() : after + 1, fixed);
        }
    }
    // The intervals or days that sold nothing, as lines of zeros (a copy only when one is missing).
    const std::optional<ReportTable> filled =
        layout.matrix.active() ? std::nullopt : layout.fill.filled(layout, params, queried);
    const ReportTable &table = filled ? *filled : queried;
    if (layout.columns.isEmpty() && !layout.matrix.active()) {
        for (const QString &name : table.columns) {
            ReportColumn column;
            column.field = column.label = name;
            column.width = defaultWidth(column.type);
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
        buildMatrix(model, table, params, require, step);
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
                const QString unit = textOf(table.value(row, unitAt[c]));
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
            const QString key = textOf(table.value(row, groupAt));
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
                    currentNames << textOf(table.value(row, at));
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
                    : textOf(key);
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
            add(perUnit.try_emplace(textOf(table.value(row, linesUnitAt)), count).first->second, row);

        if (chartLabelAt >= 0) {
            const QVariant label = table.value(row, chartLabelAt);
            const QString text = chartColumn ? ReportFormat::cell(*chartColumn, label) : textOf(label);
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
        if (const auto e = extremes(sums))
            model.bestWorstText = bestWorstLine(
                intervalNames.at(order.at(e->first)), markedValue(markFormat, sums.at(e->first)),
                intervalNames.at(order.at(e->second)), markedValue(markFormat, sums.at(e->second)));
        auto mark = [&model](qsizetype line, ReportLine::Mark how) { model.lines[line].mark = how; };
        if (intervalIsGroup) {
            // Each group is an interval: its subtotal is the interval's sales.
            QList<double> groupSums(subtotalLines.size(), 0.0);
            for (const MarkedRow &row : std::as_const(markedRows))
                groupSums[row.group] += row.value;
            if (const auto e = extremes(groupSums)) {
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
                if (const auto e = extremes(values)) {
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

void drawReportChart(QPainter *painter, const QRectF &rect, const ReportModel &model)
{
    QPainter &p = *painter;
    p.save();
    p.translate(rect.topLeft());
    p.setClipRect(QRectF(QPointF(0, 0), rect.size()), Qt::IntersectClip);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal width = rect.width();
    const qreal height = rect.height();
    const qreal unit = height / 100.0; // every measure scales with the chart

    QFont titleFont = reportFont(kChartPoints, true);
    titleFont.setPixelSize(qMax(8, qRound(unit * 5.2)));
    QFont small = reportFont(kChartPoints);
    small.setPixelSize(qMax(6, qRound(unit * 4.0)));

    const QString title = model.chartTitle.isEmpty() ? u"Vendas por intervalo"_s : model.chartTitle;
    p.setFont(titleFont);
    p.setPen(kAccent);
    p.drawText(QRectF(0, 0, width, unit * 9), Qt::AlignLeft | Qt::AlignVCenter,
               QFontMetricsF(titleFont).elidedText(pageText(title), Qt::ElideRight, width));

    // Several series: bars side by side in each label's slot, a legend under the title.
    const qsizetype seriesCount = model.chartSeries.size() > 1 ? model.chartSeries.size() : 1;
    auto barValue = [&model, seriesCount](qsizetype bar, qsizetype series) {
        return seriesCount > 1 ? model.chartSeries.at(series).values.value(bar) : model.chart.at(bar).second;
    };
    double maximum = 0;
    for (qsizetype i = 0; i < model.chart.size(); ++i) {
        for (qsizetype s = 0; s < seriesCount; ++s)
            maximum = std::max(maximum, barValue(i, s));
    }
    // A "nice" axis step: 1, 2 or 5 times a power of ten, about five lines.
    double step = 1;
    if (maximum > 0) {
        const double raw = maximum / 5.0;
        const double power = std::pow(10.0, std::floor(std::log10(raw)));
        const double scaled = raw / power;
        step = (scaled <= 1 ? 1 : scaled <= 2 ? 2 : scaled <= 5 ? 5 : 10) * power;
    }
    const double top = maximum > 0 ? std::ceil(maximum / step) * step : 1;
    const int decimals = step < 1 ? 2 : 0;

    p.setFont(small);
    const QFontMetricsF fm(small);
    qreal axisWidth = 0;
    for (double v = 0; v <= top + step / 2; v += step)
        axisWidth = std::max(axisWidth, fm.horizontalAdvance(ReportFormat::number(v, decimals)));
    const qreal labelHeight = fm.height() * 1.6;
    const qreal plotTop = seriesCount > 1 ? unit * 12 + fm.height() * 1.4 : unit * 12;
    const QRectF plot(axisWidth + unit * 3, plotTop, width - axisWidth - unit * 4, height - plotTop - labelHeight - unit * 2);
    if (seriesCount > 1) {
        qreal x = plot.left();
        const qreal y = unit * 10;
        for (qsizetype s = 0; s < seriesCount; ++s) {
            const qreal box = fm.ascent() * 0.8;
            p.fillRect(QRectF(x, y + (fm.height() - box) / 2, box, box), seriesColour(s));
            x += box + unit * 1.2;
            p.setPen(kInk);
            p.drawText(QPointF(x, y + fm.ascent()), model.chartSeries.at(s).name);
            x += fm.horizontalAdvance(model.chartSeries.at(s).name) + unit * 4;
        }
    }

    for (double v = 0; v <= top + step / 2; v += step) {
        const qreal y = plot.bottom() - plot.height() * (v / top);
        p.setPen(QPen(QColor(0xD0, 0xD0, 0xD0), std::max(1.0, unit * 0.25)));
        p.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
        p.setPen(kMuted);
        p.drawText(QRectF(0, y - fm.height() / 2, axisWidth + unit, fm.height()), Qt::AlignRight | Qt::AlignVCenter,
                   ReportFormat::number(v, decimals));
    }
    if (model.chart.isEmpty()) {
        p.setPen(kMuted);
        p.drawText(plot, Qt::AlignCenter, u"Sem vendas no período"_s);
        p.restore();
        return;
    }
    const qsizetype bars = model.chart.size();
    const qreal slot = plot.width() / bars;
    const qreal barWidth = slot * 0.7;
    // Labels stay level and whole: when they do not fit under every bar, every n-th bar is labelled.
    qreal widest = 0;
    for (const auto &bar : model.chart)
        widest = std::max(widest, fm.horizontalAdvance(pageText(bar.first)));
    const qsizetype every = std::max<qsizetype>(1, qsizetype(std::ceil((widest + unit * 2) / slot)));
    // One bar's share of its slot; the value labels need room above a bar of their own width.
    const qreal seriesWidth = seriesCount > 1 ? slot * 0.84 / seriesCount : barWidth;
    const qreal valueRoom = seriesCount > 1 ? seriesWidth * 1.1 : slot * 1.9;
    bool valueLabels = bars * seriesCount <= 16;
    for (qsizetype i = 0; i < bars; ++i) {
        for (qsizetype s = 0; s < seriesCount; ++s)
            valueLabels = valueLabels && fm.horizontalAdvance(ReportFormat::number(barValue(i, s), 0)) < valueRoom;
    }
    for (qsizetype i = 0; i < bars; ++i) {
        const auto &bar = model.chart.at(i);
        const qreal groupLeft = plot.left() + slot * i + (slot - seriesWidth * seriesCount) / 2;
        for (qsizetype s = 0; s < seriesCount; ++s) {
            const double value = barValue(i, s);
            const qreal h = maximum > 0 ? plot.height() * (std::max(0.0, value) / top) : 0;
            const QRectF barRect(groupLeft + seriesWidth * s, plot.bottom() - h, seriesWidth, h);
            p.fillRect(barRect, seriesColour(s));
            p.setPen(kInk);
            if (valueLabels && value > 0)
                p.drawText(QRectF(barRect.center().x() - slot, barRect.top() - fm.height() * 1.1, slot * 2, fm.height()),
                           Qt::AlignHCenter | Qt::AlignBottom, ReportFormat::number(value, 0));
        }
        if (i % every == 0) {
            const QString label = pageText(bar.first);
            const qreal x = plot.left() + slot * i + slot / 2 - fm.horizontalAdvance(label) / 2;
            p.drawText(QPointF(x, plot.bottom() + unit + fm.ascent()), label);
        }
    }
    p.setPen(QPen(kMuted, std::max(1.0, unit * 0.3)));
    p.drawLine(plot.bottomLeft(), plot.bottomRight());
    p.restore();
}

QImage renderReportChart(const ReportModel &model, int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    drawReportChart(&p, QRectF(0, 0, width, height), model);
    return image;
}

namespace {
constexpr qreal kMargin = 12;       // mm around the page
constexpr qreal kFooter = 9;        // mm for the footer line and page numbers
constexpr qreal kTitlePoints = 14;
constexpr qreal kFilterPoints = 7.5;
constexpr qreal kBodyPoints = 8;
constexpr qreal kSmallPoints = 6.5;
constexpr qreal kSmallestHeading = 6; // points; a heading smaller than this is elided instead
constexpr qreal kSmallestMatrix = 5;  // points; the smallest text of a cross-tab's hour columns
constexpr qreal kMatrixPadding = pt(1); // text to the edge of a cross-tab's hour cell
const QString kContinued = u" (continuação)"_s;

qreal padding()
{
    return pt(2.5);
}

// Draws `text` on one line inside `cell`, elided when it is wider, centred vertically.
void drawCellText(QPainter *painter, const QFontMetricsF &fm, const QRectF &cell, const QString &whole,
                  bool alignRight)
{
    if (whole.isEmpty())
        return;
    const QString text = pageText(whole);
    const qreal room = cell.width() - 2 * padding();
    qreal advance = fm.horizontalAdvance(text);
    QString shown = text;
    if (advance > room) {
        shown = fm.elidedText(text, Qt::ElideRight, room);
        advance = fm.horizontalAdvance(shown);
    }
    const qreal x = alignRight ? cell.right() - padding() - advance : cell.left() + padding();
    const qreal baseline = cell.top() + (cell.height() - fm.height()) / 2 + fm.ascent();
    painter->drawText(QPointF(x, baseline), shown);
}

// A break after line `i` leaves no group title at a page's foot and no subtotal or total at the
// top of the next without a line of its own above it.
bool breakAfter(const QList<ReportLine> &lines, qsizetype i)
{
    if (lines.at(i).kind == ReportLine::Kind::GroupHeader)
        return false;
    if (i + 1 >= lines.size())
        return true;
    const ReportLine::Kind next = lines.at(i + 1).kind;
    return next != ReportLine::Kind::Subtotal && next != ReportLine::Kind::Total;
}

QString totalCaption(const ReportLayout &layout, const ReportLine &line)
{
    // "Subtotal Loja": the group's own title is the heading above its rows
    return line.kind == ReportLine::Kind::Total || !layout.grouped() ? line.caption : u"Subtotal "_s + layout.groupLabel;
}
} // namespace

ReportDocument::ReportDocument(ReportModel model) : mModel(std::move(model))
{
    mChart = mModel.layout.hasChart() && mModel.detailCount > 0 && !mModel.layout.matrix.active();
    layOutHeader();
    layOutColumns();
    if (mModel.layout.matrix.active())
        layOutMatrix();
    else
        paginate();
}

ReportDocument::~ReportDocument() = default;

QPageLayout ReportDocument::pageLayout() const
{
    return QPageLayout(QPageSize(QPageSize::A4),
                       mModel.layout.landscape ? QPageLayout::Landscape : QPageLayout::Portrait, QMarginsF(0, 0, 0, 0),
                       QPageLayout::Millimeter);
}

ReportDocument::PageRange ReportDocument::pageRange(int page) const
{
    return page >= 0 && page < mPages.size() ? mPages.at(page) : PageRange{};
}

QImage ReportDocument::chartImage() const
{
    if (!mChart)
        return {};
    const int width = qRound(bodyRect().width());
    return renderReportChart(mModel, width, qRound(width * 0.28));
}

QRectF ReportDocument::paperRect() const
{
    const QSizeF a4 = QPageSize(QPageSize::A4).size(QPageSize::Millimeter);
    const QSizeF size = mModel.layout.landscape ? a4.transposed() : a4;
    return QRectF(0, 0, mm(size.width()), mm(size.height()));
}

QRectF ReportDocument::bodyRect() const
{
    const QRectF paper = paperRect();
    const qreal top = mm(kMargin) + mHeaderHeight;
    return QRectF(mm(kMargin), top, paper.width() - 2 * mm(kMargin), paper.height() - top - mm(kMargin) - mm(kFooter));
}

qreal ReportDocument::chartBlockHeight() const
{
    if (!mChart)
        return 0;
    const qreal width = bodyRect().width();
    // a landscape page keeps room for rows under the chart
    return std::min(width * 0.28, bodyRect().height() * 0.45) + mm(4);
}

qreal ReportDocument::noteHeight() const
{
    if (mModel.bestWorstText.isEmpty())
        return 0;
    return QFontMetricsF(reportFont(kBodyPoints, true)).height() + mm(3);
}

void ReportDocument::drawNote(QPainter *painter, qreal top) const
{
    if (mModel.bestWorstText.isEmpty())
        return;
    // One line, the two halves in the colours of the rows they name.
    const QRectF body = bodyRect();
    const QFont font = reportFont(kBodyPoints, true);
    const QFontMetricsF fm(font);
    const QString separator = u" · "_s;
    const qsizetype split = mModel.bestWorstText.indexOf(separator);
    const QString best = pageText(split < 0 ? mModel.bestWorstText : mModel.bestWorstText.left(split));
    const QString rest = pageText(split < 0 ? QString() : mModel.bestWorstText.mid(split));
    const qreal baseline = top + mm(0.5) + fm.ascent();
    painter->setFont(font);
    painter->setPen(kBestInk);
    const QString bestShown = fm.elidedText(best, Qt::ElideRight, body.width());
    painter->drawText(QPointF(body.left(), baseline), bestShown);
    if (!rest.isEmpty()) {
        const qreal x = body.left() + fm.horizontalAdvance(bestShown);
        painter->setPen(kWorstInk);
        painter->drawText(QPointF(x, baseline),
                          fm.elidedText(rest, Qt::ElideRight, std::max<qreal>(0, body.right() - x)));
    }
}

void ReportDocument::layOutMatrix()
{
    // The whole day on one page: every row, every hour column of the window, the row names and the
    // day's total; the hour columns share what is left, and the text takes the largest size (body
    // size down to kSmallestMatrix) at which every value of an hour column fits its cell.
    const ReportMatrix &m = mModel.matrix;
    const qreal width = bodyRect().width();
    mPages.clear();
    mPages.append(PageRange{0, m.columns(), -1});
    const QFontMetricsF bold(reportFont(kBodyPoints, true));
    qreal label = bold.horizontalAdvance(mModel.layout.matrix.rowLabel);
    for (const QString &name : m.rowNames)
        label = std::max(label, bold.horizontalAdvance(name));
    mMatrixLabelWidth = std::clamp(label + 2 * padding(), mm(14), mm(26));
    qreal total = bold.horizontalAdvance(u"Total do dia"_s);
    for (const double value : std::as_const(m.rowTotals))
        total = std::max(total, bold.horizontalAdvance(m.totalText(value)));
    total = std::max(total, bold.horizontalAdvance(m.totalText(m.total)));
    mMatrixTotalWidth = std::max(total + 2 * padding(), mm(18));
    const int columns = std::max(1, m.columns());
    mMatrixCellWidth = std::min((width - mMatrixLabelWidth - mMatrixTotalWidth) / columns, mm(30));

    QStringList texts = m.columnNames; // the hour headings, the cells, the hours' totals
    for (const auto &cells : m.values) {
        for (const auto &cell : cells) {
            if (cell)
                texts << m.cellText(*cell);
        }
    }
    for (const double value : std::as_const(m.columnTotals))
        texts << m.cellText(value);
    const qreal room = mMatrixCellWidth - 2 * kMatrixPadding;
    mMatrixPixels = qRound(pt(kBodyPoints));
    for (; mMatrixPixels > qRound(pt(kSmallestMatrix)); --mMatrixPixels) {
        QFont font = reportFont(kBodyPoints, true);
        font.setPixelSize(mMatrixPixels);
        const QFontMetricsF fm(font);
        if (std::all_of(texts.cbegin(), texts.cend(), [&](const QString &t) { return fm.horizontalAdvance(t) <= room; }))
            break;
    }
    // rows as tall as the day's total needs, in the body size
    mMatrixRowHeight = QFontMetricsF(reportFont(kBodyPoints)).height() + QFontMetricsF(reportFont(kSmallPoints)).height() + pt(5);
}

void ReportDocument::paintMatrix(QPainter *painter, const PageRange &range, qreal top) const
{
    const ReportMatrix &m = mModel.matrix;
    const ReportMatrixLayout &shape = mModel.layout.matrix;
    const QRectF body = bodyRect();
    const QFont plain = reportFont(kBodyPoints);
    const QFont bold = reportFont(kBodyPoints, true);
    const QFont small = reportFont(kSmallPoints);
    const QFontMetricsF plainMetrics(plain), boldMetrics(bold), smallMetrics(small);
    // the hour columns' text, at the size that fits their cells
    QFont cellPlain = plain, cellBold = bold, cellSmall = small;
    cellPlain.setPixelSize(mMatrixPixels);
    cellBold.setPixelSize(mMatrixPixels);
    cellSmall.setPixelSize(qMax(1, qRound(mMatrixPixels * kSmallPoints / kBodyPoints)));
    const QFontMetricsF cellPlainMetrics(cellPlain), cellBoldMetrics(cellBold), cellSmallMetrics(cellSmall);
    const qreal cellsLeft = body.left() + mMatrixLabelWidth;
    const qreal totalLeft = cellsLeft + mMatrixCellWidth * range.count;
    const qreal right = totalLeft + mMatrixTotalWidth;
    auto cellAt = [&](int slot, qreal y, qreal h) {
        return slot < range.count ? QRectF(cellsLeft + mMatrixCellWidth * slot, y, mMatrixCellWidth, h)
                                  : QRectF(totalLeft, y, mMatrixTotalWidth, h);
    };
    // The value on the upper line, the count under it, both to the right; an hour column's cell in
    // its own size and text, the day's total in the body size with the cents.
    auto valueCell = [&](const QRectF &cell, double value, std::optional<qint64> count, bool strong,
                         const QColor &ink) {
        const bool hour = cell.left() < totalLeft;
        // an hour cell is narrow: its text goes nearer the edges than drawCellText's padding
        const qreal widen = hour ? padding() - kMatrixPadding : 0;
        const QFontMetricsF &valueMetrics =
            hour ? (strong ? cellBoldMetrics : cellPlainMetrics) : (strong ? boldMetrics : plainMetrics);
        const QFontMetricsF &countMetrics = hour ? cellSmallMetrics : smallMetrics;
        const qreal upper = valueMetrics.height() + pt(2);
        painter->setPen(ink);
        painter->setFont(hour ? (strong ? cellBold : cellPlain) : (strong ? bold : plain));
        drawCellText(painter, valueMetrics,
                     QRectF(cell.left() - widen, cell.top() + pt(1.5), cell.width() + 2 * widen, upper),
                     hour ? m.cellText(value) : m.totalText(value), true);
        if (count && !shape.countField.isEmpty()) {
            painter->setFont(hour ? cellSmall : small);
            painter->setPen(kMuted);
            // the count alone when "123 vendas" would not fit: the note under the table names it
            QString text = m.countText(*count, m.countLabels || !hour ? shape.countLabel : QString());
            if (countMetrics.horizontalAdvance(text) > cell.width() - 2 * (padding() - widen))
                text = m.countText(*count, {});
            drawCellText(painter, countMetrics,
                         QRectF(cell.left() - widen, cell.top() + pt(1.5) + upper, cell.width() + 2 * widen,
                                countMetrics.height()),
                         text, true);
        }
    };
    auto columnFill = [&m](int column, const QColor &otherwise) {
        return column == m.best ? kBestFill : column == m.worst ? kWorstFill : otherwise;
    };

    // Headings: the rows' label, the hours of this page, the day's total.
    qreal y = top;
    painter->fillRect(QRectF(body.left(), y, right - body.left(), mHeadingHeight), kHeadingFill);
    painter->setFont(bold);
    painter->setPen(kAccent);
    drawCellText(painter, boldMetrics, QRectF(body.left(), y, mMatrixLabelWidth, mHeadingHeight),
                 shape.rowLabel, false);
    for (int slot = 0; slot <= range.count; ++slot) {
        const QRectF cell = cellAt(slot, y, mHeadingHeight);
        if (slot < range.count) {
            const int column = range.first + slot;
            if (column == m.best || column == m.worst)
                painter->fillRect(cell, columnFill(column, kHeadingFill));
        }
        painter->setFont(slot < range.count ? cellBold : bold);
        const qreal widen = slot < range.count ? padding() - kMatrixPadding : 0;
        drawCellText(painter, slot < range.count ? cellBoldMetrics : boldMetrics, cell.adjusted(-widen, 0, widen, 0),
                     slot < range.count ? m.columnNames.at(range.first + slot) : u"Total do dia"_s, true);
    }
    y += mHeadingHeight;

    const QPen grid(Qt::white, pt(0.8));
    for (int r = 0; r < m.rows(); ++r) {
        painter->setFont(bold);
        painter->setPen(kInk);
        drawCellText(painter, boldMetrics, QRectF(body.left(), y, mMatrixLabelWidth, mMatrixRowHeight),
                     m.rowNames.at(r), false);
        for (int slot = 0; slot < range.count; ++slot) {
            const int column = range.first + slot;
            const QRectF cell = cellAt(slot, y, mMatrixRowHeight);
            const std::optional<double> &value = m.values.at(r).at(column);
            if (!value)
                continue;
            painter->fillRect(cell, m.shade(*value));
            painter->setPen(grid);
            painter->drawRect(cell);
            valueCell(cell, *value, m.counts.at(r).at(column), false, kInk);
        }
        if (m.rowCounts.at(r) > 0 || m.rowTotals.at(r) != 0)
            valueCell(cellAt(range.count, y, mMatrixRowHeight), m.rowTotals.at(r), m.rowCounts.at(r), true,
                      kInk);
        painter->setPen(QPen(QColor(0xD0, 0xD0, 0xD0), pt(0.4)));
        painter->drawLine(QPointF(body.left(), y + mMatrixRowHeight), QPointF(right, y + mMatrixRowHeight));
        y += mMatrixRowHeight;
    }

    // The hours' totals; the best and the worst hour in their colours.
    const QRectF totals(body.left(), y, right - body.left(), mMatrixRowHeight);
    painter->fillRect(totals, kTotalFill);
    painter->setPen(QPen(kAccent, pt(0.8)));
    painter->drawLine(totals.topLeft(), totals.topRight());
    painter->setFont(bold);
    painter->setPen(kInk);
    drawCellText(painter, boldMetrics, QRectF(body.left(), y, mMatrixLabelWidth, mMatrixRowHeight),
                 u"Total"_s, false);
    for (int slot = 0; slot < range.count; ++slot) {
        const int column = range.first + slot;
        const QRectF cell = cellAt(slot, y, mMatrixRowHeight);
        const bool marked = column == m.best || column == m.worst;
        if (marked)
            painter->fillRect(cell, columnFill(column, kTotalFill));
        valueCell(cell, m.columnTotals.at(column), m.columnCounts.at(column), true,
                  column == m.best    ? kBestInk
                  : column == m.worst ? kWorstInk
                                      : kInk);
    }
    valueCell(cellAt(range.count, y, mMatrixRowHeight), m.total, m.count, true, kInk);
    y += mMatrixRowHeight + mm(3);

    // The scale: its two ends with the smallest and the largest cell.
    const qreal barWidth = mm(50), barHeight = smallMetrics.height();
    painter->setFont(small);
    painter->setPen(kMuted);
    const QString low = m.cellText(m.minimum);
    const QString high = m.cellText(m.maximum);
    const QString label = u"Escala de cores: "_s;
    qreal x = body.left();
    painter->drawText(QPointF(x, y + smallMetrics.ascent()), label + low);
    x += smallMetrics.horizontalAdvance(label + low) + mm(2);
    QLinearGradient gradient(QPointF(x, 0), QPointF(x + barWidth, 0));
    gradient.setColorAt(0, ReportMatrix::lowColour());
    gradient.setColorAt(1, ReportMatrix::highColour());
    painter->fillRect(QRectF(x, y, barWidth, barHeight), gradient);
    x += barWidth + mm(2);
    painter->drawText(QPointF(x, y + smallMetrics.ascent()), high);
    if (!m.cellNote(shape).isEmpty()) {
        x += smallMetrics.horizontalAdvance(high) + mm(6);
        painter->drawText(QPointF(x, y + smallMetrics.ascent()), m.cellNote(shape));
    }
    y += barHeight + mm(2);
    drawNote(painter, y);
}

void ReportDocument::layOutHeader()
{
    // The filters flow left to right as "Label: value" items and go on to another line when one
    // does not fit; a value longer than the line is elided.
    const qreal width = paperRect().width() - 2 * mm(kMargin);
    const QFontMetricsF plain(reportFont(kFilterPoints));
    const QFontMetricsF bold(reportFont(kFilterPoints, true));
    const qreal gap = mm(4);
    const qreal lineHeight = plain.height() * 1.25;
    qreal x = 0, y = 0;
    for (const auto &filter : std::as_const(mModel.filters)) {
        FilterSpot spot;
        spot.label = filter.first + u':';
        const qreal labelWidth = bold.horizontalAdvance(spot.label) + plain.horizontalAdvance(u' ');
        spot.value =
            plain.elidedText(pageText(filter.second), Qt::ElideRight, std::max<qreal>(0, width - labelWidth));
        const qreal itemWidth = labelWidth + plain.horizontalAdvance(spot.value);
        if (x > 0 && x + itemWidth > width) {
            x = 0;
            y += lineHeight;
        }
        spot.at = QPointF(x, y);
        x += itemWidth + gap;
        mFilters.append(spot);
    }
    const qreal titleHeight = QFontMetricsF(reportFont(kTitlePoints, true)).height();
    const qreal filtersHeight = mFilters.isEmpty() ? 0 : y + lineHeight;
    mHeaderHeight = titleHeight + mm(1.5) + filtersHeight + mm(2.5) + mm(3);
}

void ReportDocument::layOutColumns()
{
    const ReportLayout &layout = mModel.layout;
    const qreal width = bodyRect().width();
    double totalWidth = 0;
    for (const ReportColumn &column : layout.columns)
        totalWidth += column.width > 0 ? column.width : 1;
    mColumnX.clear();
    qreal x = 0;
    for (const ReportColumn &column : layout.columns) {
        mColumnX.append(x);
        x += width * (column.width > 0 ? column.width : 1) / (totalWidth > 0 ? totalWidth : 1);
    }
    mColumnX.append(width);

    // Totals print nothing in the leading text columns: their label has all of that room.
    mLabelColumns = 0;
    while (mLabelColumns < layout.columns.size() && !layout.columns.at(mLabelColumns).numeric() &&
           layout.columns.at(mLabelColumns).total == ReportColumn::Total::None)
        ++mLabelColumns;

    const QFontMetricsF body(reportFont(kBodyPoints));
    mRowHeight = body.height() + pt(3);
    mHeadingHeight = mRowHeight + pt(1);
    mGroupHeight = mRowHeight + pt(3); // a little air above each group
    mTotalHeight = mRowHeight + pt(1);

    // One heading size for the whole row: the largest at which every heading fits its column.
    mHeadingPixels = qRound(pt(kBodyPoints));
    const int smallest = qRound(pt(kSmallestHeading));
    for (; mHeadingPixels > smallest; --mHeadingPixels) {
        QFont font = reportFont(kBodyPoints, true);
        font.setPixelSize(mHeadingPixels);
        const QFontMetricsF fm(font);
        bool fits = true;
        for (qsizetype c = 0; c < layout.columns.size() && fits; ++c)
            fits = fm.horizontalAdvance(layout.columns.at(c).label) <= mColumnX.at(c + 1) - mColumnX.at(c) - 2 * padding();
        if (fits)
            break;
    }
}

qreal ReportDocument::lineHeight(const ReportLine &line) const
{
    switch (line.kind) {
    case ReportLine::Kind::GroupHeader:
        return mGroupHeight;
    case ReportLine::Kind::Subtotal:
    case ReportLine::Kind::Total:
        return mTotalHeight;
    case ReportLine::Kind::Detail:
        break;
    }
    return mRowHeight;
}

void ReportDocument::paginate()
{
    // One pass: fill a page line by line, then end it at the last line a page may end with. Only the
    // few lines after that break are measured twice, so the whole is linear in the lines.
    mPages.clear();
    const QList<ReportLine> &lines = mModel.lines;
    const qsizetype count = lines.size();
    if (mModel.detailCount == 0 || count == 0) {
        mPages.append(PageRange{});
        return;
    }
    const bool grouped = mModel.layout.grouped();
    const qreal height = bodyRect().height();
    int openGroup = -1; // the group header whose rows are still running
    qsizetype i = 0;
    while (i < count) {
        PageRange page;
        page.first = int(i);
        qreal room = height - mHeadingHeight - (mPages.isEmpty() ? chartBlockHeight() + noteHeight() : 0);
        if (grouped && openGroup >= 0 && lines.at(i).kind != ReportLine::Kind::GroupHeader) {
            page.continued = openGroup;
            room -= mGroupHeight;
        }
        qreal used = 0;
        qsizetype next = i;
        qsizetype lastBreak = -1;
        while (next < count) {
            const qreal h = lineHeight(lines.at(next));
            if (next > i && used + h > room + 0.01)
                break;
            used += h;
            if (breakAfter(lines, next))
                lastBreak = next;
            ++next;
        }
        // Nothing the page may end with (a page shorter than a group's title and its first row):
        // cut where it is full rather than loop.
        const qsizetype end = next >= count ? count : (lastBreak >= i ? lastBreak + 1 : next);
        page.count = int(end - i);
        for (qsizetype k = i; k < end; ++k) {
            if (lines.at(k).kind == ReportLine::Kind::GroupHeader)
                openGroup = int(k);
            else if (lines.at(k).kind != ReportLine::Kind::Detail)
                openGroup = -1;
        }
        mPages.append(page);
        i = end;
    }
}

void ReportDocument::paintPage(QPainter *painter, int page) const
{
    if (page < 0 || page >= mPages.size())
        return;
    painter->save();
    painter->scale(painter->device()->logicalDpiX() / qreal(Dpi), painter->device()->logicalDpiY() / qreal(Dpi));
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setRenderHint(QPainter::TextAntialiasing);

    const QRectF paper = paperRect();
    const qreal left = mm(kMargin);
    const qreal width = paper.width() - 2 * mm(kMargin);
    qreal y = mm(kMargin);

    // Page header: title and issue time, the filters, a rule.
    const QFont titleFont = reportFont(kTitlePoints, true);
    const QFontMetricsF titleMetrics(titleFont);
    const qreal titleHeight = titleMetrics.height();
    const QFont filterFont = reportFont(kFilterPoints);
    const QFont filterBold = reportFont(kFilterPoints, true);
    const QFontMetricsF filterMetrics(filterFont);
    const QString issued = u"Emitido em "_s + mModel.issued.toString(u"dd/MM/yyyy HH:mm"_s);
    const qreal issuedWidth = filterMetrics.horizontalAdvance(issued);
    painter->setFont(titleFont);
    painter->setPen(kAccent);
    painter->drawText(
        QPointF(left, y + titleMetrics.ascent()),
        titleMetrics.elidedText(pageText(mModel.title), Qt::ElideRight, width - issuedWidth - mm(4)));
    painter->setFont(filterFont);
    painter->setPen(kMuted);
    painter->drawText(QPointF(left + width - issuedWidth, y + (titleHeight - filterMetrics.height()) / 2 + filterMetrics.ascent()),
                      issued);
    y += titleHeight + mm(1.5);
    const qreal space = filterMetrics.horizontalAdvance(u' ');
    qreal filtersBottom = y;
    for (const FilterSpot &spot : mFilters) {
        const QPointF at(left + spot.at.x(), y + spot.at.y() + filterMetrics.ascent());
        painter->setPen(kInk);
        painter->setFont(filterBold);
        painter->drawText(at, spot.label);
        painter->setFont(filterFont);
        painter->drawText(at + QPointF(QFontMetricsF(filterBold).horizontalAdvance(spot.label) + space, 0), spot.value);
        filtersBottom = std::max(filtersBottom, y + spot.at.y() + filterMetrics.height() * 1.25);
    }
    y = filtersBottom + mm(2.5);
    painter->setPen(QPen(kAccent, pt(1.2)));
    painter->drawLine(QPointF(left, y), QPointF(left + width, y));

    // Body: the chart on the first page, the headings, then this page's lines.
    const QRectF body = bodyRect();
    const ReportLayout &layout = mModel.layout;
    const QList<ReportLine> &lines = mModel.lines;
    const PageRange range = mPages.at(page);
    y = body.top();
    if (page == 0 && mChart) {
        const qreal block = chartBlockHeight();
        drawReportChart(painter, QRectF(body.left(), y, body.width(), block - mm(4)), mModel);
        y += block;
    }
    if (page == 0 && !layout.matrix.active() && mModel.detailCount > 0) {
        drawNote(painter, y);
        y += noteHeight();
    }
    const QFont plain = reportFont(kBodyPoints);
    const QFont bold = reportFont(kBodyPoints, true);
    const QFontMetricsF plainMetrics(plain);
    const QFontMetricsF boldMetrics(bold);
    if (mModel.detailCount == 0) {
        painter->setFont(bold);
        painter->setPen(kInk);
        const QString text = boldMetrics.elidedText(layout.emptyText, Qt::ElideRight, body.width());
        painter->drawText(QPointF(body.center().x() - boldMetrics.horizontalAdvance(text) / 2, y + pt(16) + boldMetrics.ascent()),
                          text);
    } else if (layout.matrix.active()) {
        paintMatrix(painter, range, y);
    } else {
        const qsizetype columns = layout.columns.size();
        auto cellRect = [&](qsizetype from, qsizetype to, qreal top, qreal height) {
            return QRectF(body.left() + mColumnX.at(from), top, mColumnX.at(to) - mColumnX.at(from), height);
        };
        const QRectF full(body.left(), 0, body.width(), 0);

        QFont heading = bold;
        heading.setPixelSize(mHeadingPixels);
        const QFontMetricsF headingMetrics(heading);
        painter->fillRect(QRectF(full.left(), y, full.width(), mHeadingHeight), kHeadingFill);
        painter->setFont(heading);
        painter->setPen(kAccent);
        for (qsizetype c = 0; c < columns; ++c)
            drawCellText(painter, headingMetrics, cellRect(c, c + 1, y, mHeadingHeight), layout.columns.at(c).label,
                         layout.columns.at(c).numeric());
        y += mHeadingHeight;

        auto groupTitle = [&](const QString &caption) {
            const QRectF row(full.left(), y, full.width(), mGroupHeight);
            const QRectF band(row.left(), row.bottom() - mRowHeight, row.width(), mRowHeight);
            painter->fillRect(band, kGroupFill);
            painter->setFont(bold);
            painter->setPen(kAccent);
            drawCellText(painter, boldMetrics, band, caption, false);
            y += mGroupHeight;
        };
        int stripe = range.first;
        if (range.continued >= 0) {
            groupTitle(lines.at(range.continued).caption + kContinued);
            stripe = range.first - range.continued - 1;
        }
        for (int i = range.first; i < range.first + range.count; ++i) {
            const ReportLine &line = lines.at(i);
            switch (line.kind) {
            case ReportLine::Kind::GroupHeader:
                groupTitle(line.caption);
                stripe = 0;
                break;
            case ReportLine::Kind::Detail: {
                const bool marked = line.mark != ReportLine::Mark::None;
                if (marked)
                    painter->fillRect(QRectF(full.left(), y, full.width(), mRowHeight),
                                      line.mark == ReportLine::Mark::Best ? kBestFill : kWorstFill);
                else if (stripe % 2)
                    painter->fillRect(QRectF(full.left(), y, full.width(), mRowHeight), kStripeFill);
                ++stripe;
                painter->setFont(marked ? bold : plain);
                painter->setPen(marked ? (line.mark == ReportLine::Mark::Best ? kBestInk : kWorstInk) : kInk);
                for (qsizetype c = 0; c < columns; ++c) {
                    const ReportColumn &column = layout.columns.at(c);
                    drawCellText(painter, marked ? boldMetrics : plainMetrics,
                                 cellRect(c, c + 1, y, mRowHeight),
                                 ReportFormat::cell(column, line.values.value(c), line.ends.value(c)),
                                 column.numeric());
                }
                y += mRowHeight;
                break;
            }
            case ReportLine::Kind::Subtotal:
            case ReportLine::Kind::Total: {
                const QRectF row(full.left(), y, full.width(), mTotalHeight);
                if (line.kind == ReportLine::Kind::Total)
                    painter->fillRect(row, kTotalFill);
                else if (line.mark != ReportLine::Mark::None)
                    painter->fillRect(row, line.mark == ReportLine::Mark::Best ? kBestFill : kWorstFill);
                painter->setPen(QPen(kAccent, pt(0.8)));
                painter->drawLine(row.topLeft(), row.topRight());
                painter->setFont(bold);
                painter->setPen(line.mark == ReportLine::Mark::Best    ? kBestInk
                                : line.mark == ReportLine::Mark::Worst ? kWorstInk
                                                                       : kInk);
                if (mLabelColumns > 0)
                    drawCellText(painter, boldMetrics, cellRect(0, mLabelColumns, y, mTotalHeight), totalCaption(layout, line),
                                 false);
                for (qsizetype c = mLabelColumns; c < columns; ++c) {
                    const ReportColumn &column = layout.columns.at(c);
                    drawCellText(painter, boldMetrics, cellRect(c, c + 1, y, mTotalHeight),
                                 ReportFormat::cell(column, line.values.value(c)), column.numeric());
                }
                y += mTotalHeight;
                break;
            }
            }
        }
    }

    // Footer: rule, report and page number.
    const qreal footerTop = paper.height() - mm(kMargin) - mm(kFooter) + mm(3);
    painter->setPen(QPen(QColor(0xB0, 0xB0, 0xB0), pt(0.5)));
    painter->drawLine(QPointF(left, footerTop), QPointF(left + width, footerTop));
    painter->setFont(filterFont);
    painter->setPen(kMuted);
    const qreal baseline = footerTop + mm(1) + (mm(kFooter) - mm(4) - filterMetrics.height()) / 2 + filterMetrics.ascent();
    const QString pages = u"Página %1 de %2"_s.arg(page + 1).arg(pageCount());
    const qreal pagesWidth = filterMetrics.horizontalAdvance(pages);
    painter->drawText(QPointF(left + width - pagesWidth, baseline), pages);
    painter->drawText(QPointF(left, baseline),
                      filterMetrics.elidedText(mModel.code.isEmpty() ? mModel.title : mModel.code + u" · "_s + mModel.title,
                                               Qt::ElideRight, width - pagesWidth - mm(4)));
    painter->restore();
}

bool ReportDocument::paint(QPagedPaintDevice *device) const
{
    device->setPageLayout(pageLayout());
    QPainter painter;
    if (!painter.begin(device))
        return false;
    const int pages = pageCount();
    for (int page = 0; page < pages; ++page) {
        if (page > 0 && !device->newPage())
            return false;
        paintPage(&painter, page);
    }
    return painter.end();
}
