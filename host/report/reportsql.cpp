#include "reportsql.h"

#include "errors.h"
#include "sqltext.h"

#include <QDate>
#include <QDateTime>
#include <QSet>

using namespace Qt::StringLiterals;

namespace {

using SqlText::forEachCodeStretch;
using SqlText::isNameChar;

// Statements that change data, the schema or the connection; a report runs none of them.
const QSet<QString> &writingKeywords()
{
    static const QSet<QString> words{u"INSERT"_s, u"UPDATE"_s,  u"DELETE"_s,  u"MERGE"_s,   u"UPSERT"_s,
                                     u"DROP"_s,   u"ALTER"_s,   u"CREATE"_s,  u"RECREATE"_s, u"TRUNCATE"_s,
                                     u"ATTACH"_s, u"DETACH"_s,  u"PRAGMA"_s,  u"VACUUM"_s,  u"REINDEX"_s,
                                     u"GRANT"_s,  u"REVOKE"_s,  u"EXECUTE"_s, u"EXEC"_s,    u"COMMIT"_s,
                                     u"ROLLBACK"_s, u"SAVEPOINT"_s, u"RELEASE"_s, u"INTO"_s};
    return words;
}

// What survives any transaction's rollback: a sequence advanced, a transaction of its own.
struct LastingRule
{
    QStringList words; // consecutive words of the statement, comments between them allowed
    const char16_t *reason;
};

const LastingRule LastingRules[] = {
    {{u"GEN_ID"_s}, u"Um relatório não pode avançar sequências; o comando contém 'GEN_ID' e foi recusado."},
    {{u"NEXT"_s, u"VALUE"_s, u"FOR"_s},
     u"Um relatório não pode avançar sequências; o comando contém 'NEXT VALUE FOR' e foi recusado."},
    {{u"NEXTVAL"_s}, u"Um relatório não pode avançar sequências; o comando contém 'NEXTVAL' e foi recusado."},
    {{u"SETVAL"_s}, u"Um relatório não pode alterar sequências; o comando contém 'SETVAL' e foi recusado."},
    {{u"IN"_s, u"AUTONOMOUS"_s, u"TRANSACTION"_s},
     u"Um relatório não pode abrir transações autônomas; o comando contém 'IN AUTONOMOUS TRANSACTION' e foi recusado."},
    {{u"AUTONOMOUS"_s},
     u"Um relatório não pode abrir transações autônomas; o comando contém 'AUTONOMOUS' e foi recusado."},
};

// The statement's words (upper case, parameters left out) as one engine's quoting reads them, and
// whether anything follows a ';'.
struct StatementWords
{
    QStringList words;
    bool trailing = false;
};

StatementWords wordsOf(const QString &sql, SqlText::Quoting quoting)
{
    StatementWords result;
    bool afterSemicolon = false;
    forEachCodeStretch(
        sql,
        [&](qsizetype from, qsizetype to) {
            qsizetype i = from;
            while (i < to) {
                const QChar c = sql.at(i);
                if (c == u';') {
                    afterSemicolon = true;
                    ++i;
                } else if (isNameChar(c)) {
                    qsizetype j = i;
                    while (j < to && isNameChar(sql.at(j)))
                        ++j;
                    // ":NAME" is a parameter, not a keyword
                    if (i == 0 || sql.at(i - 1) != u':')
                        result.words << sql.mid(i, j - i).toUpper();
                    if (afterSemicolon)
                        result.trailing = true;
                    i = j;
                } else {
                    if (afterSemicolon && !c.isSpace())
                        result.trailing = true;
                    ++i;
                }
            }
        },
        quoting);
    return result;
}

QString refusalUnder(const QString &sql, SqlText::Quoting quoting)
{
    const StatementWords read = wordsOf(sql, quoting);
    const QStringList &words = read.words;
    if (words.isEmpty())
        return u"A definição não tem comando SQL."_s;
    if (words.first() != u"SELECT" && words.first() != u"WITH")
        return u"Um relatório só pode executar consultas (SELECT); o comando '%1' foi recusado."_s.arg(words.first());
    if (read.trailing)
        return u"Um relatório executa um único comando SQL; o texto após ';' foi recusado."_s;
    for (qsizetype i = 0; i < words.size(); ++i) {
        for (const LastingRule &rule : LastingRules) {
            if (words.mid(i, rule.words.size()) == rule.words)
                return QString::fromUtf16(rule.reason);
        }
        if (writingKeywords().contains(words.at(i)))
            return u"Um relatório só pode ler dados; o comando contém '%1' e foi recusado."_s.arg(words.at(i));
    }
    return {};
}

} // namespace

namespace ReportSql {

QString refusalReason(const QString &sql)
{
    // Preparing a statement costs the square of its markers on SQLite (the driver names each one),
    // minutes for a few hundred thousand; no report needs more than a handful.
    if (const qsizetype markers = SqlText::toPositional(sql).names.size(); markers > MaxMarkers)
        return u"Um relatório usa no máximo %1 parâmetros no SQL; este usa %2 e foi recusado."_s.arg(MaxMarkers).arg(markers);
    // Each engine reads quotes its own way (SQLite's [x'] is a name where Firebird sees a literal),
    // so the text has to be harmless under every reading.
    for (const SqlText::Quoting quoting : SqlText::AllQuotings) {
        if (QString reason = refusalUnder(sql, quoting); !reason.isEmpty())
            return reason;
    }
    return {};
}

QVariantList bindValues(const QStringList &names, const TParams &params)
{
    QVariantList values;
    values.reserve(names.size());
    for (const QString &name : names) {
        const TParam *param = params.FindParam(name);
        if (!param)
            throw EHostError(u"O parâmetro '%1' usado no SQL não está declarado na definição do relatório."_s.arg(name));
        QVariant value = param->bindValue();
        if (param->kind() == TParam::Kind::DateTime) {
            const QDateTime dt = param->AsDateTime();
            if (dt.isValid() && dt.time() == QTime(0, 0))
                value = dt.date();
        }
        values << value;
    }
    return values;
}

} // namespace ReportSql
