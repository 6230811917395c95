#include "dbinterrupt.h"

#include <QSqlDriver>
#include <QVariant>
#include <ibase.h>
#include <sql.h>
#include <sqlite3.h>

bool interruptConnection(const QSqlDatabase &db, const QVariant &statement)
{
    if (!db.isValid() || !db.driver())
        return false;
    if (db.driverName().startsWith(QLatin1String("QODBC"), Qt::CaseInsensitive)) {
        // SQLCancel from another thread is how ODBC abandons a running statement (the PostgreSQL
        // driver sends the server a cancel request, SQLite's calls sqlite3_interrupt).
        if (!statement.isValid() || statement.metaType() != QMetaType::fromType<SQLHANDLE>())
            return false;
        SQLHSTMT stmt = *static_cast<const SQLHANDLE *>(statement.constData());
        return stmt && SQL_SUCCEEDED(SQLCancel(stmt));
    }
    const QVariant handle = db.driver()->handle();
    if (!handle.isValid())
        return false;
    if (qstrcmp(handle.typeName(), "sqlite3*") == 0) {
        sqlite3 *sqlite = *static_cast<sqlite3 *const *>(handle.constData());
        if (!sqlite)
            return false;
        sqlite3_interrupt(sqlite);
        return true;
    }
    // QIBASE hands out its isc_db_handle as a plain "uint"; ODBC handles of a Firebird server are
    // pointers and fall through.
    if (db.driver()->dbmsType() == QSqlDriver::Interbase && handle.metaType() == QMetaType::fromType<isc_db_handle>()) {
        // The QIBASE driver and the host load the same libfbclient, so the handle is valid here.
        isc_db_handle dbHandle = *static_cast<const isc_db_handle *>(handle.constData());
        if (!dbHandle)
            return false;
        ISC_STATUS_ARRAY status = {};
        return fb_cancel_operation(status, &dbHandle, fb_cancel_raise) == 0;
    }
    return false;
}
