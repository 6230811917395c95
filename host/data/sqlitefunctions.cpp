#include "sqlitefunctions.h"
#include "errors.h"

#include <QSqlDriver>
#include <QString>
#include <QVariant>
#include <sqlite3.h>

using namespace Qt::StringLiterals;

namespace {

QString argText(sqlite3_value *v)
{
    const auto *text = reinterpret_cast<const char *>(sqlite3_value_text(v));
    return QString::fromUtf8(text, sqlite3_value_bytes(v));
}

bool anyNull(int argc, sqlite3_value **argv)
{
    for (int i = 0; i < argc; ++i)
        if (sqlite3_value_type(argv[i]) == SQLITE_NULL)
            return true;
    return false;
}

// CHARINDEX(sought, text [, start]): 1-based position, 0 when absent; case-insensitive like the
// servers' default collation.
void charIndex(sqlite3_context *ctx, int argc, sqlite3_value **argv)
{
    if (anyNull(argc, argv)) {
        sqlite3_result_null(ctx);
        return;
    }
    const QString sought = argText(argv[0]);
    const QString text = argText(argv[1]);
    qsizetype from = argc > 2 ? qMax<qsizetype>(sqlite3_value_int64(argv[2]), 1) - 1 : 0;
    if (sought.isEmpty() || from >= text.size()) {
        sqlite3_result_int64(ctx, 0);
        return;
    }
    sqlite3_result_int64(ctx, text.indexOf(sought, from, Qt::CaseInsensitive) + 1);
}

// LEN ignores trailing blanks.
void len(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    const QString text = argText(argv[0]);
    qsizetype n = text.size();
    while (n > 0 && text.at(n - 1) == u' ')
        --n;
    sqlite3_result_int64(ctx, n);
}

} // namespace

void registerSqlServerFunctions(const QSqlDatabase &db)
{
    const QVariant handle = db.isValid() && db.isOpen() ? db.driver()->handle() : QVariant();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        throw EDatabaseError(u"A conexão '%1' não é uma conexão SQLite aberta."_s.arg(db.connectionName()));
    sqlite3 *sqlite = *static_cast<sqlite3 *const *>(handle.constData());
    if (!sqlite)
        throw EDatabaseError(u"A conexão '%1' não é uma conexão SQLite aberta."_s.arg(db.connectionName()));

    struct Function
    {
        const char *name;
        int argc;
        void (*call)(sqlite3_context *, int, sqlite3_value **);
    };
    static const Function functions[] = {
        {"CHARINDEX", 2, charIndex},
        {"CHARINDEX", 3, charIndex},
        {"LEN", 1, len},
    };
    for (const Function &f : functions) {
        const int rc = sqlite3_create_function_v2(sqlite, f.name, f.argc, SQLITE_UTF8 | SQLITE_DETERMINISTIC,
                                                  nullptr, f.call, nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK)
            throw EDatabaseError(u"Falha ao registrar a função %1: %2"_s.arg(QString::fromLatin1(f.name),
                                                                             QString::fromUtf8(sqlite3_errstr(rc))));
    }
}
