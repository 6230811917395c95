#pragma once

// Shared pieces of the benchmark executables: a host session on a given database, timing helpers
// and the statements a lookup query ran, so they can be replayed bare through QtSql.

#include "hostsession.h"
#include "recordingui.h"
#include "uiservices.h"

#include <QList>
#include <QString>
#include <QTemporaryDir>
#include <QVariantList>
#include <chrono>
#include <functional>
#include <memory>

class QSqlQuery;
class TADOIBQuery;

namespace bench {

using Clock = std::chrono::steady_clock;

inline double msSince(Clock::time_point start, Clock::time_point end)
{
    return std::chrono::duration<double, std::milli>(end - start).count();
}

double median(QList<double> values);

// A lookup database of the demo generator's lookups scale (made in a temporary folder when `path`
// is empty). Answers the file in use.
QString lookupsDatabase(const QString &path, std::unique_ptr<QTemporaryDir> &keep);

// The host as a user starts it, with its shared connection on `dbFile` and a recording UI.
class Host
{
public:
    explicit Host(const QString &dbFile);
    ~Host();
    RecordingUi ui;

private:
    std::unique_ptr<ScopedUi> mScope;
    std::unique_ptr<HostSession> mSession;
};

// One statement exactly as the lookup ran it: its text with positional markers and the values.
struct Statement
{
    QString sql;
    QVariantList values;
};

// The text the query runs on the shared connection's dialect, its ":NAME" markers turned into "?"
// in order, with the query's current parameter values.
Statement statementOf(TADOIBQuery &query);

// Runs the statement through QtSql on the shared connection, reading every value of every row.
// Answers the row count.
int runBare(const Statement &statement);

// The same with a statement prepared once and executed again on every run, as a caller that
// keeps its QSqlQuery does.
class KeptStatement
{
public:
    explicit KeptStatement(const Statement &statement);
    ~KeptStatement();
    int run();

private:
    Statement mStatement;
    std::unique_ptr<QSqlQuery> mQuery;
};

// Resident set size of this process in kB (VmRSS of /proc/self/status).
long residentKb();
// Bytes the C heap holds for the program (glibc's mallinfo2 uordblks, in kB): growth there is memory
// kept, growth of VmRSS alone is the allocator's.
long heapInUseKb();

// The main of every benchmark: the host application offscreen; a failure is printed with the name.
int benchMain(int argc, char **argv, const char *name, int (*run)(int, char **));

} // namespace bench
