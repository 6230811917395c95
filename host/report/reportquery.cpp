#include "reportquery.h"

#include "blankpadding.h"
#include "datamodule.h"
#include "dbinterrupt.h"
#include "dbms.h"
#include "driverprofile.h"
#include "errors.h"
#include "params.h"
#include "sqltext.h"
#include "statementlimit.h"

#include <QMutexLocker>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSet>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlResult>
#include <QSqlRecord>
#include <QThread>
#include <QTimer>
#include <QUuid>

using namespace Qt::StringLiterals;

namespace {

// The engine's refusal of the reading identity, said in the screen's words as well: a write the
// report tried, or a database set up before reports read as their own identity (no grants yet).
QString withIdentityHint(const QString &error, const ReportIdentity &identity)
{
    // Firebird refuses by grant; PostgreSQL's read-only transaction refuses every write first.
    static const QRegularExpression writeRefused(u"no permission for (INSERT|UPDATE|DELETE|EXECUTE|USAGE|ALTER|DROP)\\b|"
                                                 u"cannot execute \\S+ in a read-only transaction"_s,
                                                 QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression readRefused(u"no permission for SELECT|permission denied for (table|view|schema)"_s,
                                                QRegularExpression::CaseInsensitiveOption);
    if (writeRefused.match(error).hasMatch())
        return u"O relatório só pode ler o banco de dados: a instrução tentou uma alteração que o usuário "
               u"de leitura não tem permissão de fazer.\n"_s +
               error;
    if (readRefused.match(error).hasMatch())
        return error +
               u"\nOs relatórios leem o banco como o usuário '%1'%2, sem permissão de leitura aqui: conceda "
               u"SELECT nas tabelas dos relatórios a esse papel ou usuário, ou ajuste report_user na seção "
               u"[database] da configuração."_s.arg(identity.user, identity.role.isEmpty()
                                                                     ? QString()
                                                                     : u" (papel '%1')"_s.arg(identity.role));
    return error;
}

} // namespace

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
    if (driverProfile(mRunning).cancel == StatementCancel::OdbcStatement)
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
        if (driverProfile(db).cancel == StatementCancel::OdbcStatement) {
            // The limit cancels the running statement through its own handle, as the button does.
            deadline.interruptWith([this] {
                const QMutexLocker lock(&mDbMutex);
                if (mRunning.isValid())
                    interruptConnection(mRunning, mRunningStatement);
            });
        }
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
                QList<bool> padded(count, false);
                for (int i = 0; i < count; ++i)
                    padded[i] = BlankPadding::isPadded(db, record.field(i));
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
                        if (padded.at(i) && v.typeId() == QMetaType::QString) {
                            const QString s = v.toString();
                            const QStringView text = BlankPadding::stripped(s);
                            if (text.size() != s.size())
                                v = text.toString();
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

