#pragma once

// Shared set-up of the reliability tests: the real screen on a small SQLite file, a catalogue of
// report definitions the test controls, a log of every statement text the screen's connection
// prepares, and captured log lines.

#include "datamodule.h"
#include "recordingui.h"
#include "reportengine.h"
#include "screentest.h"
#include "testsupport.h" // also prints texts readably in failures
#include "tfrmestaticvendhora.h"

#include <QByteArray>
#include <QJsonObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

struct sqlite3;

namespace reliability {

QByteArray readAll(const QString &path);
// A database configuration with only the driver and the name set.
DatabaseConfig databaseConfig(const QString &driver, const QString &name);
bool writeAll(const QString &path, const QByteArray &bytes);
// The hidden temporaries the writers left in a folder.
QStringList temporaries(const QString &folder);

// Every statement text SQLite prepares on one connection, as sent (parameters stay "?"): the
// proof that no text is put together from what the user typed.
class StatementLog
{
public:
    explicit StatementLog(const QSqlDatabase &db);
    ~StatementLog();
    StatementLog(const StatementLog &) = delete;
    StatementLog &operator=(const StatementLog &) = delete;

    bool active() const { return mDb != nullptr; }
    QStringList statements() const { return mStatements; }
    void clear() { mStatements.clear(); }

private:
    static int onTrace(unsigned type, void *context, void *statement, void *text);
    sqlite3 *mDb = nullptr;
    void *mLibrary = nullptr;
    QStringList mStatements;
};

// Every qDebug/qInfo/qWarning/qCritical line while it lives.
class LogCapture
{
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;
    QStringList lines() const;
};

// The rows of the test database: three branches, one store and register, two products.
inline constexpr int kBranches = 3;

// Creates the test database at `path` (tables FILIAL, LOJA, CAIXA, PRODUTO, ITVENDA).
void createDatabase(const QString &path);
// Rows of FILIAL on a separate connection to `path` (-1 when the table cannot be read).
int branchCount(const QString &path);

// The real screen on the test database, shown and active, with a report catalogue in a folder of
// its own: every report lists the branches (the filters are under test, not the reports).
class ScreenTest : public testsupport::ScreenTest<>
{
protected:
    void SetUp() override;

    using testsupport::ScreenTest<>::openDatabase;
    // Opens the shared connection on the test database (options: SQLite connect options).
    void openDatabase(const QString &options = QStringLiteral("QSQLITE_BUSY_TIMEOUT=200"));

    // Types into a control as key presses, after giving it the focus; each character is one key event.
    void typeKeys(QWidget *widget, const QString &text);
    // One key event carrying the whole text (an emoji is two UTF-16 units in one key press).
    void typeText(QWidget *widget, const QString &text);
    // Pastes `text` from the clipboard with Ctrl+V.
    void paste(QWidget *widget, const QString &text);
    // Gives the control the focus as a user's click would (the control that had it runs its exit).
    void focus(QWidget *widget);
    static QString focusName() { return testsupport::focusName(); }
    // Report 0 saved as `target` from the screen, with valid filters; the run as it finished.
    ReportRun saveAs(const QString &target);

    QString databasePath() const { return mDir.filePath(QStringLiteral("loja.sqlite")); }
    QString reportsFolder() const { return mDir.filePath(QStringLiteral("reports/Vnd025")); }
    QString reportPath(int index) const;
    QString scratch(const QString &name) const { return mDir.filePath(name); }
    // Writes the definition of report `index` with its SQL replaced.
    void setReportSql(int index, const QString &sql);

    QTemporaryDir mDir;
};

} // namespace reliability
