#pragma once

#include "host_global.h"
#include "reporttable.h"

#include <QJsonValue>
#include <QString>
#include <QStringList>

struct ReportLayout;

// Why a line's sales changed between two periods ("split" in a definition): the change told apart
// into a traffic effect (the change in tickets at the earlier average ticket) and a ticket effect
// (the change in the average ticket over the current tickets), and the stores that moved their
// line most, listed under the chart.
struct HOST_EXPORT ReportSplitLayout
{
    QString sales, salesBefore;     // the two periods' sales (money)
    QString tickets, ticketsBefore; // their numbers of tickets
    QString average, averageBefore; // written: each period's average ticket (empty where no ticket)
    QString traffic, ticket;        // written: the two effects
    // Per line, the store whose change was the largest (its code, name and change); empty: no list.
    QString moverStore, moverName, moverChange;
    int movers = 5;       // how many lines the list names
    QString moversTitle;  // its heading

    bool active() const { return !sales.isEmpty(); }
    // Throws EHostError naming the entry that is missing.
    static ReportSplitLayout fromJson(const QJsonValue &value);
};

namespace ReportSplit {

// Both effects in cents; traffic + ticket is exactly sales - before. The traffic effect is
// (tickets - ticketsBefore) × before / ticketsBefore rounded half away from zero to the cent, and
// the ticket effect is what is left of the change. Without earlier tickets the whole change is
// traffic (there was no earlier average ticket); without current ones it is traffic too (the
// tickets lost took their sales with them).
struct Effects
{
    qint64 traffic = 0;
    qint64 ticket = 0;
};
HOST_EXPORT Effects effects(qint64 salesCents, qint64 beforeCents, qint64 tickets, qint64 ticketsBefore);

// The table with the written columns added, each line's values taken to the cent first.
HOST_EXPORT ReportTable apply(const ReportSplitLayout &split, const ReportTable &table);

// "12:00 às 12:59 — Loja 0002 Centro: +R$ 1.234,56", the lines whose mover changed most, largest
// first (ties by the line's order); the heading first. Empty without movers or when nothing moved.
HOST_EXPORT QStringList moversList(const ReportLayout &layout, const ReportTable &table);

} // namespace ReportSplit
