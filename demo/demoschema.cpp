#include "demoschema.h"

#include "datamodule.h"
#include "firebird.h"

#include <cstring>
#include <stdexcept>

using namespace Qt::StringLiterals;

namespace {

using T = DemoType;

std::vector<DemoTable> buildSchema()
{
    // No foreign keys: the chain's data has registers whose store is gone, and the reports must
    // cope with them (LEFT JOIN LOJA).
    return {
        {"FILIAL",
         {{"CDFILIAL", T::Code, 4},
          {"NMFILIAL", T::Text, 30},
          {"NMCIDADE", T::Text, 40},
          {"SGESTADO", T::Code, 2},
          {"IDATIVO", T::Indicator}},
         {"CDFILIAL"},
         {}},
        {"LOJA",
         {{"CDFILIAL", T::Code, 4},
          {"CDLOJA", T::Code, 10},
          {"NMLOJA", T::Text, 50},
          {"IDATIVO", T::Indicator}},
         {"CDFILIAL", "CDLOJA"},
         {}},
        {"CAIXA",
         {{"CDFILIAL", T::Code, 4},
          {"CDLOJA", T::Code, 10},
          {"CDCAIXA", T::Code, 3},
          {"NMCAIXA", T::Text, 30},
          {"IDATIVO", T::Indicator}},
         {"CDFILIAL", "CDCAIXA"},
         {{"IX_CAIXA_LOJA", {"CDFILIAL", "CDLOJA"}}}},
        {"MODALIDADE",
         {{"CDMODALIDADE", T::Code, 2}, {"NMMODALIDADE", T::Text, 30}, {"IDATIVO", T::Indicator}},
         {"CDMODALIDADE"},
         {}},
        // One table for the whole product tree: CDNVPRODUTO 1 = group, 2 = subgroup, 3 = item sold.
        {"PRODUTO",
         {{"CDPRODUTO", T::Code, 10},
          {"CDARVPROD", T::Text, 20},
          {"NMPRODUTO", T::Text, 50},
          {"SGUNIDADE", T::Text, 10, false},
          {"CDNVPRODUTO", T::Code, 1},
          {"VRPRECO", T::Money, 0, false},
          {"IDATIVO", T::Indicator}},
         {"CDPRODUTO"},
         {{"UQ_PRODUTO_ARVORE", {"CDARVPROD"}, true}, {"IX_PRODUTO_NOME", {"NMPRODUTO"}}}},
        // VRTOTVENDA is the goods net of discount; the fees come on top and PAGVENDA pays all three.
        {"VENDA",
         {{"CDFILIAL", T::Code, 4},
          {"CDLOJA", T::Code, 10},
          {"CDCAIXA", T::Code, 3},
          {"NRVENDA", T::Integer},
          {"DTVENDA", T::Date},
          {"HRVENDA", T::Code, 4},
          {"QTITENS", T::Integer},
          {"VRDESCONTO", T::Money},
          {"VRTOTVENDA", T::Money},
          {"VRTXSERV", T::Money},
          {"VRTXENTR", T::Money},
          {"IDCANCELADA", T::Indicator}},
         {"CDFILIAL", "CDCAIXA", "NRVENDA"},
         {{"IX_VENDA_DATA", {"DTVENDA", "HRVENDA"}},
          // Every Vnd025 report reads a branch's sales over a period, and only these columns of
          // them (the key's CDCAIXA and NRVENDA ride in every index of a table without row ids).
          {"IX_VENDA_FILIAL_DATA",
           {"CDFILIAL", "DTVENDA"},
           false,
           {"IDCANCELADA", "HRVENDA", "CDLOJA", "QTITENS", "VRTOTVENDA", "VRDESCONTO", "VRTXSERV", "VRTXENTR"}}}},
        {"ITVENDA",
         {{"CDFILIAL", T::Code, 4},
          {"CDCAIXA", T::Code, 3},
          {"NRVENDA", T::Integer},
          {"NRSEQITEM", T::Integer},
          {"CDPRODUTO", T::Code, 10},
          {"QTPRODUTO", T::Quantity},
          {"VRUNITARIO", T::Money},
          {"VRTOTITEM", T::Money}},
         {"CDFILIAL", "CDCAIXA", "NRVENDA", "NRSEQITEM"},
         {{"IX_ITVENDA_PRODUTO", {"CDPRODUTO"}}}},
        {"PAGVENDA",
         {{"CDFILIAL", T::Code, 4},
          {"CDCAIXA", T::Code, 3},
          {"NRVENDA", T::Integer},
          {"NRSEQPAG", T::Integer},
          {"CDMODALIDADE", T::Code, 2},
          {"VRPAGAMENTO", T::Money}},
         {"CDFILIAL", "CDCAIXA", "NRVENDA", "NRSEQPAG"},
         {{"IX_PAGVENDA_MODALIDADE", {"CDMODALIDADE"}}}},
    };
}

QString joined(const std::vector<const char *> &names)
{
    QStringList parts;
    for (const char *name : names)
        parts << QLatin1String(name);
    return parts.join(u", "_s);
}

} // namespace

int DemoTable::columnIndex(const char *column) const
{
    for (size_t i = 0; i < columns.size(); ++i)
        if (std::strcmp(columns[i].name, column) == 0)
            return int(i);
    return -1;
}

const std::vector<DemoTable> &demoSchema()
{
    static const std::vector<DemoTable> schema = buildSchema();
    return schema;
}

const DemoTable &demoTable(const char *name)
{
    for (const DemoTable &table : demoSchema())
        if (std::strcmp(table.name, name) == 0)
            return table;
    throw std::invalid_argument(name);
}

QString demoColumnType(const DemoColumn &column, DemoDialect dialect)
{
    const bool sqlite = dialect == DemoDialect::SQLite;
    switch (column.type) {
    case T::Code:
        return u"CHAR(%1)"_s.arg(column.size);
    case T::Text:
        return u"VARCHAR(%1)"_s.arg(column.size);
    case T::Indicator:
        return u"CHAR(1)"_s;
    case T::Integer:
        return u"INTEGER"_s;
    // SQLite's NUMERIC affinity would store 12.00 as an integer and 12.50 as a real; REAL keeps
    // one storage class per column.
    case T::Money:
        return sqlite ? u"REAL"_s : u"NUMERIC(15,2)"_s;
    case T::Quantity:
        return sqlite ? u"REAL"_s : u"NUMERIC(15,3)"_s;
    case T::Date:
        return u"DATE"_s; // SQLite: ISO text 'YYYY-MM-DD', which orders and compares as a date
    }
    return {};
}

namespace {
QString primaryKeyClause(const DemoTable &table)
{
    return u"CONSTRAINT PK_%1 PRIMARY KEY (%2)"_s.arg(QLatin1String(table.name), joined(table.primaryKey));
}
} // namespace

QStringList demoTableDdl(DemoDialect dialect)
{
    QStringList ddl;
    for (const DemoTable &table : demoSchema()) {
        QStringList lines;
        for (const DemoColumn &column : table.columns)
            lines << u"%1 %2%3"_s.arg(QLatin1String(column.name), demoColumnType(column, dialect),
                                      column.notNull ? u" NOT NULL"_s : QString());
        // A SQLite table without row ids is built on its key. Firebird and PostgreSQL get their keys
        // after the rows, like the other indexes: one sorted build instead of a B-tree insert per row.
        if (dialect == DemoDialect::SQLite)
            lines << primaryKeyClause(table);
        ddl << u"CREATE TABLE %1 (\n  %2\n)%3"_s.arg(QLatin1String(table.name), lines.join(u",\n  "_s),
                                                 dialect == DemoDialect::SQLite ? u" WITHOUT ROWID"_s : QString());
    }
    return ddl;
}

QStringList demoIndexDdl(DemoDialect dialect)
{
    QStringList ddl;
    if (dialect != DemoDialect::SQLite) {
        for (const DemoTable &table : demoSchema())
            ddl << u"ALTER TABLE %1 ADD %2"_s.arg(QLatin1String(table.name), primaryKeyClause(table));
    }
    for (const DemoTable &table : demoSchema())
        for (const DemoIndex &index : table.indexes) {
            std::vector<const char *> columns = index.columns;
            if (dialect == DemoDialect::SQLite)
                columns.insert(columns.end(), index.covering.begin(), index.covering.end());
            ddl << u"CREATE %1INDEX %2 ON %3 (%4)"_s.arg(index.unique ? u"UNIQUE "_s : QString(),
                                                        QLatin1String(index.name), QLatin1String(table.name),
                                                        joined(columns));
        }
    return ddl;
}

QStringList demoFirebirdRoutinesDdl()
{
    return {
        // SELECT PARAM FROM PARAM(:text): hands a bound text back as a one-row, one-column set, which
        // the InterBase texts use where they need a parameter as a derived table.
        uR"(CREATE OR ALTER PROCEDURE PARAM (P VARCHAR(4000))
RETURNS (PARAM VARCHAR(4000))
AS
BEGIN
  PARAM = P;
  SUSPEND;
END)"_s,
        // Oracle's argument order (text first), 1-based, 0 when absent, as SQLite's built-in INSTR.
        uR"(CREATE OR ALTER FUNCTION INSTR (S VARCHAR(8191), SUB VARCHAR(8191))
RETURNS INTEGER
AS
BEGIN
  RETURN POSITION(SUB IN S);
END)"_s,
    };
}

QStringList demoFirebirdReportGrantsDdl()
{
    QStringList tables;
    for (const DemoTable &table : demoSchema())
        tables << QLatin1String(table.name);
    const DatabaseConfig defaults;
    return firebirdReportGrantsDdl(tables, {u"PROCEDURE PARAM"_s, u"FUNCTION INSTR"_s}, defaults.reportRole,
                                   defaults.reportUser);
}

QStringList demoPostgresRoutinesDdl()
{
    return {
        // Oracle's argument order (text first), 1-based, 0 when absent, null for a null argument, as
        // SQLite's built-in INSTR. TEXT arguments take CHAR columns without their padding.
        uR"(CREATE OR REPLACE FUNCTION INSTR(S TEXT, SUB TEXT)
RETURNS INTEGER
LANGUAGE SQL IMMUTABLE PARALLEL SAFE
AS 'SELECT POSITION(SUB IN S)')"_s,
    };
}

QStringList demoPostgresReportGrantsDdl()
{
    const DatabaseConfig defaults;
    // Role names keep their case, as the host logs in and sets the role with the configured text.
    const auto quoted = [](const QString &name) { return u'"' + QString(name).replace(u'"', u"\"\""_s) + u'"'; };
    const auto literal = [](const QString &name) { return u'\'' + QString(name).replace(u'\'', u"''"_s) + u'\''; };
    const QString role = quoted(defaults.reportRole), user = quoted(defaults.reportUser);
    QStringList ddl;
    // Roles belong to the whole server: another database may have made them already.
    ddl << uR"(DO $$ BEGIN
  IF NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = %1) THEN CREATE ROLE %2 NOLOGIN; END IF;
  IF NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = %3) THEN CREATE ROLE %4 LOGIN; END IF;
END $$)"_s.arg(literal(defaults.reportRole), role, literal(defaults.reportUser), user);
    ddl << u"GRANT %1 TO %2"_s.arg(role, user);
    ddl << u"ALTER ROLE %1 SET default_transaction_read_only = on"_s.arg(user);
    ddl << u"GRANT USAGE ON SCHEMA public TO %1"_s.arg(role);
    for (const DemoTable &table : demoSchema())
        ddl << u"GRANT SELECT ON %1 TO %2"_s.arg(QLatin1String(table.name), role);
    ddl << u"GRANT EXECUTE ON FUNCTION INSTR(TEXT, TEXT) TO %1"_s.arg(role);
    return ddl;
}

QString demoInsertSql(const DemoTable &table)
{
    QStringList names;
    QStringList marks;
    for (const DemoColumn &column : table.columns) {
        names << QLatin1String(column.name);
        marks << u"?"_s;
    }
    return u"INSERT INTO %1 (%2) VALUES (%3)"_s.arg(QLatin1String(table.name), names.join(u", "_s),
                                                   marks.join(u", "_s));
}
