#include "reportrunner.h"

#include "dbinterrupt.h"
#include "dbms.h"
#include "errors.h"
#include "sqltext.h"

#include <QMutexLocker>
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

} // namespace

namespace ReportSql {

QString refusalReason(const QString &sql)
{
    QStringList words;
    bool trailing = false; // text after a ';'
    bool afterSemicolon = false;
    forEachCodeStretch(sql, [&](qsizetype from, qsizetype to) {
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
                    words << sql.mid(i, j - i).toUpper();
                if (afterSemicolon)
                    trailing = true;
                i = j;
            } else {
                if (afterSemicolon && !c.isSpace())
                    trailing = true;
                ++i;
            }
        }
    });
    if (words.isEmpty())
        return u"A definição não tem comando SQL."_s;
    if (words.first() != u"SELECT" && words.first() != u"WITH")
        return u"Um relatório só pode executar consultas (SELECT); o comando '%1' foi recusado."_s.arg(words.first());
    if (trailing)
        return u"Um relatório executa um único comando SQL; o texto após ';' foi recusado."_s;
    for (const QString &word : std::as_const(words)) {
        if (writingKeywords().contains(word))
            return u"Um relatório só pode ler dados; o comando contém '%1' e foi recusado."_s.arg(word);
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

ReportConnection::ReportConnection(const QString &sourceConnection)
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
        if (sqlite) {
            QString options = db.connectOptions();
            if (!options.contains(u"QSQLITE_OPEN_READONLY"_s)) {
                if (!options.trimmed().isEmpty())
                    options += u';';
                options += u"QSQLITE_OPEN_READONLY"_s;
            }
            db.setConnectOptions(options);
        }
        opened = db.open();
        if (!opened) {
            failure = db.lastError().text().trimmed();
        } else if (!sqlite) {
            // Whatever the statement does is undone: the transaction is never committed.
            mInTransaction = db.transaction();
        }
        if (opened)
            mDb = db;
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
    : QObject(parent), mSource(std::move(sourceConnection)), mSql(std::move(sql)), mValues(std::move(values))
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
    if (mRunning.isValid())
        interruptConnection(mRunning, mRunningStatement);
}

void ReportQuery::work()
{
    Outcome outcome = Outcome::Done;
    QString error;
    ReportTable table;
    try {
        ReportConnection connection(mSource);
        QSqlDatabase db = connection.database();
        {
            const QMutexLocker lock(&mDbMutex);
            mRunning = db;
        }
        {
            QSqlQuery query(db);
            query.setForwardOnly(true);
            bool ok = query.prepare(mSql);
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
                for (const QVariant &v : std::as_const(mValues))
                    query.addBindValue(driverBindValue(v, sqlite));
                ok = !mCancelled && query.exec();
            }
            if (ok) {
                const QSqlRecord record = query.record();
                for (int i = 0; i < record.count(); ++i)
                    table.columns << record.fieldName(i);
                const int count = record.count();
                // Fetching from a statement without columns (EXECUTE BLOCK) crashes the QIBASE driver.
                while (!mCancelled && count > 0 && query.next()) {
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
            if (!ok && !mCancelled) {
                outcome = Outcome::Failed;
                error = query.lastError().text().trimmed();
                if (error.isEmpty())
                    error = u"Falha ao executar o comando SQL."_s;
            }
        }
        {
            const QMutexLocker lock(&mDbMutex);
            mRunning = QSqlDatabase();
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
