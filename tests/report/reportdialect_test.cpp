// A report's text for PostgreSQL: taken there when the report has one, the default otherwise, and
// kept through loading, saving and the engine's checks like the other dialects' texts.
#include "reportdefinition.h"
#include "reportengine.h"

#include <QJsonDocument>
#include <gtest/gtest.h>

namespace {

ReportDefinition definition(const char *json)
{
    return ReportDefinition::fromJson(QJsonDocument::fromJson(QByteArray(json)).object());
}

TEST(ReportDialects, PostgresTextIsUsedThereAndTheDefaultElsewhere)
{
    const ReportDefinition own = definition(R"({"title": "T", "params": [{"name": "P", "type": "string"}],
        "sql": {"default": "SELECT 1 AS D FROM VENDA WHERE CDFILIAL = :P",
                "postgresql": "SELECT 2 AS D FROM VENDA WHERE CDFILIAL = :P"}})");
    const ReportDefinition none = definition(R"({"title": "T", "params": [{"name": "P", "type": "string"}],
        "sql": {"default": "SELECT 1 AS D FROM VENDA WHERE CDFILIAL = :P"}})");
    const struct
    {
        const ReportDefinition *def;
        SqlDialect dialect;
        const char *sql;
    } cases[] = {
        {&own, SqlDialect::PostgreSQL, "SELECT 2 AS D FROM VENDA WHERE CDFILIAL = :P"},
        {&own, SqlDialect::Default, "SELECT 1 AS D FROM VENDA WHERE CDFILIAL = :P"},
        {&own, SqlDialect::MSSQL, "SELECT 1 AS D FROM VENDA WHERE CDFILIAL = :P"},
        {&none, SqlDialect::PostgreSQL, "SELECT 1 AS D FROM VENDA WHERE CDFILIAL = :P"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.def->sqlFor(c.dialect), QLatin1String(c.sql)) << int(c.dialect);

    // Saved and read back, the text is still PostgreSQL's.
    const ReportDefinition again = ReportDefinition::fromJson(own.toJson());
    EXPECT_EQ(again.sqlFor(SqlDialect::PostgreSQL), own.sqlFor(SqlDialect::PostgreSQL));
    EXPECT_TRUE(own.toJson().value(QStringLiteral("sql")).toObject().contains(QStringLiteral("postgresql")));
    EXPECT_EQ(ReportEngine::validate(own), QString());
}

TEST(ReportDialects, PostgresTextIsCheckedLikeTheOthers)
{
    const ReportDefinition undeclared = definition(R"({"title": "T", "params": [],
        "sql": {"default": "SELECT 1 AS D FROM VENDA", "postgresql": "SELECT 2 AS D FROM VENDA WHERE CDFILIAL = :P"}})");
    EXPECT_EQ(ReportEngine::validate(undeclared), QStringLiteral("SQL PostgreSQL: o parâmetro 'P' não está declarado."));
    const ReportDefinition writes = definition(R"({"title": "T", "params": [],
        "sql": {"default": "SELECT 1 AS D FROM VENDA", "postgresql": "DELETE FROM VENDA"}})");
    EXPECT_TRUE(ReportEngine::validate(writes).startsWith(QStringLiteral("SQL PostgreSQL: ")))
        << ReportEngine::validate(writes).toStdString();
}

} // namespace
