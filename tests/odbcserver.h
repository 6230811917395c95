#pragma once

// The throw-away PostgreSQL server the CTest fixture starts (tools/odbc-test-server.sh), reached
// natively through QPSQL (its port in the file BO_PG_PORT_FILE names) and through the ODBC data
// source bo_pg.

#include "datamodule.h"
#include "errors.h"

#include <QFile>

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <gtest/gtest.h>
#include <string>

namespace testsupport {

// The engines the data tests run on: the three native drivers and the two ODBC data sources.
enum class Engine { Sqlite, Firebird, Postgres, OdbcPostgres, OdbcSqlite };

// Every engine, for the suites that run on all of them.
inline auto allEngines()
{
    return testing::Values(Engine::Sqlite, Engine::Firebird, Engine::Postgres, Engine::OdbcPostgres, Engine::OdbcSqlite);
}

// A readable name for a parameterised test's engine.
inline std::string engineName(const testing::TestParamInfo<Engine> &info)
{
    switch (info.param) {
    case Engine::Sqlite:
        return "SQLite";
    case Engine::Firebird:
        return "Firebird";
    case Engine::Postgres:
        return "PostgreSQL";
    case Engine::OdbcPostgres:
        return "PostgreSQL_ODBC";
    case Engine::OdbcSqlite:
        return "SQLite_ODBC";
    }
    return "unknown";
}

// The test server's database `name` through QPSQL, as its superuser. Throws when the fixture did
// not start the server.
inline DatabaseConfig postgresConfig(const QString &name)
{
    using namespace Qt::StringLiterals;
    QFile portFile(qEnvironmentVariable("BO_PG_PORT_FILE"));
    bool ok = false;
    const int port = portFile.open(QIODevice::ReadOnly) ? portFile.readAll().trimmed().toInt(&ok) : 0;
    if (!ok || port <= 0)
        throw EDatabaseError(u"PostgreSQL test server: no port in '%1' (BO_PG_PORT_FILE)"_s.arg(portFile.fileName()));
    DatabaseConfig config;
    config.driver = u"QPSQL"_s;
    config.host = u"127.0.0.1"_s;
    config.port = port;
    config.user = u"postgres"_s;
    config.name = name;
    return config;
}

// A database of its own on the test server (dropped first when a former run left it); answers its
// ODBC connection string (postgresConfig(name) reaches the same database natively).
inline QString createPostgresDatabase(const QString &name)
{
    using namespace Qt::StringLiterals;
    const QString admin = u"pg_admin_"_s + name;
    QString failure;
    {
        const DatabaseConfig server = postgresConfig(u"postgres"_s);
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QPSQL"_s, admin);
        db.setHostName(server.host);
        db.setPort(server.port);
        db.setUserName(server.user);
        db.setDatabaseName(server.name);
        if (!db.open()) {
            failure = db.lastError().text();
        } else {
            QSqlQuery q(db);
            if (!q.exec(u"DROP DATABASE IF EXISTS "_s + name) || !q.exec(u"CREATE DATABASE "_s + name))
                failure = q.lastError().text();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(admin);
    if (!failure.isEmpty())
        throw EDatabaseError(u"PostgreSQL test server: "_s + failure);
    return u"DSN=bo_pg;Database="_s + name;
}

} // namespace testsupport
