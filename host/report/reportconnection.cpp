#include "reportconnection.h"

#include "datamodule.h"
#include "dbinterrupt.h"
#include "dbms.h"
#include "driverprofile.h"
#include "errors.h"
#include "sqltext.h"
#include "statementlimit.h"

#include <QMutexLocker>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSet>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlResult>
#include <QSqlRecord>
#include <QThread>
#include <QTimer>
#include <QUuid>

using namespace Qt::StringLiterals;

ReportIdentity ReportIdentity::of(const QString &sourceConnection)
{
    if (sourceConnection != QLatin1String(TdtmDBGeral::ConnectionName))
        return {};
    const DatabaseConfig &config = TdtmDBGeral::config();
    if (driverProfile(config.driver).reportRole == ReportRoleGrammar::None || config.reportUser.trimmed().isEmpty())
        return {};
    const QString password = config.reportPassword.isEmpty() ? config.password : config.reportPassword;
    return {config.reportUser.trimmed(), password.isEmpty() ? u"masterkey"_s : password, config.reportRole.trimmed()};
}

ReportConnection::ReportConnection(const QString &sourceConnection, const ReportIdentity &identity)
    : mName(u"report_"_s + QUuid::createUuid().toString(QUuid::WithoutBraces))
{
    if (!QSqlDatabase::contains(sourceConnection))
        throw EDatabaseError(u"A conexão com o banco de dados não está aberta."_s);
    bool opened = false;
    QString failure;
    {
        // The name overload reads the source's settings without touching its driver, so it can
        // run on the worker thread.
        QSqlDatabase db = QSqlDatabase::cloneDatabase(sourceConnection, mName);
        const DriverProfile &profile = driverProfile(db);
        const bool sqlite = profile.kind == DbmsKind::SQLite;
        QString options = db.connectOptions();
        if (!profile.readOnlyOption.isEmpty() && !options.contains(profile.readOnlyOption)) {
            if (!options.trimmed().isEmpty())
                options += u';';
            options += profile.readOnlyOption;
        }
        if (profile.reportRole == ReportRoleGrammar::FirebirdDpb && !identity.user.isEmpty()) {
            db.setUserName(identity.user);
            db.setPassword(identity.password);
            static const QRegularExpression roleEntry(u"\\s*ISC_DPB_SQL_ROLE_NAME\\s*=[^;]*;?"_s,
                                                      QRegularExpression::CaseInsensitiveOption);
            options.remove(roleEntry);
            if (!identity.role.isEmpty()) {
                if (!options.trimmed().isEmpty() && !options.trimmed().endsWith(u';'))
                    options += u';';
                options += u"ISC_DPB_SQL_ROLE_NAME="_s + identity.role;
            }
        }
        db.setConnectOptions(options);
        opened = db.open();
        if (!opened) {
            failure = db.lastError().text().trimmed();
        } else if (sqlite) {
            // A second lock besides the read-only file: the connection itself refuses to write.
            QSqlQuery pragma(db);
            if (!pragma.exec(u"PRAGMA query_only = 1"_s)) {
                failure = pragma.lastError().text().trimmed();
                opened = false;
            }
        } else {
            // Whatever the statement does is undone: the transaction is never committed.
            mInTransaction = db.transaction();
        }
        if (opened)
            mDb = db;
        else
            db.close();
    }
    if (!opened) {
        QSqlDatabase::removeDatabase(mName);
        throw EDatabaseError(u"Não foi possível abrir a conexão do relatório.\n%1"_s.arg(failure));
    }
}

ReportConnection::~ReportConnection()
{
    if (mInTransaction)
        mDb.rollback();
    mDb.close();
    mDb = QSqlDatabase();
    QSqlDatabase::removeDatabase(mName);
}
