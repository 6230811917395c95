#include "firebird.h"

#include "errors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <ibase.h>
#include <limits>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// Where Debian (and the upstream tarball) keep firebird.conf when FIREBIRD is not set.
const char *const DefaultRoots[] = {"/usr/lib/x86_64-linux-gnu/firebird/3.0", "/etc/firebird/3.0",
                                    "/opt/firebird"};

QString firebirdRoot()
{
    const QString fromEnv = qEnvironmentVariable("FIREBIRD");
    if (!fromEnv.isEmpty())
        return fromEnv;
    for (const char *root : DefaultRoots) {
        const QString candidate = QString::fromLatin1(root);
        if (QFileInfo::exists(candidate + u"/firebird.conf"_s))
            return candidate;
    }
    return {};
}

// The "Providers" value in force in a firebird.conf text; empty when the file keeps the default
// (Remote, Engine12, Loopback). The last uncommented line wins, as in the engine.
QString providersIn(const QString &conf)
{
    static const QRegularExpression line(u"^\\s*Providers\\s*=\\s*([^#\\r\\n]*)"_s,
                                         QRegularExpression::MultilineOption |
                                             QRegularExpression::CaseInsensitiveOption);
    QString value;
    for (auto it = line.globalMatch(conf); it.hasNext();)
        value = it.next().captured(1).trimmed();
    return value;
}

bool hasEngine(const QString &providers)
{
    if (providers.isEmpty())
        return true;
    const QStringList names = providers.split(u',', Qt::SkipEmptyParts);
    for (const QString &name : names)
        if (name.trimmed().compare(u"Engine12"_s, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

// A real folder of this user that nobody else may enter.
bool isPrivateFolder(int fd)
{
    struct stat st {};
    return ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() && (st.st_mode & 077) == 0;
}

bool isPrivateFolder(const QByteArray &path)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = isPrivateFolder(fd);
    ::close(fd);
    return ok;
}

// The folders made by mkdtemp, removed at exit: the engine is done with them by then.
QStringList &madeFolders()
{
    static QStringList folders;
    return folders;
}

void removeMadeFolders()
{
    for (const QString &folder : std::as_const(madeFolders()))
        QDir(folder).removeRecursively();
}

// Folders "<start><pid>-XXXXXX" of this user whose process is gone (killed before its exit).
void removeStaleFolders(const QString &in, const QString &start)
{
    const QStringList names = QDir(in).entryList({start + u"*"_s}, QDir::Dirs | QDir::Hidden | QDir::NoSymLinks);
    for (const QString &name : names) {
        bool isNumber = false;
        const qint64 pid = name.mid(start.size()).section(u'-', 0, 0).toLongLong(&isNumber);
        if (!isNumber || pid <= 0 || pid > std::numeric_limits<pid_t>::max() || pid == ::getpid() ||
            ::kill(pid_t(pid), 0) == 0 || errno != ESRCH)
            continue;
        const QString path = in + u'/' + name;
        // Ours and a real folder: in a sticky folder nobody else can put anything in its place.
        if (isPrivateFolder(QFile::encodeName(path)))
            QDir(path).removeRecursively();
    }
}

// A copy of the configuration folder whose provider list also holds the embedded engine; only
// firebird.conf changes, the other files are copied as they are.
void addEngineProvider(const QString &root, const QString &conf, const QString &providers)
{
    const QString copy = firebirdPrivateFolder(u"conf"_s);
    if (copy.isEmpty())
        return; // the engine then says that no provider takes a plain file
    const QDir source(root);
    const QStringList files = source.entryList({u"*.conf"_s, u"firebird.msg"_s}, QDir::Files);
    for (const QString &name : files) {
        if (name == u"firebird.conf"_s)
            continue;
        QFile::remove(copy + u'/' + name);
        QFile::copy(source.filePath(name), copy + u'/' + name);
    }
    QString text = conf;
    static const QRegularExpression line(u"^\\s*Providers\\s*=.*$"_s, QRegularExpression::MultilineOption |
                                                                           QRegularExpression::CaseInsensitiveOption);
    text.replace(line, QString());
    // Loopback answers a plain file name with a network error that ends the search, so the engine
    // has to come before it, as in the default "Remote, Engine12, Loopback".
    QStringList names;
    bool added = false;
    for (const QString &name : providers.split(u',', Qt::SkipEmptyParts)) {
        if (!added && name.trimmed().compare(u"Loopback"_s, Qt::CaseInsensitive) == 0) {
            names << u"Engine12"_s;
            added = true;
        }
        names << name.trimmed();
    }
    if (!added)
        names << u"Engine12"_s;
    text += u"\nProviders = "_s + names.join(u", "_s) + u'\n';
    QFile out(copy + u"/firebird.conf"_s);
    if (out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        out.write(text.toUtf8());
    qputenv("FIREBIRD", QFile::encodeName(copy));
}


QByteArray quoted(const QString &text)
{
    QString copy = text;
    copy.replace(u'\'', u"''"_s);
    return '\'' + copy.toUtf8() + '\'';
}

} // namespace

void prepareFirebirdEmbedded()
{
    static std::once_flag once;
    std::call_once(once, [] {
        // The engine's lock files would otherwise land in /tmp/firebird owned by whoever opened the
        // database first; as root that leaves files a later server run as "firebird" cannot use.
        if (qEnvironmentVariableIsEmpty("FIREBIRD_LOCK")) {
            if (const QString lock = firebirdPrivateFolder(u"lock"_s); !lock.isEmpty())
                qputenv("FIREBIRD_LOCK", QFile::encodeName(lock));
        }

        // A plain file name only works in-process when the provider list keeps Engine12; a server
        // installation may have cut it down to Remote.
        const QString root = firebirdRoot();
        if (root.isEmpty())
            return;
        QFile file(root + u"/firebird.conf"_s);
        if (!file.open(QIODevice::ReadOnly))
            return;
        const QString conf = QString::fromUtf8(file.readAll());
        const QString providers = providersIn(conf);
        if (!hasEngine(providers))
            addEngineProvider(root, conf, providers);
    });
}

QString firebirdPrivateFolder(const QString &purpose)
{
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (runtime.startsWith('/') && isPrivateFolder(runtime)) {
        const QByteArray folder = runtime + "/bo-firebird-" + QFile::encodeName(purpose);
        if (::mkdir(folder.constData(), 0700) == 0 || errno == EEXIST) {
            if (isPrivateFolder(folder))
                return QFile::decodeName(folder);
        }
    }
    const QString start = u"bo-firebird-%1-%2-"_s.arg(::geteuid()).arg(purpose);
    removeStaleFolders(QDir::tempPath(), start);
    QByteArray pattern = QFile::encodeName(QDir::tempPath() + u'/' + start) + QByteArray::number(::getpid()) + "-XXXXXX";
    if (!::mkdtemp(pattern.data()))
        return {};
    const QString folder = QFile::decodeName(pattern);
    madeFolders() << folder;
    // Registered after the list exists, so that it runs before the list is destroyed.
    static std::once_flag once;
    std::call_once(once, [] { std::atexit(&removeMadeFolders); });
    return folder;
}

void createFirebirdDatabase(const QString &database, const QString &user, const QString &password)
{
    prepareFirebirdEmbedded();
    const QByteArray sql = "CREATE DATABASE " + quoted(database) + " USER " + quoted(user) + " PASSWORD " +
                           quoted(password) + " PAGE_SIZE 16384 DEFAULT CHARACTER SET UTF8";
    ISC_STATUS_ARRAY status = {};
    isc_db_handle db = 0;
    isc_tr_handle tr = 0;
    if (isc_dsql_execute_immediate(status, &db, &tr, 0, sql.constData(), SQL_DIALECT_V6, nullptr)) {
        // The message names the database but never the password.
        throw EDatabaseError(u"Could not create the database %1:\n%2"_s.arg(database, firebirdStatusText(status)));
    }
    // pt-BR ordering for names ("ORDER BY <name> COLLATE UNICODE_PT_BR"); an engine built without
    // that ICU locale still gives a usable database, so a refusal here is not an error.
    static const char collation[] =
        "CREATE COLLATION UNICODE_PT_BR FOR UTF8 FROM UNICODE CASE INSENSITIVE 'LOCALE=pt_BR'";
    if (!isc_start_transaction(status, &tr, 1, &db, 0, nullptr)) {
        if (isc_dsql_execute_immediate(status, &db, &tr, 0, collation, SQL_DIALECT_V6, nullptr))
            isc_rollback_transaction(status, &tr);
        else
            isc_commit_transaction(status, &tr);
    }
    isc_detach_database(status, &db);
}

QString firebirdStatusText(const std::intptr_t *status)
{
    QStringList parts;
    const ISC_STATUS *vector = status;
    char buffer[1024];
    while (fb_interpret(buffer, sizeof buffer, &vector) > 0)
        parts << QString::fromUtf8(buffer);
    return parts.join(u"\n"_s);
}

QStringList firebirdReportGrantsDdl(const QStringList &relations, const QStringList &readingRoutines,
                                    const QString &role, const QString &user)
{
    QStringList ddl{u"CREATE ROLE "_s + role};
    for (const QString &relation : relations)
        ddl << u"GRANT SELECT ON "_s + relation + u" TO ROLE "_s + role;
    for (const QString &routine : readingRoutines)
        ddl << u"GRANT EXECUTE ON "_s + routine + u" TO ROLE "_s + role;
    ddl << u"GRANT "_s + role + u" TO USER "_s + user;
    return ddl;
}
