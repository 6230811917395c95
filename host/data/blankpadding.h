#pragma once

#include "host_global.h"

#include <QStringView>

class QSqlDatabase;
class QSqlField;

// Fixed-width character columns come back blank-padded (Firebird pads a UTF8 CHAR(n) to its byte
// length, PostgreSQL's bpchar to n characters). The padding is the column's, not the data's: every
// text read from a database, by a lookup or a report, loses it, so every server yields the same
// texts. Blanks before or inside a text, and at the end of a variable-width one, are data and stay.
namespace BlankPadding {

// Whether `field`, as `db`'s driver describes it, is a fixed-width character column.
HOST_EXPORT bool isPadded(const QSqlDatabase &db, const QSqlField &field);

inline QStringView stripped(QStringView text)
{
    qsizetype end = text.size();
    while (end > 0 && text.at(end - 1) == u' ')
        --end;
    return text.first(end);
}

} // namespace BlankPadding
