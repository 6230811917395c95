#pragma once

#include "host_global.h"

#include <QSqlDatabase>
#include <QString>

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
