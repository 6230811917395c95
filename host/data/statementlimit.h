#pragma once

#include "host_global.h"
#include "dbinterrupt.h"
#include "errors.h"

#include <QSqlDatabase>
#include <QString>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

// A statement ended by its time limit or by the user (not by the database).
class HOST_EXPORT EStatementEnded : public EDatabaseError
{
public:
    using EDatabaseError::EDatabaseError;
};

// Shown while a statement started from the window runs long: keeps the window painted, shows the
// wait cursor and lets the user give up. The toolkit installs the real one; without one the caller
// still waits with the window painted.
class HOST_EXPORT StatementWatcher
{
public:
    virtual ~StatementWatcher();
    // Called in the window's thread once the statement has run for a moment. Returns once `done()`
    // answers true; `abandon()` (the user gave up) makes the statement end soon.
    virtual void waitLong(const std::function<bool()> &done, const std::function<void()> &abandon) = 0;
};

// A time limit on the statement running on one connection: when it passes, the engine is asked to
// interrupt the statement; a Firebird server that does not answer even that gets its connection
// closed from the client side a moment later (the next statement then opens a new one).
class HOST_EXPORT StatementDeadline
{
public:
    enum class Reason { None, TimedOut, Abandoned };

    // `timeoutMs` <= 0: no limit (abandon() still works once armed). Without `armNow` nothing
    // watches until arm().
    StatementDeadline(const QSqlDatabase &db, int timeoutMs, int graceMs = 3000, bool armNow = true);
    ~StatementDeadline(); // stops the timer; does nothing to the connection
    StatementDeadline(const StatementDeadline &) = delete;
    StatementDeadline &operator=(const StatementDeadline &) = delete;

    // Starts the timer for what is left of the limit after `elapsedMs`; once only.
    void arm(int elapsedMs);
    // From any thread: end the statement now, as the time limit would.
    void abandon();
    // How the statement is interrupted when the engine's connection cannot do it (ODBC cancels a
    // statement, not a connection); called on the timer's thread without its lock held.
    void interruptWith(std::function<void()> interrupt);
    Reason reason() const { return mReason.load(); }
    // The user's message for an ended statement; empty when it was not ended here.
    QString message() const;

private:
    void watch(int timeoutMs, int graceMs);

    NativeConnection mNative;
    std::function<void()> mInterrupt;
    int mTimeoutMs;
    int mGraceMs;
    std::atomic<Reason> mReason{Reason::None};
    std::mutex mMutex;
    std::condition_variable mWake;
    bool mStopped = false;
    bool mAbandonAsked = false;
    std::thread mTimer;
};

// Runs `work` (a statement and the reading of its rows, on `db`) under a time limit. Called in the
// application's main thread, `work` runs on a worker thread while this thread keeps the window
// painted and, past a moment, hands over to `watcher` (may be null); elsewhere it runs in place.
// Rethrows what `work` threw; throws EDatabaseError when the limit or the user ended it.
HOST_EXPORT void runWithDeadline(const QSqlDatabase &db, int timeoutMs, StatementWatcher *watcher,
                                 const std::function<void()> &work);
