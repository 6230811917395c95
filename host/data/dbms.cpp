#include "dbms.h"

#include <QSqlDriver>
#include <QVariant>
#include <sql.h>
#include <sqlext.h>

using namespace Qt::StringLiterals;

namespace {

// What a DBMS name starts with, first match wins. "Microsoft SQL Server" is also what Azure SQL
// and SQL Server's own ODBC drivers report; Firebird's ODBC driver may call itself InterBase.
struct NameRule
{
    const char *prefix;
    DbmsKind kind;
};
constexpr NameRule kNameRules[] = {
    {"Microsoft SQL Server", DbmsKind::MSSQL},
    {"Oracle", DbmsKind::Oracle},
    {"PostgreSQL", DbmsKind::PostgreSQL},
    {"SQLite", DbmsKind::SQLite},
    {"Firebird", DbmsKind::Firebird},
    {"InterBase", DbmsKind::Firebird},
};

struct DialectRule
{
    DbmsKind kind;
    SqlDialect dialect;
};
// PostgreSQL and SQLite run the default text (PostgreSQL its own where a report carries one).
constexpr DialectRule kDialectRules[] = {
    {DbmsKind::MSSQL, SqlDialect::MSSQL},
    {DbmsKind::Oracle, SqlDialect::Oracle},
    {DbmsKind::Firebird, SqlDialect::InterBase},
    {DbmsKind::PostgreSQL, SqlDialect::PostgreSQL},
};

QString odbcDbmsName(const QSqlDatabase &db)
{
    // QODBC hands out its connection handle (SQLHDBC) as a pointer.
    const QVariant handle = db.driver()->handle();
    if (!handle.isValid() || handle.metaType() != QMetaType::fromType<SQLHANDLE>())
        return {};
    SQLHDBC dbc = *static_cast<const SQLHANDLE *>(handle.constData());
    if (!dbc)
        return {};
    SQLCHAR name[256] = {};
    SQLSMALLINT length = 0;
    const SQLRETURN r = SQLGetInfo(dbc, SQL_DBMS_NAME, name, SQLSMALLINT(sizeof name), &length);
    if (!SQL_SUCCEEDED(r))
        return {};
    return QString::fromUtf8(reinterpret_cast<const char *>(name)).trimmed();
}

} // namespace

DbmsKind dbmsKindOfName(const QString &dbmsName)
{
    const QString name = dbmsName.trimmed();
    for (const NameRule &rule : kNameRules)
        if (name.startsWith(QLatin1StringView(rule.prefix), Qt::CaseInsensitive))
            return rule.kind;
    return DbmsKind::Other;
}

SqlDialect dialectOfKind(DbmsKind kind)
{
    for (const DialectRule &rule : kDialectRules)
        if (rule.kind == kind)
            return rule.dialect;
    return SqlDialect::Default;
}

QString dbmsNameOf(const QSqlDatabase &db)
{
    if (!db.isValid() || !db.driver())
        return {};
    if (db.driverName().startsWith(u"QODBC"_s, Qt::CaseInsensitive)) {
        if (!db.isOpen())
            return {};
        if (QString name = odbcDbmsName(db); !name.isEmpty())
            return name;
        // A driver that does not answer: what QtSql made of the same name.
    }
    switch (db.driver()->dbmsType()) {
    case QSqlDriver::SQLite:
        return u"SQLite"_s;
    case QSqlDriver::Interbase:
        return u"Firebird"_s;
    case QSqlDriver::PostgreSQL:
        return u"PostgreSQL"_s;
    case QSqlDriver::MSSqlServer:
        return u"Microsoft SQL Server"_s;
    case QSqlDriver::Oracle:
        return u"Oracle"_s;
    default:
        return {};
    }
}

DbmsKind dbmsKindOf(const QSqlDatabase &db)
{
    return dbmsKindOfName(dbmsNameOf(db));
}

QString qodbcDatabaseName(const QString &connection)
{
    const QString text = connection.trimmed();
    const bool passedAsIs = text.contains(u".dsn"_s, Qt::CaseInsensitive) ||
                            text.contains(u"DRIVER="_s, Qt::CaseInsensitive) ||
                            text.contains(u"SERVER="_s, Qt::CaseInsensitive);
    if (!passedAsIs && text.startsWith(u"DSN="_s, Qt::CaseInsensitive))
        return text.mid(4);
    return connection;
}
