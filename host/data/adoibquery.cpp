#include "adoibquery.h"
#include "blankpadding.h"
#include "datamodule.h"
#include "driverprofile.h"
#include "errors.h"
#include "sqltext.h"
#include "statementlimit.h"

#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QScopeGuard>

using namespace Qt::StringLiterals;

namespace {

int dialectIndex(SqlDialect d)
{
    switch (d) {
    case SqlDialect::Default:
    case SqlDialect::PostgreSQL: // lookups carry no text of their own for it
        return 0;
    case SqlDialect::Oracle:
        return 1;
    case SqlDialect::MSSQL:
        return 2;
    case SqlDialect::InterBase:
        return 3;
    }
    return 0;
}

QString errorText(const QSqlError &error, const QString &fallback)
{
    const QString text = error.text().trimmed();
    return text.isEmpty() ? fallback : text;
}

} // namespace

SqlDialect dialectOf(const QSqlDatabase &db)
{
    if (!db.isValid() || !db.driver())
        return SqlDialect::Default;
    const DriverProfile &profile = driverProfile(db);
    return profile.odbc ? dialectOfKind(dbmsKindOf(db)) : profile.dialect;
}

TADOIBQuery::TADOIBQuery(QObject *parent) : QObject(parent), mData(this) {}

TADOIBQuery::~TADOIBQuery() = default;

void TADOIBQuery::setSQL(const QStringList &lines)
{
    mSql[0] = lines;
    declareParams(lines);
}

void TADOIBQuery::setSQL_ORACLE(const QStringList &lines)
{
    mSql[1] = lines;
    declareParams(lines);
}

void TADOIBQuery::setSQL_MSSQL(const QStringList &lines)
{
    mSql[2] = lines;
    declareParams(lines);
}

void TADOIBQuery::setSQL_IB(const QStringList &lines)
{
    mSql[3] = lines;
    declareParams(lines);
}

void TADOIBQuery::declareParams(const QStringList &lines)
{
    // A new text: what was worked out from the old ones no longer holds.
    for (Plan &plan : mPlans)
        plan = Plan();
    mPrepared.reset();
    mPreparedText.clear();
    // Parameters are only ever added, so references handed out by ParamByName stay valid.
    for (const QString &name : SqlText::toPositional(lines.join(u'\n')).names)
        mParams.CreateParam(name);
}

QString TADOIBQuery::statementFor(SqlDialect dialect) const
{
    const QStringList &own = mSql[dialectIndex(dialect)];
    return (own.isEmpty() ? mSql[0] : own).join(u'\n');
}

QSqlDatabase TADOIBQuery::connection() const
{
    const QString name = mConnectionName.isEmpty() ? QString::fromLatin1(TdtmDBGeral::ConnectionName) : mConnectionName;
    return QSqlDatabase::database(name, false);
}

const TADOIBQuery::Plan &TADOIBQuery::planFor(SqlDialect dialect)
{
    Plan &plan = mPlans[dialectIndex(dialect)];
    if (plan.ready)
        return plan;
    // Named parameters become positional ones: every driver (SQLite, Firebird, ODBC) supports
    // "?", and a name used twice simply binds twice.
    const QString text = statementFor(dialect);
    plan.empty = text.trimmed().isEmpty();
    SqlText::Positional positional = SqlText::toPositional(text);
    plan.executable = std::move(positional.text);
    plan.params = std::move(positional.names);
    plan.ready = true;
    return plan;
}

QSqlQuery &TADOIBQuery::preparedQuery(const QSqlDatabase &db, const QString &executable, bool &reused)
{
    // SQLite statements are kept prepared between opens: once its rows are read a statement is
    // reset and holds no lock, and closing the connection finalizes it. Other drivers prepare on
    // every open (a Firebird statement kept prepared would keep its transaction, and the
    // snapshot it reads, open).
    const bool keep = db.driver()->dbmsType() == QSqlDriver::SQLite;
    reused = keep && mPrepared && mPrepared->driver() == db.driver() && mPreparedText == executable;
    if (reused)
        return *mPrepared;
    mPrepared.reset();
    mPreparedText.clear();
    auto query = std::make_unique<QSqlQuery>(db);
    query->setForwardOnly(true);
    if (!query->prepare(executable))
        throw EDatabaseError(errorText(query->lastError(), u"Falha ao preparar o comando SQL."_s));
    mPrepared = std::move(query);
    if (keep)
        mPreparedText = executable;
    return *mPrepared;
}

void TADOIBQuery::Open()
{
    Close();
    const bool shared = mConnectionName.isEmpty();
    if (shared && !connection().isOpen())
        TdtmDBGeral::reopenIfLost(); // lost earlier and not opened again yet; throws when it cannot be
    try {
        openOnce();
    } catch (const EStatementEnded &) {
        // The limit or the user ended it: opening again now could wait on the same server.
        throw;
    } catch (const EDatabaseError &) {
        // A Firebird server stopped and started again has forgotten the shared connection; it is
        // opened again and the statement tried once more.
        if (!shared || !TdtmDBGeral::reopenIfLost())
            throw;
        mPrepared.reset();
        mPreparedText.clear();
        openOnce();
    }
}

void TADOIBQuery::openOnce()
{
    const QSqlDatabase db = connection();
    if (!db.isValid() || !db.isOpen())
        throw EDatabaseError(u"A conexão com o banco de dados não está aberta."_s);

    const Plan &plan = planFor(dialectOf(db));
    if (plan.empty)
        throw EDatabaseError(u"Nenhum comando SQL definido."_s);

    QStringList columns;
    // Built in the memory of the previous result: opening the lookup again allocates nothing new.
    TDataContent content = mData.takeStorage();
    // The statement and the reading of its rows run under the time limit, away from the window's
    // thread, so a server that hangs neither freezes the window nor keeps the lookup forever.
    runWithDeadline(db, TdtmDBGeral::config().statementTimeout * 1000, TdtmDBGeral::watcher(), [&] {
        // Whatever happens below, no result set stays open on the connection once this scope
        // ends: the rows are on the client and the connection can be closed at any time.
        bool reused = false;
        QSqlQuery *query = &preparedQuery(db, plan.executable, reused);
        const auto release = qScopeGuard([this] {
            if (mPrepared) {
                mPrepared->finish();
                if (mPreparedText.isEmpty())
                    mPrepared.reset();
            }
        });
        const bool sqlite = dbmsKindOf(db) == DbmsKind::SQLite;
        auto bindAndRun = [&] {
            for (qsizetype i = 0; i < plan.params.size(); ++i)
                query->bindValue(int(i), driverBindValue(mParams.ParamByName(plan.params.at(i)).bindValue(), sqlite));
            return query->exec();
        };
        bool ran = bindAndRun();
        if (!ran && reused) {
            // The connection was closed and opened again under the kept statement: prepare anew.
            mPrepared.reset();
            query = &preparedQuery(db, plan.executable, reused);
            ran = bindAndRun();
        }
        if (!ran)
            throw EDatabaseError(errorText(query->lastError(), u"Falha ao executar o comando SQL."_s));

        const QSqlRecord record = query->record();
        const int count = record.count();
        QList<bool> trim(count, false);
        for (int i = 0; i < count; ++i) {
            columns.append(record.fieldName(i));
            trim[i] = BlankPadding::isPadded(db, record.field(i));
        }
        while (query->next()) {
            for (int i = 0; i < count; ++i) {
                // One read per cell: a null is told from the value itself (what isNull() reads).
                const QVariant v = query->value(i);
                if (v.isNull())
                    content.append(QVariant(record.field(i).metaType()));
                else if (v.typeId() == QMetaType::QString) {
                    const QString &text = *static_cast<const QString *>(v.constData());
                    content.appendText(trim.at(i) ? BlankPadding::stripped(text) : QStringView(text));
                } else
                    content.append(v);
            }
        }
        if (query->lastError().isValid())
            throw EDatabaseError(errorText(query->lastError(), u"Falha ao ler o resultado do comando SQL."_s));
    });

    mData.setValues(std::move(columns), std::move(content));
    mActive = true;
}

void TADOIBQuery::Close()
{
    mActive = false;
    if (!mData.columns().isEmpty() || !mData.IsEmpty())
        mData.clear();
}
