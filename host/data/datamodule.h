#pragma once

#include "host_global.h"

#include <QSqlDatabase>
#include <QString>

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
};
