#include "adoibquery.h"
#include "datamodule.h"
#include "errors.h"

#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>

using namespace Qt::StringLiterals;

namespace {

struct ParamRef
{
    qsizetype start; // position of the ':'
    qsizetype length; // ':' plus the name
    QString name;
};

bool isNameChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'_';
}

// ":NAME" occurrences outside string literals, quoted identifiers and comments, in text order.
// "::" is left alone (a literal colon pair, not a parameter).
QList<ParamRef> findParams(const QString &sql)
{
    QList<ParamRef> refs;
    const qsizetype n = sql.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = sql.at(i);
        if (c == u'\'' || c == u'"') {
            // Doubled quotes inside stay inside; an unterminated literal runs to the end.
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
        } else if (c == u'-' && i + 1 < n && sql.at(i + 1) == u'-') {
            while (i < n && sql.at(i) != u'\n')
                ++i;
        } else if (c == u'/' && i + 1 < n && sql.at(i + 1) == u'*') {
            const qsizetype end = sql.indexOf(u"*/"_s, i + 2);
            i = end < 0 ? n : end + 2;
        } else if (c == u':') {
            if (i + 1 < n && sql.at(i + 1) == u':') {
                i += 2;
                continue;
            }
            qsizetype j = i + 1;
            while (j < n && isNameChar(sql.at(j)))
                ++j;
            if (j > i + 1)
                refs.append({i, j - i, sql.mid(i + 1, j - i - 1)});
            i = j;
        } else {
            ++i;
        }
    }
    return refs;
}

int dialectIndex(SqlDialect d)
{
    switch (d) {
    case SqlDialect::Default:
        return 0;
    case SqlDialect::Oracle:
        return 1;
    case SqlDialect::MSSQL:
        return 2;
    case SqlDialect::InterBase:
        return 3;
    }
    return 0;
}

QString errorText(const QSqlError &error, const QString &fallback)
{
    const QString text = error.text().trimmed();
    return text.isEmpty() ? fallback : text;
}

// Fixed-width character columns come back blank-padded (Firebird pads to the byte length of a
// UTF8 CHAR(n)); the padding is dropped so every server yields the same texts.
bool isFixedChar(const QSqlDriver *driver, const QSqlField &field)
{
    if (field.metaType().id() != QMetaType::QString)
        return false;
    const int type = field.typeID();
    switch (driver->dbmsType()) {
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

QString trimTrailingBlanks(QString s)
{
    qsizetype end = s.size();
    while (end > 0 && s.at(end - 1) == u' ')
        --end;
    s.truncate(end);
    return s;
}

} // namespace

SqlDialect dialectOf(QSqlDriver::DbmsType type)
{
    switch (type) {
    case QSqlDriver::Interbase:
        return SqlDialect::InterBase;
    case QSqlDriver::MSSqlServer:
        return SqlDialect::MSSQL;
    case QSqlDriver::Oracle:
        return SqlDialect::Oracle;
    default:
        return SqlDialect::Default;
    }
}

SqlDialect dialectOf(const QSqlDatabase &db)
{
    if (!db.isValid() || !db.driver())
        return SqlDialect::Default;
    return dialectOf(db.driver()->dbmsType());
}

TADOIBQuery::TADOIBQuery(QObject *parent) : QObject(parent), mData(this) {}

void TADOIBQuery::setSQL(const QStringList &lines)
{
    mSql[0] = lines;
    declareParams(lines);
}

void TADOIBQuery::setSQL_ORACLE(const QStringList &lines)
{
    mSql[1] = lines;
    declareParams(lines);
}

void TADOIBQuery::setSQL_MSSQL(const QStringList &lines)
{
    mSql[2] = lines;
    declareParams(lines);
}

void TADOIBQuery::setSQL_IB(const QStringList &lines)
{
    mSql[3] = lines;
    declareParams(lines);
}

void TADOIBQuery::declareParams(const QStringList &lines)
{
    // Parameters are only ever added, so references handed out by ParamByName stay valid.
    const QList<ParamRef> refs = findParams(lines.join(u'\n'));
    for (const ParamRef &ref : refs)
        mParams.CreateParam(ref.name);
}

QString TADOIBQuery::statementFor(SqlDialect dialect) const
{
    const QStringList &own = mSql[dialectIndex(dialect)];
    return (own.isEmpty() ? mSql[0] : own).join(u'\n');
}

QSqlDatabase TADOIBQuery::connection() const
{
    const QString name = mConnectionName.isEmpty() ? QString::fromLatin1(TdtmDBGeral::ConnectionName) : mConnectionName;
    return QSqlDatabase::database(name, false);
}

void TADOIBQuery::Open()
{
    Close();

    const QSqlDatabase db = connection();
    if (!db.isValid() || !db.isOpen())
        throw EDatabaseError(u"A conexão com o banco de dados não está aberta."_s);

    const QString text = statementFor(dialectOf(db));
    if (text.trimmed().isEmpty())
        throw EDatabaseError(u"Nenhum comando SQL definido."_s);

    // Named parameters become positional ones: every driver (SQLite, Firebird, ODBC) supports
    // "?", and a name used twice simply binds twice.
    const QList<ParamRef> refs = findParams(text);
    QString executable;
    executable.reserve(text.size());
    qsizetype pos = 0;
    QVariantList values;
    for (const ParamRef &ref : refs) {
        executable += QStringView(text).mid(pos, ref.start - pos);
        executable += u'?';
        pos = ref.start + ref.length;
        values.append(mParams.ParamByName(ref.name).bindValue());
    }
    executable += QStringView(text).mid(pos);

    QStringList columns;
    QList<QVariantList> rows;
    {
        // The query lives only in this scope: no statement stays open on the connection once the
        // rows are on the client, so the connection can be closed or removed at any time.
        QSqlQuery query(db);
        query.setForwardOnly(true);
        if (!query.prepare(executable))
            throw EDatabaseError(errorText(query.lastError(), u"Falha ao preparar o comando SQL."_s));
        for (const QVariant &v : std::as_const(values))
            query.addBindValue(v);
        if (!query.exec())
            throw EDatabaseError(errorText(query.lastError(), u"Falha ao executar o comando SQL."_s));

        const QSqlRecord record = query.record();
        const int count = record.count();
        QList<bool> trim(count, false);
        for (int i = 0; i < count; ++i) {
            columns.append(record.fieldName(i));
            trim[i] = isFixedChar(db.driver(), record.field(i));
        }
        while (query.next()) {
            QVariantList row;
            row.reserve(count);
            for (int i = 0; i < count; ++i) {
                // One read per cell: a null is told from the value itself (what isNull() reads).
                QVariant v = query.value(i);
                if (v.isNull()) {
                    row.append(QVariant(record.field(i).metaType()));
                    continue;
                }
                if (trim.at(i))
                    v = trimTrailingBlanks(v.toString());
                row.append(std::move(v));
            }
            rows.append(std::move(row));
        }
        if (query.lastError().isValid())
            throw EDatabaseError(errorText(query.lastError(), u"Falha ao ler o resultado do comando SQL."_s));
    }

    mData.setContent(std::move(columns), std::move(rows));
    mActive = true;
}

void TADOIBQuery::Close()
{
    mActive = false;
    if (!mData.columns().isEmpty() || !mData.IsEmpty())
        mData.clear();
}
