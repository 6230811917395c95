#pragma once

#include "host_global.h"

#include <QString>

// Where the save dialogs open: the folder of the last file the user saved (kept in the user's
// settings), or the documents folder the first time and when that folder is gone.
namespace SaveFolder {

HOST_EXPORT QString folder();
// Keeps the folder of `file` for the next dialog.
HOST_EXPORT void remember(const QString &file);
// Forgets the kept folder (tests start from the first time).
HOST_EXPORT void forget();

// `name` made safe as a file name on every system the users have: path separators and the
// characters Windows refuses become "-", control characters go, blanks and dots at the ends go.
HOST_EXPORT QString safeName(const QString &name);
// The path a save dialog suggests: the folder above, `name` made safe, then ".`suffix`".
HOST_EXPORT QString suggestion(const QString &name, const QString &suffix);

} // namespace SaveFolder
