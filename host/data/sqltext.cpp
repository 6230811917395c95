#include "sqltext.h"

namespace SqlText {

Positional toPositional(const QString &sql)
{
    Positional result;
    result.text.reserve(sql.size());
    qsizetype copied = 0;
    forEachCodeStretch(sql, [&](qsizetype from, qsizetype to) {
        qsizetype i = from;
        while (i < to) {
            if (sql.at(i) != u':') {
                ++i;
                continue;
            }
            if (i + 1 < to && sql.at(i + 1) == u':') { // "::" is not a marker
                i += 2;
                continue;
            }
            qsizetype j = i + 1;
            while (j < to && isNameChar(sql.at(j)))
                ++j;
            if (j > i + 1) {
                result.text += QStringView(sql).mid(copied, i - copied);
                result.text += u'?';
                result.names << sql.mid(i + 1, j - i - 1);
                copied = j;
            }
            i = j;
        }
    });
    result.text += QStringView(sql).mid(copied);
    return result;
}

} // namespace SqlText
