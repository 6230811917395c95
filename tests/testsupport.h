#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <Qt>
#include <ostream>

class QWidget;

// Readable QString values in test failure messages.
inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace testsupport {
QString sourcePath(const QString &relative);

// Writes a host configuration at `path` for the SQLite database `database`, as an operator writes
// one: branch 0001 (Matriz), the source tree's reports and help, the screen in its menu.
// Answers `path`, or an empty text when the file could not be written.
QString writeHostConfig(const QString &path, const QString &database, bool branchBound = false);

// Runs a screen script in this process (the real host session, offscreen) and answers its output
// lines. `config` overrides the host configuration as a script's "config" does; the database
// defaults to a small demo database made for the tests.
QList<QJsonObject> runScript(const QJsonArray &steps, const QJsonObject &config = {});

// Output lines of one kind ("message", "error", "focus", "dump", "params", "picker").
QList<QJsonObject> linesOf(const QList<QJsonObject> &lines, const QString &kind);
QStringList messagesOf(const QList<QJsonObject> &lines);

// Makes `widget`'s window the active one, as a user's click on it would.
void activate(QWidget *widget);

// Runs what is queued, then deletes what was handed to deleteLater.
void flushDeletes();
// The key of a typed character: letters, digits, space and backspace have theirs, the rest none.
Qt::Key keyFor(QChar c);
// Sends `text` to `widget` as key presses and releases, one per character.
void typeKeys(QWidget *widget, const QString &text);
// The object name of the control that has the focus, empty when none has it.
QString focusName();

// A workbook a test wrote, handed to the spreadsheet check that ends the CTest run (tests/recalc):
// copied into the folder BO_XLSX_RECALC_DIR names, as "<suite>.<test>-<n>.xlsx", and with
// `expected` beside it as "….json" when given ({"cells": [{"row", "column", "value"} or
// {"column", "rowsSum", "value"}]}, see tests/recalc). Without the variable (a test binary run by
// hand) nothing is kept. A file that is not there is a failure of the calling test.
void keepWorkbook(const QString &path, const QJsonObject &expected = {});
} // namespace testsupport
