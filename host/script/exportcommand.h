#pragma once

#include "host_global.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <cstdio>
#include <optional>
#include <utility>

// `backoffice export`: one report of a module's screen written to a file, with no window shown and
// no person at the screen. The command line becomes the steps of a screen script (open, choose the
// report, clicks, typed fields, picker and file answers, the save-as click) run by ScriptRunner on
// the real screen, so the file and every refusal are the screen's own. Which control takes which
// option is the module's: its ExportScreenDriver (exportscreendriver.h).
namespace ExportCommand {

enum Exit { Written = 0, Refused = 1, Usage = 2, Held = 3 };

HOST_EXPORT QString helpText();

// Qt's own notices (no runtime folder, what the offscreen platform cannot do) would reach a
// scheduler's mail on every run: from here on only critical ones are written. Call before the
// application object is made.
HOST_EXPORT void quietQtNotices();

// `arguments` are those after "export". Success is silent; messages go to `err` in Portuguese.
// Answers the exit status (Exit).
HOST_EXPORT int run(const QStringList &arguments, FILE *out, FILE *err);

} // namespace ExportCommand
