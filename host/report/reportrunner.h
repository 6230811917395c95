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

// Empty when the statement only reads (one SELECT or WITH statement); otherwise the reason it is
// refused, for the user.
HOST_EXPORT QString refusalReason(const QString &sql);

// The values to bind for `names`; throws EHostError for a name the report does not declare. Dates
// without a time of day are bound as dates, so they compare with DATE columns on every server.
HOST_EXPORT QVariantList bindValues(const QStringList &names, const TParams &params);

} // namespace ReportSql

// A private read-only copy of a connection, opened in the calling thread and removed when destroyed.
// SQLite opens the file read-only; other servers run inside a transaction that is always rolled back.
class HOST_EXPORT ReportConnection
{
public:
    // Throws EDatabaseError when the source connection is missing or the copy cannot be opened.
    explicit ReportConnection(const QString &sourceConnection);
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

    ReportQuery(QString sourceConnection, QString sql, QVariantList values, QObject *parent = nullptr);
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
    QThread *mThread = nullptr;
    std::atomic_bool mCancelled{false};
    std::atomic_int mFetched{0};
    QMutex mDbMutex;
    QSqlDatabase mRunning; // the worker's connection while a statement may run; guarded by mDbMutex
    QVariant mRunningStatement; // its statement's driver handle (ODBC cancels statements); same guard
    Outcome mOutcome = Outcome::Running;
    QString mError;
    ReportTable mTable;
};
