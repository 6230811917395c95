#pragma once

#include "host_global.h"

#include <QSqlDatabase>
#include <QVariant>

// Asks the server to abandon the statement running on `db`, from any thread (the report engine's
// cancel button). The running exec() then fails with the driver's "interrupted"/"cancelled" error.
// Supported for QSQLITE and QIBASE, and for QODBC given the running statement's handle
// (QSqlResult::handle(): ODBC cancels a statement, SQLCancel, not a connection); returns false
// when the driver cannot be interrupted. The statement must stay alive until this returns.
HOST_EXPORT bool interruptConnection(const QSqlDatabase &db, const QVariant &statement = {});
