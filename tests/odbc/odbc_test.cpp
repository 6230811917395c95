// The host through real ODBC drivers, against the same demo data as the native drivers: PostgreSQL
// through odbc-postgresql (a throw-away server, tools/odbc-test-server.sh) and the SQLite file
// through libsqliteodbc. Every report runs on the engine's own text through the host's report path
// (worker connection, bind values, cancel) and must give the rows native SQLite gives.
#include "adoibquery.h"
#include "datamodule.h"
#include "dbms.h"
#include "demodb.h"
#include "errors.h"
#include "firebird.h"
#include "reportdefinition.h"
#include "reportsql.h"
#include "reportquery.h"
#include "sqltext.h"
#include "odbcserver.h"
#include "testsupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <cmath>
#include <map>

using namespace Qt::StringLiterals;

namespace {

using testsupport::Engine;
using testsupport::engineName;

DatabaseConfig config(const QString &driver, const QString &name)
{
    DatabaseConfig c;
    c.driver = driver;
    c.name = name;
    return c;
}

using testsupport::createPostgresDatabase;

// One seed and size on every engine; SQLite through ODBC reads the native SQLite file itself.
class Demo
{
public:
    static Demo &get()
    {
        static Demo demo;
        return demo;
    }
    QString failure;
    std::map<Engine, DatabaseConfig> configs;
    DemoCounts sqliteCounts, postgresCounts, nativePostgresCounts;

private:
    Demo()
    {
        const DemoSize size = DemoSize::tiny(900);
        try {
            const QString file = mDir.filePath(u"demo.sqlite"_s);
            DatabaseConfig sqlite = config(u"QSQLITE"_s, file);
            sqliteCounts = createDemoDatabase(sqlite, size, 5);
            configs[Engine::Sqlite] = sqlite;
            DatabaseConfig firebird = config(u"QIBASE"_s, mDir.filePath(u"demo.fdb"_s));
            createDemoDatabase(firebird, size, 5);
            configs[Engine::Firebird] = firebird;
            DatabaseConfig postgres = config(
                u"QODBC"_s, createPostgresDatabase(u"bo_demo_%1"_s.arg(QCoreApplication::applicationPid())));
            postgresCounts = createDemoDatabase(postgres, size, 5);
            configs[Engine::OdbcPostgres] = postgres;
            // The same demo written natively, through QPSQL.
            const QString native = u"bo_demo_native_%1"_s.arg(QCoreApplication::applicationPid());
            createPostgresDatabase(native);
            const DatabaseConfig nativePostgres = testsupport::postgresConfig(native);
            nativePostgresCounts = createDemoDatabase(nativePostgres, size, 5);
            configs[Engine::Postgres] = nativePostgres;
            configs[Engine::OdbcSqlite] = config(u"QODBC"_s, u"DSN=bo_sqlite;Database="_s + file);
        } catch (const EHostError &e) {
            failure = e.message();
        }
    }
    QTemporaryDir mDir;
};

class Odbc : public testing::TestWithParam<Engine>
{
protected:
    void SetUp() override
    {
        Demo &demo = Demo::get();
        ASSERT_TRUE(demo.failure.isEmpty()) << demo.failure.toStdString();
        ASSERT_NO_THROW(TdtmDBGeral::open(demo.configs.at(GetParam())));
    }
    void TearDown() override { TdtmDBGeral::close(); }

    // One statement through the host's lookup query; rows as "a|b".
    static QStringList lookup(const QString &sql, const std::map<QString, std::optional<QString>> &params = {})
    {
        TADOIBQuery q;
        q.setSQL({sql});
        for (const auto &[name, value] : params) {
            if (value)
                q.ParamByName(name).SetAsString(*value);
            else
                q.ParamByName(name).Clear();
        }
        q.Open();
        QStringList rows;
        TDataSet *data = q.Query();
        for (int r = 0; r < data->RecordCount(); ++r) {
            QStringList cells;
            for (const QString &c : data->columns())
                cells << data->text(r, c);
            rows << cells.join(u'|');
        }
        return rows;
    }
};

struct Ran
{
    ReportQuery::Outcome outcome = ReportQuery::Outcome::Running;
    QString error;
    ReportTable table;
};

// A statement through the report engine's runner: its own copy of `source` on a worker thread.
Ran runReport(const QString &sql, const QVariantList &values, int cancelAfterMs = -1,
              const QString &source = QString::fromLatin1(TdtmDBGeral::ConnectionName))
{
    ReportQuery query(source, sql, values);
    QSignalSpy finished(&query, &ReportQuery::finished);
    query.start();
    if (cancelAfterMs >= 0) {
        QTest::qWait(cancelAfterMs);
        query.cancel();
    }
    Ran ran;
    if (finished.isEmpty() && !finished.wait(60000)) {
        ran.error = u"no answer in a minute"_s;
        return ran;
    }
    ran.outcome = query.outcome();
    ran.error = query.errorText();
    ran.table = query.takeTable();
    return ran;
}

using Values = std::map<QString, QVariant>;

// Filters as the screen fills them; each report takes the names it declares.
std::vector<std::pair<const char *, Values>> filterCases()
{
    const Values base{{u"P_CDFILIAL"_s, u"0001"_s},         {u"P_TCDFILIAL"_s, u"T"_s},
                      {u"P_TCDLOJA"_s, u"T"_s},             {u"P_CDLOJA"_s, QString()},
                      {u"P_TCDCAIXA"_s, u"T"_s},            {u"P_CDCAIXA"_s, QString()},
                      {u"P_DTVENDAINI"_s, QDate(2025, 6, 17)}, {u"P_DTVENDAFIN"_s, QDate(2025, 6, 30)},
                      {u"P_HRINI"_s, u"0000"_s},            {u"P_HRFIN"_s, u"2359"_s},
                      {u"P_IDIMPHR"_s, u"N"_s},             {u"P_HRINI1"_s, u"17/06/2025 00:00"_s},
                      {u"P_HRFIN1"_s, u"30/06/2025 23:59"_s}, {u"MINUTOS"_s, 30},
                      {u"MINUTOS1"_s, 0},                   {u"P_PRODINI"_s, QString()},
                      {u"P_PRODFIN"_s, u"ZZZZZZZZZZ"_s},    {u"P_IDCONSTXSERV"_s, u"S"_s}};
    Values lists = base;
    for (const auto &[k, v] : Values{{u"P_TCDFILIAL"_s, QString()},
                                     {u"P_TCDLOJA"_s, QString()},
                                     {u"P_CDLOJA"_s, u"0000000001,0000000002,9999999999"_s},
                                     {u"P_TCDCAIXA"_s, QString()},
                                     {u"P_CDCAIXA"_s, u"001,002,003,999"_s},
                                     {u"P_IDIMPHR"_s, u"S"_s},
                                     {u"P_HRINI"_s, u"2000"_s},
                                     {u"P_HRFIN"_s, u"1159"_s},
                                     {u"P_DTVENDAINI"_s, QDate(2025, 6, 20)},
                                     {u"P_DTVENDAFIN"_s, QDate(2025, 6, 25)},
                                     {u"P_HRINI1"_s, u"20/06/2025 10:00"_s},
                                     {u"P_HRFIN1"_s, u"25/06/2025 15:30"_s},
                                     {u"MINUTOS"_s, 90},
                                     {u"MINUTOS1"_s, 45},
                                     {u"P_PRODINI"_s, u"01"_s},
                                     {u"P_PRODFIN"_s, u"01ZZZZZZZZ"_s},
                                     {u"P_IDCONSTXSERV"_s, u"N"_s}})
        lists[k] = v;
    // a whole calendar month: the comparison's "Anterior" is the month before (May), by month arithmetic
    Values month = base;
    for (const auto &[k, v] : Values{{u"P_DTVENDAINI"_s, QDate(2025, 6, 1)},
                                     {u"P_DTVENDAFIN"_s, QDate(2025, 6, 30)},
                                     {u"P_HRINI1"_s, u"01/06/2025 00:00"_s}})
        month[k] = v;
    return {{"branch 0001, everything, two weeks", base},
            {"store and register lists, a night shift, a product group, a period with hours", lists},
            {"the whole of June", month}};
}

TParams paramsFor(const ReportDefinition &def, const Values &values)
{
    TParams params = def.makeParams();
    for (const auto &[name, value] : values) {
        TParam *p = params.FindParam(name);
        if (!p)
            continue;
        if (value.typeId() == QMetaType::QDate)
            p->SetAsDateTime(calendarDateTime(value.toDate()));
        else if (value.typeId() == QMetaType::Int)
            p->SetAsInteger(value.toInt());
        else
            p->SetAsString(value.toString());
    }
    return params;
}

// A cell as text that reads the same on every engine: dates as ISO text (SQLite keeps them as
// text), numbers as numbers.
QString cell(const QVariant &v)
{
    if (v.isNull())
        return u"NULL"_s;
    if (v.typeId() == QMetaType::QDate)
        return v.toDate().toString(Qt::ISODate);
    if (v.typeId() == QMetaType::QDateTime)
        return v.toDateTime().toString(u"yyyy-MM-dd HH:mm:ss"_s);
    return v.toString().trimmed();
}

// "" when the tables hold the same rows in the same order, else the first difference. Numbers
// agree to a hundred-thousandth: SQLite sums REALs, PostgreSQL computes in NUMERIC, and Firebird
// cuts a NUMERIC quotient at its scale (a share of 1.256130 against 1.256131); the reports print
// two or three decimals.
std::string firstDifference(const ReportTable &got, const ReportTable &expected)
{
    if (got.rows.size() != expected.rows.size())
        return "rows: " + std::to_string(got.rows.size()) + " against " + std::to_string(expected.rows.size());
    for (qsizetype r = 0; r < got.rows.size(); ++r) {
        const QVariantList &a = got.rows.at(r), &b = expected.rows.at(r);
        bool same = a.size() == b.size();
        for (qsizetype c = 0; same && c < a.size(); ++c) {
            const QString x = cell(a.at(c)), y = cell(b.at(c));
            bool nx = false, ny = false;
            const double dx = x.toDouble(&nx), dy = y.toDouble(&ny);
            same = (nx && ny) ? std::abs(dx - dy) <= 1e-5 + 1e-9 * std::abs(dy) : x == y;
        }
        if (!same) {
            QStringList ca, cb;
            for (const QVariant &v : a)
                ca << cell(v);
            for (const QVariant &v : b)
                cb << cell(v);
            return QStringLiteral("row %1:\n  got      %2\n  expected %3")
                .arg(r + 1)
                .arg(ca.join(u'|'), cb.join(u'|'))
                .toStdString();
        }
    }
    return {};
}

// The native SQLite file as a second connection, what every engine is compared with.
class NativeSqlite
{
public:
    explicit NativeSqlite(const QString &file)
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, name());
        db.setDatabaseName(file);
        db.open();
    }
    ~NativeSqlite()
    {
        QSqlDatabase::database(name(), false).close();
        QSqlDatabase::removeDatabase(name());
    }
    static QString name() { return u"native_sqlite"_s; }
};

QStringList reportFiles()
{
    const ReportCatalog catalog = ReportCatalog::load(testsupport::sourcePath(u"reports"_s), u"Vnd025"_s);
    QStringList files;
    for (int i = 0; i < catalog.entries().size(); ++i)
        files << catalog.pathOf(i);
    return files;
}

TEST_P(Odbc, EveryReportGivesTheRowsOfNativeSqlite)
{
    const SqlDialect dialect = dialectOf(TdtmDBGeral::adcGeral());
    const NativeSqlite native(Demo::get().configs.at(Engine::Sqlite).name);
    int compared = 0;
    for (const QString &path : reportFiles()) {
        const ReportDefinition def = ReportDefinition::load(path);
        SCOPED_TRACE(def.title.toStdString());
        for (const auto &[what, values] : filterCases()) {
            SCOPED_TRACE(what);
            const TParams params = paramsFor(def, values);
            const SqlText::Positional text = SqlText::toPositional(def.sqlFor(dialect));
            const Ran ran = runReport(text.text, ReportSql::bindValues(text.names, params));
            ASSERT_EQ(ran.outcome, ReportQuery::Outcome::Done) << ran.error.toStdString();
            ASSERT_FALSE(ran.table.rows.isEmpty()) << "no rows: the comparison would prove nothing";
            const SqlText::Positional reference = SqlText::toPositional(def.sqlFor(SqlDialect::Default));
            const Ran expected =
                runReport(reference.text, ReportSql::bindValues(reference.names, params), -1, NativeSqlite::name());
            ASSERT_EQ(expected.outcome, ReportQuery::Outcome::Done) << expected.error.toStdString();
            EXPECT_EQ(firstDifference(ran.table, expected.table), "");
            ++compared;
        }
    }
    EXPECT_EQ(compared, 42);
}

// What ODBC drivers do their own way, read through the host's lookup query.
TEST_P(Odbc, EmptyTextNullCharPaddingDatesAndErrorsReadAsOnTheNativeDrivers)
{
    // A parameter compared with nothing typed gets its type from a CAST (PostgreSQL cannot tell
    // the type of a bare "? IS NULL" and says so, below).
    const QString probe = u"SELECT CASE WHEN CAST(:P AS VARCHAR(10)) IS NULL THEN 'nulo' "
                          u"WHEN CAST(:P AS VARCHAR(10)) = '' THEN 'vazio' ELSE 'texto' END AS R "
                          u"FROM FILIAL WHERE CDFILIAL = '0001'"_s;
    EXPECT_EQ(lookup(probe, {{u"P"_s, u""_s}}), QStringList{u"vazio"_s});
    EXPECT_EQ(lookup(probe, {{u"P"_s, std::nullopt}}), QStringList{u"nulo"_s});
    EXPECT_EQ(lookup(probe, {{u"P"_s, u"x"_s}}), QStringList{u"texto"_s});
    // Fixed-width texts without their padding, however the engine pads them, and the same through
    // the reports' runner; the blanks a variable-width text holds are its own.
    const QString padding = u"SELECT CAST('A' AS CHAR(3)) AS C, SGESTADO, CAST(' B ' AS VARCHAR(4)) AS V "
                            u"FROM FILIAL WHERE CDFILIAL = :F"_s;
    EXPECT_EQ(lookup(padding, {{u"F"_s, u"0001"_s}}), QStringList{u"A|SP| B "_s});
    const Ran report = runReport(SqlText::toPositional(padding).text, {u"0001"_s});
    ASSERT_EQ(report.outcome, ReportQuery::Outcome::Done) << report.error.toStdString();
    ASSERT_EQ(report.table.rows.size(), 1);
    EXPECT_EQ(report.table.rows.first(), (QVariantList{u"A"_s, u"SP"_s, u" B "_s}));
    // A DATE column reads as the same text everywhere (SQLite holds it as text, the servers as a
    // date); date parameters are the reports' (above).
    EXPECT_EQ(lookup(u"SELECT MIN(DTVENDA) AS D, MAX(DTVENDA) AS M FROM VENDA WHERE CDFILIAL = :F"_s,
                     {{u"F"_s, u"0001"_s}}),
              QStringList{u"2025-06-17|2025-06-30"_s});
    // A date-time parameter against a DATE column: SQLite compares the bound text (the same
    // through its ODBC driver), so noon of the 29th leaves the 29th out; Firebird and PostgreSQL
    // type the parameter as the column's DATE and drop the time. The reports bind dates as dates.
    TADOIBQuery q;
    q.setSQL({u"SELECT MIN(DTVENDA) AS D FROM VENDA WHERE DTVENDA >= :D"_s});
    q.ParamByName(u"D"_s).SetAsDateTime(calendarDateTime(QDate(2025, 6, 29), QTime(12, 0)));
    q.Open();
    const bool sqlite = GetParam() == Engine::Sqlite || GetParam() == Engine::OdbcSqlite;
    EXPECT_EQ(q.FieldByName(u"D"_s).AsString(), sqlite ? u"2025-06-30"_s : u"2025-06-29"_s);
    if (GetParam() == Engine::OdbcPostgres || GetParam() == Engine::Postgres) {
        try {
            lookup(u"SELECT CASE WHEN :P IS NULL THEN 1 ELSE 0 END AS R FROM FILIAL"_s, {{u"P"_s, u""_s}});
            ADD_FAILURE() << "PostgreSQL typed a bare parameter";
        } catch (const EDatabaseError &e) {
            EXPECT_TRUE(e.message().contains(u"could not determine data type of parameter"_s)) << e.message().toStdString();
        }
    }
    // A server error reaches the caller with the server's words.
    try {
        lookup(u"SELECT X FROM NAO_EXISTE"_s);
        ADD_FAILURE() << "a missing table was not an error";
    } catch (const EDatabaseError &e) {
        EXPECT_TRUE(e.message().contains(u"nao_existe"_s, Qt::CaseInsensitive)) << e.message().toStdString();
    }
    // The connection goes on working after the error.
    EXPECT_EQ(lookup(u"SELECT NMFILIAL FROM FILIAL WHERE CDFILIAL = '0002'"_s).size(), 1);
}

// The report's cancel interrupts the statement the engine is running (through ODBC: SQLCancel on
// the running statement), long before it would end, and the shared connection stays usable.
// Firebird caps recursion at 1024 levels and has its own cancel tests (tests/data/interrupt_test).
class Cancel : public Odbc
{
};

TEST_P(Cancel, InterruptsTheRunningStatement)
{
    // Minutes of work on every engine; counted, so no row comes back before the end.
    const QString endless = u"WITH RECURSIVE N(I) AS (SELECT 1 FROM FILIAL WHERE CDFILIAL = '0001' UNION ALL "
                            u"SELECT I + 1 FROM N WHERE I < 2000000000) SELECT COUNT(*) FROM N"_s;
    const Ran ran = runReport(endless, {}, 300);
    EXPECT_EQ(ran.outcome, ReportQuery::Outcome::Cancelled) << ran.error.toStdString();
    EXPECT_TRUE(ran.table.rows.isEmpty());
    EXPECT_EQ(lookup(u"SELECT CDFILIAL FROM FILIAL WHERE CDFILIAL = '0001'"_s), QStringList{u"0001"_s});
}

INSTANTIATE_TEST_SUITE_P(Engines, Odbc,
                         testsupport::allEngines(),
                         engineName);
// The report time limit cuts the same statement: the engine's own cancel, reached through the
// table of drivers (on PostgreSQL PQcancel with the connection's key), not a wait for the end.
TEST_P(Cancel, TheTimeLimitCutsTheRunningStatement)
{
    DatabaseConfig limited = Demo::get().configs.at(GetParam());
    limited.reportTimeout = 1;
    ASSERT_NO_THROW(TdtmDBGeral::open(limited));
    const QString endless = u"WITH RECURSIVE N(I) AS (SELECT 1 FROM FILIAL WHERE CDFILIAL = '0001' UNION ALL "
                            u"SELECT I + 1 FROM N WHERE I < 2000000000) SELECT COUNT(*) FROM N"_s;
    QElapsedTimer clock;
    clock.start();
    const Ran ran = runReport(endless, {});
    EXPECT_EQ(ran.outcome, ReportQuery::Outcome::Failed);
    EXPECT_TRUE(ran.error.contains(u"não respondeu em 1 s"_s)) << ran.error.toStdString();
    EXPECT_LT(clock.elapsed(), 10000);
    EXPECT_EQ(lookup(u"SELECT CDFILIAL FROM FILIAL WHERE CDFILIAL = '0001'"_s), QStringList{u"0001"_s});
}

INSTANTIATE_TEST_SUITE_P(Engines, Cancel,
                         testing::Values(Engine::Sqlite, Engine::Postgres, Engine::OdbcPostgres, Engine::OdbcSqlite),
                         engineName);

TEST(OdbcDemo, PostgresHoldsTheRowsOfSqlite)
{
    Demo &demo = Demo::get();
    ASSERT_TRUE(demo.failure.isEmpty()) << demo.failure.toStdString();
    EXPECT_EQ(demo.postgresCounts, demo.sqliteCounts);
    EXPECT_EQ(demo.nativePostgresCounts, demo.sqliteCounts);
    EXPECT_GT(demo.sqliteCounts.sales, 0);
}

// The report identity on PostgreSQL: a role that may only read (docs/host.md) runs every report,
// and the server refuses it a write.
TEST(OdbcDemo, ReportsRunUnderAReadOnlyRole)
{
    Demo &demo = Demo::get();
    ASSERT_TRUE(demo.failure.isEmpty()) << demo.failure.toStdString();
    const DatabaseConfig owner = demo.configs.at(Engine::OdbcPostgres);
    ASSERT_NO_THROW(TdtmDBGeral::open(owner));
    const QString database = owner.name.section(u"Database="_s, 1);
    // Roles belong to the whole server: one of this process's own.
    const QString role = u"bo_relatorio_%1"_s.arg(QCoreApplication::applicationPid());
    for (const QString &sql :
         {u"CREATE ROLE %1 LOGIN"_s.arg(role), u"ALTER ROLE %1 SET default_transaction_read_only = on"_s.arg(role),
          u"GRANT CONNECT ON DATABASE %1 TO %2"_s.arg(database, role),
          u"GRANT USAGE ON SCHEMA public TO %1"_s.arg(role),
          u"GRANT SELECT ON ALL TABLES IN SCHEMA public TO %1"_s.arg(role)}) {
        QSqlQuery q(TdtmDBGeral::adcGeral());
        ASSERT_TRUE(q.exec(sql)) << q.lastError().text().toStdString();
    }
    TdtmDBGeral::close();

    DatabaseConfig reader = owner;
    reader.user = role;
    ASSERT_NO_THROW(TdtmDBGeral::open(reader));
    const NativeSqlite native(demo.configs.at(Engine::Sqlite).name);
    const auto cases = filterCases();
    const Values &values = cases.front().second;
    int ran = 0;
    for (const QString &path : reportFiles()) {
        const ReportDefinition def = ReportDefinition::load(path);
        SCOPED_TRACE(def.title.toStdString());
        const SqlText::Positional text = SqlText::toPositional(def.sqlFor(SqlDialect::PostgreSQL));
        const Ran r = runReport(text.text, ReportSql::bindValues(text.names, paramsFor(def, values)));
        EXPECT_EQ(r.outcome, ReportQuery::Outcome::Done) << r.error.toStdString();
        EXPECT_FALSE(r.table.rows.isEmpty());
        ++ran;
    }
    EXPECT_EQ(ran, 14);
    const Ran write = runReport(u"DELETE FROM VENDA WHERE CDFILIAL = ?"_s, {u"0001"_s});
    EXPECT_EQ(write.outcome, ReportQuery::Outcome::Failed);
    EXPECT_TRUE(write.error.contains(u"read-only"_s) || write.error.contains(u"permission denied"_s))
        << write.error.toStdString();
    TdtmDBGeral::close();
    // Nothing was deleted.
    ASSERT_NO_THROW(TdtmDBGeral::open(owner));
    QSqlQuery count(TdtmDBGeral::adcGeral());
    ASSERT_TRUE(count.exec(u"SELECT COUNT(*) FROM VENDA"_s) && count.next());
    EXPECT_EQ(count.value(0).toLongLong(), demo.sqliteCounts.sales);
    TdtmDBGeral::close();
}

// Through QPSQL the reports read as the report identity the demo made, in a read-only transaction:
// a write fails with the screen's words before the server's, and nothing changes.
TEST(OdbcDemo, NativePostgresReportsReadAsTheReportIdentity)
{
    Demo &demo = Demo::get();
    ASSERT_TRUE(demo.failure.isEmpty()) << demo.failure.toStdString();
    ASSERT_NO_THROW(TdtmDBGeral::open(demo.configs.at(Engine::Postgres)));
    const Ran who = runReport(u"SELECT SESSION_USER, CURRENT_USER FROM FILIAL WHERE CDFILIAL = ?"_s, {u"0001"_s});
    ASSERT_EQ(who.outcome, ReportQuery::Outcome::Done) << who.error.toStdString();
    ASSERT_EQ(who.table.rows.size(), 1);
    EXPECT_EQ(who.table.rows.at(0).at(0).toString(), u"BO_RELATORIO"_s);
    EXPECT_EQ(who.table.rows.at(0).at(1).toString(), u"BO_LEITURA"_s);
    const struct
    {
        const char *sql;
        const char *server;
    } writes[] = {
        {"DELETE FROM VENDA WHERE CDFILIAL = ?", "read-only transaction"},
        {"SELECT NEXTVAL('X') FROM FILIAL WHERE CDFILIAL = ?", "does not exist"},
        {"UPDATE FILIAL SET NMFILIAL = 'x' WHERE CDFILIAL = ?", "read-only transaction"},
    };
    for (const auto &w : writes) {
        SCOPED_TRACE(w.sql);
        const Ran r = runReport(QString::fromLatin1(w.sql), {u"0001"_s});
        EXPECT_EQ(r.outcome, ReportQuery::Outcome::Failed);
        EXPECT_TRUE(r.error.contains(QLatin1String(w.server))) << r.error.toStdString();
        EXPECT_EQ(r.error.startsWith(u"O relatório só pode ler"_s), QByteArray(w.server) == "read-only transaction")
            << r.error.toStdString();
    }
    QSqlQuery count(TdtmDBGeral::adcGeral());
    ASSERT_TRUE(count.exec(u"SELECT COUNT(*) FROM VENDA"_s) && count.next());
    EXPECT_EQ(count.value(0).toLongLong(), demo.sqliteCounts.sales);
    TdtmDBGeral::close();
}

TEST(OdbcDemo, OtherEnginesThroughOdbcAreRefused)
{
    Demo &demo = Demo::get();
    ASSERT_TRUE(demo.failure.isEmpty()) << demo.failure.toStdString();
    QTemporaryDir dir;
    const DatabaseConfig sqlite = config(u"QODBC"_s, u"DSN=bo_sqlite;Database="_s + dir.filePath(u"x.sqlite"_s));
    try {
        createDemoDatabase(sqlite, DemoSize::tiny(10), 1);
        ADD_FAILURE() << "the demo was written to SQLite through ODBC";
    } catch (const EDatabaseError &e) {
        EXPECT_TRUE(e.message().contains(u"not SQLite"_s)) << e.message().toStdString();
    }
}

// The sales summaries against the sales, on SQLite and on PostgreSQL: databases of their own, whose
// sales are then added, cancelled, moved, changed and deleted so that the triggers have kept the
// summaries through every kind of change.
class SummaryDemo
{
public:
    static SummaryDemo &get()
    {
        static SummaryDemo demo;
        return demo;
    }
    QString failure;
    std::map<Engine, DatabaseConfig> configs;

private:
    SummaryDemo()
    {
        try {
            configs[Engine::Sqlite] = config(u"QSQLITE"_s, mDir.filePath(u"summary.sqlite"_s));
            const QString native = u"bo_summary_%1"_s.arg(QCoreApplication::applicationPid());
            createPostgresDatabase(native);
            configs[Engine::Postgres] = testsupport::postgresConfig(native);
            for (const auto &[engine, db] : configs)
                createDemoDatabase(db, DemoSize::tiny(900), 5);
        } catch (const EHostError &e) {
            failure = e.message();
        }
    }
    QTemporaryDir mDir;
};

// Every change a sale goes through after it is written, as plain statements on VENDA.
const char *const kSaleChanges[] = {
    // a second sale in a minute that has one, and one in a minute that has none
    "INSERT INTO VENDA SELECT CDFILIAL, CDLOJA, CDCAIXA, NRVENDA + 100000, DTVENDA, HRVENDA, QTITENS, VRDESCONTO, "
    "VRTOTVENDA, VRTXSERV, VRTXENTR, 'N' FROM VENDA WHERE NRVENDA % 17 = 0",
    "INSERT INTO VENDA SELECT CDFILIAL, CDLOJA, CDCAIXA, NRVENDA + 200000, DTVENDA, '0307', 2, 0, 10.05, 1.10, 0, "
    "'N' FROM VENDA WHERE NRVENDA % 19 = 0",
    "UPDATE VENDA SET IDCANCELADA = 'S' WHERE NRVENDA % 7 = 0",
    "UPDATE VENDA SET IDCANCELADA = 'N' WHERE NRVENDA % 14 = 0",
    "UPDATE VENDA SET HRVENDA = '2347', VRTOTVENDA = VRTOTVENDA + 1.25, QTITENS = QTITENS + 1 WHERE NRVENDA % 11 = 0",
    "UPDATE VENDA SET CDLOJA = '0000000002' WHERE NRVENDA % 23 = 0",
    "DELETE FROM VENDA WHERE NRVENDA % 13 = 0",
};

// Rows of `table` that the sales, summed again, do not give; 0 when the summary is the sales'.
qint64 summaryMismatches(const QSqlDatabase &db, const QString &table, bool hourly)
{
    const QString hour = hourly ? u"SUBSTR(HRVENDA, 1, 2) || '00'"_s : u"HRVENDA"_s;
    const QString sums = u"ROUND(SUM(VRDESCONTO), 2), ROUND(SUM(VRTOTVENDA), 2), ROUND(SUM(VRTXSERV), 2), "
                         u"ROUND(SUM(VRTXENTR), 2)"_s;
    const QString stored = u"SELECT CDFILIAL, DTVENDA, HRVENDA, CDLOJA, CDCAIXA, QTVENDAS, QTITENS, "
                           u"ROUND(VRDESCONTO, 2), ROUND(VRTOTVENDA, 2), ROUND(VRTXSERV, 2), ROUND(VRTXENTR, 2) FROM %1"_s
                               .arg(table);
    const QString summed = u"SELECT CDFILIAL, DTVENDA, %1, CDLOJA, CDCAIXA, COUNT(*), SUM(QTITENS), %2 FROM VENDA "
                           u"WHERE IDCANCELADA = 'N' GROUP BY CDFILIAL, DTVENDA, %1, CDLOJA, CDCAIXA"_s.arg(hour, sums);
    QSqlQuery q(db);
    const QString sql = u"SELECT (SELECT COUNT(*) FROM (%1 EXCEPT %2) A) + (SELECT COUNT(*) FROM (%2 EXCEPT %1) B)"_s
                            .arg(stored, summed);
    if (!q.exec(sql) || !q.next()) {
        ADD_FAILURE() << q.lastError().text().toStdString();
        return -1;
    }
    return q.value(0).toLongLong();
}

class Summary : public testing::TestWithParam<Engine>
{
protected:
    void SetUp() override
    {
        SummaryDemo &demo = SummaryDemo::get();
        ASSERT_TRUE(demo.failure.isEmpty()) << demo.failure.toStdString();
        ASSERT_NO_THROW(TdtmDBGeral::open(demo.configs.at(GetParam())));
    }
    void TearDown() override { TdtmDBGeral::close(); }

    static void exec(const QString &sql)
    {
        QSqlQuery q(TdtmDBGeral::adcGeral());
        ASSERT_TRUE(q.exec(sql)) << sql.toStdString() << "\n" << q.lastError().text().toStdString();
    }
    static void expectSummariesOfTheSales()
    {
        EXPECT_EQ(summaryMismatches(TdtmDBGeral::adcGeral(), u"RESVENDA"_s, false), 0);
        EXPECT_EQ(summaryMismatches(TdtmDBGeral::adcGeral(), u"RESVENDAHORA"_s, true), 0);
    }

    struct Run
    {
        std::string title, what;
        std::string difference; // against the same report over the sales
    };
    // Every report that has a summary text, over each set of filters: its summary text against
    // its text over the sales.
    static std::vector<Run> compareEveryReport()
    {
        const SqlDialect dialect = dialectOf(TdtmDBGeral::adcGeral());
        auto cases = filterCases();
        Values quarter = cases.front().second;
        quarter[u"P_IDIMPHR"_s] = u"S"_s;
        quarter[u"P_HRINI"_s] = u"0815"_s;
        quarter[u"P_HRFIN"_s] = u"1340"_s;
        quarter[u"P_HRINI1"_s] = u"17/06/2025 08:15"_s;
        Values wholeHours = cases.front().second;
        wholeHours[u"P_IDIMPHR"_s] = u"S"_s;
        wholeHours[u"P_HRINI"_s] = u"1100"_s;
        wholeHours[u"P_HRFIN"_s] = u"1459"_s;
        wholeHours[u"MINUTOS"_s] = 120;
        wholeHours[u"MINUTOS1"_s] = 60;
        cases.push_back({"hours that start and end within an hour", quarter});
        cases.push_back({"whole hours, lines of one and two hours", wholeHours});
        std::vector<Run> runs;
        for (const QString &path : reportFiles()) {
            const ReportDefinition def = ReportDefinition::load(path);
            const QString summary = def.summarySqlFor(dialect);
            if (summary.isEmpty())
                continue;
            for (const auto &[what, values] : cases) {
                const TParams params = paramsFor(def, values);
                Run run{def.title.toStdString(), what, {}};
                const SqlText::Positional detail = SqlText::toPositional(def.sqlFor(dialect));
                const SqlText::Positional summed = SqlText::toPositional(summary);
                const Ran sales = runReport(detail.text, ReportSql::bindValues(detail.names, params));
                const Ran read = runReport(summed.text, ReportSql::bindValues(summed.names, params));
                if (sales.outcome != ReportQuery::Outcome::Done || read.outcome != ReportQuery::Outcome::Done)
                    run.difference = "not run: " + sales.error.toStdString() + read.error.toStdString();
                else if (sales.table.rows.isEmpty())
                    run.difference = "no rows: the comparison would prove nothing";
                else
                    run.difference = firstDifference(read.table, sales.table);
                runs.push_back(run);
            }
        }
        return runs;
    }
};

TEST_P(Summary, EveryReportGivesTheFiguresOfTheSalesAfterEveryKindOfChange)
{
    expectSummariesOfTheSales();
    for (const char *change : kSaleChanges)
        exec(QString::fromLatin1(change));
    expectSummariesOfTheSales();

    const std::vector<Run> runs = compareEveryReport();
    EXPECT_EQ(runs.size(), 11u * 5u) << "eleven reports with a summary, five sets of filters";
    for (const Run &run : runs)
        EXPECT_EQ(run.difference, "") << run.title << ", " << run.what;

    // A summary made wrong on purpose shows which one each run read: every run reads exactly one.
    std::map<std::string, int> readers;
    for (const char *table : {"RESVENDAHORA", "RESVENDA"}) {
        SCOPED_TRACE(table);
        exec(u"UPDATE %1 SET QTVENDAS = QTVENDAS + 1, VRTOTVENDA = VRTOTVENDA + 100"_s.arg(QLatin1String(table)));
        for (const Run &run : compareEveryReport())
            if (!run.difference.empty())
                ++readers[run.title + ", " + run.what + (QByteArray(table) == "RESVENDA" ? " (minutes)" : " (hours)")];
        exec(u"UPDATE %1 SET QTVENDAS = QTVENDAS - 1, VRTOTVENDA = VRTOTVENDA - 100"_s.arg(QLatin1String(table)));
    }
    for (const Run &run : runs) {
        const std::string key = run.title + ", " + run.what;
        EXPECT_EQ(readers.count(key + " (hours)") + readers.count(key + " (minutes)"), 1u) << key;
    }
    EXPECT_EQ(readers.count("Vendas por Hora, branch 0001, everything, two weeks (hours)"), 1u);
    EXPECT_EQ(readers.count("Vendas por Hora/Caixa, branch 0001, everything, two weeks (minutes)"), 1u);
    EXPECT_EQ(readers.count("Vendas por Dia, hours that start and end within an hour (minutes)"), 1u);
}

// The refresh step a database runs when its summaries were lost or never made: the same rows,
// and triggers that go on keeping them.
TEST_P(Summary, RebuildingGivesTheSameRowsAndKeepsThemAfterwards)
{
    exec(u"DELETE FROM RESVENDAHORA WHERE CDFILIAL = '0001'"_s);
    ASSERT_GT(summaryMismatches(TdtmDBGeral::adcGeral(), u"RESVENDAHORA"_s, true), 0);
    const DatabaseConfig db = SummaryDemo::get().configs.at(GetParam());
    TdtmDBGeral::close();
    EXPECT_GT(rebuildSalesSummary(db), 0);
    ASSERT_NO_THROW(TdtmDBGeral::open(db));
    expectSummariesOfTheSales();
    exec(u"UPDATE VENDA SET IDCANCELADA = 'S' WHERE NRVENDA % 5 = 0"_s);
    expectSummariesOfTheSales();
}

INSTANTIATE_TEST_SUITE_P(Engines, Summary, testing::Values(Engine::Sqlite, Engine::Postgres), engineName);

} // namespace
