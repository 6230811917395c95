// Statement rewriting, the read-only check and parameter values of report queries.

#include "errors.h"
#include "reportsql.h"
#include "sqltext.h"

#include <gtest/gtest.h>

namespace {

struct PositionalCase
{
    const char *sql;
    const char *text;
    QStringList names;
};

TEST(SqlText, NamedMarkersBecomePositionalOutsideQuotesAndComments)
{
    const PositionalCase cases[] = {
        {"SELECT * FROM T WHERE A = :P_A", "SELECT * FROM T WHERE A = ?", {QStringLiteral("P_A")}},
        // a name used twice binds twice, in order of occurrence
        {"WHERE (:P_T = 'T' OR INSTR(:P_L, C) <> 0) AND :P_T <> ''", "WHERE (? = 'T' OR INSTR(?, C) <> 0) AND ? <> ''",
         {QStringLiteral("P_T"), QStringLiteral("P_L"), QStringLiteral("P_T")}},
        {"SELECT ':NOPE', \":ALSO\" FROM T -- :COMMENT\nWHERE X = :P_X", "SELECT ':NOPE', \":ALSO\" FROM T -- :COMMENT\nWHERE X = ?",
         {QStringLiteral("P_X")}},
        {"SELECT /* :HIDDEN */ 'it''s :NOT' FROM T WHERE H = :MINUTOS", "SELECT /* :HIDDEN */ 'it''s :NOT' FROM T WHERE H = ?",
         {QStringLiteral("MINUTOS")}},
        {"SELECT A::TEXT FROM T", "SELECT A::TEXT FROM T", {}},
        {"SELECT HRVENDA FROM T WHERE HRVENDA BETWEEN :P_HRINI AND :P_HRFIN",
         "SELECT HRVENDA FROM T WHERE HRVENDA BETWEEN ? AND ?", {QStringLiteral("P_HRINI"), QStringLiteral("P_HRFIN")}},
    };
    for (const PositionalCase &c : cases) {
        const SqlText::Positional p = SqlText::toPositional(QString::fromUtf8(c.sql));
        EXPECT_EQ(p.text, QString::fromUtf8(c.text)) << c.sql;
        EXPECT_EQ(p.names, c.names) << c.sql;
    }
}

struct RefusalCase
{
    const char *sql;
    bool refused;
    const char *mentions; // part of the reason when refused
};

TEST(ReportSql, OnlySingleReadingStatementsAreAccepted)
{
    const RefusalCase cases[] = {
        {"SELECT * FROM VENDA", false, ""},
        {"  -- comment first\n  select * from VENDA;  ", false, ""},
        {"WITH X AS (SELECT 1 AS N) SELECT N FROM X", false, ""},
        {"SELECT REPLACE(NMLOJA, 'A', 'B') FROM LOJA", false, ""}, // REPLACE the function
        {"SELECT 'DELETE FROM VENDA' AS TXT FROM VENDA", false, ""},
        {"SELECT * FROM VENDA /* DROP TABLE VENDA */", false, ""},
        {"SELECT :P_DELETE FROM VENDA", false, ""}, // a parameter name is not a keyword
        {"DELETE FROM VENDA", true, "DELETE"},
        {"WITH X AS (SELECT 1) DELETE FROM VENDA", true, "DELETE"},
        {"UPDATE VENDA SET VRTOTVENDA = 0", true, "UPDATE"},
        {"DROP TABLE VENDA", true, "DROP"},
        {"ATTACH DATABASE '/tmp/x.db' AS X", true, "ATTACH"},
        {"PRAGMA writable_schema = 1", true, "PRAGMA"},
        {"SELECT 1; DELETE FROM VENDA", true, "';'"},
        {"SELECT * INTO COPIA FROM VENDA", true, "INTO"},
        {"EXECUTE BLOCK AS BEGIN END", true, "EXECUTE"},
        {"   ", true, "não tem comando"},
    };
    for (const RefusalCase &c : cases) {
        const QString reason = ReportSql::refusalReason(QString::fromUtf8(c.sql));
        EXPECT_EQ(!reason.isEmpty(), c.refused) << c.sql << " -> " << reason.toStdString();
        if (c.refused) {
            EXPECT_TRUE(reason.contains(QString::fromUtf8(c.mentions))) << reason.toStdString();
        }
    }
}

// Every quoting form of every engine, and what a rollback does not undo (sequences, autonomous
// transactions): refused by the text itself, whichever engine would run it.
TEST(ReportSql, EveryEnginesQuotingIsReadAndLastingChangesAreRefused)
{
    const RefusalCase cases[] = {
        // SQLite: [x'] and `x'` are names, so what follows is code.
        {"WITH [x'] AS (SELECT 1) DELETE FROM FILIAL --'", true, "DELETE"},
        {"WITH `x'` AS (SELECT 1) DELETE FROM FILIAL --'", true, "DELETE"},
        {"SELECT [a]]b] FROM T; DROP TABLE T", true, "';'"},
        {"SELECT `a``'` FROM T WHERE 1 = 1 -- '\nUNION SELECT GEN_ID(SEQ, 1) FROM T", true, "GEN_ID"},
        // Firebird: Q'{'}' is one literal holding a quote.
        {"SELECT Q'{'}' AS X, GEN_ID(SEQ_NRVENDA, 1000000) AS G FROM RDB$DATABASE --'", true, "GEN_ID"},
        {"SELECT q'<'>' AS X FROM RDB$DATABASE; DELETE FROM FILIAL --'", true, "';'"},
        // PostgreSQL: E'\'' escapes with a backslash, $$...$$ literals, nested comments.
        {"SELECT E'\\'' AS X, NEXTVAL('s') FROM T --'", true, "NEXTVAL"},
        {"SELECT /* /* */ DELETE */ 1 FROM T", true, "DELETE"},
        {"SELECT $x$'$x$, SETVAL('s', 1) FROM T --'", true, "SETVAL"},
        // Double quotes name, everywhere.
        {"SELECT \"a'\" FROM T; DELETE FROM T --'", true, "';'"},
        // Sequences and autonomous transactions.
        {"SELECT GEN_ID(SEQ_NRVENDA, 1000000) AS G FROM RDB$DATABASE", true, "sequências"},
        {"select gen_id(seq_nrvenda, 1) from rdb$database", true, "GEN_ID"},
        {"SELECT NEXT /* x */ VALUE\nFOR SEQ_NRVENDA FROM RDB$DATABASE", true, "NEXT VALUE FOR"},
        {"SELECT * FROM P IN AUTONOMOUS TRANSACTION", true, "IN AUTONOMOUS TRANSACTION"},
        {"WITH X AS (SELECT 1 AS A FROM RDB$DATABASE) SELECT A FROM X WHERE AUTONOMOUS = 1", true, "autônomas"},
        // Reading statements with each form still pass.
        {"SELECT [NMLOJA], `CDLOJA` FROM LOJA", false, ""},
        {"SELECT Q'{it's}' AS X FROM RDB$DATABASE", false, ""},
        {"SELECT 'GEN_ID(S, 1)' AS X, \"NEXT VALUE FOR\" FROM T", false, ""},
        {"SELECT $$it's$$ AS X FROM T", false, ""},
        {"SELECT CURRENT_VALUE FROM RDB$DATABASE WHERE :NEXT = 1", false, ""},
        {"SELECT A FROM T -- GEN_ID(S, 1)", false, ""},
    };
    for (const RefusalCase &c : cases) {
        const QString reason = ReportSql::refusalReason(QString::fromUtf8(c.sql));
        EXPECT_EQ(!reason.isEmpty(), c.refused) << c.sql << " -> " << reason.toStdString();
        if (c.refused) {
            EXPECT_TRUE(reason.contains(QString::fromUtf8(c.mentions))) << c.sql << " -> " << reason.toStdString();
        }
    }
}

// Where each form ends, per reading: a form one engine lacks is plain code there.
TEST(SqlTextQuoting, EachFormEndsWhereItsEngineEndsIt)
{
    using SqlText::Quoting;
    struct Case
    {
        const char *sql;
        Quoting quoting;
        qsizetype end; // from position 0; 0 = no form starts there
    };
    const Case cases[] = {
        {"'it''s' x", Quoting::Standard, 7},
        {"\"a\"\"b\" x", Quoting::Standard, 6},
        {"[a'] x", Quoting::SQLite, 4},
        {"[a'] x", Quoting::Standard, 0},
        {"`a``b` x", Quoting::SQLite, 6},
        {"`a` x", Quoting::Firebird, 0},
        {"Q'(a)')' x", Quoting::Firebird, 6},
        {"q'!a'!' x", Quoting::Firebird, 7},
        {"Q'(a)' x", Quoting::Standard, 0},
        {"E'\\'' x", Quoting::PostgreSQL, 5},
        {"$t$ a $ $t$ x", Quoting::PostgreSQL, 11},
        {"$1 x", Quoting::PostgreSQL, 0},
        {"/* /* */ */ x", Quoting::PostgreSQL, 11},
        {"/* /* */ */ x", Quoting::SQLite, 8},
        {"-- a\nx", Quoting::Standard, 4},
        {"'open", Quoting::Standard, 5},
    };
    for (const Case &c : cases)
        EXPECT_EQ(SqlText::quotedFormEnd(QString::fromUtf8(c.sql), 0, c.quoting), c.end) << c.sql;
}

TEST(ReportSql, BindValuesFollowTheDeclaredKinds)
{
    TParams params;
    params.CreateParam(QStringLiteral("P_DTVENDAINI")).SetAsDateTime(QDateTime(QDate(2025, 6, 1), QTime(0, 0)));
    params.CreateParam(QStringLiteral("P_MOMENTO")).SetAsDateTime(QDateTime(QDate(2025, 6, 1), QTime(8, 30)));
    params.CreateParam(QStringLiteral("P_CDLOJA")).SetAsString(QString());
    params.CreateParam(QStringLiteral("MINUTOS")).SetAsInteger(90);
    params.CreateParam(QStringLiteral("P_NULO")).Clear();

    const QVariantList values = ReportSql::bindValues(
        {QStringLiteral("p_dtvendaini"), QStringLiteral("P_MOMENTO"), QStringLiteral("P_CDLOJA"), QStringLiteral("MINUTOS"),
         QStringLiteral("P_NULO")},
        params);
    ASSERT_EQ(values.size(), 5);
    // a date without time binds as a date, so '2025-06-01' matches on SQLite's text dates
    EXPECT_EQ(values[0].typeId(), QMetaType::QDate);
    EXPECT_EQ(values[0].toDate(), QDate(2025, 6, 1));
    EXPECT_EQ(values[1].typeId(), QMetaType::QDateTime);
    EXPECT_FALSE(values[2].isNull());
    EXPECT_EQ(values[2].toString(), QString());
    EXPECT_EQ(values[3].toLongLong(), 90);
    EXPECT_TRUE(values[4].isNull());

    EXPECT_THROW(ReportSql::bindValues({QStringLiteral("P_NAO_DECLARADO")}, params), EHostError);
}

} // namespace
