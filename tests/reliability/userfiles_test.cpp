// The user's files under a report saved from the screen, in every format: a file the user could
// not write, a symbolic link, a name too long, a folder missing, a full disk, a temporary left by a
// killed export. Each case must end the same way, with the same message, for CSV, PDF, HTML and
// XLSX.

#include "reliability.h"
#include "reportengine.h"
#include "reportfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <csignal>
#include <functional>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using reliability::readAll;
using reliability::temporaries;
using reliability::writeAll;

namespace {

const char *const kFormats[] = {"csv", "pdf", "html", "xlsx"};

// The first bytes of a file of each format, to tell a written report from the old bytes.
QByteArray magic(const QString &extension)
{
    if (extension == u"pdf")
        return "%PDF";
    if (extension == u"xlsx")
        return "PK";
    if (extension == u"html")
        return "<!DOCTYPE html>";
    return "\xEF\xBB\xBF";
}

mode_t modeOf(const QString &path)
{
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode : 0;
}


class UserFiles : public reliability::ScreenTest
{
protected:
    // The message with the file and its folder replaced, so that formats can be compared.
    QString general(const QString &message, const QString &target) const
    {
        QString text = message;
        text.replace(QDir::toNativeSeparators(target), u"<arquivo>"_s);
        text.replace(QDir::toNativeSeparators(QFileInfo(target).absolutePath()), u"<pasta>"_s);
        return text;
    }
};

struct FileCase
{
    const char *label;
    // Makes the place for `extension` under `folder`; answers the path to save to.
    std::function<QString(const QString &folder, const QString &extension)> prepare;
    bool saved;
    const char *reason;                                              // in the message when refused
    std::function<void(const QString &target, const std::string &row)> after; // what must hold afterwards
};

TEST_F(UserFiles, EveryFormatTreatsTheUsersFileAlike)
{
    const QByteArray old("versão anterior, que o usuário quer guardar\n");
    const FileCase cases[] = {
        {"existing file nobody may write (0444)",
         [&](const QString &folder, const QString &ext) {
             const QString path = folder + u"/relatorio."_s + ext;
             writeAll(path, old);
             QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther);
             return path;
         },
         false, "não permite gravação (somente leitura)",
         [&](const QString &target, const std::string &row) {
             EXPECT_EQ(readAll(target), old) << row;
             EXPECT_EQ(modeOf(target) & 0777, mode_t(0444)) << row;
         }},
        {"existing file 0600 is replaced and stays 0600",
         [&](const QString &folder, const QString &ext) {
             const QString path = folder + u"/privado."_s + ext;
             writeAll(path, old);
             QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
             return path;
         },
         true, nullptr,
         [&](const QString &target, const std::string &row) {
             EXPECT_TRUE(readAll(target).startsWith(magic(QFileInfo(target).suffix()))) << row;
             EXPECT_EQ(modeOf(target) & 0777, mode_t(0600)) << row;
         }},
        {"symbolic link to an existing file: written through, the link stays",
         [&](const QString &folder, const QString &ext) {
             QDir().mkpath(folder + u"/real"_s);
             writeAll(folder + u"/real/dados."_s + ext, old);
             QFile::link(u"real/dados."_s + ext, folder + u"/atalho."_s + ext); // relative, as ln -s makes it
             return folder + u"/atalho."_s + ext;
         },
         true, nullptr,
         [&](const QString &target, const std::string &row) {
             EXPECT_TRUE(S_ISLNK(modeOf(target))) << row << ": the link was replaced by a file";
             const QString real = QFileInfo(target).absolutePath() + u"/real/dados."_s + QFileInfo(target).suffix();
             EXPECT_TRUE(readAll(real).startsWith(magic(QFileInfo(target).suffix()))) << row;
             EXPECT_TRUE(temporaries(QFileInfo(real).absolutePath()).isEmpty()) << row;
         }},
        {"symbolic link to a file not there yet: the file is made",
         [&](const QString &folder, const QString &ext) {
             QDir().mkpath(folder + u"/real"_s);
             QFile::link(folder + u"/real/novo."_s + ext, folder + u"/novo."_s + ext);
             return folder + u"/novo."_s + ext;
         },
         true, nullptr,
         [&](const QString &target, const std::string &row) {
             EXPECT_TRUE(S_ISLNK(modeOf(target))) << row;
             EXPECT_TRUE(QFileInfo(QFileInfo(target).absolutePath() + u"/real/novo."_s + QFileInfo(target).suffix()).isFile())
                 << row;
         }},
        {"symbolic link to a file nobody may write",
         [&](const QString &folder, const QString &ext) {
             writeAll(folder + u"/protegido."_s + ext, old);
             QFile::setPermissions(folder + u"/protegido."_s + ext, QFileDevice::ReadOwner);
             QFile::link(u"protegido."_s + ext, folder + u"/link_protegido."_s + ext);
             return folder + u"/link_protegido."_s + ext;
         },
         false, "não permite gravação (somente leitura)",
         [&](const QString &target, const std::string &row) {
             EXPECT_EQ(readAll(target), old) << row;
             EXPECT_TRUE(S_ISLNK(modeOf(target))) << row;
         }},
        // A pipe stands for a device: a test must never risk /dev/null, which a writer that follows
        // links and renames over the end of them would replace by a plain file.
        {"symbolic link to a pipe (not a plain file)",
         [&](const QString &folder, const QString &ext) {
             ::mkfifo(QFile::encodeName(folder + u"/fila"_s).constData(), 0666);
             QFile::link(u"fila"_s, folder + u"/nulo."_s + ext);
             return folder + u"/nulo."_s + ext;
         },
         false, "não é um arquivo comum",
         [&](const QString &target, const std::string &row) {
             EXPECT_TRUE(S_ISLNK(modeOf(target))) << row;
             EXPECT_TRUE(S_ISFIFO(modeOf(QFileInfo(target).absolutePath() + u"/fila"_s))) << row;
         }},
        {"symbolic link that leads to itself",
         [&](const QString &folder, const QString &ext) {
             QFile::link(u"laco."_s + ext, folder + u"/laco."_s + ext);
             return folder + u"/laco."_s + ext;
         },
         false, "links simbólicos demais", {}},
        {"name of 250 characters over an existing file",
         [&](const QString &folder, const QString &ext) {
             const QString path = folder + u'/' + QString(249 - ext.size(), u'v') + u'.' + ext;
             writeAll(path, old);
             return path;
         },
         true, nullptr,
         [&](const QString &target, const std::string &row) {
             EXPECT_TRUE(readAll(target).startsWith(magic(QFileInfo(target).suffix()))) << row;
         }},
        {"name longer than the file system takes (300 characters)",
         [&](const QString &folder, const QString &ext) { return folder + u'/' + QString(296, u'v') + u'.' + ext; },
         false, "longo demais", {}},
        {"folder missing",
         [&](const QString &folder, const QString &ext) { return folder + u"/nao/existe/relatorio."_s + ext; }, false,
         "não existe.", {}},
        {"a folder where the file would go",
         [&](const QString &folder, const QString &ext) {
             QDir().mkpath(folder + u"/pasta."_s + ext);
             return folder + u"/pasta."_s + ext;
         },
         false, "Já existe uma pasta com este nome.",
         [&](const QString &target, const std::string &row) { EXPECT_TRUE(QFileInfo(target).isDir()) << row; }},
    };
    int n = 0;
    for (const FileCase &c : cases) {
        ++n;
        QStringList messages; // one per format, with the file names taken out
        for (const char *format : kFormats) {
            const QString ext = QLatin1String(format);
            const std::string row = std::string(c.label) + ", " + format;
            const QString folder = scratch(u"f_%1_%2"_s.arg(ext).arg(n));
            ASSERT_TRUE(QDir().mkpath(folder));
            const QString target = c.prepare(folder, ext);
            const ReportRun run = saveAs(target);
            if (c.saved) {
                EXPECT_EQ(run.outcome, ReportRun::Outcome::Saved) << row << ": " << shown().join(u'|').toStdString();
                EXPECT_TRUE(shown().isEmpty()) << row << ": " << shown().join(u'|').toStdString();
            } else {
                EXPECT_EQ(run.outcome, ReportRun::Outcome::Failed) << row;
                ASSERT_EQ(shown().size(), 1) << row << ": " << shown().join(u'|').toStdString();
                const QString message = shown().constFirst();
                EXPECT_TRUE(message.startsWith(u"Não foi possível gravar o arquivo '%1'."_s.arg(target))) << row << ": " << message.toStdString();
                EXPECT_TRUE(message.contains(QString::fromUtf8(c.reason))) << row << ": " << message.toStdString();
                messages << general(message, target);
            }
            if (c.after)
                c.after(target, row);
            EXPECT_TRUE(temporaries(folder).isEmpty()) << row << ": " << temporaries(folder).join(u' ').toStdString();
        }
        if (!c.saved) {
            messages.removeDuplicates();
            EXPECT_EQ(messages.size(), 1) << c.label << ": the formats say different things:\n" << messages.join(u"\n--\n"_s).toStdString();
        }
    }
}

// A tmpfs of a few KiB: a disk that fills up (needs the right to mount; skipped without it).
class SmallDisk
{
public:
    explicit SmallDisk(const QString &path) : mPath(path)
    {
        QDir().mkpath(path);
        if (::mount("tmpfs", QFile::encodeName(path).constData(), "tmpfs", 0, "size=64k,mode=0755") == 0)
            mMounted = true;
    }
    ~SmallDisk()
    {
        if (mMounted)
            ::umount2(QFile::encodeName(mPath).constData(), MNT_DETACH);
    }
    SmallDisk(const SmallDisk &) = delete;
    SmallDisk &operator=(const SmallDisk &) = delete;
    bool mounted() const { return mMounted; }
    void fill() const
    {
        QFile filler(mPath + u"/enchimento"_s);
        if (filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
            const QByteArray block(512, 'x');
            while (filler.write(block) == block.size()) {
            }
        }
    }

private:
    QString mPath;
    bool mMounted = false;
};

TEST_F(UserFiles, AFullDiskGivesTheSameMessageInEveryFormat)
{
    QStringList messages;
    for (const char *format : kFormats) {
        const QString ext = QLatin1String(format);
        SmallDisk disk(scratch(u"cheio_"_s + ext));
        if (!disk.mounted())
            GTEST_SKIP() << "cannot mount a tmpfs here (needs root or CAP_SYS_ADMIN)";
        const QString target = scratch(u"cheio_%1/relatorio.%1"_s.arg(ext));
        const QByteArray old("anterior\n");
        ASSERT_TRUE(writeAll(target, old));
        disk.fill();
        const ReportRun run = saveAs(target);
        EXPECT_EQ(run.outcome, ReportRun::Outcome::Failed) << format;
        ASSERT_EQ(shown().size(), 1) << format << ": " << shown().join(u'|').toStdString();
        EXPECT_TRUE(shown().constFirst().contains(u"Não há espaço livre no disco"_s)) << format << ": " << shown().constFirst().toStdString();
        messages << general(shown().constFirst(), target);
        EXPECT_EQ(readAll(target), old) << format;
        EXPECT_TRUE(temporaries(scratch(u"cheio_"_s + ext)).isEmpty()) << format;
    }
    messages.removeDuplicates();
    EXPECT_EQ(messages.size(), 1) << messages.join(u"\n--\n"_s).toStdString();
}

// A child process that starts writing `target` and is killed before it ends: its temporary stays.
qint64 killedWriter(const QString &target)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        try {
            ReportFile file(target);
            file.append(QByteArray(1000, 'x'));
            ::raise(SIGKILL);
        } catch (...) {
        }
        ::_exit(1);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL ? pid : -1;
}

TEST_F(UserFiles, TemporariesOfAKilledExportAreRemovedByTheNextOne)
{
    for (const char *format : kFormats) {
        const QString ext = QLatin1String(format);
        const QString folder = scratch(u"morto_"_s + ext);
        ASSERT_TRUE(QDir().mkpath(folder));
        const QString target = folder + u"/relatorio."_s + ext;
        const qint64 killed = killedWriter(target);
        ASSERT_GT(killed, 0) << format;
        const QStringList left = temporaries(folder);
        ASSERT_EQ(left.size(), 1) << format << ": the killed writer left no temporary to clean";
        qint64 owner = 0;
        EXPECT_TRUE(ReportFile::isTemporaryName(left.first(), &owner));
        EXPECT_EQ(owner, killed) << format;
        // A temporary of a process that still runs (this one, and process 1) is not touched.
        const QString ours = u".relatorio.%1.%2-0000abcd.botmp"_s.arg(ext).arg(::getpid());
        const QString init = u".outro.%1.1-0000abcd.botmp"_s.arg(ext);
        ASSERT_TRUE(writeAll(folder + u'/' + ours, "em uso"));
        ASSERT_TRUE(writeAll(folder + u'/' + init, "em uso"));

        const ReportRun run = saveAs(target);
        EXPECT_EQ(run.outcome, ReportRun::Outcome::Saved) << format << ": " << shown().join(u'|').toStdString();
        QStringList expected{ours, init};
        QStringList after = temporaries(folder);
        expected.sort();
        after.sort();
        EXPECT_EQ(after, expected) << format;
        EXPECT_TRUE(readAll(target).startsWith(magic(ext))) << format;
        if (ext == u"xlsx")
            testsupport::keepWorkbook(target);
    }
}

TEST(UserFileNames, OnlyTheWritersTemporariesAreRecognised)
{
    const struct
    {
        const char *name;
        bool temporary;
        qint64 pid;
    } rows[] = {
        {".relatorio.csv.1234-0a1b2c3d.botmp", true, 1234},
        {".vvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvv.99-ffffffff.botmp", true, 99},
        {"relatorio.csv.1234-0a1b2c3d.botmp", false, 0}, // not hidden: the user's
        {".relatorio.csv.1234-0a1b2c3.botmp", false, 0}, // 7 hex digits
        {".relatorio.csv.1234-0A1B2C3D.botmp", false, 0},
        {".relatorio.csv.12a4-0a1b2c3d.botmp", false, 0},
        {".relatorio.csv.1234-0a1b2c3d.tmp", false, 0},
        {".relatorio.csv.1234-0a1b2c3d.botmp~", false, 0},
        {".relatorio.csv", false, 0},
    };
    for (const auto &row : rows) {
        qint64 pid = 0;
        EXPECT_EQ(ReportFile::isTemporaryName(QString::fromUtf8(row.name), &pid), row.temporary) << row.name;
        EXPECT_EQ(pid, row.pid) << row.name;
    }
}

} // namespace
