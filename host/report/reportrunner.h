#pragma once

#include "host_global.h"
#include "params.h"

#include <QList>
#include <QMutex>
#include <QObject>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <atomic>
#include <memory>

class QThread;
class StatementDeadline;

// The rows a report query answered, held on the client.
struct HOST_EXPORT ReportTable
{
    QStringList columns;
    QList<QVariantList> rows;

    // Case-insensitive, -1 when the query has no such column.
    int columnIndex(const QString &name) const;
    QVariant value(int row, int column) const;
};

namespace ReportSql {

// The most ":NAME" markers a report's statement may hold.
inline constexpr int MaxMarkers = 2000;

// Empty when the statement only reads (one SELECT or WITH statement); otherwise the reason it is
// refused, for the user.
HOST_EXPORT QString refusalReason(const QString &sql);

// The values to bind for `names`; throws EHostError for a name the report does not declare. Dates
// without a time of day are bound as dates, so they compare with DATE columns on every server.
HOST_EXPORT QVariantList bindValues(const QStringList &names, const TParams &params);

} // namespace ReportSql

// Who a report connects as on Firebird: a user holding only the reading role. Empty: the source
// connection's own user.
struct HOST_EXPORT ReportIdentity
{
    QString user;
    QString password;
    QString role;

    // The shared connection's configured report identity (read in the UI thread, where the
    // configuration lives); empty for any other connection.
    static ReportIdentity of(const QString &sourceConnection);
};

// A private read-only copy of a connection, opened in the calling thread and removed when destroyed.
// SQLite opens the file read-only and with "PRAGMA query_only"; Firebird connects as the report
// identity, inside a transaction that is always rolled back.
class HOST_EXPORT ReportConnection
{
public:
    // Throws EDatabaseError when the source connection is missing or the copy cannot be opened.
    explicit ReportConnection(const QString &sourceConnection, const ReportIdentity &identity = {});
    ~ReportConnection();
    ReportConnection(const ReportConnection &) = delete;
    ReportConnection &operator=(const ReportConnection &) = delete;

    QSqlDatabase database() const { return mDb; }

private:
    QString mName;
    QSqlDatabase mDb;
    bool mInTransaction = false;
};

// One report query run on a worker thread with its own connection. Start it, wait for finished()
// (the engine waits in a local event loop, so the window keeps painting) and read the outcome.
class HOST_EXPORT ReportQuery : public QObject
{
    Q_OBJECT
public:
    enum class Outcome { Running, Done, Cancelled, Failed };

    // The most rows a report holds unless told otherwise: a query without end stops there with a
    // message instead of taking the machine's memory.
    static constexpr int DefaultMaxRows = 500000;

    ReportQuery(QString sourceConnection, QString sql, QVariantList values, QObject *parent = nullptr);
    // 0 or less: no limit. A query that answers more rows fails with a message naming the limit.
    void setMaxRows(int rows) { mMaxRows = rows; }
    ~ReportQuery() override; // waits for the worker

    void start();
    // From the UI thread: stops the fetch and interrupts the statement the server is running.
    void cancel();

    Outcome outcome() const { return mOutcome; }
    // Rows fetched so far; read from any thread while the query runs.
    int fetched() const { return mFetched.load(std::memory_order_relaxed); }
    QString errorText() const { return mError; }
    ReportTable takeTable() { return std::move(mTable); }

Q_SIGNALS:
    void finished();

private:
    void work();
    void interruptRunning();

    QString mSource;
    QString mSql;
    QVariantList mValues;
    ReportIdentity mIdentity;
    int mTimeoutMs = 0;
    QString mStartError;
    int mMaxRows = DefaultMaxRows;
    QThread *mThread = nullptr;
    std::atomic_bool mCancelled{false};
    std::atomic_int mFetched{0};
    QMutex mDbMutex;
    QSqlDatabase mRunning; // the worker's connection while a statement may run; guarded by mDbMutex
    StatementDeadline *mDeadline = nullptr; // the worker's time limit meanwhile; guarded by mDbMutex
    QVariant mRunningStatement; // its statement's driver handle (ODBC cancels statements); same guard
    Outcome mOutcome = Outcome::Running;
    QString mError;
    ReportTable mTable;
};
