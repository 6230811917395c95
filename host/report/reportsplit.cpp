#include "reportsplit.h"

#include "errors.h"
#include "reportformat.h"
#include "reportlayout.h"

#include <QJsonArray>
#include <QJsonObject>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numeric>

using namespace Qt::StringLiterals;

namespace {

qint64 cents(const QVariant &value)
{
    return value.isNull() ? 0 : qint64(std::llround(value.toDouble() * 100.0));
}

// a / b rounded half away from zero; b > 0.
qint64 roundedQuotient(qint64 a, qint64 b)
{
    const qint64 magnitude = (std::llabs(a) * 2 + b) / (2 * b);
    return a < 0 ? -magnitude : magnitude;
}

QString signedMoney(double value)
{
    return (value < 0 ? u"−R$ "_s : u"+R$ "_s) + ReportFormat::number(std::abs(value), 2);
}

} // namespace

ReportSplitLayout ReportSplitLayout::fromJson(const QJsonValue &value)
{
    ReportSplitLayout split;
    if (value.isUndefined() || value.isNull())
        return split;
    if (!value.isObject())
        throw EHostError(u"\"split\" deve ser um objeto."_s);
    const QJsonObject o = value.toObject();
    auto pair = [&o](const char16_t *key, QString &first, QString &second) {
        const QJsonValue v = o.value(QStringView(key));
        if (!v.isArray() || v.toArray().size() != 2 || v.toArray().at(0).toString().isEmpty() ||
            v.toArray().at(1).toString().isEmpty())
            throw EHostError(u"\"split\" precisa de \"%1\": os campos do período e do anterior."_s.arg(
                QStringView(key)));
        first = v.toArray().at(0).toString();
        second = v.toArray().at(1).toString();
    };
    pair(u"sales", split.sales, split.salesBefore);
    pair(u"tickets", split.tickets, split.ticketsBefore);
    pair(u"average", split.average, split.averageBefore);
    split.traffic = o.value(u"traffic").toString();
    split.ticket = o.value(u"ticket").toString();
    if (split.traffic.isEmpty() || split.ticket.isEmpty())
        throw EHostError(u"\"split\" precisa de \"traffic\" e \"ticket\": os campos dos dois efeitos."_s);
    const QJsonObject movers = o.value(u"movers").toObject();
    split.moverStore = movers.value(u"store").toString();
    split.moverName = movers.value(u"name").toString();
    split.moverChange = movers.value(u"change").toString();
    split.movers = movers.value(u"count").toInt(5);
    split.moversTitle = movers.value(u"title").toString(u"Lojas que mais mudaram a hora"_s);
    if (!movers.isEmpty() && (split.moverStore.isEmpty() || split.moverChange.isEmpty() || split.movers < 1))
        throw EHostError(u"\"movers\" de \"split\" precisa de \"store\", \"change\" e de \"count\" positivo."_s);
    return split;
}

namespace ReportSplit {

Effects effects(qint64 salesCents, qint64 beforeCents, qint64 tickets, qint64 ticketsBefore)
{
    const qint64 change = salesCents - beforeCents;
    Effects e;
    e.traffic = ticketsBefore > 0 && tickets > 0 ? roundedQuotient((tickets - ticketsBefore) * beforeCents, ticketsBefore)
                                                 : change;
    e.ticket = change - e.traffic;
    return e;
}

ReportTable apply(const ReportSplitLayout &split, const ReportTable &table)
{
    auto at = [&table](const QString &field) {
        const int index = table.columnIndex(field);
        if (index < 0)
            throw EHostError(u"A decomposição da variação usa o campo '%1', que a consulta não retorna."_s.arg(field));
        return index;
    };
    const int sales = at(split.sales), before = at(split.salesBefore);
    const int tickets = at(split.tickets), ticketsBefore = at(split.ticketsBefore);
    ReportTable out;
    out.columns = table.columns;
    out.columns << split.average << split.averageBefore << split.traffic << split.ticket;
    out.rows.reserve(table.rows.size());
    for (int row = 0; row < table.rows.size(); ++row) {
        const qint64 now = cents(table.value(row, sales)), then = cents(table.value(row, before));
        const qint64 n = table.value(row, tickets).toLongLong(), m = table.value(row, ticketsBefore).toLongLong();
        const Effects e = effects(now, then, n, m);
        QVariantList values = table.rows.at(row);
        values.resize(table.columns.size());
        values << (n > 0 ? QVariant(double(roundedQuotient(now, n)) / 100.0) : QVariant())
               << (m > 0 ? QVariant(double(roundedQuotient(then, m)) / 100.0) : QVariant())
               << double(e.traffic) / 100.0 << double(e.ticket) / 100.0;
        out.rows << std::move(values);
    }
    return out;
}

QStringList moversList(const ReportLayout &layout, const ReportTable &table)
{
    const ReportSplitLayout &split = layout.split;
    if (split.moverStore.isEmpty())
        return {};
    const int store = table.columnIndex(split.moverStore), change = table.columnIndex(split.moverChange);
    const int name = split.moverName.isEmpty() ? -1 : table.columnIndex(split.moverName);
    if (store < 0 || change < 0)
        throw EHostError(u"A lista das lojas que mais mudaram usa os campos '%1' e '%2', que a consulta deve retornar."_s
                             .arg(split.moverStore, split.moverChange));
    // The line's label: the first interval column (the hour), else the first column.
    const ReportColumn *label = nullptr;
    for (const ReportColumn &column : layout.columns) {
        if (!label && column.type == ReportColumn::Type::Interval)
            label = &column;
    }
    if (!label && !layout.columns.isEmpty())
        label = &layout.columns.first();
    const int labelAt = label ? table.columnIndex(label->field) : -1;
    const int endAt = label && !label->endField.isEmpty() ? table.columnIndex(label->endField) : -1;

    QList<int> rows;
    for (int row = 0; row < table.rows.size(); ++row) {
        if (!table.value(row, store).isNull() && cents(table.value(row, change)) != 0)
            rows << row;
    }
    std::stable_sort(rows.begin(), rows.end(), [&](int a, int b) {
        return std::llabs(cents(table.value(a, change))) > std::llabs(cents(table.value(b, change)));
    });
    if (rows.isEmpty())
        return {};
    QStringList lines{split.moversTitle + u':'};
    for (qsizetype i = 0; i < rows.size() && i < split.movers; ++i) {
        const int row = rows.at(i);
        const QString when = labelAt >= 0 ? ReportFormat::cell(*label, table.value(row, labelAt),
                                                                endAt >= 0 ? table.value(row, endAt) : QVariant())
                                          : QString();
        QString who = u"Loja "_s + ReportFormat::text(table.value(row, store));
        if (const QString shown = name >= 0 ? ReportFormat::text(table.value(row, name)) : QString(); !shown.isEmpty())
            who += u' ' + shown;
        lines << u"%1 — %2: %3"_s.arg(when, who, signedMoney(double(cents(table.value(row, change))) / 100.0));
    }
    return lines;
}

} // namespace ReportSplit
