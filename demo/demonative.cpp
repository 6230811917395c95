#include "demodb.h"

// Engine calls QtSql does not offer: query plans, Firebird's forced writes, and the Firebird bulk
// writer (QIBASE closes a cursor before every execute, and for an INSERT that is an error the engine
// raises, formats from its message file and the driver then ignores: most of a row's cost).

#include "demowriter.h"
#include "driverprofile.h"
#include "errors.h"
#include "firebird.h"

#include <QFile>
#include <QStringList>

#include <cstring>
#include <vector>

#include <ibase.h>
#include <sqlite3.h>

using namespace Qt::StringLiterals;

namespace {

QString sqlitePlan(const QString &path, const QString &sql)
{
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        const QString message = QString::fromUtf8(sqlite3_errmsg(db));
        sqlite3_close(db);
        throw EDatabaseError(u"SQLite %1: %2"_s.arg(path, message));
    }
    const QByteArray text = (u"EXPLAIN QUERY PLAN "_s + sql).toUtf8();
    sqlite3_stmt *statement = nullptr;
    QStringList lines;
    if (sqlite3_prepare_v2(db, text.constData(), int(text.size()), &statement, nullptr) == SQLITE_OK) {
        while (sqlite3_step(statement) == SQLITE_ROW)
            lines << QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(statement, 3)));
    }
    const QString message = QString::fromUtf8(sqlite3_errmsg(db));
    const bool failed = statement == nullptr;
    sqlite3_finalize(statement);
    sqlite3_close(db);
    if (failed)
        throw EDatabaseError(u"%1\n%2"_s.arg(message, sql));
    return lines.join(u'\n');
}

void addDpb(QByteArray &dpb, char tag, const QByteArray &value)
{
    dpb.append(tag);
    dpb.append(char(value.size()));
    dpb.append(value);
}

isc_db_handle attach(const DatabaseConfig &config, int forcedWrites = -1)
{
    prepareFirebirdEmbedded();
    QByteArray dpb(1, char(isc_dpb_version1));
    addDpb(dpb, isc_dpb_user_name, (config.user.isEmpty() ? u"SYSDBA"_s : config.user).toUtf8());
    addDpb(dpb, isc_dpb_password, (config.password.isEmpty() ? u"masterkey"_s : config.password).toUtf8());
    addDpb(dpb, isc_dpb_lc_ctype, "UTF8");
    if (forcedWrites >= 0)
        addDpb(dpb, isc_dpb_force_write, QByteArray(1, char(forcedWrites)));
    const QByteArray name = demoFirebirdTarget(config).toUtf8();
    ISC_STATUS_ARRAY status = {};
    isc_db_handle db = 0;
    if (isc_attach_database(status, short(name.size()), name.constData(), &db, short(dpb.size()), dpb.constData()))
        throw EDatabaseError(u"Could not open %1:\n%2"_s.arg(config.name, firebirdStatusText(status)));
    return db;
}

// QIBASE does not hand out the plan, so this asks fbclient directly: prepare, then isc_info_sql_get_plan.
QString firebirdPlan(const DatabaseConfig &config, const QString &sql)
{
    const QByteArray text = sql.toUtf8();
    ISC_STATUS_ARRAY status = {};
    isc_db_handle db = attach(config);
    isc_tr_handle tr = 0;
    isc_stmt_handle statement = 0;
    QString error;
    QString plan;
    if (isc_start_transaction(status, &tr, 1, &db, 0, nullptr) ||
        isc_dsql_allocate_statement(status, &db, &statement) ||
        isc_dsql_prepare(status, &tr, &statement, 0, text.constData(), SQL_DIALECT_V6, nullptr)) {
        error = firebirdStatusText(status);
    } else {
        static const char items[] = {isc_info_sql_get_plan};
        char buffer[16384];
        if (isc_dsql_sql_info(status, &statement, sizeof items, items, sizeof buffer, buffer)) {
            error = firebirdStatusText(status);
        } else if (buffer[0] == isc_info_sql_get_plan) {
            const int length = isc_vax_integer(buffer + 1, 2);
            plan = QString::fromUtf8(buffer + 3, length).trimmed();
        }
    }
    ISC_STATUS_ARRAY ignored = {};
    if (statement)
        isc_dsql_free_statement(ignored, &statement, DSQL_drop);
    if (tr)
        isc_rollback_transaction(ignored, &tr);
    isc_detach_database(ignored, &db);
    if (!error.isEmpty())
        throw EDatabaseError(u"%1\n%2"_s.arg(error, sql));
    return plan;
}

// One prepared INSERT and the input buffers it reads; every column is sent nullable, texts as
// VARCHAR, numbers as a scaled 64-bit integer, and the engine converts to the column's own type.
struct FirebirdInsert
{
    isc_stmt_handle statement = 0;
    std::vector<char> da; // the XSQLDA
    std::vector<std::vector<char>> data;
    std::vector<short> nulls;
    std::vector<short> kinds; // sqltype of each column, after the coercion

    XSQLDA *sqlda() { return reinterpret_cast<XSQLDA *>(da.data()); }
};

class FirebirdDemoWriter : public DemoWriter
{
public:
    explicit FirebirdDemoWriter(const DatabaseConfig &config) : mDb(attach(config)) {}

    ~FirebirdDemoWriter() override
    {
        ISC_STATUS_ARRAY ignored = {};
        for (FirebirdInsert &insert : mInserts)
            isc_dsql_free_statement(ignored, &insert.statement, DSQL_drop);
        if (mRows)
            isc_rollback_transaction(ignored, &mRows);
        isc_detach_database(ignored, &mDb);
    }

    void execute(const QString &sql) override
    {
        // Schema statements commit on their own, so the next one sees what they made.
        const QByteArray text = sql.toUtf8();
        isc_tr_handle own = 0;
        isc_tr_handle *tr = mRows ? &mRows : &own;
        if (!mRows)
            check(isc_start_transaction(mStatus, tr, 1, &mDb, 0, nullptr), sql);
        if (isc_dsql_execute_immediate(mStatus, &mDb, tr, 0, text.constData(), SQL_DIALECT_V6, nullptr)) {
            const QString error = firebirdStatusText(mStatus);
            if (own) {
                ISC_STATUS_ARRAY ignored = {};
                isc_rollback_transaction(ignored, &own);
            }
            throw EDatabaseError(u"%1\n%2"_s.arg(error, sql));
        }
        if (own)
            check(isc_commit_transaction(mStatus, &own), sql);
    }

    int prepare(const DemoTable &table) override
    {
        const QString sql = demoInsertSql(table);
        const QByteArray text = sql.toUtf8();
        FirebirdInsert insert;
        const short columns = short(table.columns.size());
        insert.da.resize(XSQLDA_LENGTH(columns));
        XSQLDA *da = insert.sqlda();
        da->version = SQLDA_VERSION1;
        da->sqln = columns;
        check(isc_dsql_allocate_statement(mStatus, &mDb, &insert.statement), sql);
        check(isc_dsql_prepare(mStatus, &mRows, &insert.statement, 0, text.constData(), SQL_DIALECT_V6, nullptr), sql);
        check(isc_dsql_describe_bind(mStatus, &insert.statement, SQL_DIALECT_V6, da), sql);
        if (da->sqld != columns)
            throw EDatabaseError(u"%1 parameters for %2 columns\n%3"_s.arg(da->sqld).arg(columns).arg(sql));
        insert.data.resize(size_t(columns));
        insert.nulls.assign(size_t(columns), 0);
        insert.kinds.resize(size_t(columns));
        for (short i = 0; i < columns; ++i) {
            XSQLVAR &var = da->sqlvar[i];
            switch (var.sqltype & ~1) {
            case SQL_TEXT:
            case SQL_VARYING:
                var.sqltype = SQL_VARYING;
                insert.data[size_t(i)].resize(size_t(var.sqllen) + 2);
                break;
            case SQL_SHORT:
            case SQL_LONG:
            case SQL_INT64:
                var.sqltype = SQL_INT64;
                var.sqllen = 8;
                insert.data[size_t(i)].resize(8);
                break;
            case SQL_TYPE_DATE:
                insert.data[size_t(i)].resize(sizeof(ISC_DATE));
                break;
            default:
                throw EDatabaseError(u"Column %1 of %2 has a type the demo writer does not send (%3)"_s
                                         .arg(QString::fromLatin1(table.columns[size_t(i)].name),
                                              QString::fromLatin1(table.name))
                                         .arg(var.sqltype));
            }
            var.sqltype |= 1; // nullable: the indicator says
            var.sqldata = insert.data[size_t(i)].data();
            var.sqlind = &insert.nulls[size_t(i)];
            insert.kinds[size_t(i)] = short(var.sqltype & ~1);
        }
        mInserts.push_back(std::move(insert));
        mTables.push_back(&table);
        // The vectors moved with it; the XSQLDA still points at them (their buffers did not move).
        return int(mInserts.size()) - 1;
    }

    void insert(int statement, const DemoValue *values) override
    {
        FirebirdInsert &insert = mInserts[size_t(statement)];
        XSQLDA *da = insert.sqlda();
        for (short i = 0; i < da->sqld; ++i) {
            const DemoValue &v = values[i];
            XSQLVAR &var = da->sqlvar[i];
            char *data = var.sqldata;
            insert.nulls[size_t(i)] = v.kind == DemoValue::Null ? -1 : 0;
            if (v.kind == DemoValue::Null)
                continue;
            switch (insert.kinds[size_t(i)]) {
            case SQL_VARYING: {
                if (v.kind != DemoValue::Text || v.length > var.sqllen)
                    throw EDatabaseError(u"Value does not fit column %1 of %2"_s.arg(i).arg(statement));
                const auto length = quint16(v.length);
                std::memcpy(data, &length, 2);
                std::memcpy(data + 2, v.text, size_t(v.length));
                break;
            }
            case SQL_INT64: {
                // The value's own scale (cents, thousandths) brought to the column's.
                const int own = v.kind == DemoValue::Cents ? 2 : v.kind == DemoValue::Milli ? 3 : 0;
                qint64 n = v.n;
                for (int s = own; s < -var.sqlscale; ++s)
                    n *= 10;
                for (int s = -var.sqlscale; s < own; ++s)
                    n /= 10;
                std::memcpy(data, &n, 8);
                break;
            }
            case SQL_TYPE_DATE: {
                // ISC_DATE counts days from 1858-11-17, Julian day 2400001.
                const ISC_DATE day = ISC_DATE(v.n - 2400001);
                std::memcpy(data, &day, sizeof day);
                break;
            }
            }
        }
        if (isc_dsql_execute(mStatus, &mRows, &insert.statement, SQL_DIALECT_V6, da))
            throw EDatabaseError(u"%1\n%2"_s.arg(firebirdStatusText(mStatus), demoInsertSql(*mTables.at(size_t(statement)))));
        // A bounded undo log keeps the engine's memory flat on a multi-million-row load.
        if (++mPending >= CommitEvery) {
            check(isc_commit_retaining(mStatus, &mRows), u"COMMIT RETAINING"_s);
            mPending = 0;
        }
    }

    void beginRows() override { check(isc_start_transaction(mStatus, &mRows, 1, &mDb, 0, nullptr), u"START"_s); }

    void endRows() override
    {
        check(isc_commit_transaction(mStatus, &mRows), u"COMMIT"_s);
        mRows = 0;
    }

    // The primary keys were built on empty tables and would still claim perfect selectivity,
    // which sends the optimizer to PK_VENDA instead of the date index.
    void finish() override
    {
        for (const DemoTable &table : demoSchema()) {
            if (!table.primaryKey.empty())
                execute(u"SET STATISTICS INDEX PK_%1"_s.arg(QLatin1String(table.name)));
            for (const DemoIndex &index : table.indexes)
                execute(u"SET STATISTICS INDEX %1"_s.arg(QLatin1String(index.name)));
        }
    }

    DemoDialect dialect() const override { return DemoDialect::Firebird; }

private:
    static constexpr int CommitEvery = 100000;

    void check(ISC_STATUS failed, const QString &what)
    {
        if (failed)
            throw EDatabaseError(u"%1\n%2"_s.arg(firebirdStatusText(mStatus), what));
    }

    isc_db_handle mDb = 0;
    isc_tr_handle mRows = 0;
    ISC_STATUS_ARRAY mStatus = {};
    std::vector<FirebirdInsert> mInserts;
    std::vector<const DemoTable *> mTables;
    int mPending = 0;
};

} // namespace

std::unique_ptr<DemoWriter> makeFirebirdDemoWriter(const DatabaseConfig &config)
{
    return std::make_unique<FirebirdDemoWriter>(config);
}

void setFirebirdForcedWrites(const DatabaseConfig &db, bool on)
{
    ISC_STATUS_ARRAY ignored = {};
    isc_db_handle handle = attach(db, on ? 1 : 0);
    isc_detach_database(ignored, &handle);
}

QString demoQueryPlan(const DatabaseConfig &db, const QString &sql)
{
    switch (driverProfile(db.driver).kind) {
    case DbmsKind::SQLite:
        return sqlitePlan(db.name, sql);
    case DbmsKind::Firebird:
        return firebirdPlan(db, sql);
    default:
        break;
    }
    throw EDatabaseError(u"No query plan for driver %1"_s.arg(db.driver));
}
