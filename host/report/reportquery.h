#pragma once

#include "host_global.h"
#include "reportconnection.h"
#include "reporttable.h"

#include <QMutex>
#include <QObject>
#include <QSqlDatabase>
#include <QString>
#include <QVariant>
#include <atomic>

class QThread;
class StatementDeadline;

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
