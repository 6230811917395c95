#include "dbinterrupt.h"

#include "driverprofile.h"

#include <QSqlDriver>
#include <QVariant>
#include <cstring>
#include <ibase.h>
#include <libpq-fe.h>
#include <sql.h>
#include <sqlite3.h>
#include <sys/socket.h>

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
        return;
    }
    // QPSQL hands out its PGconn (named by its struct, "pg_conn*"); the cancel key is taken here, where the connection is owned, and
    // PQcancel may then be sent from any thread. The driver and the host load the same libpq.
    if (cancel == StatementCancel::PostgresCancel && qstrcmp(handle.typeName(), "pg_conn*") == 0) {
        PGconn *conn = *static_cast<PGconn *const *>(handle.constData());
        if (!conn || PQstatus(conn) != CONNECTION_OK)
            return;
        PGcancel *key = PQgetCancel(conn);
        if (!key)
            return;
        mPostgres = conn;
        mPostgresCancel = std::shared_ptr<void>(key, [](void *k) { PQfreeCancel(static_cast<PGcancel *>(k)); });
        mPostgresSocket = PQsocket(conn);
        mKind = Kind::Postgres;
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
    case Kind::Postgres: {
        // A connection of its own to the server, which then fails the running statement with
        // "canceling statement due to user request".
        char error[256] = {};
        return PQcancel(static_cast<PGcancel *>(mPostgresCancel.get()), error, int(sizeof error)) == 1;
    }
    case Kind::None:
        break;
    }
    return false;
}

bool NativeConnection::abort() const
{
    // Shutting the socket down (never closing it: libpq owns it) ends the wait of the thread
    // reading from it; libpq then reports the connection lost.
    if (mKind == Kind::Postgres)
        return mPostgresSocket >= 0 && ::shutdown(mPostgresSocket, SHUT_RDWR) == 0;
    if (mKind != Kind::Firebird)
        return false;
    ISC_STATUS_ARRAY status = {};
    isc_db_handle handle = firebirdHandle(mFirebird);
    return fb_cancel_operation(status, &handle, fb_cancel_abort) == 0;
}

bool NativeConnection::alive() const
{
    if (mKind == Kind::Postgres)
        return PQstatus(static_cast<PGconn *>(mPostgres)) == CONNECTION_OK;
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
