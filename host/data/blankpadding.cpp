#include "blankpadding.h"

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlField>

using namespace Qt::StringLiterals;

namespace BlankPadding {

bool isPadded(const QSqlDatabase &db, const QSqlField &field)
{
    if (field.metaType().id() != QMetaType::QString)
        return false;
    const int type = field.typeID();
    // Through ODBC the type is the column's SQL type, whatever the engine.
    if (db.driverName().startsWith(u"QODBC"_s, Qt::CaseInsensitive))
        return type == 1 || type == -8; // SQL_CHAR, SQL_WCHAR
    switch (db.driver()->dbmsType()) {
    case QSqlDriver::Interbase:
        return (type & ~1) == 452; // SQL_TEXT
    case QSqlDriver::MSSqlServer:
    case QSqlDriver::Sybase:
        return type == 1 || type == -8; // SQL_CHAR, SQL_WCHAR through ODBC
    case QSqlDriver::Oracle:
        return type == 96; // SQLT_AFC
    default:
        return false;
    }
}

} // namespace BlankPadding
