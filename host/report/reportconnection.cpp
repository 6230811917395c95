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
    const DriverProfile &profile = driverProfile(config.driver);
    if (profile.reportRole == ReportRoleGrammar::None || config.reportUser.trimmed().isEmpty())
        return {};
    QString password = config.reportPassword.isEmpty() ? config.password : config.reportPassword;
    if (password.isEmpty() && profile.defaultCredentials)
        password = u"masterkey"_s;
    return {config.reportUser.trimmed(), password, config.reportRole.trimmed()};
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
        } else if (profile.reportRole == ReportRoleGrammar::SqlSetRole && !identity.user.isEmpty()) {
            db.setUserName(identity.user);
            db.setPassword(identity.password);
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
            if (profile.reportRole == ReportRoleGrammar::SqlSetRole) {
                // The server itself refuses every write of this transaction, whoever the user is.
                QSqlQuery setup(db);
                bool ready = mInTransaction && setup.exec(u"SET TRANSACTION READ ONLY"_s);
                if (ready && !identity.user.isEmpty() && !identity.role.isEmpty())
                    ready = setup.exec(u"SET ROLE "_s + db.driver()->escapeIdentifier(identity.role, QSqlDriver::TableName));
                if (!ready) {
                    failure = mInTransaction ? setup.lastError().text().trimmed() : db.lastError().text().trimmed();
                    if (!identity.user.isEmpty())
                        failure += u"\n(usuário de leitura '%1', papel '%2')"_s.arg(identity.user, identity.role);
                    opened = false;
                }
            }
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
