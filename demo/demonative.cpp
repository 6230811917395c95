#include "demodb.h"

// Engine calls QtSql does not offer: query plans, and Firebird's forced writes.

#include "demowriter.h"
#include "errors.h"
#include "firebird.h"

#include <QFile>
#include <QStringList>

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

QString statusText(const ISC_STATUS *status)
{
    QStringList parts;
    const ISC_STATUS *vector = status;
    char buffer[1024];
    while (fb_interpret(buffer, sizeof buffer, &vector) > 0)
        parts << QString::fromUtf8(buffer);
    return parts.join(u'\n');
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
        throw EDatabaseError(u"Could not open %1:\n%2"_s.arg(config.name, statusText(status)));
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
        error = statusText(status);
    } else {
        static const char items[] = {isc_info_sql_get_plan};
        char buffer[16384];
        if (isc_dsql_sql_info(status, &statement, sizeof items, items, sizeof buffer, buffer)) {
            error = statusText(status);
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

} // namespace

void setFirebirdForcedWrites(const DatabaseConfig &db, bool on)
{
    ISC_STATUS_ARRAY ignored = {};
    isc_db_handle handle = attach(db, on ? 1 : 0);
    isc_detach_database(ignored, &handle);
}

QString demoQueryPlan(const DatabaseConfig &db, const QString &sql)
{
    if (db.driver == u"QSQLITE"_s)
        return sqlitePlan(db.name, sql);
    if (db.driver == u"QIBASE"_s)
        return firebirdPlan(db, sql);
    throw EDatabaseError(u"No query plan for driver %1"_s.arg(db.driver));
}
