// Which stores a mailed report names "Loja sem movimento": the rule on sales written by hand, and
// the sales read back from a tiny database.

#include "enginetest.h"
#include "vendhoracompleteness.h"

#include <QSqlQuery>
#include <algorithm>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

using Sale = VendHoraCompleteness::Sale;
const QDate kLast(2025, 6, 30); // a Monday

// `hours` sold on each of the four Mondays before, and `lastDay` on the 30th.
QList<Sale> store(const QString &code, std::initializer_list<int> hours, std::initializer_list<int> lastDay,
                  int weeks = 4)
{
    QList<Sale> sales;
    for (int week = 1; week <= weeks; ++week) {
        for (const int h : hours)
            sales.append({u"0001"_s, code, u"Loja "_s + code, kLast.addDays(-7 * week), h});
    }
    for (const int h : lastDay)
        sales.append({u"0001"_s, code, u"Loja "_s + code, kLast, h});
    return sales;
}

struct Case
{
    const char *what;
    QList<Sale> sales;
    QString stores = u"T"_s;
    QString hourFrom, hourTo;
    QStringList idle; // the codes named, in order
};

TEST(Completeness, NamesTheStoresWithoutTheirUsualLastHours)
{
    const Case cases[] = {
        {"sold in its last usual hours", store(u"A"_s, {10, 20, 21}, {10, 21}), u"T"_s, {}, {}, {}},
        {"stopped before its last two hours", store(u"A"_s, {10, 20, 21}, {10, 11, 19}), u"T"_s, {}, {}, {u"A"_s}},
        {"nothing on the day", store(u"A"_s, {12, 13}, {}), u"T"_s, {}, {}, {u"A"_s}},
        {"only one of the last two hours is enough", store(u"A"_s, {18, 19, 20}, {19}), u"T"_s, {}, {}, {}},
        {"three weeks of sales only: not judged", store(u"A"_s, {20, 21}, {}, 3), u"T"_s, {}, {}, {}},
        // hours that differ from week to week have no hour in common
        {"no hour on all four weeks: not judged",
         store(u"A"_s, {9}, {}, 2) + QList<Sale>{{u"0001"_s, u"A"_s, {}, kLast.addDays(-21), 15}, {u"0001"_s, u"A"_s, {}, kLast.addDays(-28), 16}},
         u"T"_s, {}, {}, {}},
        {"a store outside the picked list is left alone", store(u"A"_s, {20}, {}) + store(u"B"_s, {20}, {}),
         u"'B','C'"_s, {}, {}, {u"B"_s}},
        // the window's hours only: 21:00 is outside 08:00-20:59, so 19:00 and 20:00 are its last
        {"the hour window", store(u"A"_s, {19, 20, 21}, {21}), u"T"_s, u"0800"_s, u"2059"_s, {u"A"_s}},
        // a night shift ends after midnight: 01:00 and 02:00 are the last hours, not 22:00 and 23:00
        {"a night shift", store(u"A"_s, {22, 23, 1, 2}, {22, 23}), u"T"_s, u"2200"_s, u"0300"_s, {u"A"_s}},
        {"a night shift that ran to its end", store(u"A"_s, {22, 23, 1, 2}, {2}), u"T"_s, u"2200"_s, u"0300"_s, {}},
        {"sales of another day of the week do not count",
         store(u"A"_s, {20}, {}, 0) + QList<Sale>{{u"0001"_s, u"A"_s, {}, kLast.addDays(-1), 20}, {u"0001"_s, u"A"_s, {}, kLast.addDays(-8), 20},
                                                   {u"0001"_s, u"A"_s, {}, kLast.addDays(-15), 20}, {u"0001"_s, u"A"_s, {}, kLast.addDays(-22), 20}},
         u"T"_s, {}, {}, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        VendHoraCompleteness::Filter filter;
        filter.branches = u"0001"_s;
        filter.stores = c.stores;
        filter.lastDay = kLast;
        filter.hourFrom = c.hourFrom;
        filter.hourTo = c.hourTo;
        const QStringList lines = VendHoraCompleteness::idle(filter, c.sales);
        QStringList named;
        for (const QString &line : lines)
            named << line.section(u": "_s, 1).section(u' ', 0, 0);
        EXPECT_EQ(named, c.idle) << lines.join(u'\n').toStdString();
    }
}

class CompletenessRead : public enginetest::EngineTest
{
};

// The five days read from VENDA and LOJA, dates stored as SQLite's ISO text; cancelled sales and
// other days left out.
TEST_F(CompletenessRead, ReadsTheFiveWeekdaysFromTheTables)
{
    QSqlQuery q(db());
    ASSERT_TRUE(q.exec(u"CREATE TABLE VENDA (CDFILIAL CHAR(4), CDLOJA CHAR(10), CDCAIXA CHAR(3), DTVENDA DATE, "
                       u"HRVENDA CHAR(4), IDCANCELADA CHAR(1), VRTOTVENDA REAL)"_s));
    ASSERT_TRUE(q.exec(u"CREATE TABLE LOJA (CDFILIAL CHAR(4), CDLOJA CHAR(10), NMLOJA VARCHAR(30))"_s));
    ASSERT_TRUE(q.exec(u"INSERT INTO LOJA VALUES ('0001', '0000000001', 'Centro'), ('0001', '0000000002', 'Norte')"_s));
    for (const char *day : {"2025-06-02", "2025-06-09", "2025-06-16", "2025-06-23"}) {
        for (const char *store : {"0000000001", "0000000002"})
            ASSERT_TRUE(q.exec(u"INSERT INTO VENDA VALUES ('0001', '%1', '001', '%2', '2030', 'N', 10)"_s.arg(
                QLatin1String(store), QLatin1String(day))));
    }
    // the 30th: store 1 sold at 20:30; store 2's one sale was cancelled
    ASSERT_TRUE(q.exec(u"INSERT INTO VENDA VALUES ('0001', '0000000001', '001', '2025-06-30', '2045', 'N', 10)"_s));
    ASSERT_TRUE(q.exec(u"INSERT INTO VENDA VALUES ('0001', '0000000002', '001', '2025-06-30', '2040', 'S', 10)"_s));
    // the day before the first Monday: outside the five days
    ASSERT_TRUE(q.exec(u"INSERT INTO VENDA VALUES ('0001', '0000000002', '001', '2025-06-01', '2040', 'N', 10)"_s));
    VendHoraCompleteness::Filter filter;
    filter.branches = u"0001"_s;
    filter.stores = u"T"_s;
    filter.lastDay = kLast;
    const QList<Sale> sales = VendHoraCompleteness::read(filter, connection);
    const qsizetype onTheFiveDays = std::count_if(sales.begin(), sales.end(), [](const Sale &s) {
        return s.day.dayOfWeek() == Qt::Monday && s.day.daysTo(kLast) <= 28;
    });
    EXPECT_EQ(onTheFiveDays, 9); // 8 on the four Mondays, 1 on the 30th
    EXPECT_EQ(VendHoraCompleteness::idle(filter, sales),
              QStringList{u"Loja sem movimento: 0000000002 - Norte (nenhuma venda em 30/06/2025 nas horas 20:00, "
                          u"em que vendeu no mesmo dia da semana nas quatro semanas anteriores)"_s});
}

} // namespace
