#include "dbinterrupt.h"

#include <QSqlDriver>
#include <QVariant>
#include <ibase.h>
#include <sqlite3.h>

bool interruptConnection(const QSqlDatabase &db)
{
    if (!db.isValid() || !db.driver())
        return false;
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
