#include "reportfile.h"

#include "errors.h"

#include <QDir>
#include <QFile>
#include <QIODevice>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <deque>
#include <dirent.h>
#include <fcntl.h>
#include <limits>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// Links followed before giving up, as the kernel does (ELOOP).
constexpr int kMaxLinks = 40;
// Characters of the target's name kept in a temporary's name: enough to tell whose it is, short
// enough that a target whose name is near the system's limit still gets a temporary.
constexpr int kNameInTemporary = 32;
// Not an errno value: an existing file this user may not write.
constexpr int kReadOnlyFile = -1;
// Not an errno value: the target is a device, a pipe or a socket.
constexpr int kNotAFile = -2;
// Not an errno value: a symbolic link of another user, or one in a folder of another user.
constexpr int kForeignLink = -3;

const QRegularExpression &temporaryPattern()
{
    // ".<start of the target's name>.<pid>-<8 hex digits>.botmp"
    static const QRegularExpression pattern(u"^\\..*\\.([0-9]{1,10})-[0-9a-f]{8}\\.botmp$"_s,
                                            QRegularExpression::DotMatchesEverythingOption);
    return pattern;
}

QByteArray folderOf(const QByteArray &path)
{
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0)
        return QByteArrayLiteral(".");
    return slash == 0 ? QByteArrayLiteral("/") : path.left(slash);
}

QString shown(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

// Root may write any file, so for root the test is the mode alone: a file that nobody may write
// (0444) is a file someone meant to keep, and an export does not replace it either.
int writeAccess(int dir, const QByteArray &name, const struct stat &st)
{
    if (::faccessat(dir, name.constData(), W_OK, AT_EACCESS) != 0)
        return errno == EACCES || errno == EPERM ? kReadOnlyFile : errno;
    if (::geteuid() == 0 && (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
        return kReadOnlyFile;
    return 0;
}

bool processGone(qint64 pid)
{
    if (pid <= 0 || pid == ::getpid() || pid > std::numeric_limits<pid_t>::max())
        return false;
    return ::kill(pid_t(pid), 0) != 0 && errno == ESRCH;
}

bool trustedOwner(uid_t owner)
{
    return owner == ::geteuid() || owner == 0;
}

// Temporaries being written, for the signal handler: a fixed table it can read without locks.
struct PendingTemporary
{
    std::atomic<int> state{0}; // 0 free, 1 being filled, 2 in use
    int dir = -1;
    char name[NAME_MAX + 1] = {};
};
PendingTemporary gPending[16];

// The signals that end an export.
constexpr int kEndSignals[] = {SIGTERM, SIGHUP, SIGINT};

extern "C" void removePendingTemporaries(int signal, siginfo_t *, void *);

bool isOurs(const struct sigaction &action)
{
    return (action.sa_flags & SA_SIGINFO) && action.sa_sigaction == &removePendingTemporaries;
}

extern "C" void removePendingTemporaries(int signal, siginfo_t *, void *)
{
    for (PendingTemporary &pending : gPending) {
        if (pending.state.load() == 2)
            ::unlinkat(pending.dir, pending.name, 0);
    }
    // A handler installed after ours that calls it decides what follows.
    struct sigaction now {};
    if (::sigaction(signal, nullptr, &now) != 0 || !isOurs(now))
        return;
    // Raised again with the default action: the process ends by the signal, as without us.
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

bool isIgnored(const struct sigaction &action)
{
    return !(action.sa_flags & SA_SIGINFO) && action.sa_handler == SIG_IGN;
}

// Puts our handler in front again whenever another took its place: libfbclient installs one for
// SIGTERM and SIGINT that only starts its own shutdown, and with it in front the process never
// ended by them. A signal that is ignored (nohup) stays ignored.
void watchSignals()
{
    static std::mutex mutex;
    const std::lock_guard lock(mutex);
    for (const int signal : kEndSignals) {
        struct sigaction current {};
        if (::sigaction(signal, nullptr, &current) != 0 || isOurs(current) || isIgnored(current))
            continue;
        struct sigaction action {};
        action.sa_sigaction = &removePendingTemporaries;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_SIGINFO | SA_RESTART;
        ::sigaction(signal, &action, nullptr);
    }
}

int holdPending(int dir, const QByteArray &name)
{
    if (name.size() > NAME_MAX)
        return -1;
    for (int i = 0; i < int(std::size(gPending)); ++i) {
        int expected = 0;
        if (!gPending[i].state.compare_exchange_strong(expected, 1))
            continue;
        gPending[i].dir = dir;
        std::memcpy(gPending[i].name, name.constData(), size_t(name.size()) + 1);
        gPending[i].state.store(2);
        return i;
    }
    return -1; // more writers at once than the table holds: those rely on the next export's clean-up
}

void releasePending(int &slot)
{
    if (slot >= 0)
        gPending[slot].state.store(0);
    slot = -1;
}

// Removes this folder's temporaries whose process is gone; `dir` is held open.
int removeStale(int dir)
{
    const int listing = ::openat(dir, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listing < 0)
        return 0;
    DIR *entries = ::fdopendir(listing);
    if (!entries) {
        ::close(listing);
        return 0;
    }
    int removed = 0;
    while (const dirent *entry = ::readdir(entries)) {
        qint64 pid = 0;
        if (!ReportFile::isTemporaryName(QFile::decodeName(entry->d_name), &pid) || !processGone(pid))
            continue;
        struct stat st {};
        // Only plain files of this user: someone else's temporary is theirs to clean.
        if (::fstatat(dir, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode) ||
            st.st_uid != ::geteuid())
            continue;
        if (::unlinkat(dir, entry->d_name, 0) == 0)
            ++removed;
    }
    ::closedir(entries);
    return removed;
}

// An unbuffered device onto a file descriptor; the first failure is kept for the owner. Not
// sequential, so that pos() counts the bytes written as a file's would (the PDF writer's offsets).
class DescriptorDevice : public QIODevice
{
public:
    explicit DescriptorDevice(int *fd, int *error) : mFd(fd), mError(error) {}

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *data, qint64 size) override
    {
        qint64 done = 0;
        while (done < size && *mError == 0) {
            const ssize_t n = ::write(*mFd, data + done, size_t(size - done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                *mError = n < 0 ? errno : EIO;
            else
                done += n;
        }
        return *mError == 0 ? done : -1;
    }

private:
    int *mFd;
    int *mError;
};

} // namespace

struct ReportFile::Private
{
    QString target;       // as the user named it
    QByteArray folder;    // the folder written, as a path: for messages and temporaryPath()
    QByteArray name;      // the file replaced in it: the target, or the file its links lead to
    QByteArray temporary; // its name in the folder
    int dir = -1;         // the folder, held from the walk to the rename
    int fd = -1;
    int error = 0; // first failed write through the device
    int pendingSlot = -1;
    bool replacing = false;
    struct stat old {}; // the file replaced, when there is one
    QByteArray buffer;
    bool committed = false;
    std::unique_ptr<DescriptorDevice> device;

    [[noreturn]] void fail(int errorCode, const QString &detail = {}) const
    {
        QString why = detail;
        if (errorCode == kReadOnlyFile)
            why = u"O arquivo existente não permite gravação (somente leitura) para este usuário."_s;
        else if (errorCode == kNotAFile)
            why = u"O destino não é um arquivo comum (dispositivo, fila ou soquete)."_s;
        else if (errorCode == kForeignLink)
            why = u"O caminho passa por um link simbólico de outro usuário (ou guardado em uma pasta de outro "
                  u"usuário), e links assim não são seguidos: poderiam levar a gravação a um arquivo que não é seu."_s;
        else if (errorCode != 0)
            why = ReportFile::reason(errorCode, QFile::decodeName(folder));
        throw EHostError(u"Não foi possível gravar o arquivo '%1'.\n%2\nO arquivo anterior, se existia, não foi alterado."_s
                             .arg(shown(target), why));
    }

    void writeAll(const char *data, qsizetype size)
    {
        qsizetype done = 0;
        while (done < size) {
            const ssize_t n = ::write(fd, data + done, size_t(size - done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                fail(n < 0 ? errno : EIO);
            done += n;
        }
    }

    void hold(int next, const QByteArray &path)
    {
        if (dir >= 0)
            ::close(dir);
        dir = next;
        folder = path;
    }

    // Walks the target's path from "/" one name at a time, each opened without following it, and
    // stops holding the folder of the file to write and that file's name in it.
    void resolve()
    {
        QByteArray path = QFile::encodeName(target);
        if (!path.startsWith('/'))
            path = QFile::encodeName(QDir::currentPath()) + '/' + path;
        std::deque<QByteArray> rest;
        const auto push = [&rest](const QByteArray &text) {
            const QList<QByteArray> names = text.split('/');
            for (auto it = names.crbegin(); it != names.crend(); ++it) {
                if (!it->isEmpty() && *it != ".")
                    rest.push_front(*it);
            }
        };
        const auto fromRoot = [this](bool *trusted) {
            const int root = ::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC);
            if (root < 0)
                fail(errno);
            hold(root, QByteArrayLiteral("/"));
            struct stat st {};
            *trusted = ::fstat(root, &st) == 0 && trustedOwner(st.st_uid);
        };
        // True while every folder walked through belongs to this user or root.
        bool trusted = true;
        fromRoot(&trusted);
        push(path);
        const auto joined = [this](const QByteArray &name) {
            return folder.endsWith('/') ? folder + name : folder + '/' + name;
        };
        int links = 0;
        while (!rest.empty()) {
            const QByteArray current = rest.front();
            rest.pop_front();
            const bool last = rest.empty();
            const int next = ::openat(dir, current.constData(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
            if (next < 0) {
                const int e = errno;
                if (e == ENOENT && last && current != "..") {
                    name = current; // a new file in a folder that is there
                    return;
                }
                if (e == ENOENT) {
                    // The message names the whole folder that is missing.
                    QByteArray wanted = joined(current);
                    for (std::size_t i = 0; i + 1 < rest.size(); ++i)
                        wanted += '/' + rest[i];
                    folder = wanted;
                }
                fail(e);
            }
            struct stat st {};
            if (::fstat(next, &st) != 0) {
                const int e = errno;
                ::close(next);
                fail(e);
            }
            if (S_ISLNK(st.st_mode)) {
                // What is followed is the link held, not whatever the name holds by then.
                QByteArray text(PATH_MAX, '\0');
                const ssize_t n = ::readlinkat(next, "", text.data(), size_t(text.size()));
                const int e = errno;
                ::close(next);
                if (!trusted || !trustedOwner(st.st_uid))
                    fail(kForeignLink);
                if (n < 0)
                    fail(e);
                if (++links > kMaxLinks)
                    fail(ELOOP);
                text.truncate(n);
                push(text);
                if (text.startsWith('/'))
                    fromRoot(&trusted);
                continue;
            }
            if (S_ISDIR(st.st_mode)) {
                if (last) {
                    ::close(next);
                    name = current;
                    fail(EISDIR);
                }
                trusted = trusted && trustedOwner(st.st_uid);
                hold(next, current == ".." ? folderOf(folder) : joined(current));
                continue;
            }
            ::close(next);
            if (!last)
                fail(ENOTDIR);
            name = current;
            if (!S_ISREG(st.st_mode))
                fail(kNotAFile);
            if (const int access = writeAccess(dir, name, st); access != 0)
                fail(access);
            replacing = true;
            old = st;
            return;
        }
        fail(EISDIR); // the path named a folder ("/" or one ending in "..")
    }

    void create()
    {
        removeStale(dir);
        QString start = QFile::decodeName(name).left(kNameInTemporary);
        if (!start.isEmpty() && start.back().isHighSurrogate())
            start.chop(1);
        // The final mode from the start (the umask can only take bits away), so that replacing a
        // private report never leaves its new bytes readable by others while they are written.
        const mode_t mode = replacing ? (old.st_mode & 0777) : 0666;
        for (int attempt = 0; attempt < 8 && fd < 0; ++attempt) {
            temporary = QFile::encodeName(u".%1.%2-%3.botmp"_s.arg(start)
                                              .arg(::getpid())
                                              .arg(QRandomGenerator::global()->generate(), 8, 16, QChar(u'0')));
            watchSignals();
            fd = ::openat(dir, temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
            if (fd < 0 && errno != EEXIST)
                fail(errno);
        }
        if (fd < 0)
            fail(EEXIST);
        pendingSlot = holdPending(dir, temporary);
        if (replacing) {
            // The new file keeps the old one's owner (for root) and exact mode, so that replacing a
            // report does not take it from its user.
            if (::geteuid() == 0 && ::fchown(fd, old.st_uid, old.st_gid) != 0) {
                // Kept as root's: the file is written all the same.
            }
            if (::fchmod(fd, old.st_mode & 0777) != 0) {
                // A file system without modes (FAT): the file is written all the same.
            }
        }
    }
};

ReportFile::ReportFile(const QString &path) : d(std::make_unique<Private>())
{
    d->target = path;
    if (path.isEmpty())
        d->fail(ENOENT);
    try {
        d->resolve();
        d->create();
    } catch (...) {
        if (d->dir >= 0)
            ::close(d->dir);
        throw;
    }
}

ReportFile::~ReportFile()
{
    releasePending(d->pendingSlot);
    if (d->fd >= 0)
        ::close(d->fd);
    if (!d->committed && !d->temporary.isEmpty() && d->dir >= 0)
        ::unlinkat(d->dir, d->temporary.constData(), 0);
    if (d->dir >= 0)
        ::close(d->dir);
}

void ReportFile::append(const QByteArray &bytes)
{
    d->buffer += bytes;
    if (d->buffer.size() >= (1 << 16)) {
        d->writeAll(d->buffer.constData(), d->buffer.size());
        d->buffer.clear();
    }
}

QIODevice &ReportFile::device()
{
    if (!d->device) {
        d->device = std::make_unique<DescriptorDevice>(&d->fd, &d->error);
        d->device->open(QIODevice::WriteOnly);
    }
    return *d->device;
}

QString ReportFile::temporaryPath() const
{
    return QFile::decodeName(d->folder.endsWith('/') ? d->folder + d->temporary : d->folder + '/' + d->temporary);
}

void ReportFile::commit()
{
    if (d->error != 0)
        d->fail(d->error);
    d->writeAll(d->buffer.constData(), d->buffer.size());
    d->buffer.clear();
    // Synced before the rename: after a power cut the name holds either the old file or the whole
    // new one, never an empty or partial file.
    if (::fsync(d->fd) != 0)
        d->fail(errno);
    const int fd = d->fd;
    d->fd = -1;
    if (::close(fd) != 0)
        d->fail(errno);
    releasePending(d->pendingSlot);
    // Into the folder held since the walk: a link put in place of a folder meanwhile is not taken.
    if (::renameat(d->dir, d->temporary.constData(), d->dir, d->name.constData()) != 0)
        d->fail(errno);
    d->committed = true;
    // The rename itself lives in the folder.
    if (const int dir = ::openat(d->dir, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC); dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

void ReportFile::check() const
{
    if (d->error != 0)
        d->fail(d->error);
}

void ReportFile::fail(int error, const QString &detail) const
{
    d->fail(error, detail);
}

QString ReportFile::reason(int error, const QString &folder)
{
    const QString where = shown(folder);
    switch (error) {
    case ENAMETOOLONG:
        return u"O nome do arquivo (ou do caminho) é longo demais para o sistema de arquivos."_s;
    case ENOENT:
        return u"A pasta '%1' não existe."_s.arg(where);
    case ENOTDIR:
        return u"Uma parte do caminho '%1' é um arquivo, não uma pasta."_s.arg(where);
    case EISDIR:
        return u"Já existe uma pasta com este nome."_s;
    case ENOSPC:
        return u"Não há espaço livre no disco da pasta '%1'."_s.arg(where);
    case EDQUOT:
        return u"A cota de disco do usuário na pasta '%1' acabou."_s.arg(where);
    case EFBIG:
        return u"O arquivo passou do tamanho máximo permitido."_s;
    case EACCES:
    case EPERM:
        return u"Sem permissão para gravar na pasta '%1'."_s.arg(where);
    case EROFS:
        return u"A pasta '%1' está em um disco somente leitura."_s.arg(where);
    case ELOOP:
        return u"Há links simbólicos demais no caminho (ou um link que leva a ele mesmo)."_s;
    case EIO:
        return u"Erro de leitura ou gravação no disco."_s;
    default:
        return u"Erro do sistema %1: %2."_s.arg(error).arg(QString::fromLocal8Bit(std::strerror(error)));
    }
}

bool ReportFile::isTemporaryName(const QString &fileName, qint64 *pid)
{
    const QRegularExpressionMatch m = temporaryPattern().match(fileName);
    if (!m.hasMatch())
        return false;
    if (pid)
        *pid = m.captured(1).toLongLong();
    return true;
}

int ReportFile::removeStaleTemporaries(const QString &folder)
{
    const int dir = ::open(QFile::encodeName(folder).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0)
        return 0;
    const int removed = removeStale(dir);
    ::close(dir);
    return removed;
}
