#include "reportrunner.h"

#include "datamodule.h"
#include "dbinterrupt.h"
#include "dbms.h"
#include "errors.h"
#include "sqltext.h"
#include "statementlimit.h"

#include <QMutexLocker>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSet>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlResult>
#include <QSqlRecord>
#include <QThread>
#include <QTimer>
#include <QUuid>

using namespace Qt::StringLiterals;

int ReportTable::columnIndex(const QString &name) const
{
    for (int i = 0; i < columns.size(); ++i) {
        if (columns.at(i).compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

QVariant ReportTable::value(int row, int column) const
{
    if (row < 0 || row >= rows.size() || column < 0 || column >= rows.at(row).size())
        return {};
    return rows.at(row).at(column);
}

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

namespace {

// The engine's refusal of the reading identity, said in the screen's words as well: a write the
// report tried, or a database set up before reports read as their own identity (no grants yet).
QString withIdentityHint(const QString &error, const ReportIdentity &identity)
{
    static const QRegularExpression writeRefused(u"no permission for (INSERT|UPDATE|DELETE|EXECUTE|USAGE|ALTER|DROP)\\b"_s,
                                                 QRegularExpression::CaseInsensitiveOption);
    if (writeRefused.match(error).hasMatch())
        return u"O relatório só pode ler o banco de dados: a instrução tentou uma alteração que o usuário "
               u"de leitura não tem permissão de fazer.\n"_s +
               error;
    if (error.contains(u"no permission for SELECT"_s, Qt::CaseInsensitive))
        return error +
               u"\nOs relatórios leem o banco como o usuário '%1'%2, sem permissão de leitura aqui: conceda "
               u"SELECT nas tabelas dos relatórios a esse papel ou usuário, ou ajuste report_user na seção "
               u"[database] da configuração."_s.arg(identity.user, identity.role.isEmpty()
                                                                     ? QString()
                                                                     : u" (papel '%1')"_s.arg(identity.role));
    return error;
}

} // namespace

ReportIdentity ReportIdentity::of(const QString &sourceConnection)
{
    if (sourceConnection != QLatin1String(TdtmDBGeral::ConnectionName))
        return {};
    const DatabaseConfig &config = TdtmDBGeral::config();
    if (config.driver.trimmed().toUpper() != u"QIBASE"_s || config.reportUser.trimmed().isEmpty())
        return {};
    const QString password = config.reportPassword.isEmpty() ? config.password : config.reportPassword;
    return {config.reportUser.trimmed(), password.isEmpty() ? u"masterkey"_s : password, config.reportRole.trimmed()};
}

ReportConnection::ReportConnection(const QString &sourceConnection, const ReportIdentity &identity)
    : mName(u"report_"_s + QUuid::createUuid().toString(QUuid::WithoutBraces))
{
    if (!QSqlDatabase::contains(sourceConnection))
        throw EDatabaseError(u"A conexão com o banco de dados não está aberta."_s);
    bool opened = false;
    QString failure;
    {
        // The name overload reads the source's settings without touching its driver, so it can
        // run on the worker thread.
        QSqlDatabase db = QSqlDatabase::cloneDatabase(sourceConnection, mName);
        const bool sqlite = db.driverName() == u"QSQLITE";
        QString options = db.connectOptions();
        if (sqlite && !options.contains(u"QSQLITE_OPEN_READONLY"_s)) {
            if (!options.trimmed().isEmpty())
                options += u';';
            options += u"QSQLITE_OPEN_READONLY"_s;
        }
        if (db.driverName() == u"QIBASE" && !identity.user.isEmpty()) {
            db.setUserName(identity.user);
            db.setPassword(identity.password);
            static const QRegularExpression roleEntry(u"\\s*ISC_DPB_SQL_ROLE_NAME\\s*=[^;]*;?"_s,
                                                      QRegularExpression::CaseInsensitiveOption);
            options.remove(roleEntry);
            if (!identity.role.isEmpty()) {
                if (!options.trimmed().isEmpty() && !options.trimmed().endsWith(u';'))
                    options += u';';
                options += u"ISC_DPB_SQL_ROLE_NAME="_s + identity.role;
            }
        }
        db.setConnectOptions(options);
        opened = db.open();
        if (!opened) {
            failure = db.lastError().text().trimmed();
        } else if (sqlite) {
            // A second lock besides the read-only file: the connection itself refuses to write.
            QSqlQuery pragma(db);
            if (!pragma.exec(u"PRAGMA query_only = 1"_s)) {
                failure = pragma.lastError().text().trimmed();
                opened = false;
            }
        } else {
            // Whatever the statement does is undone: the transaction is never committed.
            mInTransaction = db.transaction();
        }
        if (opened)
            mDb = db;
        else
            db.close();
    }
    if (!opened) {
        QSqlDatabase::removeDatabase(mName);
        throw EDatabaseError(u"Não foi possível abrir a conexão do relatório.\n%1"_s.arg(failure));
    }
}

ReportConnection::~ReportConnection()
{
    if (mInTransaction)
        mDb.rollback();
    mDb.close();
    mDb = QSqlDatabase();
    QSqlDatabase::removeDatabase(mName);
}

ReportQuery::ReportQuery(QString sourceConnection, QString sql, QVariantList values, QObject *parent)
    : QObject(parent), mSource(std::move(sourceConnection)), mSql(std::move(sql)), mValues(std::move(values)),
      mIdentity(ReportIdentity::of(mSource)),
      mTimeoutMs(mSource == QLatin1String(TdtmDBGeral::ConnectionName) ? TdtmDBGeral::config().reportTimeout * 1000 : 0)
{
}

ReportQuery::~ReportQuery()
{
    if (mThread) {
        mCancelled = true;
        interruptRunning();
        mThread->wait();
        delete mThread;
    }
}

void ReportQuery::start()
{
    if (mThread)
        return;
    // A shared connection lost earlier (a Firebird server stopped) is opened again here, in the
    // thread that owns it; the report's own connection copies its settings.
    if (mSource == QLatin1String(TdtmDBGeral::ConnectionName) && !QSqlDatabase::database(mSource, false).isOpen()) {
        try {
            TdtmDBGeral::reopenIfLost();
        } catch (const EHostError &e) {
            mStartError = e.message(); // the worker hands it over as the outcome
        }
    }
    mThread = QThread::create([this] { work(); });
    mThread->start();
}

void ReportQuery::cancel()
{
    if (mCancelled.exchange(true))
        return;
    interruptRunning();
    // An interrupt that arrives just before the statement starts is lost, so it is repeated until
    // the worker has let go of its connection.
    auto *repeat = new QTimer(this);
    connect(repeat, &QTimer::timeout, this, &ReportQuery::interruptRunning);
    connect(this, &ReportQuery::finished, repeat, &QTimer::stop);
    repeat->start(50);
}

void ReportQuery::interruptRunning()
{
    const QMutexLocker lock(&mDbMutex);
    // An ODBC statement is cancelled through its own handle; otherwise the deadline interrupts, and
    // closes a connection whose server does not answer.
    if (mRunning.isValid() && mRunning.driverName().startsWith(u"QODBC"_s, Qt::CaseInsensitive))
        interruptConnection(mRunning, mRunningStatement);
    else if (mDeadline)
        mDeadline->abandon();
    else if (mRunning.isValid())
        interruptConnection(mRunning);
}

void ReportQuery::work()
{
    Outcome outcome = Outcome::Done;
    QString error;
    ReportTable table;
    try {
        if (!mStartError.isEmpty())
            throw EDatabaseError(mStartError);
        ReportConnection connection(mSource, mIdentity);
        QSqlDatabase db = connection.database();
        StatementDeadline deadline(db, mTimeoutMs);
        {
            const QMutexLocker lock(&mDbMutex);
            mRunning = db;
            mDeadline = &deadline;
        }
        const auto forget = qScopeGuard([this] {
            const QMutexLocker lock(&mDbMutex);
            mRunning = QSqlDatabase();
            mDeadline = nullptr;
        });
        if (mCancelled)
            deadline.abandon();
        {
            QSqlQuery query(db);
            query.setForwardOnly(true);
            // Preparing and binding a statement with a great many markers takes long: both run
            // here, where the cancel button's interrupt and flag reach them.
            bool ok = !mCancelled && query.prepare(mSql);
            // Declared after the query, so the handle is forgotten before the statement is freed.
            const auto forgetStatement = qScopeGuard([this] {
                const QMutexLocker lock(&mDbMutex);
                mRunningStatement = QVariant();
            });
            if (ok) {
                {
                    const QMutexLocker lock(&mDbMutex);
                    mRunningStatement = query.result()->handle();
                }
                const bool sqlite = dbmsKindOf(db) == DbmsKind::SQLite;
                for (const QVariant &v : std::as_const(mValues)) {
                    if (mCancelled)
                        break;
                    query.addBindValue(driverBindValue(v, sqlite));
                }
                ok = !mCancelled && query.exec();
            }
            bool overLimit = false;
            if (ok) {
                const QSqlRecord record = query.record();
                for (int i = 0; i < record.count(); ++i)
                    table.columns << record.fieldName(i);
                const int count = record.count();
                // Fetching from a statement without columns (EXECUTE BLOCK) crashes the QIBASE driver.
                while (!mCancelled && count > 0 && query.next()) {
                    if (mMaxRows > 0 && table.rows.size() >= mMaxRows) {
                        overLimit = true;
                        break;
                    }
                    QVariantList row;
                    row.reserve(count);
                    for (int i = 0; i < count; ++i) {
                        QVariant v = query.value(i);
                        // Fixed-width codes come back blank-padded from some servers.
                        if (v.typeId() == QMetaType::QString) {
                            QString s = v.toString();
                            qsizetype end = s.size();
                            while (end > 0 && s.at(end - 1) == u' ')
                                --end;
                            if (end != s.size())
                                v = s.left(end);
                        }
                        row.append(std::move(v));
                    }
                    table.rows.append(std::move(row));
                    mFetched.store(int(table.rows.size()), std::memory_order_relaxed);
                }
                if (query.lastError().isValid())
                    ok = false;
            }
            if (overLimit && !mCancelled) {
                outcome = Outcome::Failed;
                error = u"O relatório passou de %1 linhas e foi interrompido. Restrinja o período ou os filtros "
                        u"(o limite é o valor max_rows da seção [reports] da configuração)."_s.arg(mMaxRows);
                table = {};
            } else if (!ok && deadline.reason() == StatementDeadline::Reason::TimedOut) {
                outcome = Outcome::Failed;
                error = deadline.message();
                table = {};
            } else if (!ok && !mCancelled) {
                outcome = Outcome::Failed;
                error = query.lastError().text().trimmed();
                if (error.isEmpty())
                    error = u"Falha ao executar o comando SQL."_s;
                else if (!mIdentity.user.isEmpty())
                    error = withIdentityHint(error, mIdentity);
            }
        }
    } catch (const EHostError &e) {
        outcome = Outcome::Failed;
        error = e.message();
    } catch (const std::exception &e) {
        outcome = Outcome::Failed;
        error = QString::fromLocal8Bit(e.what());
    }
    if (mCancelled) {
        outcome = Outcome::Cancelled;
        table = {};
    }
    // Hand the results over in the object's own (UI) thread.
    QMetaObject::invokeMethod(
        this,
        [this, outcome, error, table = std::move(table)]() mutable {
            mOutcome = outcome;
            mError = error;
            mTable = std::move(table);
            Q_EMIT finished();
        },
        Qt::QueuedConnection);
}
