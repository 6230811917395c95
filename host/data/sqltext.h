#pragma once

#include "host_global.h"

#include <QString>
#include <QStringList>

// Reading statement texts: what is code and what is a literal or a comment, and the ":NAME"
// parameter markers, which every driver is given as "?".
namespace SqlText {

inline bool isNameChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'_';
}

// Calls `code(from, to)` for every stretch of `sql` outside string literals, quoted identifiers and
// comments. Doubled quotes stay inside their literal; an unterminated one runs to the end.
template <typename F>
void forEachCodeStretch(const QString &sql, F &&code)
{
    const qsizetype n = sql.size();
    qsizetype i = 0;
    qsizetype start = 0;
    while (i < n) {
        const QChar c = sql.at(i);
        const bool quote = c == u'\'' || c == u'"';
        const bool line = c == u'-' && i + 1 < n && sql.at(i + 1) == u'-';
        const bool block = c == u'/' && i + 1 < n && sql.at(i + 1) == u'*';
        if (!quote && !line && !block) {
            ++i;
            continue;
        }
        code(start, i);
        if (quote) {
            ++i;
            while (i < n) {
                if (sql.at(i) == c) {
                    if (i + 1 < n && sql.at(i + 1) == c) {
                        i += 2;
                        continue;
                    }
                    break;
                }
                ++i;
            }
            ++i;
        } else if (line) {
            while (i < n && sql.at(i) != u'\n')
                ++i;
        } else {
            const qsizetype end = sql.indexOf(QStringLiteral("*/"), i + 2);
            i = end < 0 ? n : end + 2;
        }
        start = qMin(i, n);
    }
    code(start, n);
}

// A statement with its ":NAME" markers replaced by "?", and the names in order of occurrence (a name
// used twice appears twice). Markers inside quotes and comments are left alone, and so is "::".
struct HOST_EXPORT Positional
{
    QString text;
    QStringList names;
};
HOST_EXPORT Positional toPositional(const QString &sql);

} // namespace SqlText
