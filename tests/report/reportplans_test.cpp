// The Vnd025 reports on SQLite and on Firebird: each engine's plan starts from the sales of the
// branch and period (never from the product range), and the rows are those of the texts the
// reports had before (bench/naive_sql), which read the same data in another order.

#include "demo/demotestdb.h"
#include "enginetest.h"
#include "errors.h"
#include "reportdocument.h"
#include "reportformat.h"
#include "reportsql.h"
#include "sqltext.h"

#include <QDir>
#include <QRegularExpression>
#include <QSet>
#include <algorithm>
#include <cmath>
#include <map>

using namespace enginetest;

namespace {

DatabaseConfig demoConfig(const QString &driver, const QString &path)
{
    DatabaseConfig c;
    c.driver = driver;
    c.name = path;
    c.createIfMissing = true;
    return c;
}

// Both engines hold the same rows (one seed and size).
class ReportPlans : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        sDir = new QTemporaryDir;
        sSqlite = demoConfig(QStringLiteral("QSQLITE"), sDir->filePath(QStringLiteral("demo.sqlite")));
        sFirebird = demoConfig(QStringLiteral("QIBASE"), sDir->filePath(QStringLiteral("demo.fdb")));
        createDemoDatabase(sSqlite, DemoSize::tiny(2500), 11);
        createDemoDatabase(sFirebird, DemoSize::tiny(2500), 11);
    }
    static void TearDownTestSuite()
    {
        delete sDir;
        sDir = nullptr;
    }

    static QStringList reportFiles()
    {
        const ReportCatalog catalog =
            ReportCatalog::load(testsupport::sourcePath(QStringLiteral("reports")), QStringLiteral("Vnd025"));
        QStringList files;
        for (int i = 0; i < catalog.entries().size(); ++i)
            files << catalog.pathOf(i);
        return files;
    }

    static inline QTemporaryDir *sDir = nullptr;
    static inline DatabaseConfig sSqlite, sFirebird;
};

// Table aliases in the order the plan reads them. SQLite: "SEARCH V USING ...", one line per
// table; Firebird: "PLAN SORT (JOIN (X V INDEX (...), X I INDEX (...)))".
QStringList readOrder(const QString &plan)
{
    static const QStringList aliases{QStringLiteral("V"), QStringLiteral("I"), QStringLiteral("P"),
                                     QStringLiteral("G"), QStringLiteral("L"), QStringLiteral("C"),
                                     QStringLiteral("F"), QStringLiteral("M")};
    static const QRegularExpression sqlite(QStringLiteral("^(?:SEARCH|SCAN) (\\w+)"),
                                           QRegularExpression::MultilineOption);
    static const QRegularExpression firebird(QStringLiteral("\\b(\\w+) (?:INDEX|ORDER|NATURAL)\\b"));
    const QRegularExpression &re = plan.startsWith(u"PLAN") ? firebird : sqlite;
    QStringList order;
    for (auto it = re.globalMatch(plan); it.hasNext();) {
        const QString alias = it.next().captured(1);
        if (aliases.contains(alias))
            order << alias;
    }
    return order;
}

TEST(ReportPlanReading, TablesComeOutInTheOrderTheEngineReadsThem)
{
    const struct
    {
        const char *plan;
        const char *order;
    } cases[] = {
        {"CO-ROUTINE X\nSEARCH V USING COVERING INDEX IX_VENDA_FILIAL_DATA (CDFILIAL=? AND DTVENDA>? AND DTVENDA<?)\n"
         "SEARCH I USING PRIMARY KEY (CDFILIAL=? AND CDCAIXA=? AND NRVENDA=?)\nSEARCH P USING PRIMARY KEY (CDPRODUTO=?)",
         "V I P"},
        {"SEARCH P USING INDEX UQ_PRODUTO_ARVORE (CDARVPROD>? AND CDARVPROD<?)\nSEARCH I USING INDEX IX_ITVENDA_PRODUTO "
         "(CDPRODUTO=?)\nSEARCH V USING PRIMARY KEY (CDFILIAL=? AND CDCAIXA=? AND NRVENDA=?)",
         "P I V"},
        {"PLAN SORT (JOIN (X V INDEX (IX_VENDA_FILIAL_DATA), X I INDEX (PK_ITVENDA), X P INDEX (PK_PRODUTO)))", "V I P"},
        {"PLAN SORT (JOIN (JOIN (V ORDER IX_VENDA_DATA INDEX (IX_VENDA_FILIAL_DATA), L INDEX (PK_LOJA))))", "V L"},
        {"PLAN SORT (JOIN (P_CDLOJA NATURAL, V INDEX (IX_VENDA_FILIAL_DATA)))", "V"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(readOrder(QLatin1String(c.plan)).join(u' '), QLatin1String(c.order)) << c.plan;
}

// Every report starts from VENDA through the index on branch and date (a list of branches or
// all of them: the date index, or a skip over the few branches on SQLite), reaches items and
// payments through their keys, and never walks the product range to every sale of a product.
TEST_F(ReportPlans, EveryReportStartsFromTheSalesOfThePeriod)
{
    int checked = 0;
    for (const QString &path : reportFiles()) {
        const ReportDefinition def = ReportDefinition::load(path);
        SCOPED_TRACE(def.title.toStdString());
        // the two reports without one branch may also take the date index
        const bool anyBranch = def.sqlFor(SqlDialect::Default).contains(u"P_TCDFILIAL") ||
                               !def.sqlFor(SqlDialect::Default).contains(u":P_CDFILIAL");
        const QString sql = def.sqlFor(SqlDialect::Default);
        const bool items = sql.contains(u"ITVENDA"), payments = sql.contains(u"PAGVENDA");
        for (const DatabaseConfig &db : {sSqlite, sFirebird}) {
            SCOPED_TRACE(db.driver.toStdString());
            const bool sqlite = db.driver == u"QSQLITE";
            const QString text = SqlText::toPositional(def.sqlFor(sqlite ? SqlDialect::Default : SqlDialect::InterBase)).text;
            QString plan;
            try {
                plan = demoQueryPlan(db, text);
            } catch (const EDatabaseError &e) {
                ADD_FAILURE() << e.message().toStdString();
                continue;
            }
            SCOPED_TRACE(plan.toStdString());
            const QStringList order = readOrder(plan);
            ASSERT_FALSE(order.isEmpty());
            EXPECT_EQ(order.first(), u"V");
            EXPECT_FALSE(plan.contains(u"IX_ITVENDA_PRODUTO"));
            EXPECT_FALSE(plan.contains(u"IX_PAGVENDA_MODALIDADE"));
            if (sqlite) {
                // answered from the index alone, not a table lookup per sale
                const bool branchIndex = plan.contains(u"SEARCH V USING COVERING INDEX IX_VENDA_FILIAL_DATA (");
                EXPECT_TRUE(branchIndex || (anyBranch && plan.contains(u"SEARCH V USING INDEX IX_VENDA_DATA (")));
                EXPECT_FALSE(plan.contains(u"SCAN V") || plan.contains(u"SCAN I") || plan.contains(u"SCAN G"));
                if (items) {
                    EXPECT_TRUE(plan.contains(u"SEARCH I USING PRIMARY KEY"));
                }
                if (payments) {
                    EXPECT_TRUE(plan.contains(u"SEARCH G USING PRIMARY KEY"));
                }
            } else {
                // "V INDEX (IX_...)", or "V ORDER IX_... INDEX (...)" when the index also gives the order
                const bool branchIndex = plan.contains(u"V INDEX (IX_VENDA_FILIAL_DATA") ||
                                         plan.contains(u"V ORDER IX_VENDA_FILIAL_DATA");
                EXPECT_TRUE(branchIndex || (anyBranch && plan.contains(u"IX_VENDA_DATA")));
                EXPECT_FALSE(plan.contains(u"V NATURAL") || plan.contains(u"I NATURAL") || plan.contains(u"G NATURAL"));
                // the list parameters are bound into the filter, not joined as a row sorted with every sale
                EXPECT_FALSE(text.contains(u"PARAM("));
                if (items) {
                    EXPECT_TRUE(plan.contains(u"I INDEX (PK_ITVENDA)"));
                }
                if (payments) {
                    EXPECT_TRUE(plan.contains(u"G INDEX (PK_PAGVENDA)"));
                }
            }
            ++checked;
        }
    }
    EXPECT_EQ(checked, 28);
}

// Every engine evaluates an OR from the left and stops at the first true term: with the take-all
// flag first, a report over every store or register never calls INSTR/CHARINDEX (a PSQL function
// on Firebird) once per sale. A list test written before its flag is slow, not wrong, so only
// this catches it.
TEST_F(ReportPlans, ListFiltersTestTheTakeAllFlagFirst)
{
    // a list test (its arguments nest two deep: INSTR(CAST(:P AS VARCHAR(4000)), ...)), then "OR" and
    // the take-all flag
    static const QRegularExpression listThenFlag(
        QStringLiteral("(?:INSTR|CHARINDEX)\\((?:[^()]|\\((?:[^()]|\\([^()]*\\))*\\))*\\)\\s*<>\\s*0\\)?\\s+OR\\s+(?:CAST\\()?:P_T"));
    static const QRegularExpression flagThenList(
        QStringLiteral(":P_T\\w+(?: AS VARCHAR\\(\\d+\\)\\))?\\s*=\\s*'T'\\s+OR\\s+(?:INSTR|CHARINDEX)\\("));
    const struct
    {
        SqlDialect dialect;
        const char *name;
    } dialects[] = {{SqlDialect::Default, "default"}, {SqlDialect::InterBase, "ib"}, {SqlDialect::MSSQL, "mssql"},
                    {SqlDialect::Oracle, "oracle"}, {SqlDialect::PostgreSQL, "postgresql"}};
    int flagsFirst = 0;
    for (const QString &path : reportFiles()) {
        const ReportDefinition def = ReportDefinition::load(path);
        SCOPED_TRACE(def.title.toStdString());
        for (const auto &d : dialects) {
            const QString sql = def.sqlFor(d.dialect);
            const QRegularExpressionMatch wrong = listThenFlag.match(sql);
            EXPECT_FALSE(wrong.hasMatch()) << d.name << ": " << wrong.captured().toStdString();
            for (auto it = flagThenList.globalMatch(sql); it.hasNext(); it.next())
                ++flagsFirst;
        }
    }
    // the rule is checked on real filters, not on texts that have none
    EXPECT_GT(flagsFirst, 50);

    // the expression itself tells the two orders apart
    EXPECT_TRUE(listThenFlag.match(QStringLiteral("AND (INSTR(:P_CDLOJA, V.CDLOJA) <> 0 OR :P_TCDLOJA = 'T')")).hasMatch());
    EXPECT_TRUE(listThenFlag.match(QStringLiteral("(INSTR(CAST(:P_CDCAIXA AS VARCHAR(4000)), V.CDCAIXA) <> 0 OR CAST(:P_TCDCAIXA AS VARCHAR(4000)) = 'T')")).hasMatch());
    EXPECT_TRUE(listThenFlag.match(QStringLiteral("(CHARINDEX(V.CDLOJA, :P_CDLOJA) <> 0 OR :P_TCDLOJA = 'T')")).hasMatch());
    EXPECT_FALSE(listThenFlag.match(QStringLiteral("AND (:P_TCDLOJA = 'T' OR INSTR(:P_CDLOJA, V.CDLOJA) <> 0)")).hasMatch());
}

using Values = std::map<QString, QVariant>;

// Filters as the screen fills them, for every report at once (each takes the names it declares).
struct FilterCase
{
    const char *what;
    Values values;
    bool branchListOnly = false; // only for the reports that take a list of branches
};

std::vector<FilterCase> filterCases()
{
    const Values base{{QStringLiteral("P_CDFILIAL"), QStringLiteral("0001")},
                      {QStringLiteral("P_TCDFILIAL"), QStringLiteral("T")},
                      {QStringLiteral("P_TCDLOJA"), QStringLiteral("T")},
                      {QStringLiteral("P_CDLOJA"), QString()},
                      {QStringLiteral("P_TCDCAIXA"), QStringLiteral("T")},
                      {QStringLiteral("P_CDCAIXA"), QString()},
                      {QStringLiteral("P_DTVENDAINI"), QDate(2025, 6, 17)},
                      {QStringLiteral("P_DTVENDAFIN"), QDate(2025, 6, 30)},
                      {QStringLiteral("P_HRINI"), QStringLiteral("0000")},
                      {QStringLiteral("P_HRFIN"), QStringLiteral("2359")},
                      {QStringLiteral("P_IDIMPHR"), QStringLiteral("N")},
                      {QStringLiteral("P_HRINI1"), QStringLiteral("17/06/2025 00:00")},
                      {QStringLiteral("P_HRFIN1"), QStringLiteral("30/06/2025 23:59")},
                      {QStringLiteral("MINUTOS"), 30},
                      {QStringLiteral("MINUTOS1"), 0},
                      {QStringLiteral("P_PRODINI"), QString()},
                      {QStringLiteral("P_PRODFIN"), QStringLiteral("ZZZZZZZZZZ")},
                      {QStringLiteral("P_IDCONSTXSERV"), QStringLiteral("S")}};
    auto with = [&](Values changes) {
        Values v = base;
        for (auto &[k, value] : changes)
            v[k] = value;
        return v;
    };
    return {
        {"branch 0001, everything, two weeks", base},
        {"store and register lists, hours, a product group, a period with hours at both ends",
         with({{QStringLiteral("P_TCDFILIAL"), QString()},
               {QStringLiteral("P_CDFILIAL"), QStringLiteral("0001")},
               {QStringLiteral("P_TCDLOJA"), QString()},
               {QStringLiteral("P_CDLOJA"), QStringLiteral("0000000001,0000000002,9999999999")},
               {QStringLiteral("P_TCDCAIXA"), QString()},
               {QStringLiteral("P_CDCAIXA"), QStringLiteral("001,002,003,999")},
               {QStringLiteral("P_IDIMPHR"), QStringLiteral("S")},
               {QStringLiteral("P_HRINI"), QStringLiteral("1100")},
               {QStringLiteral("P_HRFIN"), QStringLiteral("1459")},
               {QStringLiteral("P_DTVENDAINI"), QDate(2025, 6, 20)},
               {QStringLiteral("P_DTVENDAFIN"), QDate(2025, 6, 25)},
               {QStringLiteral("P_HRINI1"), QStringLiteral("20/06/2025 10:00")},
               {QStringLiteral("P_HRFIN1"), QStringLiteral("25/06/2025 15:30")},
               {QStringLiteral("MINUTOS"), 90},
               {QStringLiteral("MINUTOS1"), 45},
               {QStringLiteral("P_PRODINI"), QStringLiteral("01")},
               {QStringLiteral("P_PRODFIN"), QStringLiteral("01ZZZZZZZZ")},
               {QStringLiteral("P_IDCONSTXSERV"), QStringLiteral("N")}})},
        {"another branch, one day, hourly lines",
         with({{QStringLiteral("P_CDFILIAL"), QStringLiteral("0002")},
               {QStringLiteral("P_TCDFILIAL"), QString()},
               {QStringLiteral("P_DTVENDAINI"), QDate(2025, 6, 28)},
               {QStringLiteral("P_DTVENDAFIN"), QDate(2025, 6, 28)},
               {QStringLiteral("P_HRINI1"), QStringLiteral("28/06/2025 00:00")},
               {QStringLiteral("P_HRFIN1"), QStringLiteral("28/06/2025 23:59")},
               {QStringLiteral("MINUTOS"), 0},
               {QStringLiteral("MINUTOS1"), 1}})},
        {"two branches of a list (one without sales), quarter-hour lines",
         with({{QStringLiteral("P_TCDFILIAL"), QStringLiteral("0002,0003,0099")},
               {QStringLiteral("P_CDFILIAL"), QStringLiteral("0002,0003,0099")},
               {QStringLiteral("P_DTVENDAINI"), QDate(2025, 6, 1)},
               {QStringLiteral("MINUTOS"), 15}}),
         true},
        {"every branch, twenty-minute lines",
         with({{QStringLiteral("P_TCDFILIAL"), QStringLiteral("T")},
               {QStringLiteral("P_CDFILIAL"), QStringLiteral("T")},
               {QStringLiteral("MINUTOS"), 20}}),
         true},
    };
}

TParams paramsFor(const ReportDefinition &def, const Values &values)
{
    TParams params = def.makeParams();
    for (const auto &[name, value] : values) {
        TParam *p = params.FindParam(name);
        if (!p)
            continue;
        if (value.typeId() == QMetaType::QDate)
            p->SetAsDateTime(QDateTime(value.toDate(), QTime(0, 0)));
        else if (value.typeId() == QMetaType::Int)
            p->SetAsInteger(value.toInt());
        else
            p->SetAsString(value.toString());
    }
    return params;
}

using Rows = QList<QVariantList>;

// The rows of one statement with the report's parameters bound as the engine binds them; an
// error as a one-cell row.
Rows reportRows(const DemoConnection &db, const QString &sql, const TParams &params)
{
    const SqlText::Positional positional = SqlText::toPositional(sql);
    const QVariantList values = ReportSql::bindValues(positional.names, params);
    QSqlQuery query(db.db());
    query.setForwardOnly(true);
    Rows rows;
    if (!query.prepare(positional.text)) {
        rows << QVariantList{QStringLiteral("ERROR ") + query.lastError().text()};
        return rows;
    }
    for (qsizetype i = 0; i < values.size(); ++i)
        query.bindValue(int(i), values.at(i));
    if (!query.exec()) {
        rows << QVariantList{QStringLiteral("ERROR ") + query.lastError().text()};
        return rows;
    }
    const int columns = query.record().count();
    while (query.next()) {
        QVariantList row;
        for (int i = 0; i < columns; ++i)
            row << query.value(i);
        rows << row;
    }
    return rows;
}

QString shown(const QVariantList &row)
{
    QStringList cells;
    for (const QVariant &v : row)
        cells << v.toString().trimmed();
    return cells.join(u'|');
}

// "" when equal; otherwise the first row that differs, on both sides. Numbers are equal within a
// millionth of a cent: summed in another order, SQLite's REAL sums differ in the last bits (a
// quantity of 6.865 kg must not read 6.87 on one side and 6.86 on the other).
std::string firstDifference(const Rows &now, const Rows &before)
{
    auto same = [](const QVariant &a, const QVariant &b) {
        bool na = false, nb = false;
        const double x = a.toDouble(&na), y = b.toDouble(&nb);
        if (na && nb && (a.typeId() == QMetaType::Double || b.typeId() == QMetaType::Double))
            return std::abs(x - y) <= 1e-8 * std::max(1.0, std::abs(x));
        return a.toString().trimmed() == b.toString().trimmed();
    };
    for (qsizetype i = 0; i < std::max(now.size(), before.size()); ++i) {
        const QVariantList a = now.value(i), b = before.value(i);
        bool equal = a.size() == b.size();
        for (qsizetype c = 0; equal && c < a.size(); ++c)
            equal = same(a.at(c), b.at(c));
        if (!equal)
            return QStringLiteral("row %1 of %2/%3:\n  now    %4\n  before %5")
                .arg(i + 1).arg(now.size()).arg(before.size()).arg(shown(a), shown(b)).toStdString();
    }
    return {};
}

QString readText(const QString &path)
{
    return QString::fromUtf8(readAll(path));
}

// Equal to the cent: the texts that start from the period against the former ones, on both engines.
TEST_F(ReportPlans, RowsAreThoseOfTheFormerTexts)
{
    const DemoConnection lite(sSqlite), fb(sFirebird);
    ASSERT_TRUE(lite.isOpen()) << lite.error().toStdString();
    ASSERT_TRUE(fb.isOpen()) << fb.error().toStdString();
    const QDir former(testsupport::sourcePath(QStringLiteral("bench/naive_sql")));
    int compared = 0;
    // The reports that had texts before, and the heat map's hand-written one; the comparison was
    // written period-first and has none.
    for (const QString &path : reportFiles().mid(0, 12)) {
        const ReportDefinition def = ReportDefinition::load(path);
        const QString base = QFileInfo(path).completeBaseName();
        SCOPED_TRACE(def.title.toStdString());
        const QString formerSqlite = readText(former.filePath(base + QStringLiteral(".sql")));
        const QString formerFirebird = readText(former.filePath(base + QStringLiteral(".ib.sql")));
        ASSERT_FALSE(formerSqlite.isEmpty() || formerFirebird.isEmpty());
        for (const FilterCase &c : filterCases()) {
            if (c.branchListOnly && !def.sqlFor(SqlDialect::Default).contains(u":P_TCDFILIAL"))
                continue;
            SCOPED_TRACE(c.what);
            const TParams params = paramsFor(def, c.values);
            const Rows now = reportRows(lite, def.sqlFor(SqlDialect::Default), params);
            ASSERT_FALSE(now.isEmpty()) << "no rows: the comparison would prove nothing";
            EXPECT_GT(now.first().size(), 1) << shown(now.first()).toStdString();
            EXPECT_EQ(firstDifference(now, reportRows(lite, formerSqlite, params)), "");
            const Rows nowFb = reportRows(fb, def.sqlFor(SqlDialect::InterBase), params);
            ASSERT_FALSE(nowFb.isEmpty());
            EXPECT_GT(nowFb.first().size(), 1) << shown(nowFb.first()).toStdString();
            EXPECT_EQ(firstDifference(nowFb, reportRows(fb, formerFirebird, params)), "");
            ++compared;
        }
    }
    EXPECT_EQ(compared, 38);
}

// A night shift: with the start hour after the end hour (a period over several days), every report
// reads the hours from the start hour to midnight and from midnight to the end hour of each day.
// The demo sells from 08:00 to 21:59, so 20:00 to 08:59 takes both ends of every day.
TEST_F(ReportPlans, NightShiftHoursSpanMidnight)
{
    const DemoConnection lite(sSqlite), fb(sFirebird);
    ASSERT_TRUE(lite.isOpen()) << lite.error().toStdString();
    ASSERT_TRUE(fb.isOpen()) << fb.error().toStdString();
    auto hours = [](const char *from, const char *to) {
        Values v = filterCases().front().values;
        v[QStringLiteral("P_IDIMPHR")] = QStringLiteral("S");
        v[QStringLiteral("P_HRINI")] = QLatin1String(from);
        v[QStringLiteral("P_HRFIN")] = QLatin1String(to);
        v[QStringLiteral("MINUTOS")] = 60;
        v[QStringLiteral("MINUTOS1")] = 60;
        return v;
    };
    const Values night = hours("2000", "0859"), early = hours("0000", "0859"), late = hours("2000", "2359");
    int checked = 0;
    for (const QString &path : reportFiles()) {
        const ReportDefinition def = ReportDefinition::load(path);
        if (!def.sqlFor(SqlDialect::Default).contains(u":P_IDIMPHR"))
            continue;
        SCOPED_TRACE(def.title.toStdString());
        for (const DemoConnection *db : {&lite, &fb}) {
            const QString sql = def.sqlFor(db == &lite ? SqlDialect::Default : SqlDialect::InterBase);
            SCOPED_TRACE(db == &lite ? "SQLite" : "Firebird");
            const Rows rows = reportRows(*db, sql, paramsFor(def, night));
            ASSERT_FALSE(rows.isEmpty());
            ASSERT_GT(rows.first().size(), 1) << shown(rows.first()).toStdString();
            // One-hour lines: the night is the morning's lines followed by the evening's.
            if (QFileInfo(path).completeBaseName() == u"vendas_por_hora") {
                const Rows morning = reportRows(*db, sql, paramsFor(def, early));
                const Rows evening = reportRows(*db, sql, paramsFor(def, late));
                ASSERT_FALSE(morning.isEmpty() || evening.isEmpty());
                // the last column is each line's share of the window's total, which the halves cannot keep
                auto counts = [](Rows lines) {
                    for (QVariantList &line : lines)
                        line.removeLast();
                    return lines;
                };
                EXPECT_EQ(firstDifference(counts(rows), counts(morning + evening)), "");
            }
            ++checked;
        }
    }
    EXPECT_EQ(checked, 24);
}

// The heat map cell by cell against the sales counted by hand: a plain GROUP BY of the day and the
// hour's two digits, each day folded into its weekday by QDate (not by the engine's date functions).
TEST_F(ReportPlans, HeatMapCellsAreTheSalesOfEachWeekdayAndHour)
{
    const DemoConnection lite(sSqlite), fb(sFirebird);
    ASSERT_TRUE(lite.isOpen()) << lite.error().toStdString();
    ASSERT_TRUE(fb.isOpen()) << fb.error().toStdString();
    const ReportDefinition def = ReportDefinition::load(
        testsupport::sourcePath(QStringLiteral("reports/Vnd025/mapa_calor_dia_hora.json")));
    const Values base = filterCases().front().values;
    auto with = [&base](Values changes) {
        Values v = base;
        for (auto &[k, value] : changes)
            v[k] = value;
        return v;
    };
    const struct
    {
        const char *what;
        Values values;
        const char *where; // the same filters, written by hand
        const char *from = nullptr, *to = nullptr; // the hour window given
    } cases[] = {
        {"branch 0001, two weeks", base,
         "V.CDFILIAL = '0001' AND V.DTVENDA BETWEEN '2025-06-17' AND '2025-06-30'"},
        // the screen keeps the registers closed at this position: a list sent anyway changes nothing
        {"a store list, 11:00 to 14:59",
         with({{QStringLiteral("P_TCDLOJA"), QString()},
               {QStringLiteral("P_CDLOJA"), QStringLiteral("0000000001,0000000002")},
               {QStringLiteral("P_TCDCAIXA"), QString()},
               {QStringLiteral("P_CDCAIXA"), QStringLiteral("001,002")},
               {QStringLiteral("P_IDIMPHR"), QStringLiteral("S")},
               {QStringLiteral("P_HRINI"), QStringLiteral("1100")},
               {QStringLiteral("P_HRFIN"), QStringLiteral("1459")}}),
         "V.CDFILIAL = '0001' AND V.DTVENDA BETWEEN '2025-06-17' AND '2025-06-30' AND V.CDLOJA IN "
         "('0000000001', "
         "'0000000002') AND V.HRVENDA >= '1100' AND V.HRVENDA <= '1459'", "1100", "1459"},
        {"another branch, a night shift over a month",
         with({{QStringLiteral("P_CDFILIAL"), QStringLiteral("0002")},
               {QStringLiteral("P_DTVENDAINI"), QDate(2025, 6, 1)},
               {QStringLiteral("P_IDIMPHR"), QStringLiteral("S")},
               {QStringLiteral("P_HRINI"), QStringLiteral("2000")},
               {QStringLiteral("P_HRFIN"), QStringLiteral("0859")}}),
         "V.CDFILIAL = '0002' AND V.DTVENDA BETWEEN '2025-06-01' AND '2025-06-30' AND (V.HRVENDA >= '2000' "
         "OR "
         "V.HRVENDA <= '0859')", "2000", "0859"},
    };
    const QStringList resultColumns{QStringLiteral("DIASEMANA"), QStringLiteral("HRINICIO"),
                                    QStringLiteral("HRFIM"), QStringLiteral("QTVENDAS"),
                                    QStringLiteral("VRTOTAL")};
    int cellsChecked = 0;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        for (const DemoConnection *db : {&lite, &fb}) {
            const bool sqlite = db == &lite;
            SCOPED_TRACE(sqlite ? "SQLite" : "Firebird");
            const TParams params = paramsFor(def, c.values);
            ReportTable table;
            table.columns = resultColumns;
            table.rows =
                reportRows(*db, def.sqlFor(sqlite ? SqlDialect::Default : SqlDialect::InterBase), params);
            ASSERT_FALSE(table.rows.isEmpty());
            ASSERT_EQ(table.rows.first().size(), resultColumns.size())
                << shown(table.rows.first()).toStdString();
            const ReportModel model = ReportModel::build(QStringLiteral("Vnd025"), def, params, table);

            const QString hour = sqlite ? QStringLiteral("SUBSTR(V.HRVENDA, 1, 2)")
                                        : QStringLiteral("SUBSTRING(V.HRVENDA FROM 1 FOR 2)");
            const Rows byDay =
                reportRows(*db,
                           QStringLiteral("SELECT V.DTVENDA, %1, COUNT(*), SUM(V.VRTOTVENDA) FROM VENDA V "
                                          "WHERE V.IDCANCELADA = 'N' AND %2 GROUP BY V.DTVENDA, %1")
                               .arg(hour, QLatin1String(c.where)),
                           TParams());
            ASSERT_FALSE(byDay.isEmpty());
            ASSERT_EQ(byDay.first().size(), 4) << shown(byDay.first()).toStdString();
            std::map<std::pair<int, QString>, std::pair<qint64, double>>
                expected; // (weekday, "HH:00") -> count, sum
            for (const QVariantList &row : byDay) {
                const QDate day = ReportFormat::toDate(row.at(0));
                ASSERT_TRUE(day.isValid()) << row.at(0).toString().toStdString();
                auto &cell =
                    expected[{day.dayOfWeek() % 7, row.at(1).toString().trimmed() + QStringLiteral(":00")}];
                cell.first += row.at(2).toLongLong();
                cell.second += row.at(3).toDouble();
            }
            // the columns: every hour of the window given, else from the first to the last that sold
            int first = 23, last = 0;
            for (const auto &[key, cell] : expected) {
                first = std::min(first, key.second.left(2).toInt());
                last = std::max(last, key.second.left(2).toInt());
            }
            QStringList windowHours;
            for (int h = 0; h < 24; ++h) {
                const QString hhmm = QStringLiteral("%1").arg(h, 2, 10, QLatin1Char('0'));
                const bool inWindow = c.from ? (QLatin1String(c.from) <= QLatin1String(c.to)
                                                    ? hhmm >= QLatin1String(c.from).left(2) && hhmm <= QLatin1String(c.to).left(2)
                                                    : hhmm >= QLatin1String(c.from).left(2) || hhmm <= QLatin1String(c.to).left(2))
                                             : h >= first && h <= last;
                if (inWindow)
                    windowHours << hhmm + QStringLiteral(":00");
            }
            const ReportMatrix &m = model.matrix;
            ASSERT_EQ(m.columnNames, windowHours);
            ASSERT_EQ(m.rowNames, (QStringList{QStringLiteral("Domingo"), QStringLiteral("Segunda"),
                                               QStringLiteral("Terça"), QStringLiteral("Quarta"),
                                               QStringLiteral("Quinta"), QStringLiteral("Sexta"),
                                               QStringLiteral("Sábado")}));
            double total = 0;
            for (int r = 0; r < m.rows(); ++r) {
                for (int col = 0; col < m.columns(); ++col) {
                    SCOPED_TRACE(
                        QStringLiteral("%1 %2").arg(m.rowNames.at(r), m.columnNames.at(col)).toStdString());
                    const auto it = expected.find({r, m.columnNames.at(col)});
                    if (it == expected.end()) {
                        EXPECT_FALSE(m.values.at(r).at(col).has_value());
                        continue;
                    }
                    ASSERT_TRUE(m.values.at(r).at(col).has_value());
                    EXPECT_NEAR(*m.values.at(r).at(col), it->second.second, 0.005);
                    EXPECT_EQ(m.counts.at(r).at(col), it->second.first);
                    total += it->second.second;
                    ++cellsChecked;
                }
            }
            EXPECT_NEAR(m.total, total, 0.01);
            // the grand total is the period's sales, summed apart from the cells
            const Rows sold = reportRows(
                *db, QStringLiteral("SELECT SUM(V.VRTOTVENDA) FROM VENDA V WHERE V.IDCANCELADA = 'N' AND %1").arg(QLatin1String(c.where)),
                TParams());
            ASSERT_EQ(sold.size(), 1);
            EXPECT_NEAR(m.total, sold.first().first().toDouble(), 0.005);
        }
    }
    EXPECT_GT(cellsChecked, 100) << "few cells: the check proved little";
}

} // namespace
