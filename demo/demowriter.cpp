#include "demowriter.h"

#include "errors.h"
#include "firebird.h"

#include <QCoreApplication>
#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>

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
        exec("PRAGMA temp_store = MEMORY");
        exec("PRAGMA cache_size = -524288");
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

class QtSqlDemoWriter : public DemoWriter
{
public:
    explicit QtSqlDemoWriter(const DatabaseConfig &config)
        : mConnection(u"bodemo-"_s + QUuid::createUuid().toString(QUuid::WithoutBraces))
    {
        const bool firebird = config.driver == u"QIBASE"_s;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(config.driver, mConnection);
            if (firebird) {
                db.setDatabaseName(demoFirebirdTarget(config));
                db.setConnectOptions(u"ISC_DPB_LC_CTYPE=UTF8"_s);
                db.setUserName(config.user.isEmpty() ? u"SYSDBA"_s : config.user);
                db.setPassword(config.password.isEmpty() ? u"masterkey"_s : config.password);
            } else {
                db.setDatabaseName(config.name);
                db.setHostName(config.host);
                if (config.port)
                    db.setPort(config.port);
                db.setUserName(config.user);
                db.setPassword(config.password);
                db.setConnectOptions(config.options);
            }
            if (!db.open())
                throw EDatabaseError(u"Could not open %1: %2"_s.arg(config.name, db.lastError().text()));
        }
        mDialect = firebird ? DemoDialect::Firebird : DemoDialect::SQLite;
    }

    ~QtSqlDemoWriter() override
    {
        mQueries.clear();
        {
            QSqlDatabase db = QSqlDatabase::database(mConnection, false);
            if (mInTransaction)
                db.rollback();
            db.close();
        }
        QSqlDatabase::removeDatabase(mConnection);
    }

    void execute(const QString &sql) override
    {
        QSqlQuery query(database());
        if (!query.exec(sql))
            throw EDatabaseError(u"%1\n%2"_s.arg(query.lastError().text(), sql));
    }

    int prepare(const DemoTable &table) override
    {
        mTables.push_back(&table);
        mQueries.push_back(prepared(table));
        return int(mQueries.size()) - 1;
    }

    void insert(int statement, const DemoValue *values) override
    {
        QSqlQuery &query = *mQueries[size_t(statement)];
        const int count = int(mTables[size_t(statement)]->columns.size());
        for (int i = 0; i < count; ++i)
            query.bindValue(i, toVariant(values[i]));
        if (!query.exec())
            throw EDatabaseError(u"%1\n%2"_s.arg(query.lastError().text(), query.lastQuery()));
        // A bounded undo log keeps the engine's memory flat on a multi-million-row load.
        if (++mPending >= CommitEvery) {
            // QIBASE prepares a statement inside the transaction, so a new one needs new statements.
            endRows();
            beginRows();
            for (const DemoTable *table : mTables)
                mQueries.push_back(prepared(*table));
            mPending = 0;
        }
    }

    void beginRows() override
    {
        if (!database().transaction())
            throw EDatabaseError(database().lastError().text());
        mInTransaction = true;
    }

    void endRows() override
    {
        mQueries.clear();
        if (!database().commit())
            throw EDatabaseError(database().lastError().text());
        mInTransaction = false;
    }

    // The primary keys were built on empty tables and would still claim perfect selectivity,
    // which sends the optimizer to PK_VENDA instead of the date index.
    void finish() override
    {
        if (mDialect != DemoDialect::Firebird)
            return;
        QStringList names;
        QSqlQuery query(database());
        query.exec(u"SELECT TRIM(RDB$INDEX_NAME) FROM RDB$INDICES WHERE COALESCE(RDB$SYSTEM_FLAG, 0) = 0"_s);
        while (query.next())
            names << query.value(0).toString();
        query.finish();
        for (const QString &name : std::as_const(names))
            execute(u"SET STATISTICS INDEX %1"_s.arg(name));
    }

    DemoDialect dialect() const override { return mDialect; }

private:
    static constexpr int CommitEvery = 100000;

    QSqlDatabase database() const { return QSqlDatabase::database(mConnection, false); }

    std::unique_ptr<QSqlQuery> prepared(const DemoTable &table) const
    {
        auto query = std::make_unique<QSqlQuery>(database());
        const QString sql = demoInsertSql(table);
        if (!query->prepare(sql))
            throw EDatabaseError(u"%1\n%2"_s.arg(query->lastError().text(), sql));
        return query;
    }

    static QVariant toVariant(const DemoValue &v)
    {
        switch (v.kind) {
        case DemoValue::Null:
            return QVariant(QMetaType::fromType<QString>());
        case DemoValue::Int:
            return QVariant(qlonglong(v.n));
        // QIBASE rounds a double to the column's scale, so cents / 100 lands exactly.
        case DemoValue::Cents:
            return QVariant(double(v.n) / 100.0);
        case DemoValue::Milli:
            return QVariant(double(v.n) / 1000.0);
        case DemoValue::Text:
            return QVariant(QString::fromUtf8(v.text, v.length));
        case DemoValue::Date:
            return QVariant(QDate::fromJulianDay(v.n));
        }
        return {};
    }

    QString mConnection;
    DemoDialect mDialect = DemoDialect::Firebird;
    std::vector<const DemoTable *> mTables;
    std::vector<std::unique_ptr<QSqlQuery>> mQueries;
    int mPending = 0;
    bool mInTransaction = false;
};

} // namespace

std::unique_ptr<DemoWriter> makeSqliteDemoWriter(const QString &path)
{
    return std::make_unique<SqliteDemoWriter>(path);
}

std::unique_ptr<DemoWriter> makeQtSqlDemoWriter(const DatabaseConfig &config)
{
    return std::make_unique<QtSqlDemoWriter>(config);
}

QString demoFirebirdTarget(const DatabaseConfig &config)
{
    if (config.host.isEmpty())
        return config.name;
    return config.port ? u"%1/%2:%3"_s.arg(config.host).arg(config.port).arg(config.name)
                       : u"%1:%2"_s.arg(config.host, config.name);
}
