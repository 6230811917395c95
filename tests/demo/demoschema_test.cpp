#include "demoschema.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

struct ColumnCase
{
    const char *table;
    const char *column;
    const char *sqlite;
    const char *firebird;
};

// The widths the screen and its lookups were written against.
const ColumnCase Columns[] = {
    {"FILIAL", "CDFILIAL", "CHAR(4)", "CHAR(4)"},
    {"FILIAL", "NMFILIAL", "VARCHAR(30)", "VARCHAR(30)"},
    {"LOJA", "CDLOJA", "CHAR(10)", "CHAR(10)"},
    {"LOJA", "NMLOJA", "VARCHAR(50)", "VARCHAR(50)"},
    {"CAIXA", "CDCAIXA", "CHAR(3)", "CHAR(3)"},
    {"CAIXA", "CDLOJA", "CHAR(10)", "CHAR(10)"},
    {"CAIXA", "NMCAIXA", "VARCHAR(30)", "VARCHAR(30)"},
    {"PRODUTO", "CDPRODUTO", "CHAR(10)", "CHAR(10)"},
    {"PRODUTO", "CDARVPROD", "VARCHAR(20)", "VARCHAR(20)"},
    {"PRODUTO", "NMPRODUTO", "VARCHAR(50)", "VARCHAR(50)"},
    {"PRODUTO", "SGUNIDADE", "VARCHAR(10)", "VARCHAR(10)"},
    {"PRODUTO", "CDNVPRODUTO", "CHAR(1)", "CHAR(1)"},
    {"VENDA", "NRVENDA", "INTEGER", "INTEGER"},
    {"VENDA", "DTVENDA", "DATE", "DATE"},
    {"VENDA", "HRVENDA", "CHAR(4)", "CHAR(4)"},
    {"VENDA", "VRTOTVENDA", "REAL", "NUMERIC(15,2)"},
    {"VENDA", "VRTXSERV", "REAL", "NUMERIC(15,2)"},
    {"VENDA", "VRTXENTR", "REAL", "NUMERIC(15,2)"},
    {"VENDA", "IDCANCELADA", "CHAR(1)", "CHAR(1)"},
    {"ITVENDA", "QTPRODUTO", "REAL", "NUMERIC(15,3)"},
    {"ITVENDA", "VRUNITARIO", "REAL", "NUMERIC(15,2)"},
    {"ITVENDA", "VRTOTITEM", "REAL", "NUMERIC(15,2)"},
    {"PAGVENDA", "CDMODALIDADE", "CHAR(2)", "CHAR(2)"},
    {"PAGVENDA", "VRPAGAMENTO", "REAL", "NUMERIC(15,2)"},
    {"MODALIDADE", "NMMODALIDADE", "VARCHAR(30)", "VARCHAR(30)"},
};

TEST(DemoSchema, ColumnTypesPerDialect)
{
    for (const ColumnCase &c : Columns) {
        SCOPED_TRACE(std::string(c.table) + "." + c.column);
        const DemoTable &table = demoTable(c.table);
        const int index = table.columnIndex(c.column);
        ASSERT_GE(index, 0);
        const DemoColumn &column = table.columns[size_t(index)];
        EXPECT_EQ(demoColumnType(column, DemoDialect::SQLite), QLatin1String(c.sqlite));
        EXPECT_EQ(demoColumnType(column, DemoDialect::Firebird), QLatin1String(c.firebird));
    }
}

TEST(DemoSchema, PrimaryKeys)
{
    const struct
    {
        const char *table;
        const char *key;
    } cases[] = {
        {"FILIAL", "CDFILIAL"},
        {"LOJA", "CDFILIAL, CDLOJA"},
        {"CAIXA", "CDFILIAL, CDCAIXA"}, // register codes are unique within a branch, not a store
        {"PRODUTO", "CDPRODUTO"},
        {"VENDA", "CDFILIAL, CDCAIXA, NRVENDA"},
        {"ITVENDA", "CDFILIAL, CDCAIXA, NRVENDA, NRSEQITEM"},
        {"PAGVENDA", "CDFILIAL, CDCAIXA, NRVENDA, NRSEQPAG"},
    };
    // SQLite builds each table on its key; Firebird adds the keys after the rows are in.
    const QStringList sqlite = demoTableDdl(DemoDialect::SQLite);
    const QStringList firebird = demoIndexDdl(DemoDialect::Firebird);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.table);
        const QString create = u"CREATE TABLE %1 ("_s.arg(QLatin1String(c.table));
        const auto it = std::find_if(sqlite.begin(), sqlite.end(), [&](const QString &s) { return s.startsWith(create); });
        ASSERT_NE(it, sqlite.end());
        EXPECT_TRUE(it->contains(u"CONSTRAINT PK_%1 PRIMARY KEY (%2)"_s.arg(QLatin1String(c.table), QLatin1String(c.key))))
            << it->toStdString();
        EXPECT_TRUE(firebird.contains(u"ALTER TABLE %1 ADD CONSTRAINT PK_%1 PRIMARY KEY (%2)"_s.arg(
            QLatin1String(c.table), QLatin1String(c.key))));
    }
    for (const QString &create : demoTableDdl(DemoDialect::Firebird))
        EXPECT_FALSE(create.contains(u"PRIMARY KEY"_s)) << create.toStdString();
}

TEST(DemoSchema, DateIndexesAndInsertsFollowTheDescription)
{
    const QStringList indexes = demoIndexDdl(DemoDialect::SQLite);
    EXPECT_TRUE(indexes.contains(u"CREATE INDEX IX_VENDA_DATA ON VENDA (DTVENDA, HRVENDA)"_s));
    // the reports' index covers their columns where the engine can read an index alone
    EXPECT_TRUE(indexes.contains(u"CREATE INDEX IX_VENDA_FILIAL_DATA ON VENDA (CDFILIAL, DTVENDA, IDCANCELADA, HRVENDA, "
                                 u"CDLOJA, QTITENS, VRTOTVENDA, VRDESCONTO, VRTXSERV, VRTXENTR)"_s));
    EXPECT_TRUE(demoIndexDdl(DemoDialect::Firebird)
                    .contains(u"CREATE INDEX IX_VENDA_FILIAL_DATA ON VENDA (CDFILIAL, DTVENDA)"_s));
    EXPECT_TRUE(indexes.contains(u"CREATE UNIQUE INDEX UQ_PRODUTO_ARVORE ON PRODUTO (CDARVPROD)"_s));
    EXPECT_EQ(demoInsertSql(demoTable("MODALIDADE")),
              u"INSERT INTO MODALIDADE (CDMODALIDADE, NMMODALIDADE, IDATIVO) VALUES (?, ?, ?)"_s);
    // SQLite tables keep their rows in key order; Firebird has no such clause.
    EXPECT_TRUE(demoTableDdl(DemoDialect::SQLite).first().endsWith(u"WITHOUT ROWID"_s));
    EXPECT_FALSE(demoTableDdl(DemoDialect::Firebird).first().contains(u"ROWID"_s));
}

} // namespace
