#pragma once

#include "host_global.h"
#include "dbms.h"

#include <QLatin1StringView>
#include <QSqlDatabase>
#include <QString>

// How a running statement is abandoned from another thread.
enum class StatementCancel {
    None,            // the driver offers no way
    SqliteInterrupt, // sqlite3_interrupt on the connection
    FirebirdCancel,  // fb_cancel_operation on the attachment; the client end can also be closed
    OdbcStatement,   // SQLCancel on the running statement's own handle
    PostgresCancel,  // PQcancel with the connection's cancel key; the client end can also be shut
};

// How fixed-width character columns are told apart (their blank padding is dropped).
enum class FixedCharType {
    None,
    OdbcSqlType,  // the column's SQL type: SQL_CHAR, SQL_WCHAR
    FirebirdText, // SQL_TEXT
    OracleAfc,    // SQLT_AFC
    PostgresBpchar, // the column's type oid: bpchar
};

// How the report identity (a user that may only read, optionally with a role) reaches the server.
enum class ReportRoleGrammar {
    None,        // reports run as the host's own user
    FirebirdDpb, // user and password of the identity, the role as ISC_DPB_SQL_ROLE_NAME
    SqlSetRole,  // user and password of the identity, then SET ROLE; the transaction read-only
};

// What the host knows of one engine, reached through a QtSql driver or named by an ODBC driver.
// A row without `driver` is an engine reached only through ODBC.
struct DriverProfile
{
    QLatin1StringView driver;   // QtSql driver name
    DbmsKind kind;              // Other: whatever the ODBC driver reports
    QLatin1StringView dbmsName; // how the engine names itself (SQL_DBMS_NAME starts with it)
    SqlDialect dialect;
    StatementCancel cancel;
    FixedCharType fixedChar;
    bool odbc;                // the engine is behind an ODBC driver, the name a connection string
    bool fileDatabase;        // a name without "host:" is a local file
    bool createsMissingFile;  // opening a missing file makes an empty database
    bool defaultCredentials;  // SYSDBA/masterkey when no user or password is given
    QLatin1StringView readOnlyOption; // connect option that opens the database read-only
    ReportRoleGrammar reportRole;
};

// The profile of a QtSql driver name (without case); a neutral one for a driver the host does not
// know (default text, no cancel).
HOST_EXPORT const DriverProfile &driverProfile(const QString &driverName);
HOST_EXPORT const DriverProfile &driverProfile(const QSqlDatabase &db);
// The first profile of an engine; the neutral one for DbmsKind::Other.
HOST_EXPORT const DriverProfile &engineProfile(DbmsKind kind);
// The profile whose DBMS name starts `dbmsName` (trimmed, without case); the neutral one if none.
HOST_EXPORT const DriverProfile &engineProfileOfName(const QString &dbmsName);
