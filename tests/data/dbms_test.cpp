// Which statement text a connection runs, from the DBMS name its driver reports.
#include "dbms.h"

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
