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
    if (qstrcmp(handle.typeName(), "isc_db_handle") == 0) {
        // The QIBASE driver and the host load the same libfbclient, so its handle is valid here.
        isc_db_handle dbHandle = *static_cast<const isc_db_handle *>(handle.constData());
        if (!dbHandle)
            return false;
        ISC_STATUS_ARRAY status = {};
        return fb_cancel_operation(status, &dbHandle, fb_cancel_raise) == 0;
    }
    return false;
}
