#pragma once

#include "host_global.h"

#include <QSqlDatabase>
#include <QString>

enum class SqlDialect { Default, Oracle, MSSQL, InterBase, PostgreSQL };

// The engine behind a connection, as far as the statement texts care.
enum class DbmsKind { SQLite, Firebird, PostgreSQL, MSSQL, Oracle, Other };

// The engine a DBMS name stands for: the name an ODBC driver reports (SQL_DBMS_NAME, "Microsoft SQL
// Server", "Oracle", "PostgreSQL", "SQLite", "Firebird", ...), compared without case.
HOST_EXPORT DbmsKind dbmsKindOfName(const QString &dbmsName);
// The statement text an engine runs.
HOST_EXPORT SqlDialect dialectOfKind(DbmsKind kind);

// The DBMS name of an open connection: through ODBC what the driver reports (SQLGetInfo
// SQL_DBMS_NAME on the connection handle); "SQLite" and "Firebird" for the native drivers. Empty
// when the connection is not open or the driver does not answer.
HOST_EXPORT QString dbmsNameOf(const QSqlDatabase &db);
HOST_EXPORT DbmsKind dbmsKindOf(const QSqlDatabase &db);

// What to give QODBC as the database name so that the driver manager gets `connection` as written.
// QtSql 6.4 passes a name through only when it holds "DRIVER=" or "SERVER=" and otherwise prefixes
// "DSN=", so "DSN=loja;Database=x" would reach the driver as "DSN=DSN=loja;..." (data source not
// found); the leading "DSN=" is dropped for Qt to put back.
HOST_EXPORT QString qodbcDatabaseName(const QString &connection);
