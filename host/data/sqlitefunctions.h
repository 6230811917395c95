#pragma once

#include "host_global.h"

#include <QSqlDatabase>

// Registers the Microsoft SQL Server functions that the host's MSSQL statement texts use
// (CHARINDEX, LEN) on an open SQLite connection, so those texts run on SQLite in tests and demos.
// ISNULL cannot be added: it is a keyword of SQLite's grammar. Throws EDatabaseError when the
// connection is not an open SQLite one.
HOST_EXPORT void registerSqlServerFunctions(const QSqlDatabase &db);
