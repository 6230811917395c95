#include <QFileInfo>
#include "datamodule.h"
#include "dbms.h"
#include "errors.h"
#include "firebird.h"

#include <QRegularExpression>
#include <QSqlError>

using namespace Qt::StringLiterals;

namespace {

DatabaseConfig &currentConfig()
{
    static DatabaseConfig config;
    return config;
}

QString connectionName()
{
    return QString::fromLatin1(TdtmDBGeral::ConnectionName);
}

// "PWD=...;" / "Password=...;" entries of an ODBC connection string.
const QRegularExpression &passwordEntry()
{
    static const QRegularExpression re(u"((?:^|;)\\s*(?:PWD|PASSWORD)\\s*=\\s*)(\\{[^}]*\\}|[^;]*)"_s,
                                       QRegularExpression::CaseInsensitiveOption);
    return re;
}

// Every secret the configuration carries: the password and any password inside the name.
QStringList secretsOf(const DatabaseConfig &config)
{
    QStringList secrets;
    if (!config.password.isEmpty())
        secrets.append(config.password);
    auto it = passwordEntry().globalMatch(config.name);
    while (it.hasNext()) {
        QString value = it.next().captured(2).trimmed();
        if (value.startsWith(u'{') && value.endsWith(u'}'))
            value = value.mid(1, value.size() - 2);
        if (!value.isEmpty())
            secrets.append(value);
    }
    return secrets;
}

QString masked(QString text, const QStringList &secrets)
{
    for (const QString &secret : secrets)
        text.replace(secret, u"****"_s);
    return text;
}

QString withOption(const QString &options, const QString &key, const QString &entry)
{
    if (options.contains(key, Qt::CaseInsensitive))
        return options;
    return options.trimmed().isEmpty() ? entry : options + u';' + entry;
}

} // namespace

void TdtmDBGeral::open(const DatabaseConfig &config)
{
    close();

    const QString driver = config.driver.trimmed().toUpper();
    QStringList secrets = secretsOf(config);
    if (driver == u"QIBASE"_s && config.password.isEmpty())
        secrets.append(u"masterkey"_s);
    const QString shownName = masked(config.name, secrets);

    if (!QSqlDatabase::isDriverAvailable(driver))
        throw EDatabaseError(u"Driver de banco de dados '%1' não disponível."_s.arg(config.driver));

    // The host opens an existing database; silently creating an empty one would only move the
    // failure to the first lookup ("no such table").
    if (driver == u"QSQLITE"_s && !config.createIfMissing && config.name != u":memory:"_s &&
        !QFileInfo::exists(config.name))
        throw EDatabaseError(u"Não foi possível conectar ao banco de dados '%1': o arquivo não existe."_s.arg(shownName));

    bool opened = false;
    QString failure;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(driver, connectionName());
        db.setDatabaseName(driver.startsWith(u"QODBC"_s) ? qodbcDatabaseName(config.name) : config.name);
        if (!config.host.isEmpty())
            db.setHostName(config.host);
        if (config.port > 0)
            db.setPort(config.port);
        QString options = config.options;
        if (driver == u"QIBASE"_s) {
            // A plain file name opens in-process; the preparation must precede the first
            // attachment of the process and does not get in the way of server names.
            prepareFirebirdEmbedded();
            db.setUserName(config.user.isEmpty() ? u"SYSDBA"_s : config.user);
            db.setPassword(config.password.isEmpty() ? u"masterkey"_s : config.password);
            options = withOption(options, u"ISC_DPB_LC_CTYPE"_s, u"ISC_DPB_LC_CTYPE=UTF8"_s);
        } else {
            if (!config.user.isEmpty())
                db.setUserName(config.user);
            if (!config.password.isEmpty())
                db.setPassword(config.password);
        }
        db.setConnectOptions(options);
        opened = db.open();
        if (!opened)
            failure = db.lastError().text().trimmed();
    }
    if (!opened) {
        QSqlDatabase::removeDatabase(connectionName());
        QString message = u"Não foi possível conectar ao banco de dados '%1'."_s.arg(shownName);
        if (!failure.isEmpty())
            message += u'\n' + masked(failure, secrets);
        throw EDatabaseError(message);
    }
    currentConfig() = config;
}

void TdtmDBGeral::close()
{
    if (!QSqlDatabase::contains(connectionName()))
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(connectionName(), false);
        db.close();
    }
    QSqlDatabase::removeDatabase(connectionName());
}

bool TdtmDBGeral::isOpen()
{
    return QSqlDatabase::contains(connectionName()) && QSqlDatabase::database(connectionName(), false).isOpen();
}

QSqlDatabase TdtmDBGeral::adcGeral()
{
    return QSqlDatabase::database(connectionName(), false);
}

const DatabaseConfig &TdtmDBGeral::config()
{
    return currentConfig();
}
