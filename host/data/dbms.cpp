#include "dbms.h"

#include "driverprofile.h"

#include <QSqlDriver>
#include <QVariant>
#include <sql.h>
#include <sqlext.h>

using namespace Qt::StringLiterals;

namespace {

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
    return engineProfileOfName(dbmsName).kind;
}

SqlDialect dialectOfKind(DbmsKind kind)
{
    return engineProfile(kind).dialect;
}

QString dbmsNameOf(const QSqlDatabase &db)
{
    if (!db.isValid() || !db.driver())
        return {};
    const DriverProfile &profile = driverProfile(db);
    if (profile.odbc)
        return db.isOpen() ? odbcDbmsName(db) : QString();
    return profile.dbmsName;
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
