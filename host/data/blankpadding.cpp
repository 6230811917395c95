#include "blankpadding.h"

#include "driverprofile.h"

#include <QSqlDatabase>
#include <QSqlField>

namespace BlankPadding {

bool isPadded(const QSqlDatabase &db, const QSqlField &field)
{
    if (field.metaType().id() != QMetaType::QString)
        return false;
    const int type = field.typeID();
    switch (driverProfile(db).fixedChar) {
    case FixedCharType::OdbcSqlType: // through ODBC the column's SQL type, whatever the engine
        return type == 1 || type == -8; // SQL_CHAR, SQL_WCHAR
    case FixedCharType::FirebirdText:
        return (type & ~1) == 452; // SQL_TEXT
    case FixedCharType::OracleAfc:
        return type == 96; // SQLT_AFC
    case FixedCharType::PostgresBpchar:
        return type == 1042; // BPCHAROID
    case FixedCharType::None:
        break;
    }
    return false;
}

} // namespace BlankPadding
