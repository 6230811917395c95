#pragma once

#include <QStringList>
#include <vector>

// The demo sales database, described once; the SQLite, Firebird and PostgreSQL DDL come from here.

enum class DemoType
{
    Code,      // fixed-width zero-padded code: CHAR(n)
    Text,      // VARCHAR(n)
    Indicator, // 'S' / 'N': CHAR(1)
    Integer,
    Money,    // NUMERIC(15,2)
    Quantity, // NUMERIC(15,3)
    Date,
};

enum class DemoDialect { SQLite, Firebird, PostgreSQL };

struct DemoColumn
{
    const char *name;
    DemoType type;
    int size = 0; // characters, for Code and Text
    bool notNull = true;
};

struct DemoIndex
{
    const char *name;
    std::vector<const char *> columns;
    bool unique = false;
    // Appended to the key on SQLite only, so that a query reading no other column of the table is
    // answered from the index alone. Firebird 3 reads the record for every index entry anyway:
    // there the extra columns would only cost space and write time.
    std::vector<const char *> covering = {};
};

struct DemoTable
{
    const char *name;
    std::vector<DemoColumn> columns;
    std::vector<const char *> primaryKey;
    std::vector<DemoIndex> indexes; // built after the bulk load

    int columnIndex(const char *column) const; // -1 when absent
};

const std::vector<DemoTable> &demoSchema();
const DemoTable &demoTable(const char *name);

QString demoColumnType(const DemoColumn &column, DemoDialect dialect);
// CREATE TABLE statements, primary keys included.
QStringList demoTableDdl(DemoDialect dialect);
// Secondary indexes; run after the rows are in.
QStringList demoIndexDdl(DemoDialect dialect);
// PARAM and INSTR for Firebird's copies of the InterBase query texts.
QStringList demoFirebirdRoutinesDdl();
// The report identity's grants: SELECT on every table, EXECUTE on PARAM and INSTR, nothing more.
QStringList demoFirebirdReportGrantsDdl();
// What the default query texts use that PostgreSQL lacks: INSTR with Oracle's argument order.
QStringList demoPostgresRoutinesDdl();
// The report identity on PostgreSQL: the login report_user and the role report_role (made when the
// server has neither), SELECT on every table and EXECUTE on INSTR to the role, and the login's
// transactions read-only by default.
QStringList demoPostgresReportGrantsDdl();
// The sales summaries (SQLite and PostgreSQL): RESVENDA holds one row per branch, day, minute of
// the day (HRVENDA), store and register with the tickets that were not cancelled (QTVENDAS) and the
// sums of their items, discounts, goods and fees; RESVENDAHORA the same per hour (HRVENDA "HH00").
// Reports whose filters are among those columns read them instead of every sale; triggers on
// VENDA keep both equal to the detail as sales arrive, are changed, cancelled or deleted.
inline constexpr const char *SummaryTable = "RESVENDA";
inline constexpr const char *HourSummaryTable = "RESVENDAHORA";
QStringList demoSummaryTableDdl(DemoDialect dialect);
// Empties the summaries and fills them again from VENDA.
QStringList demoSummaryFillSql();
// The triggers that keep the summaries; made after the fill (a bulk load does not pay them per row).
QStringList demoSummaryTriggerDdl(DemoDialect dialect);
// Drops the triggers and the tables, where they exist, before they are made again.
QStringList demoSummaryDropDdl(DemoDialect dialect);
// "INSERT INTO T (A, B) VALUES (?, ?)" in the schema's column order.
QString demoInsertSql(const DemoTable &table);
