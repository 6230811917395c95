#pragma once

#include "host_global.h"

#include <QString>
#include <QStringList>

#include <cstdint>

// Firebird helpers for the host's data module and the demo database.
//
// Embedded use: fbclient runs the engine in the process when the database name is a plain file
// path; prepareFirebirdEmbedded() sets up what that needs (lock folder, provider list) and must
// run before the first QIBASE connection of the process.
HOST_EXPORT void prepareFirebirdEmbedded();

// A folder only this user can reach, for the embedded engine's `purpose` files ("lock", "conf"):
// "bo-firebird-<purpose>" under $XDG_RUNTIME_DIR when that folder is this user's, a real folder and
// closed to others (the user's processes then share one lock folder), otherwise a new folder made
// by mkdtemp in the temporary folder ("bo-firebird-<uid>-<purpose>-<pid>-XXXXXX") and removed when
// the process ends, or by the next call once that process is gone. A folder of that name that
// is a link, someone else's or open to others is never used. Empty when no folder can be made.
HOST_EXPORT QString firebirdPrivateFolder(const QString &purpose);

// Creates an empty UTF8 database (pt-BR collation available) at `database` (a path, or
// "host:path" / "host/port:path" for a server); throws EDatabaseError when the engine refuses.
HOST_EXPORT void createFirebirdDatabase(const QString &database, const QString &user = QStringLiteral("SYSDBA"),
                                        const QString &password = QStringLiteral("masterkey"));

// The engine's text for a status vector (ISC_STATUS is intptr_t), one line per message.
HOST_EXPORT QString firebirdStatusText(const std::intptr_t *status);

// The statements that give `user` the reading role `role`: SELECT on every table and view in
// `relations`, EXECUTE on the `readingRoutines` ("PROCEDURE PARAM", "FUNCTION INSTR"), and nothing
// else (no sequence, no writing routine). Run by the owner or SYSDBA, then committed.
HOST_EXPORT QStringList firebirdReportGrantsDdl(const QStringList &relations, const QStringList &readingRoutines,
                                                const QString &role, const QString &user);
