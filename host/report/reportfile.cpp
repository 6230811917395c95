#include "reportfile.h"

#include "errors.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <cerrno>
#include <climits>
#include <limits>
#include <csignal>
#include <cstring>
#include <fcntl.h>
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
int writeAccess(const QByteArray &path, const struct stat &st)
{
    if (::faccessat(AT_FDCWD, path.constData(), W_OK, AT_EACCESS) != 0)
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
    QString target;      // as the user named it
    QByteArray resolved; // the file replaced: the target, or the file its links lead to
    QByteArray folder;   // the resolved file's folder, where the temporary is made
    QByteArray temporary;
    int fd = -1;
    int error = 0; // first failed write through the device
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
        else if (errorCode != 0)
            why = ReportFile::reason(errorCode, QFile::decodeName(folder.isEmpty() ? folderOf(resolved) : folder));
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

    void resolve()
    {
        QByteArray path = QFile::encodeName(QFileInfo(target).absoluteFilePath());
        resolved = path;
        for (int hop = 0;; ++hop) {
            if (hop > kMaxLinks)
                fail(ELOOP);
            struct stat st {};
            if (::lstat(path.constData(), &st) != 0) {
                const int e = errno;
                if (e != ENOENT)
                    fail(e);
                // A new file: its folder must be there.
                struct stat dir {};
                if (::stat(folderOf(path).constData(), &dir) != 0) {
                    resolved = path;
                    fail(errno);
                }
                if (!S_ISDIR(dir.st_mode)) {
                    resolved = path;
                    fail(ENOTDIR);
                }
                resolved = path;
                return;
            }
            if (S_ISLNK(st.st_mode)) {
                QByteArray link(PATH_MAX, '\0');
                const ssize_t n = ::readlink(path.constData(), link.data(), size_t(link.size()));
                if (n < 0)
                    fail(errno);
                link.truncate(n);
                path = link.startsWith('/') ? link : folderOf(path) + '/' + link;
                continue;
            }
            resolved = path;
            if (S_ISDIR(st.st_mode))
                fail(EISDIR);
            if (!S_ISREG(st.st_mode))
                fail(kNotAFile);
            if (const int access = writeAccess(path, st); access != 0)
                fail(access);
            return;
        }
    }

    void create()
    {
        folder = folderOf(resolved);
        ReportFile::removeStaleTemporaries(QFile::decodeName(folder));
        struct stat old {};
        const bool replacing = ::stat(resolved.constData(), &old) == 0;
        QString start = QFile::decodeName(resolved.mid(folder.size() + 1)).left(kNameInTemporary);
        if (!start.isEmpty() && start.back().isHighSurrogate())
            start.chop(1);
        for (int attempt = 0; attempt < 8; ++attempt) {
            const QString name = u".%1.%2-%3.botmp"_s.arg(start)
                                     .arg(::getpid())
                                     .arg(QRandomGenerator::global()->generate(), 8, 16, QChar(u'0'));
            temporary = folder + '/' + QFile::encodeName(name);
            fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd >= 0)
                break;
            if (errno != EEXIST)
                fail(errno);
        }
        if (fd < 0)
            fail(EEXIST);
        if (replacing) {
            // The new file keeps the old one's permissions (and, for root, its owner), so that
            // replacing a report does not open it to others or take it from its user.
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
    d->resolve();
    d->create();
}

ReportFile::~ReportFile()
{
    if (d->fd >= 0)
        ::close(d->fd);
    if (!d->committed && !d->temporary.isEmpty())
        ::unlink(d->temporary.constData());
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
    return QFile::decodeName(d->temporary);
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
    if (::rename(d->temporary.constData(), d->resolved.constData()) != 0)
        d->fail(errno);
    d->committed = true;
    // The rename itself lives in the folder.
    if (const int dir = ::open(d->folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dir >= 0) {
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
    int removed = 0;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        it.next();
        qint64 pid = 0;
        if (!isTemporaryName(it.fileName(), &pid) || !processGone(pid))
            continue;
        const QByteArray path = QFile::encodeName(it.filePath());
        struct stat st {};
        // Only plain files of this user: someone else's temporary is theirs to clean.
        if (::lstat(path.constData(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid())
            continue;
        if (::unlink(path.constData()) == 0)
            ++removed;
    }
    return removed;
}
