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
    ddl << u"GRANT SELECT ON %1, %2 TO %3"_s.arg(QLatin1String(SummaryTable), QLatin1String(HourSummaryTable), role);
    ddl << u"GRANT EXECUTE ON FUNCTION INSTR(TEXT, TEXT) TO %1"_s.arg(role);
    return ddl;
}

namespace {
// The summaries' key, in the order a branch's period is read, and what they sum of each sale.
const std::vector<const char *> kSummaryKey = {"CDFILIAL", "DTVENDA", "HRVENDA", "CDLOJA", "CDCAIXA"};
const std::vector<const char *> kSummarySums = {"QTITENS", "VRDESCONTO", "VRTOTVENDA", "VRTXSERV", "VRTXENTR"};

// A summary and the HRVENDA it files a sale under: the sale's minute, or the first minute of its hour.
struct SummaryGrain
{
    const char *table;
    bool hourly;

    QString name() const { return QLatin1String(table); }
    QString hourOf(const QString &column) const
    {
        return hourly ? u"SUBSTR(%1, 1, 2) || '00'"_s.arg(column) : column;
    }
};
const SummaryGrain kGrains[] = {{SummaryTable, false}, {HourSummaryTable, true}};

QString summaryColumns()
{
    return joined(kSummaryKey) + u", QTVENDAS, "_s + joined(kSummarySums);
}

// The key of one sale's summary row (row "OLD" or "NEW"), as values or as "CDFILIAL = OLD.CDFILIAL AND ...".
QStringList summaryKeyOf(const SummaryGrain &grain, const QString &row)
{
    QStringList parts;
    for (const char *column : kSummaryKey) {
        const QString value = row + u'.' + QLatin1String(column);
        parts << (std::strcmp(column, "HRVENDA") == 0 ? grain.hourOf(value) : value);
    }
    return parts;
}

QString summaryRowOf(const SummaryGrain &grain, const QString &row)
{
    const QStringList values = summaryKeyOf(grain, row);
    QStringList parts;
    for (size_t i = 0; i < kSummaryKey.size(); ++i)
        parts << u"%1 = %2"_s.arg(QLatin1String(kSummaryKey[i]), values[qsizetype(i)]);
    return parts.join(u" AND "_s);
}

// "NEW.CDFILIAL, ..., 1, NEW.QTITENS, ...": one sale as a summary row.
QString summaryValuesOf(const SummaryGrain &grain, const QString &row)
{
    QStringList parts = summaryKeyOf(grain, row);
    parts << u"1"_s;
    for (const char *column : kSummarySums)
        parts << row + u'.' + QLatin1String(column);
    return parts.join(u", "_s);
}

// Takes one sale (row "OLD") out of its summary row, and the row away once it holds no sale.
QStringList summaryRemoveSql(const SummaryGrain &grain, const QString &when)
{
    QStringList sets{u"QTVENDAS = QTVENDAS - 1"_s};
    for (const char *column : kSummarySums)
        sets << u"%1 = %1 - OLD.%1"_s.arg(QLatin1String(column));
    const QString where = (when.isEmpty() ? QString() : when + u" AND "_s) + summaryRowOf(grain, u"OLD"_s);
    return {u"UPDATE %1 SET %2 WHERE %3"_s.arg(grain.name(), sets.join(u", "_s), where),
            u"DELETE FROM %1 WHERE %2 AND QTVENDAS = 0"_s.arg(grain.name(), where)};
}

// Adds one sale (row "NEW") to its summary row, making the row when it is the first. PostgreSQL
// names the stored row by its table; SQLite takes the bare column (a trigger's INSERT has no alias).
// With a WHERE ("INSERT ... SELECT ... WHERE") the sale counts only when it holds; the WHERE also
// keeps SQLite's parser from reading ON CONFLICT as a join's ON.
QString summaryAddSql(const SummaryGrain &grain, DemoDialect dialect, const QString &when = {})
{
    const QString stored = dialect == DemoDialect::PostgreSQL ? grain.name() + u'.' : QString();
    QStringList sets{u"QTVENDAS = %1QTVENDAS + 1"_s.arg(stored)};
    for (const char *column : kSummarySums)
        sets << u"%1 = %2%1 + excluded.%1"_s.arg(QLatin1String(column), stored);
    const QString source = when.isEmpty() ? u"VALUES (%1)"_s.arg(summaryValuesOf(grain, u"NEW"_s))
                                          : u"SELECT %1 WHERE %2"_s.arg(summaryValuesOf(grain, u"NEW"_s), when);
    return u"INSERT INTO %1 (%2) %3 ON CONFLICT (%4) DO UPDATE SET %5"_s.arg(
        grain.name(), summaryColumns(), source, joined(kSummaryKey), sets.join(u", "_s));
}
} // namespace

QStringList demoSummaryTableDdl(DemoDialect dialect)
{
    const DemoTable &sales = demoTable("VENDA");
    QStringList lines;
    const auto column = [&](const char *name) {
        const DemoColumn &c = sales.columns[size_t(sales.columnIndex(name))];
        lines << u"%1 %2 NOT NULL"_s.arg(QLatin1String(name), demoColumnType(c, dialect));
    };
    for (const char *name : kSummaryKey)
        column(name);
    lines << u"QTVENDAS INTEGER NOT NULL"_s;
    for (const char *name : kSummarySums)
        column(name);
    // SQLite keeps the rows in key order: a branch's period is one stretch of the table. PostgreSQL
    // gets the key after the fill.
    const bool sqlite = dialect == DemoDialect::SQLite;
    QStringList ddl;
    for (const SummaryGrain &grain : kGrains) {
        QStringList withKey = lines;
        if (sqlite)
            withKey << u"CONSTRAINT PK_%1 PRIMARY KEY (%2)"_s.arg(grain.name(), joined(kSummaryKey));
        ddl << u"CREATE TABLE IF NOT EXISTS %1 (\n  %2\n)%3"_s.arg(grain.name(), withKey.join(u",\n  "_s),
                                                                 sqlite ? u" WITHOUT ROWID"_s : QString());
    }
    return ddl;
}

QStringList demoSummaryFillSql()
{
    QStringList counted{u"COUNT(*)"_s};
    QStringList summed{u"SUM(QTVENDAS)"_s};
    for (const char *column : kSummarySums) {
        counted << u"SUM(%1)"_s.arg(QLatin1String(column));
        summed << u"SUM(%1)"_s.arg(QLatin1String(column));
    }
    const SummaryGrain &minutes = kGrains[0], &hours = kGrains[1];
    const QString hourKey = joined(kSummaryKey).replace(u"HRVENDA"_s, hours.hourOf(u"HRVENDA"_s));
    return {u"DELETE FROM %1"_s.arg(minutes.name()), u"DELETE FROM %1"_s.arg(hours.name()),
            u"INSERT INTO %1 (%2) SELECT %3, %4 FROM VENDA WHERE IDCANCELADA = 'N' GROUP BY %3"_s.arg(
                minutes.name(), summaryColumns(), joined(kSummaryKey), counted.join(u", "_s)),
            // The hours from the minutes: a fraction of the rows to read.
            u"INSERT INTO %1 (%2) SELECT %3, %4 FROM %5 GROUP BY %3"_s.arg(hours.name(), summaryColumns(), hourKey,
                                                                           summed.join(u", "_s), minutes.name())};
}

QStringList demoSummaryTriggerDdl(DemoDialect dialect)
{
    QStringList ddl;
    if (dialect == DemoDialect::PostgreSQL) {
        QStringList removes, adds;
        for (const SummaryGrain &grain : kGrains) {
            ddl << u"ALTER TABLE %1 ADD CONSTRAINT PK_%1 PRIMARY KEY (%2)"_s.arg(grain.name(), joined(kSummaryKey));
            removes << summaryRemoveSql(grain, {});
            adds << summaryAddSql(grain, dialect);
        }
        const QString table = QLatin1String(SummaryTable);
        ddl << uR"(CREATE OR REPLACE FUNCTION %1_MANTER() RETURNS TRIGGER LANGUAGE plpgsql AS $$
BEGIN
  IF TG_OP <> 'INSERT' AND OLD.IDCANCELADA = 'N' THEN
    %2;
  END IF;
  IF TG_OP <> 'DELETE' AND NEW.IDCANCELADA = 'N' THEN
    %3;
  END IF;
  RETURN NULL;
END $$)"_s.arg(table, removes.join(u";\n    "_s), adds.join(u";\n    "_s))
            << uR"(CREATE OR REPLACE FUNCTION %1_ESVAZIAR() RETURNS TRIGGER LANGUAGE plpgsql AS $$
BEGIN
  TRUNCATE %1, %2;
  RETURN NULL;
END $$)"_s.arg(table, QLatin1String(HourSummaryTable))
            << u"CREATE TRIGGER TG_%1 AFTER INSERT OR UPDATE OR DELETE ON VENDA FOR EACH ROW EXECUTE FUNCTION %1_MANTER()"_s.arg(table)
            << u"CREATE TRIGGER TG_%1_TRUNCATE AFTER TRUNCATE ON VENDA FOR EACH STATEMENT EXECUTE FUNCTION %1_ESVAZIAR()"_s.arg(table);
        return ddl;
    }
    QStringList inserted, deleted, updated;
    for (const SummaryGrain &grain : kGrains) {
        inserted << summaryAddSql(grain, dialect);
        deleted << summaryRemoveSql(grain, {});
        updated << summaryRemoveSql(grain, u"OLD.IDCANCELADA = 'N'"_s)
                << summaryAddSql(grain, dialect, u"NEW.IDCANCELADA = 'N'"_s);
    }
    const QString table = QLatin1String(SummaryTable);
    const auto body = [](const QStringList &statements) { return statements.join(u";\n  "_s); };
    return {
        u"CREATE TRIGGER TG_%1_INS AFTER INSERT ON VENDA WHEN NEW.IDCANCELADA = 'N'\nBEGIN\n  %2;\nEND"_s.arg(table, body(inserted)),
        u"CREATE TRIGGER TG_%1_DEL AFTER DELETE ON VENDA WHEN OLD.IDCANCELADA = 'N'\nBEGIN\n  %2;\nEND"_s.arg(table, body(deleted)),
        u"CREATE TRIGGER TG_%1_UPD AFTER UPDATE ON VENDA\nBEGIN\n  %2;\nEND"_s.arg(table, body(updated)),
    };
}

QStringList demoSummaryDropDdl(DemoDialect dialect)
{
    const QString table = QLatin1String(SummaryTable), hours = QLatin1String(HourSummaryTable);
    if (dialect == DemoDialect::PostgreSQL)
        // CASCADE takes the triggers on VENDA with their functions.
        return {u"DROP FUNCTION IF EXISTS %1_MANTER() CASCADE"_s.arg(table),
                u"DROP FUNCTION IF EXISTS %1_ESVAZIAR() CASCADE"_s.arg(table), u"DROP TABLE IF EXISTS %1"_s.arg(table),
                u"DROP TABLE IF EXISTS %1"_s.arg(hours)};
    return {u"DROP TRIGGER IF EXISTS TG_%1_INS"_s.arg(table), u"DROP TRIGGER IF EXISTS TG_%1_DEL"_s.arg(table),
            u"DROP TRIGGER IF EXISTS TG_%1_UPD"_s.arg(table), u"DROP TABLE IF EXISTS %1"_s.arg(table),
            u"DROP TABLE IF EXISTS %1"_s.arg(hours)};
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
