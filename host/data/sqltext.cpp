#include "sqltext.h"

namespace SqlText {

namespace {

bool startsToken(const QString &sql, qsizetype i)
{
    return i == 0 || !(isNameChar(sql.at(i - 1)) || sql.at(i - 1) == u'$');
}

// A quote whose doubled form stays inside: 'literal', "identifier", `identifier`.
qsizetype doubledQuoteEnd(const QString &sql, qsizetype i, bool backslashEscapes)
{
    const QChar q = sql.at(i);
    const qsizetype n = sql.size();
    ++i;
    while (i < n) {
        const QChar c = sql.at(i);
        if (backslashEscapes && c == u'\\') {
            i += 2;
            continue;
        }
        if (c == q) {
            if (i + 1 < n && sql.at(i + 1) == q) {
                i += 2;
                continue;
            }
            return i + 1;
        }
        ++i;
    }
    return n;
}

// Firebird's Q'<d>...<d>' where the closing delimiter mirrors the opening one for brackets.
qsizetype firebirdQLiteralEnd(const QString &sql, qsizetype i)
{
    const qsizetype n = sql.size();
    if (i + 2 >= n)
        return n;
    const QChar open = sql.at(i + 2);
    QChar close = open;
    switch (open.unicode()) {
    case u'(': close = u')'; break;
    case u'[': close = u']'; break;
    case u'{': close = u'}'; break;
    case u'<': close = u'>'; break;
    default: break;
    }
    for (qsizetype j = i + 3; j + 1 < n; ++j) {
        if (sql.at(j) == close && sql.at(j + 1) == u'\'')
            return j + 2;
    }
    return n;
}

// PostgreSQL's $tag$...$tag$ (the tag may be empty); `i` at the first '$'. Returns `i` when what
// follows is no tag ($1 is a parameter).
qsizetype dollarLiteralEnd(const QString &sql, qsizetype i)
{
    const qsizetype n = sql.size();
    qsizetype j = i + 1;
    if (j < n && sql.at(j).isDigit())
        return i;
    while (j < n && isNameChar(sql.at(j)))
        ++j;
    if (j >= n || sql.at(j) != u'$')
        return i;
    const QStringView tag = QStringView(sql).mid(i, j - i + 1);
    const qsizetype close = sql.indexOf(tag, j + 1);
    return close < 0 ? n : close + tag.size();
}

qsizetype blockCommentEnd(const QString &sql, qsizetype i, bool nested)
{
    const qsizetype n = sql.size();
    int depth = 1;
    i += 2;
    while (i < n) {
        if (sql.at(i) == u'*' && i + 1 < n && sql.at(i + 1) == u'/') {
            i += 2;
            if (--depth == 0)
                return i;
        } else if (nested && sql.at(i) == u'/' && i + 1 < n && sql.at(i + 1) == u'*') {
            i += 2;
            ++depth;
        } else {
            ++i;
        }
    }
    return n;
}

} // namespace

qsizetype quotedFormEnd(const QString &sql, qsizetype i, Quoting quoting)
{
    const qsizetype n = sql.size();
    const QChar c = sql.at(i);
    const QChar next = i + 1 < n ? sql.at(i + 1) : QChar();
    switch (c.unicode()) {
    case u'\'':
    case u'"':
        return doubledQuoteEnd(sql, i, false);
    case u'-':
        if (next == u'-') {
            const qsizetype end = sql.indexOf(u'\n', i);
            return end < 0 ? n : end;
        }
        return i;
    case u'/':
        return next == u'*' ? blockCommentEnd(sql, i, quoting == Quoting::PostgreSQL) : i;
    case u'[':
        if (quoting != Quoting::SQLite)
            return i;
        {
            const qsizetype end = sql.indexOf(u']', i + 1);
            return end < 0 ? n : end + 1;
        }
    case u'`':
        return quoting == Quoting::SQLite ? doubledQuoteEnd(sql, i, false) : i;
    case u'$':
        return quoting == Quoting::PostgreSQL && startsToken(sql, i) ? dollarLiteralEnd(sql, i) : i;
    case u'q':
    case u'Q':
        return quoting == Quoting::Firebird && next == u'\'' && startsToken(sql, i) ? firebirdQLiteralEnd(sql, i) : i;
    case u'e':
    case u'E':
        return quoting == Quoting::PostgreSQL && next == u'\'' && startsToken(sql, i) ? doubledQuoteEnd(sql, i + 1, true)
                                                                                     : i;
    default:
        return i;
    }
}

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
