#include "demowriter.h"

#include "errors.h"

#include <QCoreApplication>
#include <QDate>
#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>
#include <unistd.h>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

class SqliteDemoWriter : public DemoWriter
{
public:
    explicit SqliteDemoWriter(const QString &path)
        : mPath(path), mTemporary(path + u".tmp-"_s + QString::number(getpid()))
    {
        QFile::remove(mTemporary);
        if (sqlite3_open(QFile::encodeName(mTemporary).constData(), &mDb) != SQLITE_OK)
            fail(u"open"_s);
        // A demo file is rebuilt rather than repaired, so durability buys nothing here.
        exec("PRAGMA page_size = 8192");
        exec("PRAGMA journal_mode = OFF");
        exec("PRAGMA synchronous = OFF");
        exec("PRAGMA locking_mode = EXCLUSIVE");
        // Memory stays flat in the number of sales: a bounded page cache (the rows arrive in time
        // order, so each register's key range has a few hot pages and the rest spills to the file),
        // and the index builds sort through temporary files past that cache instead of in memory.
        exec("PRAGMA cache_size = -65536");
        exec("BEGIN");
    }

    ~SqliteDemoWriter() override
    {
        for (sqlite3_stmt *statement : mStatements)
            sqlite3_finalize(statement);
        if (mDb)
            sqlite3_close(mDb);
        if (!mDone)
            QFile::remove(mTemporary);
    }

    void execute(const QString &sql) override { exec(sql.toUtf8().constData()); }

    int prepare(const DemoTable &table) override
    {
        sqlite3_stmt *statement = nullptr;
        const QByteArray sql = demoInsertSql(table).toUtf8();
        if (sqlite3_prepare_v2(mDb, sql.constData(), int(sql.size()), &statement, nullptr) != SQLITE_OK)
            fail(QString::fromUtf8(sql));
        mStatements.push_back(statement);
        mColumns.push_back(int(table.columns.size()));
        return int(mStatements.size()) - 1;
    }

    void insert(int statement, const DemoValue *values) override
    {
        sqlite3_stmt *s = mStatements[size_t(statement)];
        const int count = mColumns[size_t(statement)];
        for (int i = 0; i < count; ++i) {
            const DemoValue &v = values[i];
            switch (v.kind) {
            case DemoValue::Null:
                sqlite3_bind_null(s, i + 1);
                break;
            case DemoValue::Int:
                sqlite3_bind_int64(s, i + 1, v.n);
                break;
            case DemoValue::Cents:
                sqlite3_bind_double(s, i + 1, double(v.n) / 100.0);
                break;
            case DemoValue::Milli:
                sqlite3_bind_double(s, i + 1, double(v.n) / 1000.0);
                break;
            case DemoValue::Text:
                sqlite3_bind_text(s, i + 1, v.text, v.length, SQLITE_STATIC);
                break;
            case DemoValue::Date:
                sqlite3_bind_text(s, i + 1, isoDate(v.n), 10, SQLITE_STATIC);
                break;
            }
        }
        if (sqlite3_step(s) != SQLITE_DONE)
            fail(QString::fromUtf8(sqlite3_sql(s)));
        sqlite3_reset(s);
    }

    void beginRows() override {}
    void endRows() override {}

    void finish() override
    {
        // Sampled statistics: enough for the planner to prefer the date indexes, at a fraction of the cost.
        exec("PRAGMA analysis_limit = 1000");
        exec("ANALYZE");
        exec("COMMIT");
        for (sqlite3_stmt *statement : mStatements)
            sqlite3_finalize(statement);
        mStatements.clear();
        if (sqlite3_close(mDb) != SQLITE_OK)
            fail(u"close"_s);
        mDb = nullptr;
        QFile::remove(mPath);
        if (!QFile::rename(mTemporary, mPath))
            throw EDatabaseError(u"Could not move %1 to %2"_s.arg(mTemporary, mPath));
        mDone = true;
    }

    DemoDialect dialect() const override { return DemoDialect::SQLite; }

private:
    void exec(const char *sql)
    {
        char *message = nullptr;
        if (sqlite3_exec(mDb, sql, nullptr, nullptr, &message) != SQLITE_OK) {
            const QString text = QString::fromUtf8(message ? message : sqlite3_errmsg(mDb));
            sqlite3_free(message);
            throw EDatabaseError(u"%1\n%2"_s.arg(text, QString::fromUtf8(sql)));
        }
    }

    [[noreturn]] void fail(const QString &what)
    {
        throw EDatabaseError(u"SQLite %1: %2 (%3)"_s.arg(mTemporary, QString::fromUtf8(sqlite3_errmsg(mDb)), what));
    }

    // Dates come in runs of the same day, so one cached text serves most rows.
    const char *isoDate(qint64 julianDay)
    {
        if (julianDay != mDateDay) {
            const QByteArray text = QDate::fromJulianDay(julianDay).toString(Qt::ISODate).toLatin1();
            std::copy_n(text.constData(), 10, mDateText);
            mDateText[10] = 0;
            mDateDay = julianDay;
        }
        return mDateText;
    }

    QString mPath;
    QString mTemporary;
    sqlite3 *mDb = nullptr;
    std::vector<sqlite3_stmt *> mStatements;
    std::vector<int> mColumns;
    qint64 mDateDay = -1;
    char mDateText[11] = {};
    bool mDone = false;
};

} // namespace

std::unique_ptr<DemoWriter> makeSqliteDemoWriter(const QString &path)
{
    return std::make_unique<SqliteDemoWriter>(path);
}

QString demoFirebirdTarget(const DatabaseConfig &config)
{
    if (config.host.isEmpty())
        return config.name;
    return config.port ? u"%1/%2:%3"_s.arg(config.host).arg(config.port).arg(config.name)
                       : u"%1:%2"_s.arg(config.host, config.name);
}
