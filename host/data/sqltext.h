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

// How an engine reads quotes and comments. Every engine knows 'literals' (a doubled quote stays
// inside), "identifiers", "--" line comments and "/* */" block comments; some add their own forms.
enum class Quoting {
    Standard,
    Firebird,   // Q'{literal}' with a delimiter of the writer's choice
    SQLite,     // [identifier] and `identifier`
    PostgreSQL, // E'\'' backslash escapes, $tag$ literals $tag$, nested block comments
};

// Every reading, for checks that must hold however the engine reads the text.
inline constexpr Quoting AllQuotings[] = {Quoting::Standard, Quoting::Firebird, Quoting::SQLite, Quoting::PostgreSQL};

// Where the literal, quoted identifier or comment that starts at `i` ends (one past its last
// character, or the text's end when unterminated); `i` itself when none starts there.
HOST_EXPORT qsizetype quotedFormEnd(const QString &sql, qsizetype i, Quoting quoting);

// Calls `code(from, to)` for every stretch of `sql` outside string literals, quoted identifiers and
// comments, as `quoting` reads them.
template <typename F>
void forEachCodeStretch(const QString &sql, F &&code, Quoting quoting = Quoting::Standard)
{
    const qsizetype n = sql.size();
    qsizetype i = 0;
    qsizetype start = 0;
    while (i < n) {
        const qsizetype end = quotedFormEnd(sql, i, quoting);
        if (end == i) {
            ++i;
            continue;
        }
        code(start, i);
        i = qMin(end, n);
        start = i;
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
