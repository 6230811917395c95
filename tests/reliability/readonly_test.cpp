// Report definitions can only read: a definition whose SQL writes, drops or attaches is refused
// before it runs, on SQLite and on embedded Firebird; and what slips past the text check still
// cannot change the database (SQLite: read-only file; Firebird: a transaction never committed).

#include "errors.h"
#include "firebird.h"
#include "reliability.h"
#include "reportengine.h"
#include "reportquery.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>

using namespace Qt::StringLiterals;

namespace {

enum class Engine { Sqlite, Firebird };

QByteArray fileChecksum(const QString &path)
{
    return QCryptographicHash::hash(reliability::readAll(path), QCryptographicHash::Sha256).toHex();
}

std::string engineName(const testing::TestParamInfo<Engine> &info)
{
    return info.param == Engine::Sqlite ? "SQLite" : "Firebird";
}

class ReadOnlyReports : public reliability::ScreenTest, public testing::WithParamInterface<Engine>
{
protected:
    void SetUp() override
    {
        ScreenTest::SetUp();
        if (HasFatalFailure() || GetParam() == Engine::Sqlite)
            return;
        destroyScreen();
        TdtmDBGeral::close();
        mFirebird = scratch(u"loja.fdb"_s);
        try {
            createFirebirdDatabase(mFirebird);
            TdtmDBGeral::open(reliability::databaseConfig(u"QIBASE"_s, mFirebird));
        } catch (const EHostError &e) {
            GTEST_FAIL() << "embedded Firebird unavailable: " << e.message().toStdString();
        }
        QSqlQuery q(TdtmDBGeral::adcGeral());
        for (const char *sql : {
                 "CREATE TABLE FILIAL (CDFILIAL CHAR(4) NOT NULL PRIMARY KEY, NMFILIAL VARCHAR(30))",
                 "CREATE TABLE LOJA (CDFILIAL CHAR(4), CDLOJA CHAR(10), NMLOJA VARCHAR(35))",
                 "CREATE TABLE CAIXA (CDFILIAL CHAR(4), CDLOJA CHAR(10), CDCAIXA CHAR(3), NMCAIXA VARCHAR(30))",
                 "CREATE TABLE PRODUTO (CDPRODUTO CHAR(10), CDARVPROD VARCHAR(20), NMPRODUTO VARCHAR(50),"
                 " SGUNIDADE VARCHAR(10), CDNVPRODUTO CHAR(1))",
                 "CREATE OR ALTER PROCEDURE PARAM (P VARCHAR(4000)) RETURNS (PARAM VARCHAR(4000)) AS BEGIN"
                 " PARAM = P; SUSPEND; END",
                 "CREATE OR ALTER FUNCTION INSTR (S VARCHAR(8191), SUB VARCHAR(8191)) RETURNS INTEGER AS BEGIN"
                 " RETURN POSITION(SUB IN S); END",
                 // A selectable procedure that writes: its SELECT passes the text check.
                 "CREATE PROCEDURE APAGA_FILIAIS RETURNS (N INTEGER) AS BEGIN DELETE FROM FILIAL; N = ROW_COUNT;"
                 " SUSPEND; END",
                 // The issue's own writers: a sequence and a procedure with a transaction of its own.
                 "CREATE SEQUENCE SEQ_NRVENDA",
                 "CREATE PROCEDURE RENOMEIA_FILIAL RETURNS (N INTEGER) AS BEGIN IN AUTONOMOUS TRANSACTION DO"
                 " UPDATE FILIAL SET NMFILIAL = 'Renomeada' WHERE CDFILIAL = '0001'; N = 1; SUSPEND; END",
                 "INSERT INTO FILIAL VALUES ('0001', 'Matriz')",
                 "INSERT INTO FILIAL VALUES ('0002', 'Centro')",
                 "INSERT INTO FILIAL VALUES ('0003', 'Norte')",
             })
            ASSERT_TRUE(q.exec(QString::fromUtf8(sql))) << sql << ": " << q.lastError().text().toStdString();
        // The report identity reads the tables and runs the reading routines; nothing else.
        const DatabaseConfig defaults;
        for (const QString &sql : firebirdReportGrantsDdl({u"FILIAL"_s, u"LOJA"_s, u"CAIXA"_s, u"PRODUTO"_s},
                                                          {u"PROCEDURE PARAM"_s, u"FUNCTION INSTR"_s},
                                                          defaults.reportRole, defaults.reportUser))
            ASSERT_TRUE(q.exec(sql)) << sql.toStdString() << ": " << q.lastError().text().toStdString();
        createScreen();
    }

    bool sqlite() const { return GetParam() == Engine::Sqlite; }

    // Branch rows and names as the engine's shared connection sees them.
    QString branches()
    {
        QSqlQuery q(TdtmDBGeral::adcGeral());
        if (!q.exec(u"SELECT CDFILIAL, NMFILIAL FROM FILIAL ORDER BY CDFILIAL"_s))
            return u"error: "_s + q.lastError().text();
        QStringList rows;
        while (q.next())
            rows << q.value(0).toString().trimmed() + u'=' + q.value(1).toString();
        return rows.join(u',');
    }


    QString mFirebird;
};

// What only Firebird has (stored procedures, sequences, users and grants): not instantiated for
// SQLite at all.
class ReadOnlyFirebirdReports : public ReadOnlyReports {};

struct WritingSql
{
    const char *label;
    const char *sql;
    bool sqliteOnly;
    bool firebirdOnly;
};

TEST_P(ReadOnlyReports, WritingDefinitionsAreRefusedThroughTheScreen)
{
    const QString before = branches();
    ASSERT_FALSE(before.startsWith(u"error"_s)) << before.toStdString();
    const QString attached = scratch(u"anexado.sqlite"_s);
    const QString vacuumed = scratch(u"copia.sqlite"_s);
    const QByteArray checksum = sqlite() ? fileChecksum(databasePath()) : QByteArray();
    const WritingSql cases[] = {
        {"delete", "DELETE FROM FILIAL", false, false},
        {"update", "UPDATE FILIAL SET NMFILIAL = 'Alterado'", false, false},
        {"insert", "INSERT INTO FILIAL VALUES ('0009', 'Nova')", false, false},
        {"drop", "DROP TABLE FILIAL", false, false},
        {"create", "CREATE TABLE INTRUSA (A INTEGER)", false, false},
        {"alter", "ALTER TABLE FILIAL ADD EXTRA INTEGER", false, false},
        {"lower case after a comment", "/* relatório */ delete from filial", false, false},
        {"select, then drop", "SELECT CDFILIAL, NMFILIAL FROM FILIAL; DROP TABLE FILIAL", false, false},
        {"select, then a commented-out line and a delete", "SELECT CDFILIAL, NMFILIAL FROM FILIAL -- x\n; DELETE FROM FILIAL", false, false},
        {"with, then delete", "WITH X AS (SELECT 1 AS A FROM FILIAL) DELETE FROM FILIAL", false, false},
        {"select into", "SELECT CDFILIAL INTO :P_CDFILIAL FROM FILIAL", false, false},
        {"attach", "ATTACH DATABASE '%ATTACH%' AS INTRUSA", true, false},
        {"detach", "DETACH DATABASE main", true, false},
        {"pragma", "PRAGMA writable_schema = 1", true, false},
        {"vacuum into a copy", "VACUUM INTO '%VACUUM%'", true, false},
        {"execute block", "EXECUTE BLOCK AS BEGIN DELETE FROM FILIAL; END", false, true},
        {"recreate", "RECREATE TABLE FILIAL (A INTEGER)", false, true},
        {"commit", "COMMIT", false, false},
        // SQLite reads [x'] and `x'` as names: what the other engines take for a literal is code.
        {"bracket name hiding a delete", "WITH [x'] AS (SELECT 1) DELETE FROM FILIAL --'", false, false},
        {"backtick name hiding a delete", "WITH `x'` AS (SELECT 1) DELETE FROM FILIAL --'", false, false},
    };
    int checked = 0;
    for (const WritingSql &c : cases) {
        if ((c.sqliteOnly && !sqlite()) || (c.firebirdOnly && sqlite()))
            continue;
        QString sql = QString::fromUtf8(c.sql);
        sql.replace(u"%ATTACH%"_s, attached).replace(u"%VACUUM%"_s, vacuumed);
        setReportSql(0, sql);
        for (const char *extension : {"csv", "pdf"}) {
            const std::string row = std::string(c.label) + " / " + extension;
            const QString target = scratch(u"relatorio."_s + QLatin1String(extension));
            const ReportRun run = saveAs(target);
            EXPECT_EQ(run.outcome, ReportRun::Outcome::Failed) << row;
            ASSERT_EQ(shown().size(), 1) << row << ": " << shown().join(u'|').toStdString();
            EXPECT_TRUE(shown().constFirst().contains(u"recusado"_s)) << row << ": " << shown().constFirst().toStdString();
            EXPECT_FALSE(QFileInfo::exists(target)) << row;
            EXPECT_EQ(branches(), before) << row;
            ++checked;
        }
        // Edit (no designer window without a person at the screen) checks the definition the same way.
        fillValid(0);
        click(Action::Edit);
        ASSERT_EQ(shown().size(), 1) << c.label;
        EXPECT_TRUE(shown().constFirst().contains(u"recusado"_s)) << c.label << ": " << shown().constFirst().toStdString();
        ++checked;
    }
    EXPECT_EQ(checked, sqlite() ? 3 * 18 : 3 * 16);
    EXPECT_FALSE(QFileInfo::exists(attached));
    EXPECT_FALSE(QFileInfo::exists(vacuumed));
    EXPECT_EQ(branches(), before);
    if (sqlite()) {
        EXPECT_EQ(fileChecksum(databasePath()), checksum) << "the database file changed";
    }
    // A reading definition still runs.
    setReportSql(0, u"SELECT CDFILIAL, NMFILIAL FROM FILIAL ORDER BY CDFILIAL"_s);
    const ReportRun ok = saveAs(scratch(u"bom.csv"_s));
    EXPECT_EQ(ok.outcome, ReportRun::Outcome::Saved) << shown().join(u'|').toStdString();
    EXPECT_EQ(ok.rows, 3);
}

// Past the text check: the report's own connection cannot keep a change.
TEST_P(ReadOnlyReports, TheReportConnectionKeepsNoChangeWhenTheTextCheckIsBypassed)
{
    const QString before = branches();
    const QString attached = scratch(u"anexado_direto.sqlite"_s);
    struct Case
    {
        const char *label;
        QString sql;
        bool sqliteOnly;
        bool firebirdOnly;
        bool firebirdRefuses = true;
    };
    const Case cases[] = {
        {"delete", u"DELETE FROM FILIAL"_s, false, false},
        {"update", u"UPDATE FILIAL SET NMFILIAL = 'Alterado'"_s, false, false},
        {"insert", u"INSERT INTO FILIAL VALUES ('0009', 'Nova')"_s, false, false},
        {"drop", u"DROP TABLE FILIAL"_s, false, false},
        {"create", u"CREATE TABLE INTRUSA (A INTEGER)"_s, false, false, false},
        {"attach a new file", u"ATTACH DATABASE '%1' AS INTRUSA"_s.arg(attached), true, false},
        {"selectable procedure that deletes", u"SELECT N FROM APAGA_FILIAIS"_s, false, true},
        {"execute block that deletes", u"EXECUTE BLOCK AS BEGIN DELETE FROM FILIAL; END"_s, false, true},
    };
    int checked = 0;
    for (const Case &c : cases) {
        if ((c.sqliteOnly && !sqlite()) || (c.firebirdOnly && sqlite()))
            continue;
        ReportQuery query(QString::fromLatin1(TdtmDBGeral::ConnectionName), c.sql, {});
        QEventLoop loop;
        QObject::connect(&query, &ReportQuery::finished, &loop, &QEventLoop::quit);
        query.start();
        loop.exec();
        if (sqlite() || c.firebirdRefuses) {
            // SQLite: the file is opened read-only. Firebird: the report identity may not write.
            EXPECT_EQ(query.outcome(), ReportQuery::Outcome::Failed) << c.label;
            EXPECT_FALSE(query.errorText().isEmpty()) << c.label;
        } else {
            // DDL needs no grant on Firebird 3; it runs inside a transaction that is rolled back.
            EXPECT_NE(query.outcome(), ReportQuery::Outcome::Running) << c.label;
        }
        EXPECT_EQ(branches(), before) << c.label << ": " << query.errorText().toStdString();
        ++checked;
    }
    EXPECT_EQ(checked, sqlite() ? 6 : 7);
    EXPECT_FALSE(QFileInfo::exists(attached));
    // No table was created either.
    QSqlQuery q(TdtmDBGeral::adcGeral());
    EXPECT_FALSE(q.exec(u"SELECT COUNT(*) FROM INTRUSA"_s));
}

// The selectable procedures pass the text check, so they reach the database through the screen;
// the report identity may not write, so they fail there, and even the autonomous transaction
// (which no rollback would undo) keeps nothing.
TEST_P(ReadOnlyFirebirdReports, AWritingProcedureCalledFromAReportChangesNothing)
{
    const QString before = branches();
    for (const char *sql : {"SELECT N FROM APAGA_FILIAIS", "SELECT N FROM RENOMEIA_FILIAL"}) {
        ui.clear();
        setReportSql(0, QString::fromUtf8(sql));
        const ReportRun run = saveAs(scratch(u"procedimento.csv"_s));
        EXPECT_EQ(run.outcome, ReportRun::Outcome::Failed) << sql;
        ASSERT_EQ(shown().size(), 1) << sql;
        EXPECT_TRUE(shown().constFirst().contains(u"no permission"_s)) << sql << ": " << shown().constFirst().toStdString();
        EXPECT_EQ(branches(), before) << sql;
    }
}

// The cases on Firebird: a sequence advanced for good and a branch renamed by an autonomous
// transaction. Through the screen the text check refuses the first; past the check (the report
// query itself) the report identity refuses both. The sequence's value and the branch's name are
// compared before and after.
TEST_P(ReadOnlyFirebirdReports, SequencesAndAutonomousTransactionsKeepNothing)
{
    auto sequence = [] {
        QSqlQuery q(TdtmDBGeral::adcGeral());
        return q.exec(u"SELECT GEN_ID(SEQ_NRVENDA, 0) FROM RDB$DATABASE"_s) && q.next() ? q.value(0).toLongLong() : -1;
    };
    const qint64 sequenceBefore = sequence();
    const QString before = branches();
    ASSERT_EQ(sequenceBefore, 0);

    struct Case
    {
        const char *sql;
        const char *screenSays; // through the screen
    };
    const Case cases[] = {
        {"SELECT GEN_ID(SEQ_NRVENDA, 1000000) AS G FROM RDB$DATABASE", "sequências"},
        {"SELECT NEXT VALUE FOR SEQ_NRVENDA AS G FROM RDB$DATABASE", "NEXT VALUE FOR"},
        {"SELECT N FROM RENOMEIA_FILIAL", "no permission"},
    };
    for (const Case &c : cases) {
        ui.clear();
        setReportSql(0, QString::fromUtf8(c.sql));
        const ReportRun run = saveAs(scratch(u"sequencia.csv"_s));
        EXPECT_EQ(run.outcome, ReportRun::Outcome::Failed) << c.sql;
        ASSERT_EQ(shown().size(), 1) << c.sql;
        EXPECT_TRUE(shown().constFirst().contains(QString::fromUtf8(c.screenSays)))
            << c.sql << ": " << shown().constFirst().toStdString();

        ReportQuery query(QString::fromLatin1(TdtmDBGeral::ConnectionName), QString::fromUtf8(c.sql), {});
        QEventLoop loop;
        QObject::connect(&query, &ReportQuery::finished, &loop, &QEventLoop::quit);
        query.start();
        loop.exec();
        EXPECT_EQ(query.outcome(), ReportQuery::Outcome::Failed) << c.sql;
        EXPECT_TRUE(query.errorText().contains(u"no permission"_s)) << c.sql << ": " << query.errorText().toStdString();

        EXPECT_EQ(sequence(), sequenceBefore) << c.sql;
        EXPECT_EQ(branches(), before) << c.sql;
    }
}

// A database whose grants the reading identity lacks: the refusal says who reads and what to set;
// a write the identity may not do is said to be one.
TEST_P(ReadOnlyFirebirdReports, AMissingReadGrantNamesTheReportIdentity)
{
    QSqlQuery revoke(TdtmDBGeral::adcGeral());
    ASSERT_TRUE(revoke.exec(u"REVOKE SELECT ON LOJA FROM ROLE "_s + DatabaseConfig().reportRole))
        << revoke.lastError().text().toStdString();
    TdtmDBGeral::adcGeral().commit();
    const QString source = QString::fromLatin1(TdtmDBGeral::ConnectionName);
    for (const auto &[sql, hinted] : {std::pair{"SELECT CDLOJA FROM LOJA", true},
                                      std::pair{"SELECT N FROM RENOMEIA_FILIAL", false}}) {
        ReportQuery query(source, QString::fromUtf8(sql), {});
        QEventLoop loop;
        QObject::connect(&query, &ReportQuery::finished, &loop, &QEventLoop::quit);
        query.start();
        loop.exec();
        ASSERT_EQ(query.outcome(), ReportQuery::Outcome::Failed) << sql;
        EXPECT_TRUE(query.errorText().contains(u"no permission"_s)) << sql << ": " << query.errorText().toStdString();
        EXPECT_EQ(query.errorText().contains(u"report_user"_s), hinted) << sql << ": " << query.errorText().toStdString();
        EXPECT_EQ(query.errorText().contains(u"só pode ler"_s), !hinted) << sql << ": " << query.errorText().toStdString();
    }
}

// The report connection itself: SQLite's is read-only with query_only on; Firebird's is the report
// identity with its role.
TEST_P(ReadOnlyReports, TheReportConnectionIsTheReadingIdentity)
{
    const DatabaseConfig defaults;
    ReportConnection connection(QString::fromLatin1(TdtmDBGeral::ConnectionName),
                                ReportIdentity::of(QString::fromLatin1(TdtmDBGeral::ConnectionName)));
    QSqlQuery q(connection.database());
    if (sqlite()) {
        ASSERT_TRUE(q.exec(u"PRAGMA query_only"_s) && q.next()) << q.lastError().text().toStdString();
        EXPECT_EQ(q.value(0).toInt(), 1);
    } else {
        ASSERT_TRUE(q.exec(u"SELECT CURRENT_USER, CURRENT_ROLE FROM RDB$DATABASE"_s) && q.next())
            << q.lastError().text().toStdString();
        EXPECT_EQ(q.value(0).toString().trimmed(), defaults.reportUser);
        EXPECT_EQ(q.value(1).toString().trimmed(), defaults.reportRole);
    }
}

INSTANTIATE_TEST_SUITE_P(Engines, ReadOnlyReports, testing::Values(Engine::Sqlite, Engine::Firebird), engineName);
INSTANTIATE_TEST_SUITE_P(Engines, ReadOnlyFirebirdReports, testing::Values(Engine::Firebird), engineName);

} // namespace
