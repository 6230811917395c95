#include "reportfill.h"

#include "errors.h"
#include "params.h"
#include "reportformat.h"
#include "reportlayout.h"
#include "reporttable.h"

#include <QDate>
#include <QJsonObject>
#include <QSet>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

constexpr int kLastMinute = 23 * 60 + 59;

QString textParam(const TParams &params, const QString &name)
{
    const TParam *p = params.FindParam(name);
    return p && !p->IsNull() ? p->AsString().trimmed() : QString();
}

// "0830" -> 510; -1 when the text is no hour.
int minuteOf(const QString &hhmm)
{
    bool hoursOk = false, minutesOk = false;
    const int hours = hhmm.left(2).toInt(&hoursOk);
    const int minutes = hhmm.mid(2, 2).toInt(&minutesOk);
    if (hhmm.size() != 4 || !hoursOk || !minutesOk || hours > 23 || minutes > 59)
        return -1;
    return hours * 60 + minutes;
}

QDate dateParam(const TParams &params, const QString &name)
{
    const TParam *p = params.FindParam(name);
    if (!p || p->IsNull())
        return {};
    if (p->kind() == TParam::Kind::DateTime)
        return p->AsDateTime().date();
    return ReportFormat::toDate(p->AsString());
}

bool isNumber(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float:
        return true;
    default:
        return false;
    }
}

} // namespace

ReportFill ReportFill::fromJson(const QJsonValue &value)
{
    ReportFill fill;
    if (value.isUndefined() || value.isNull())
        return fill;
    const QJsonObject o = value.toObject();
    if (!value.isObject() || o.contains(u"hours") == o.contains(u"days"))
        throw EHostError(u"\"fill\" deve ser {\"hours\": campo, \"end\": campo} ou {\"days\": campo}."_s);
    if (o.contains(u"hours")) {
        fill.kind = Kind::Hours;
        fill.field = o.value(u"hours").toString();
        fill.endField = o.value(u"end").toString();
        fill.stepParam = o.value(u"step").toString();
        const QJsonObject window = o.value(u"window").toObject();
        fill.windowWhen = window.value(u"when").toString();
        fill.windowFrom = window.value(u"from").toString();
        fill.windowTo = window.value(u"to").toString();
    } else {
        fill.kind = Kind::Days;
        fill.field = o.value(u"days").toString();
        const QJsonObject period = o.value(u"period").toObject();
        fill.periodFrom = period.value(u"from").toString();
        fill.periodTo = period.value(u"to").toString();
    }
    if (fill.field.isEmpty())
        throw EHostError(u"\"fill\" precisa do campo do horário ou do dia."_s);
    return fill;
}

int ReportFill::step(const TParams &params) const
{
    const TParam *p = stepParam.isEmpty() ? nullptr : params.FindParam(stepParam);
    if (!p || p->IsNull())
        return 60;
    const qint64 minutes = p->kind() == TParam::Kind::Integer ? p->AsInteger() : p->AsString().toLongLong();
    return minutes > 1 ? int(std::min<qint64>(minutes, 24 * 60)) : 60;
}

QList<int> ReportFill::intervals(const TParams &params, int step, const QList<int> &present) const
{
    QList<int> starts;
    auto run = [&starts, step](int from, int to) {
        for (int start = from / step * step; start <= to; start += step)
            starts.append(start);
    };
    const int from = windowFrom.isEmpty() ? -1 : minuteOf(textParam(params, windowFrom));
    const int to = windowTo.isEmpty() ? -1 : minuteOf(textParam(params, windowTo));
    if (!windowWhen.isEmpty() && textParam(params, windowWhen) == u"S" && from >= 0 && to >= 0) {
        if (from <= to) {
            run(from, to);
        } else {
            run(0, to);
            run(from, kLastMinute);
        }
        // a night shift's two runs may meet in one interval
        starts.erase(std::unique(starts.begin(), starts.end()), starts.end());
        return starts;
    }
    if (present.isEmpty())
        return starts;
    const auto [first, last] = std::minmax_element(present.cbegin(), present.cend());
    run(*first, *last);
    return starts;
}

std::optional<ReportTable> ReportFill::filled(const ReportLayout &layout, const TParams &params,
                                              const ReportTable &table) const
{
    if (!active() || table.rows.isEmpty())
        return std::nullopt;
    const int keyAt = table.columnIndex(field);
    if (keyAt < 0)
        throw EHostError(u"O campo '%1' de \"fill\" não vem da consulta."_s.arg(field));
    const int endAt = endField.isEmpty() ? -1 : table.columnIndex(endField);
    if (!endField.isEmpty() && endAt < 0)
        throw EHostError(u"O campo '%1' de \"fill\" não vem da consulta."_s.arg(endField));
    const int groupAt = layout.grouped() ? table.columnIndex(layout.groupField) : -1;
    const bool perGroup = groupAt >= 0 && groupAt != keyAt;

    // The key of a line: the interval's first minute, or the day as a Julian day number.
    auto keyOf = [&](const QVariantList &row) -> std::optional<qint64> {
        const QVariant value = row.value(keyAt);
        if (value.isNull())
            return std::nullopt;
        if (kind == Kind::Hours)
            return value.toLongLong();
        const QDate day = ReportFormat::toDate(value);
        return day.isValid() ? std::optional<qint64>(day.toJulianDay()) : std::nullopt;
    };
    const int minutes = kind == Kind::Hours ? step(params) : 0;
    QList<qint64> window;
    if (kind == Kind::Hours) {
        QList<int> present;
        for (const QVariantList &row : table.rows) {
            if (const auto key = keyOf(row))
                present.append(int(*key));
        }
        for (const int start : intervals(params, minutes, present))
            window.append(start);
    } else {
        QDate first = periodFrom.isEmpty() ? QDate() : dateParam(params, periodFrom);
        QDate last = periodTo.isEmpty() ? QDate() : dateParam(params, periodTo);
        if (!first.isValid() || !last.isValid() || first > last) {
            // no period given: the days between the first and the last that sold
            qint64 low = 0, high = -1;
            for (const QVariantList &row : table.rows) {
                if (const auto key = keyOf(row)) {
                    low = high < low ? *key : std::min(low, *key);
                    high = std::max(high, *key);
                }
            }
            first = QDate::fromJulianDay(low);
            last = QDate::fromJulianDay(high);
        }
        for (qint64 day = first.toJulianDay(); first.isValid() && day <= last.toJulianDay(); ++day)
            window.append(day);
    }

    // A line of zeros: sums 0, means and shares of nothing empty, the group's own fields copied.
    const QVariantList &sample = table.rows.first();
    QList<QVariant> zero(table.columns.size());
    QList<bool> fromGroup(table.columns.size(), false);
    for (int c = 0; c < table.columns.size(); ++c) {
        const ReportColumn *printed = nullptr;
        for (const ReportColumn &column : layout.columns) {
            if (column.field.compare(table.columns.at(c), Qt::CaseInsensitive) == 0)
                printed = &column;
        }
        const bool numeric = printed ? printed->numeric() : isNumber(sample.value(c));
        if (numeric && !(printed && printed->total == ReportColumn::Total::Ratio))
            zero[c] = 0;
        else if (!numeric && perGroup)
            fromGroup[c] = true;
    }
    if (perGroup)
        fromGroup[groupAt] = true;
    const bool dayAsText = kind == Kind::Days && sample.value(keyAt).typeId() == QMetaType::QString;
    auto zeroLine = [&](qint64 key, const QVariantList &group) {
        QVariantList line = zero;
        for (int c = 0; c < line.size(); ++c) {
            if (fromGroup.at(c))
                line[c] = group.value(c);
        }
        if (kind == Kind::Hours) {
            line[keyAt] = int(key);
            if (endAt >= 0)
                line[endAt] = int(std::min<qint64>(key + minutes - 1, kLastMinute));
        } else {
            const QDate day = QDate::fromJulianDay(key);
            line[keyAt] = dayAsText ? QVariant(day.toString(Qt::ISODate)) : QVariant(day);
        }
        return line;
    };

    ReportTable result;
    result.columns = table.columns;
    result.rows.reserve(table.rows.size());
    bool added = false;
    // One run of rows (a group, or the whole report): its rows merged with the window's missing
    // keys, both in the key's order.
    auto merge = [&](qsizetype from, qsizetype to) {
        QSet<qint64> present;
        for (qsizetype r = from; r < to; ++r) {
            if (const auto key = keyOf(table.rows.at(r)))
                present.insert(*key);
        }
        qsizetype w = 0;
        auto addMissingBefore = [&](std::optional<qint64> limit) {
            for (; w < window.size() && (!limit || window.at(w) < *limit); ++w) {
                if (!present.contains(window.at(w))) {
                    result.rows.append(zeroLine(window.at(w), table.rows.at(from)));
                    added = true;
                }
            }
        };
        for (qsizetype r = from; r < to; ++r) {
            const auto key = keyOf(table.rows.at(r));
            if (key)
                addMissingBefore(*key);
            result.rows.append(table.rows.at(r));
        }
        addMissingBefore(std::nullopt);
    };
    if (perGroup) {
        for (qsizetype from = 0; from < table.rows.size();) {
            qsizetype to = from + 1;
            // a group as the model tells groups apart: by the text of its value
            const QString group = ReportFormat::text(table.rows.at(from).value(groupAt));
            while (to < table.rows.size() && ReportFormat::text(table.rows.at(to).value(groupAt)) == group)
                ++to;
            merge(from, to);
            from = to;
        }
    } else {
        merge(0, table.rows.size());
    }
    if (!added)
        return std::nullopt;
    return result;
}
