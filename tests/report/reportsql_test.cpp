// Statement rewriting, the read-only check and parameter values of report queries.

#include "errors.h"
#include "reportrunner.h"
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
