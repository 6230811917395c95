#pragma once

#include "host_global.h"

#include <QSqlDatabase>
#include <QVariant>
#include <cstdint>
#include <memory>

// Asks the server to abandon the statement running on `db`, from any thread (the report engine's
// cancel button). The running exec() then fails with the driver's "interrupted"/"cancelled" error.
// Supported for QSQLITE, QIBASE and QPSQL, and for QODBC given the running statement's handle
// (QSqlResult::handle(): ODBC cancels a statement, SQLCancel, not a connection); returns false
// when the driver cannot be interrupted. The statement must stay alive until this returns.
HOST_EXPORT bool interruptConnection(const QSqlDatabase &db, const QVariant &statement = {});

// The engine's own handle of an open connection, taken in the thread that owns the connection so
// that another thread (a time limit, a cancel button) can act on it without touching the driver.
class HOST_EXPORT NativeConnection
{
public:
    explicit NativeConnection(const QSqlDatabase &db);

    // The running statement fails with the engine's "interrupted"/"cancelled" error.
    bool interrupt() const;
    // Firebird and PostgreSQL: closes the client side of the connection, for a server that does not
    // answer even a cancel; the statement fails at once and the connection is lost. False for other
    // engines.
    bool abort() const;
    // One round trip to a Firebird server; PostgreSQL: the client still holds the connection (a
    // failed statement has noticed a server that went away); true for every other engine.
    bool alive() const;

private:
    enum class Kind { None, Sqlite, Firebird, Postgres };
    Kind mKind = Kind::None;
    void *mSqlite = nullptr;
    std::uint64_t mFirebird = 0; // isc_db_handle
    void *mPostgres = nullptr;   // PGconn, only read in the owner's thread
    std::shared_ptr<void> mPostgresCancel; // PGcancel: the server's key for this backend
    int mPostgresSocket = -1;
};
