#pragma once

#include "host_global.h"

#include <QSqlDatabase>

// Asks the server to abandon the statement running on `db`, from any thread (the report engine's
// cancel button). The running exec() then fails with the driver's "interrupted"/"cancelled" error.
// Supported for QSQLITE and QIBASE; returns false when the driver cannot be interrupted.
HOST_EXPORT bool interruptConnection(const QSqlDatabase &db);
