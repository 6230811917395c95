#pragma once

#include "host_global.h"

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

class StatementWatcher;

// How to reach the shared database (host configuration, screen-script "database").
struct HOST_EXPORT DatabaseConfig
{
    QString driver = QStringLiteral("QSQLITE"); // QSQLITE, QIBASE or QODBC
    QString name;                               // file, "host:path" for Firebird, or ODBC DSN/string
    QString host;
    int port = 0;
    QString user;
    QString password;
    QString options;
    // Firebird: reports run as this user, holding only the reading role (SELECT on the tables,
    // EXECUTE on routines that only read), so whatever a definition's SQL does it cannot write.
    // An empty user runs reports as `user`, inside a transaction that is never committed.
    QString reportUser = QStringLiteral("BO_RELATORIO");
    QString reportPassword; // empty: `password`
    QString reportRole = QStringLiteral("BO_LEITURA");
    // Seconds a lookup's statement may run before it is interrupted, and a report's query; 0: no limit
    // (for code and tests: a configuration file or script sets 1 to 86400, see HostConfig).
    int statementTimeout = 30;
    int reportTimeout = 600;
    // SQLite: make the file when it does not exist (tests and generators); the host never does.
    bool createIfMissing = false;

    // An SQLite database file (or ":memory:"), made when missing.
    static DatabaseConfig sqlite(const QString &file)
    {
        DatabaseConfig config;
        config.name = file;
        config.createIfMissing = true;
        return config;
    }
};

// `text` with every one of `secrets` that stands as a whole token (not inside a longer word)
// replaced by "****".
HOST_EXPORT QString maskSecrets(QString text, const QStringList &secrets);

// The shared data module: the one connection the whole host uses.
class HOST_EXPORT TdtmDBGeral
{
public:
    static constexpr const char *ConnectionName = "adcGeral";

    // Opens (or reopens) the shared connection; throws EDatabaseError with a message that never
    // carries the password.
    static void open(const DatabaseConfig &config);
    static void close();
    static bool isOpen();
    static QSqlDatabase adcGeral();
    static const DatabaseConfig &config();

    // After a statement on the shared connection failed: when the server no longer knows the
    // connection (stopped and started again, or cut off), opens it again and answers true; throws
    // EDatabaseError when that fails (and tries again on the next call). False when the connection
    // is well, or was never opened.
    static bool reopenIfLost();

    // What lookups show while their statements run long (not owned; null: nothing).
    static void setWatcher(StatementWatcher *watcher);
    static StatementWatcher *watcher();
};
