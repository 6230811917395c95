#include "dbinterrupt.h"

#include "driverprofile.h"

#include <QSqlDriver>
#include <QVariant>
#include <cstring>
#include <ibase.h>
#include <sql.h>
#include <sqlite3.h>

static_assert(sizeof(isc_db_handle) <= sizeof(std::uint64_t));

namespace {

isc_db_handle firebirdHandle(std::uint64_t stored)
{
    isc_db_handle handle{};
    std::memcpy(&handle, &stored, sizeof handle);
    return handle;
}

} // namespace

NativeConnection::NativeConnection(const QSqlDatabase &db)
{
    if (!db.isValid() || !db.driver())
        return;
    const QVariant handle = db.driver()->handle();
    if (!handle.isValid())
        return;
    const StatementCancel cancel = driverProfile(db).cancel;
    if (cancel == StatementCancel::SqliteInterrupt && qstrcmp(handle.typeName(), "sqlite3*") == 0) {
        mSqlite = *static_cast<sqlite3 *const *>(handle.constData());
        mKind = mSqlite ? Kind::Sqlite : Kind::None;
        return;
    }
    // QIBASE hands out its isc_db_handle as a plain "uint"; ODBC handles of a Firebird server are
    // pointers and fall through. The driver and the host load the same libfbclient.
    if (cancel == StatementCancel::FirebirdCancel && handle.metaType() == QMetaType::fromType<isc_db_handle>()) {
        const isc_db_handle dbHandle = *static_cast<const isc_db_handle *>(handle.constData());
        std::memcpy(&mFirebird, &dbHandle, sizeof dbHandle);
        mKind = dbHandle ? Kind::Firebird : Kind::None;
    }
}

bool NativeConnection::interrupt() const
{
    switch (mKind) {
    case Kind::Sqlite:
        sqlite3_interrupt(static_cast<sqlite3 *>(mSqlite));
        return true;
    case Kind::Firebird: {
        ISC_STATUS_ARRAY status = {};
        isc_db_handle handle = firebirdHandle(mFirebird);
        return fb_cancel_operation(status, &handle, fb_cancel_raise) == 0;
    }
    case Kind::None:
        break;
    }
    return false;
}

bool NativeConnection::abort() const
{
    if (mKind != Kind::Firebird)
        return false;
    ISC_STATUS_ARRAY status = {};
    isc_db_handle handle = firebirdHandle(mFirebird);
    return fb_cancel_operation(status, &handle, fb_cancel_abort) == 0;
}

bool NativeConnection::alive() const
{
    if (mKind != Kind::Firebird)
        return true;
    ISC_STATUS_ARRAY status = {};
    isc_db_handle handle = firebirdHandle(mFirebird);
    return fb_ping(status, &handle) == 0;
}

bool interruptConnection(const QSqlDatabase &db, const QVariant &statement)
{
    if (driverProfile(db).cancel == StatementCancel::OdbcStatement) {
        // SQLCancel from another thread is how ODBC abandons a running statement (the PostgreSQL
        // driver sends the server a cancel request, SQLite's calls sqlite3_interrupt).
        if (!statement.isValid() || statement.metaType() != QMetaType::fromType<SQLHANDLE>())
            return false;
        SQLHSTMT stmt = *static_cast<const SQLHANDLE *>(statement.constData());
        return stmt && SQL_SUCCEEDED(SQLCancel(stmt));
    }
    return NativeConnection(db).interrupt();
}
