// The change of a line's sales told apart into traffic and ticket, in cents: the rounding of the
// traffic effect and the cases where a period had no tickets.

#include "errors.h"
#include "reportsplit.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

namespace {

struct EffectsCase
{
    const char *what;
    qint64 sales, before, tickets, ticketsBefore;
    qint64 traffic, ticket;
};

const EffectsCase kEffects[] = {
    // 10 tickets of 10,00 became 12 of 11,00: 2 × 10,00 traffic, the rest ticket
    {"more tickets and a higher average", 13200, 10000, 12, 10, 2000, 1200},
    // 3 × 100,00/3 = 100,00 exactly; 1 more ticket at 33,333… is 33,33 (down)
    {"a third of a cent rounds down", 14000, 10000, 4, 3, 3333, 667},
    // 1 × 0,05/2 = 0,025: half a cent goes away from zero, up and down alike
    {"half a cent, up", 10, 5, 3, 2, 3, 2},
    {"half a cent, down", 1, 5, 1, 2, -3, -1},
    {"fewer tickets, same average", 5000, 10000, 5, 10, -5000, 0},
    {"no earlier tickets: all traffic", 4550, 0, 3, 0, 4550, 0},
    {"no tickets now: all traffic", 0, 7777, 0, 4, -7777, 0},
    {"nothing in either", 0, 0, 0, 0, 0, 0},
};

TEST(ReportSplit, EffectsAddUpToTheChangeInCents)
{
    for (const EffectsCase &c : kEffects) {
        SCOPED_TRACE(c.what);
        const ReportSplit::Effects e = ReportSplit::effects(c.sales, c.before, c.tickets, c.ticketsBefore);
        EXPECT_EQ(e.traffic, c.traffic);
        EXPECT_EQ(e.ticket, c.ticket);
        EXPECT_EQ(e.traffic + e.ticket, c.sales - c.before);
    }
}

TEST(ReportSplit, RefusesAnIncompleteDefinition)
{
    const char *refused[] = {
        R"({"sales": ["A"], "tickets": ["C", "D"], "average": ["E", "F"], "traffic": "G", "ticket": "H"})",
        R"({"sales": ["A", "B"], "tickets": ["C", "D"], "average": ["E", "F"], "traffic": "G"})",
        R"({"sales": ["A", "B"], "tickets": ["C", "D"], "average": ["E", "F"], "traffic": "G", "ticket": "H",
            "movers": {"store": "S"}})",
    };
    for (const char *json : refused) {
        SCOPED_TRACE(json);
        EXPECT_THROW(ReportSplitLayout::fromJson(QJsonDocument::fromJson(json).object()), EHostError);
    }
}

} // namespace
