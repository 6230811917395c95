#include <QFileInfo>
#include "datamodule.h"

#include "dbinterrupt.h"
#include "dbms.h"
#include "driverprofile.h"
#include "errors.h"
#include "firebird.h"

#include <QRegularExpression>
#include <QSqlError>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// What the shared connection was opened with, and whether it was lost and not yet opened again.
struct SharedState
{
    DatabaseConfig config;
    bool opened = false;
    bool lost = false;
    StatementWatcher *watcher = nullptr;
};

SharedState &shared()
{
    static SharedState state;
    return state;
}

DatabaseConfig &currentConfig()
{
    return shared().config;
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


QString masked(const QString &text, const QStringList &secrets)
{
    return maskSecrets(text, secrets);
}

// `text` masked, except where it quotes the database's name (or its path on the server): the
// name is shown anyway, and stars inside it would tell which of its words is the password. The
// passwords the name itself holds (ODBC "PWD=") are masked there all the same.
QString maskedBesideName(const QString &text, const QStringList &secrets, const DatabaseConfig &config)
{
    QStringList names{config.name};
    if (const qsizetype colon = config.name.indexOf(u':'); colon > 1)
        names << config.name.mid(colon + 1);
    QStringList nameSecrets = secretsOf(config);
    nameSecrets.removeAll(config.password);
    QString result;
    qsizetype from = 0;
    while (from < text.size()) {
        qsizetype at = -1, length = 0;
        for (const QString &name : std::as_const(names)) {
            const qsizetype found = name.isEmpty() ? -1 : text.indexOf(name, from);
            if (found >= 0 && (at < 0 || found < at || (found == at && name.size() > length))) {
                at = found;
                length = name.size();
            }
        }
        if (at < 0)
            break;
        result += masked(text.mid(from, at - from), secrets) + masked(text.mid(at, length), nameSecrets);
        from = at + length;
    }
    return result + masked(text.mid(from), secrets);
}

QString withOption(const QString &options, const QString &key, const QString &entry)
{
    if (options.contains(key, Qt::CaseInsensitive))
        return options;
    return options.trimmed().isEmpty() ? entry : options + u';' + entry;
}

} // namespace

QString maskSecrets(QString text, const QStringList &secrets)
{
    // Only a whole token: masking it inside other words ("Ask your ****base administrator") would
    // show where the password's letters are, and so the password.
    const auto wordChar = [](QChar c) { return c.isLetterOrNumber() || c == u'_'; };
    for (const QString &secret : secrets) {
        if (secret.isEmpty())
            continue;
        qsizetype from = 0;
        while ((from = text.indexOf(secret, from)) >= 0) {
            const qsizetype end = from + secret.size();
            const bool alone = (from == 0 || !wordChar(text.at(from - 1)) || !wordChar(secret.front())) &&
                               (end == text.size() || !wordChar(text.at(end)) || !wordChar(secret.back()));
            if (alone) {
                text.replace(from, secret.size(), u"****"_s);
                from += 4;
            } else {
                from += 1;
            }
        }
    }
    return text;
}

void TdtmDBGeral::open(const DatabaseConfig &config)
{
    close();

    const QString driver = config.driver.trimmed().toUpper();
    const DriverProfile &profile = driverProfile(driver);
    QStringList secrets = secretsOf(config);
    if (profile.defaultCredentials && config.password.isEmpty())
        secrets.append(u"masterkey"_s);
    const QString shownName = maskedBesideName(config.name, secrets, config);

    if (!QSqlDatabase::isDriverAvailable(driver))
        throw EDatabaseError(u"Driver de banco de dados '%1' não disponível."_s.arg(config.driver));

    // The host opens an existing database; silently creating an empty one would only move the
    // failure to the first lookup ("no such table").
    if (profile.createsMissingFile && !config.createIfMissing && config.name != u":memory:"_s &&
        !QFileInfo::exists(config.name))
        throw EDatabaseError(u"Não foi possível conectar ao banco de dados '%1': o arquivo não existe."_s.arg(shownName));

    bool opened = false;
    QString failure;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(driver, connectionName());
        db.setDatabaseName(profile.odbc ? qodbcDatabaseName(config.name) : config.name);
        if (!config.host.isEmpty())
            db.setHostName(config.host);
        if (config.port > 0)
            db.setPort(config.port);
        QString options = config.options;
        if (profile.kind == DbmsKind::Firebird) {
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
            message += u'\n' + maskedBesideName(failure, secrets, config);
        throw EDatabaseError(message);
    }
    currentConfig() = config;
    shared().opened = true;
}

bool TdtmDBGeral::reopenIfLost()
{
    SharedState &state = shared();
    if (!state.opened && !state.lost)
        return false;
    if (!state.lost) {
        if (NativeConnection(adcGeral()).alive())
            return false;
        state.lost = true;
    }
    const DatabaseConfig config = state.config;
    try {
        open(config);
    } catch (const EDatabaseError &e) {
        state.config = config;
        state.lost = true;
        throw EDatabaseError(u"A conexão com o banco de dados foi perdida e não pôde ser refeita.\n"_s + e.message());
    }
    return true;
}

void TdtmDBGeral::setWatcher(StatementWatcher *watcher)
{
    shared().watcher = watcher;
}

StatementWatcher *TdtmDBGeral::watcher()
{
    return shared().watcher;
}

void TdtmDBGeral::close()
{
    // Closed on purpose: nothing to reopen.
    shared().opened = false;
    shared().lost = false;
    if (!QSqlDatabase::contains(connectionName()))
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(connectionName(), false);
        db.close();
    }
    QSqlDatabase::removeDatabase(connectionName());
}

void TdtmDBGeral::closeAtExit()
{
    constexpr int kUnlimitedCloseSeconds = 30;
    const int seconds = currentConfig().statementTimeout > 0 ? currentConfig().statementTimeout : kUnlimitedCloseSeconds;
    std::mutex mutex;
    std::condition_variable closed;
    bool done = false;
    // libfbclient waits for a detach without a limit; a hung server would hold a cron job forever.
    std::thread watchdog([&] {
        std::unique_lock lock(mutex);
        if (closed.wait_for(lock, std::chrono::seconds(seconds), [&] { return done; }))
            return;
        const QByteArray text =
            u"backoffice: o banco de dados não respondeu em %1 s ao fechar a conexão; o programa termina sem "
            u"esperar por ele.\n"_s.arg(seconds).toUtf8();
        std::fflush(stdout);
        if (::write(STDERR_FILENO, text.constData(), size_t(text.size())) < 0) {
            // Nothing more to tell it with.
        }
        ::_exit(1);
    });
    close();
    {
        const std::lock_guard lock(mutex);
        done = true;
    }
    closed.notify_all();
    watchdog.join();
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
