// Which statement text a connection runs, from the DBMS name its driver reports.
#include "dbms.h"
#include "driverprofile.h"

#include <QString>
#include <gtest/gtest.h>

namespace {

TEST(Dbms, DriverNamesChooseTheDialect)
{
    const struct
    {
        const char *name; // as SQLGetInfo(SQL_DBMS_NAME) answers
        DbmsKind kind;
        SqlDialect dialect;
    } cases[] = {
        {"Microsoft SQL Server", DbmsKind::MSSQL, SqlDialect::MSSQL},
        {"microsoft sql server", DbmsKind::MSSQL, SqlDialect::MSSQL},
        {"Oracle", DbmsKind::Oracle, SqlDialect::Oracle},
        {"Oracle Database 19c", DbmsKind::Oracle, SqlDialect::Oracle},
        {"PostgreSQL", DbmsKind::PostgreSQL, SqlDialect::PostgreSQL},
        {"SQLite", DbmsKind::SQLite, SqlDialect::Default},
        {"Firebird", DbmsKind::Firebird, SqlDialect::InterBase},
        {"InterBase", DbmsKind::Firebird, SqlDialect::InterBase},
        {"  PostgreSQL ", DbmsKind::PostgreSQL, SqlDialect::PostgreSQL},
        // Names that only contain another engine's name are not that engine.
        {"MySQL", DbmsKind::Other, SqlDialect::Default},
        {"Adaptive Server Enterprise", DbmsKind::Other, SqlDialect::Default},
        {"Not Oracle", DbmsKind::Other, SqlDialect::Default},
        {"", DbmsKind::Other, SqlDialect::Default},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const DbmsKind kind = dbmsKindOfName(QString::fromLatin1(c.name));
        EXPECT_EQ(kind, c.kind);
        EXPECT_EQ(dialectOfKind(kind), c.dialect);
    }
}

// A QtSql driver name, however written, finds its engine's profile; a driver the host does not
// know gets the default text and no way to cancel.
TEST(Dbms, DriverNamesFindTheirProfile)
{
    const struct
    {
        const char *driver;
        DbmsKind kind;
        SqlDialect dialect;
        StatementCancel cancel;
        bool odbc;
    } cases[] = {
        {"QSQLITE", DbmsKind::SQLite, SqlDialect::Default, StatementCancel::SqliteInterrupt, false},
        {" qibase ", DbmsKind::Firebird, SqlDialect::InterBase, StatementCancel::FirebirdCancel, false},
        {"QPSQL", DbmsKind::PostgreSQL, SqlDialect::PostgreSQL, StatementCancel::PostgresCancel, false},
        {"QODBC", DbmsKind::Other, SqlDialect::Default, StatementCancel::OdbcStatement, true},
        {"QODBC3", DbmsKind::Other, SqlDialect::Default, StatementCancel::OdbcStatement, true},
        {"QOCI", DbmsKind::Oracle, SqlDialect::Oracle, StatementCancel::None, false},
        {"QMYSQL", DbmsKind::Other, SqlDialect::Default, StatementCancel::None, false},
        {"QSQLITEX", DbmsKind::Other, SqlDialect::Default, StatementCancel::None, false},
        {"", DbmsKind::Other, SqlDialect::Default, StatementCancel::None, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.driver);
        const DriverProfile &p = driverProfile(QString::fromLatin1(c.driver));
        EXPECT_EQ(p.kind, c.kind);
        EXPECT_EQ(p.dialect, c.dialect);
        EXPECT_EQ(p.cancel, c.cancel);
        EXPECT_EQ(p.odbc, c.odbc);
    }
}

TEST(Dbms, ClosedOrUnknownConnectionsRunTheDefaultText)
{
    EXPECT_EQ(dbmsNameOf(QSqlDatabase()), QString());
    EXPECT_EQ(dbmsKindOf(QSqlDatabase()), DbmsKind::Other);
    QSqlDatabase odbc = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), QStringLiteral("dbms_closed"));
    EXPECT_EQ(dbmsNameOf(odbc), QString()); // not open: the driver has not named its engine
    odbc = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("dbms_closed"));
}

// QtSql prefixes "DSN=" unless the name holds "DRIVER=" or "SERVER=" (or names a .dsn file).
TEST(Dbms, OdbcConnectionStringsReachTheDriverAsWritten)
{
    const struct
    {
        const char *written;
        const char *givenToQt;
    } cases[] = {
        {"loja", "loja"},
        {"DSN=loja", "loja"},
        {"dsn=loja;Database=vendas;UID=rel", "loja;Database=vendas;UID=rel"},
        {"DSN=loja;Server=db.example", "DSN=loja;Server=db.example"},
        {"Driver={PostgreSQL Unicode};Servername=db;Database=v", "Driver={PostgreSQL Unicode};Servername=db;Database=v"},
        {"/etc/odbc/loja.dsn", "/etc/odbc/loja.dsn"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(qodbcDatabaseName(QString::fromLatin1(c.written)), QString::fromLatin1(c.givenToQt)) << c.written;
}

} // namespace
