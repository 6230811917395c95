#include "statementlimit.h"

#include "errors.h"

#include <QCoreApplication>
#include <QScopeGuard>
#include <QThread>
#include <chrono>
#include <exception>

using namespace Qt::StringLiterals;

StatementWatcher::~StatementWatcher() = default;

StatementDeadline::StatementDeadline(const QSqlDatabase &db, int timeoutMs, int graceMs, bool armNow)
    : mNative(db), mTimeoutMs(timeoutMs), mGraceMs(graceMs)
{
    if (armNow)
        arm(0);
}

void StatementDeadline::arm(int elapsedMs)
{
    if (mTimer.joinable())
        return;
    const int left = mTimeoutMs > 0 ? qMax(1, mTimeoutMs - elapsedMs) : 0;
    mTimer = std::thread([this, left] { watch(left, mGraceMs); });
}

StatementDeadline::~StatementDeadline()
{
    {
        const std::lock_guard lock(mMutex);
        mStopped = true;
    }
    mWake.notify_all();
    if (mTimer.joinable())
        mTimer.join();
}

void StatementDeadline::abandon()
{
    {
        const std::lock_guard lock(mMutex);
        mAbandonAsked = true;
    }
    mWake.notify_all();
}

void StatementDeadline::interruptWith(std::function<void()> interrupt)
{
    const std::lock_guard lock(mMutex);
    mInterrupt = std::move(interrupt);
}

void StatementDeadline::watch(int timeoutMs, int graceMs)
{
    std::unique_lock lock(mMutex);
    const auto woken = [this] { return mStopped || mAbandonAsked; };
    if (timeoutMs > 0)
        mWake.wait_for(lock, std::chrono::milliseconds(timeoutMs), woken);
    else
        mWake.wait(lock, woken);
    if (mStopped)
        return;
    mReason = mAbandonAsked ? Reason::Abandoned : Reason::TimedOut;
    if (mInterrupt) {
        const std::function<void()> interrupt = mInterrupt;
        lock.unlock();
        interrupt();
        lock.lock();
    } else {
        mNative.interrupt();
    }
    // A server that is stopped or cut off never answers the cancel: close our end instead.
    if (mWake.wait_for(lock, std::chrono::milliseconds(graceMs), [this] { return mStopped; }))
        return;
    mNative.abort();
}

QString StatementDeadline::message() const
{
    switch (mReason.load()) {
    case Reason::TimedOut:
        return u"O banco de dados não respondeu em %1 s e a consulta foi interrompida. "
               u"Tente novamente; se persistir, verifique o servidor."_s.arg((mTimeoutMs + 999) / 1000);
    case Reason::Abandoned:
        return u"A consulta ao banco de dados foi abandonada."_s;
    case Reason::None:
        break;
    }
    return {};
}

void runWithDeadline(const QSqlDatabase &db, int timeoutMs, StatementWatcher *watcher, const std::function<void()> &work)
{
    const QCoreApplication *app = QCoreApplication::instance();
    const bool windowThread = app && QThread::currentThread() == app->thread();
    // In the window's thread the timer starts only for a statement that did not answer at once.
    StatementDeadline deadline(db, timeoutMs, 3000, !windowThread);
    std::exception_ptr failure;
    if (!windowThread) {
        try {
            work();
        } catch (...) {
            failure = std::current_exception();
        }
    } else {
        // While this thread waits it serves timers; one of them must not start a second statement
        // on a connection the worker is using.
        static std::atomic_bool waiting{false};
        if (waiting.exchange(true))
            throw EDatabaseError(u"Aguarde: o banco de dados ainda responde a outra consulta."_s);
        const auto release = qScopeGuard([] { waiting = false; });
        std::mutex mutex;
        std::condition_variable finished;
        bool done = false;
        std::thread worker([&] {
            try {
                work();
            } catch (...) {
                failure = std::current_exception();
            }
            {
                const std::lock_guard lock(mutex);
                done = true;
            }
            finished.notify_all();
        });
        const auto isDone = [&] {
            const std::lock_guard lock(mutex);
            return done;
        };
        // Most statements answer at once: the window only hears of those that do not.
        constexpr int AtOnceMs = 150;
        {
            std::unique_lock lock(mutex);
            finished.wait_for(lock, std::chrono::milliseconds(AtOnceMs), [&] { return done; });
        }
        if (!isDone()) {
            deadline.arm(AtOnceMs);
            if (watcher) {
                watcher->waitLong(isDone, [&deadline] { deadline.abandon(); });
            }
            while (!isDone()) {
                QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 20);
                std::unique_lock lock(mutex);
                finished.wait_for(lock, std::chrono::milliseconds(20), [&] { return done; });
            }
        }
        worker.join();
    }
    if (!failure)
        return; // finished just as the limit passed: the rows are good
    if (const QString ended = deadline.message(); !ended.isEmpty())
        throw EStatementEnded(ended);
    std::rethrow_exception(failure);
}
