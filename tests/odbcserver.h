#pragma once

// The throw-away PostgreSQL server the CTest fixture starts (tools/odbc-test-server.sh), reached
// through its data source bo_pg.

#include "errors.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <gtest/gtest.h>
#include <string>

namespace testsupport {

// The engines the data tests run on: the two native drivers and the two ODBC data sources.
enum class Engine { Sqlite, Firebird, OdbcPostgres, OdbcSqlite };

// A readable name for a parameterised test's engine.
inline std::string engineName(const testing::TestParamInfo<Engine> &info)
{
    switch (info.param) {
    case Engine::Sqlite:
        return "SQLite";
    case Engine::Firebird:
        return "Firebird";
    case Engine::OdbcPostgres:
        return "PostgreSQL_ODBC";
    case Engine::OdbcSqlite:
        return "SQLite_ODBC";
    }
    return "unknown";
}

// A database of its own on the test server (dropped first when a former run left it); answers its
// connection string.
inline QString createPostgresDatabase(const QString &name)
{
    using namespace Qt::StringLiterals;
    const QString admin = u"odbc_admin_"_s + name;
    QString failure;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QODBC"_s, admin);
        db.setDatabaseName(u"bo_pg"_s); // the data source alone: QODBC puts "DSN=" in front
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
        throw EDatabaseError(u"PostgreSQL test server (DSN bo_pg): "_s + failure);
    return u"DSN=bo_pg;Database="_s + name;
}

} // namespace testsupport
