#pragma once

#include "datamodule.h"
#include "demoschema.h"

#include <QSqlDatabase>

#include <memory>
#include <string_view>

// One column value on its way to a driver. Texts are UTF-8 and must stay alive until insert()
// returns; money travels as cents and quantities as thousandths so no driver sees a rounded double
// it did not make itself.
struct DemoValue
{
    enum Kind : quint8 { Null, Int, Cents, Milli, Text, Date };
    Kind kind = Null;
    qint64 n = 0; // the number, or the Julian day of a date
    const char *text = nullptr;
    int length = 0;

    static DemoValue integer(qint64 v) { return {Int, v}; }
    static DemoValue cents(qint64 v) { return {Cents, v}; }
    static DemoValue milli(qint64 v) { return {Milli, v}; }
    static DemoValue date(qint64 julianDay) { return {Date, julianDay}; }
    static DemoValue str(std::string_view s) { return {Text, 0, s.data(), int(s.size())}; }
};

// Receives the demo rows: schema statements first, then rows in batches, then the indexes.
class DemoWriter
{
public:
    virtual ~DemoWriter() = default;
    virtual void execute(const QString &sql) = 0;
    // A prepared INSERT of every column of table, in schema order.
    virtual int prepare(const DemoTable &table) = 0;
    virtual void insert(int statement, const DemoValue *values) = 0;
    virtual void beginRows() = 0;
    virtual void endRows() = 0;
    // Statistics, and whatever makes the finished database visible under its name.
    virtual void finish() = 0;
    virtual DemoDialect dialect() const = 0;
};

// SQLite through its C API: one transaction, no journal; the file appears under its name only
// when complete.
std::unique_ptr<DemoWriter> makeSqliteDemoWriter(const QString &path);
// Firebird through its C API (embedded or a server), committing every so many rows.
std::unique_ptr<DemoWriter> makeFirebirdDemoWriter(const DatabaseConfig &config);

// A QtSql connection under `name` to config's database, open; throws when it cannot be opened.
QSqlDatabase openDemoConnection(const DatabaseConfig &config, const QString &name);

// PostgreSQL through QtSql: QPSQL (config.name the database, with host, port, user) or QODBC
// (config.name "DSN=..." or a full connection string); throws when the data source is another engine.
std::unique_ptr<DemoWriter> makePostgresDemoWriter(const DatabaseConfig &config);

// Firebird writes through the OS cache while off; the load turns it off and back on at the end.
void setFirebirdForcedWrites(const DatabaseConfig &db, bool on);

// What QIBASE wants as the database name: "host[/port]:path" when config.host is set.
QString demoFirebirdTarget(const DatabaseConfig &config);
