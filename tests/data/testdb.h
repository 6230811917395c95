#pragma once

#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QUuid>
#include <QtGlobal>
#include <atomic>
#include <chrono>
#include <thread>

#include "dbinterrupt.h"

// A private in-memory SQLite connection for one test, removed at the end of the test.
class ScratchSqlite
{
public:
    ScratchSqlite()
        : mName(QStringLiteral("scratch_") + QUuid::createUuid().toString(QUuid::WithoutBraces))
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), mName);
        db.setDatabaseName(QStringLiteral(":memory:"));
        db.open();
    }
    ~ScratchSqlite()
    {
        QSqlDatabase::database(mName, false).close();
        QSqlDatabase::removeDatabase(mName);
    }
    ScratchSqlite(const ScratchSqlite &) = delete;
    ScratchSqlite &operator=(const ScratchSqlite &) = delete;

    const QString &name() const { return mName; }
    QSqlDatabase db() const { return QSqlDatabase::database(mName, false); }

private:
    QString mName;
};

// Collects warnings (Qt SQL reports connections removed while still in use this way).
class WarningCatcher
{
public:
    WarningCatcher() { sCaught().clear(); mPrevious = qInstallMessageHandler(&WarningCatcher::handle); }
    ~WarningCatcher() { qInstallMessageHandler(mPrevious); }
    QList<QString> warnings() const { return sCaught(); }

private:
    static QList<QString> &sCaught()
    {
        static QList<QString> caught;
        return caught;
    }
    static void handle(QtMsgType type, const QMessageLogContext &, const QString &msg)
    {
        if (type == QtWarningMsg || type == QtCriticalMsg)
            sCaught().append(msg);
    }
    QtMessageHandler mPrevious = nullptr;
};

// Keeps interrupting from another thread until the statement gives up: an interrupt that lands
// before the statement starts is lost, so one shot is not enough.
class Canceller
{
public:
    explicit Canceller(QSqlDatabase db)
        : mThread([this, db] {
              std::this_thread::sleep_for(std::chrono::milliseconds(150));
              while (!mDone) {
                  if (interruptConnection(db))
                      ++mCalls;
                  std::this_thread::sleep_for(std::chrono::milliseconds(50));
              }
          })
    {
    }
    ~Canceller() { stop(); }
    void stop()
    {
        mDone = true;
        if (mThread.joinable())
            mThread.join();
    }
    int calls() const { return mCalls; }

private:
    std::atomic<bool> mDone{false};
    std::atomic<int> mCalls{0};
    std::thread mThread;
};
