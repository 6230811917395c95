// Another user of the machine against the files the program writes: links planted in a shared
// folder, a watcher reading a private report while it is replaced, folders of the embedded
// Firebird engine made first by someone else; and the signals that end an export halfway. The
// other user is `nobody`: as root the test acts as that user in a child process that gives up
// root; as an ordinary user those rows cannot be staged and are skipped.

#include "errors.h"
#include "firebird.h"
#include "reliability.h"
#include "reportfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <csignal>
#include <fcntl.h>
#include <functional>
#include <grp.h>
#include <poll.h>
#include <pwd.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using reliability::readAll;
using reliability::temporaries;
using reliability::writeAll;

namespace {

const char *const kFormats[] = {"csv", "pdf", "html", "xlsx"};
const QByteArray kOld("versão anterior, só do dono\n");

QByteArray encoded(const QString &path)
{
    return QFile::encodeName(path);
}

struct stat statOf(const QString &path)
{
    struct stat st {};
    ::lstat(encoded(path).constData(), &st);
    return st;
}


// The other user: runs `work` in a child process as nobody; true when it answered true.
bool asNobody(const std::function<bool()> &work)
{
    const passwd *user = ::getpwnam("nobody");
    if (!user || ::geteuid() != 0)
        return false;
    const uid_t uid = user->pw_uid;
    const gid_t gid = user->pw_gid;
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0 || ::getuid() == 0)
            ::_exit(3);
        ::_exit(work() ? 0 : 1);
    }
    int status = 0;
    return pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool plantLink(const QString &to, const QString &at)
{
    return asNobody([&] { return ::symlink(encoded(to).constData(), encoded(at).constData()) == 0; });
}

uid_t nobodyUid()
{
    const passwd *user = ::getpwnam("nobody");
    return user ? user->pw_uid : uid_t(-1);
}

// A folder others can enter, with a sticky world-writable "publica" (as /tmp) and a folder of
// nobody's own ("dele").
class SharedFolders
{
public:
    SharedFolders()
    {
        ::chmod(encoded(mDir.path()).constData(), 0755);
        QDir().mkpath(publica());
        ::chmod(encoded(publica()).constData(), 01777);
        QDir().mkpath(dele());
        if (::chown(encoded(dele()).constData(), nobodyUid(), gid_t(-1)) != 0) {
            // Only root can give it away; the rows that need it are skipped for others.
        }
    }
    QString publica() const { return mDir.filePath(u"publica"_s); }
    QString dele() const { return mDir.filePath(u"dele"_s); }
    QString path(const QString &name) const { return mDir.filePath(name); }

private:
    QTemporaryDir mDir;
};

class HostileUsers : public reliability::ScreenTest
{
protected:
    void SetUp() override
    {
        ScreenTest::SetUp();
        if (::geteuid() != 0)
            GTEST_SKIP() << "acting as another user needs root (run as root, as CI does)";
    }
    // The file the other user is after: this user's, 0600, in a folder only this user enters.
    QString victim(const QString &name)
    {
        const QString path = scratch(name);
        writeAll(path, kOld);
        ::chmod(encoded(path).constData(), 0600);
        return path;
    }
    SharedFolders mShared;
};

struct LinkCase
{
    const char *label;
    // Stages the place for `ext`; answers the target the export is told to write.
    std::function<QString(const QString &ext, const QString &victim)> prepare;
    bool written;
};

TEST_F(HostileUsers, ALinkOfAnotherUserIsNeverFollowed)
{
    const LinkCase cases[] = {
        {"link of another user in a sticky folder (as /tmp)",
         [&](const QString &ext, const QString &victim) {
             const QString at = mShared.publica() + u"/vendas."_s + ext;
             EXPECT_TRUE(plantLink(victim, at));
             return at;
         },
         false},
        {"link of another user in a folder of that user's",
         [&](const QString &ext, const QString &victim) {
             const QString at = mShared.dele() + u"/vendas."_s + ext;
             EXPECT_TRUE(plantLink(victim, at));
             return at;
         },
         false},
        {"link of this user to a link of another user",
         [&](const QString &ext, const QString &victim) {
             EXPECT_TRUE(plantLink(victim, mShared.publica() + u"/ponte."_s + ext));
             const QString at = mShared.publica() + u"/meu."_s + ext;
             QFile::link(u"ponte."_s + ext, at);
             return at;
         },
         false},
        {"a folder on the way is a link of another user",
         [&](const QString &ext, const QString &victim) {
             const QString link = mShared.publica() + u"/pasta_"_s + ext;
             EXPECT_TRUE(plantLink(QFileInfo(victim).absolutePath(), link));
             return link + u'/' + QFileInfo(victim).fileName();
         },
         false},
        {"link of this user in the sticky folder (followed)",
         [&](const QString &ext, const QString &victim) {
             const QString at = mShared.publica() + u"/proprio."_s + ext;
             QFile::link(victim, at);
             return at;
         },
         true},
    };
    int n = 0;
    for (const LinkCase &c : cases) {
        ++n;
        for (const char *format : kFormats) {
            const QString ext = QLatin1String(format);
            const std::string row = std::string(c.label) + ", " + format;
            const QString victim = this->victim(u"alvo_%1_%2.%3"_s.arg(n).arg(ext, ext));
            const struct stat before = statOf(victim);
            const QString target = c.prepare(ext, victim);
            const ReportRun run = saveAs(target);
            if (c.written) {
                EXPECT_EQ(run.outcome, ReportRun::Outcome::Saved) << row << ": " << shown().join(u'|').toStdString();
                EXPECT_NE(readAll(victim), kOld) << row;
                continue;
            }
            EXPECT_EQ(run.outcome, ReportRun::Outcome::Failed) << row;
            ASSERT_EQ(shown().size(), 1) << row << ": " << shown().join(u'|').toStdString();
            EXPECT_TRUE(shown().constFirst().startsWith(u"Não foi possível gravar o arquivo '%1'."_s.arg(target)))
                << row << ": " << shown().constFirst().toStdString();
            EXPECT_TRUE(shown().constFirst().contains(u"link simbólico de outro usuário"_s))
                << row << ": " << shown().constFirst().toStdString();
            EXPECT_EQ(readAll(victim), kOld) << row;
            const struct stat after = statOf(victim);
            EXPECT_EQ(after.st_ino, before.st_ino) << row << ": the file was replaced";
            EXPECT_EQ(after.st_mode, before.st_mode) << row;
            EXPECT_TRUE(S_ISLNK(statOf(QFileInfo(target).absolutePath()).st_mode) ||
                        S_ISLNK(statOf(target).st_mode))
                << row << ": the planted link is gone";
            EXPECT_TRUE(temporaries(QFileInfo(victim).absolutePath()).isEmpty()) << row;
        }
    }
}

TEST_F(HostileUsers, APrivateReportIsNeverReadableByAnotherUserWhileReplaced)
{
    const QString folder = mShared.path(u"relatorios"_s);
    ASSERT_TRUE(QDir().mkpath(folder));
    ::chmod(encoded(folder).constData(), 0755);
    const QString target = folder + u"/privado.csv"_s;
    ASSERT_TRUE(writeAll(target, kOld));
    ::chmod(encoded(target).constData(), 0600);

    // The watcher, as nobody: opens every temporary the moment it appears, until "fim" does.
    int ready[2], counts[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(counts), 0);
    const passwd *user = ::getpwnam("nobody");
    ASSERT_NE(user, nullptr);
    const QByteArray folderName = encoded(folder) + '/';
    const pid_t watcher = ::fork();
    if (watcher == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(user->pw_gid) != 0 || ::setuid(user->pw_uid) != 0)
            ::_exit(3);
        const int watch = ::inotify_init1(IN_CLOEXEC);
        if (watch < 0 || ::inotify_add_watch(watch, folderName.constData(), IN_CREATE) < 0)
            ::_exit(4);
        if (::write(ready[1], "r", 1) != 1)
            ::_exit(5);
        int seen[2] = {0, 0}; // temporaries seen, and read
        alignas(inotify_event) char events[64 * 1024];
        for (bool done = false; !done;) {
            const ssize_t n = ::read(watch, events, sizeof events);
            for (ssize_t at = 0; n > 0 && at < n;) {
                const auto *event = reinterpret_cast<const inotify_event *>(events + at);
                at += ssize_t(sizeof(inotify_event) + event->len);
                const QByteArray name(event->len ? event->name : "");
                if (name == "fim") {
                    done = true;
                } else if (name.endsWith(".botmp")) {
                    ++seen[0];
                    const int fd = ::open((folderName + name).constData(), O_RDONLY);
                    if (fd >= 0) {
                        ++seen[1];
                        ::close(fd);
                    }
                }
            }
            done = done || n <= 0;
        }
        ::_exit(::write(counts[1], seen, sizeof seen) == sizeof seen ? 0 : 6);
    }
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    constexpr int kReplacements = 200;
    for (int i = 0; i < kReplacements; ++i) {
        ReportFile file(target);
        file.append(QByteArray("relatório novo ") + QByteArray::number(i) + '\n');
        file.commit();
    }
    ASSERT_TRUE(writeAll(folder + u"/fim"_s, "fim"));
    int seen[2] = {-1, -1};
    ASSERT_EQ(::read(counts[0], seen, sizeof seen), ssize_t(sizeof seen));
    int status = 0;
    ::waitpid(watcher, &status, 0);
    for (const int fd : {ready[0], ready[1], counts[0], counts[1]})
        ::close(fd);
    EXPECT_GT(seen[0], 0) << "the watcher saw no temporary: it proves nothing";
    EXPECT_EQ(seen[1], 0) << "another user read " << seen[1] << " of " << seen[0] << " temporaries";
    EXPECT_EQ(statOf(target).st_mode & 0777, mode_t(0600));
    EXPECT_EQ(readAll(target), QByteArray("relatório novo 199\n"));
}

// The export killed halfway by a signal, in a child process: its temporary goes with it.
TEST(SignalsDuringAnExport, TheTemporaryIsRemovedAndTheOldFileKept)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const struct
    {
        const char *label;
        int signal;
        bool ignoredBefore; // as under nohup: the signal stays ignored and the export goes on
        bool firebird;      // libfbclient started after the session, putting its handler in front
    } rows[] = {
        {"SIGTERM (kill, systemd, cron's end)", SIGTERM, false, false},
        {"SIGHUP (the terminal closed)", SIGHUP, false, false},
        {"SIGINT (Ctrl+C)", SIGINT, false, false},
        {"SIGHUP under nohup", SIGHUP, true, false},
        {"SIGTERM with the Firebird client in front", SIGTERM, false, true},
        {"SIGINT with the Firebird client in front", SIGINT, false, true},
    };
    for (const auto &row : rows) {
        const QString target = dir.filePath(u"relatorio.csv"_s);
        ASSERT_TRUE(writeAll(target, kOld));
        int ready[2];
        ASSERT_EQ(::pipe(ready), 0);
        const pid_t pid = ::fork();
        if (pid == 0) {
            if (row.ignoredBefore)
                ::signal(row.signal, SIG_IGN);
            try {
                if (row.firebird) // the client's handler goes in, as when an export opens its database
                    createFirebirdDatabase(dir.filePath(u"sinal%1.fdb"_s).arg(row.signal));
                ReportFile file(target);
                file.append(QByteArray(1 << 20, 'x')); // written, not only buffered
                if (::write(ready[1], "r", 1) != 1)
                    ::_exit(5);
                for (;;)
                    ::pause();
            } catch (...) {
            }
            ::_exit(1);
        }
        ::close(ready[1]); // a writer that fails ends the wait at once
        pollfd wait{ready[0], POLLIN, 0};
        char byte = 0;
        const bool started = ::poll(&wait, 1, 30000) == 1 && ::read(ready[0], &byte, 1) == 1;
        if (!started)
            ::kill(pid, SIGKILL);
        ASSERT_TRUE(started) << row.label << ": the writer did not start";
        ::close(ready[0]);
        EXPECT_EQ(temporaries(dir.path()).size(), 1) << row.label << ": no temporary while writing";
        ::kill(pid, row.signal);
        // Three seconds to end; a writer still there after them is ended here.
        int status = 0;
        bool ended = false;
        for (int tries = 0; tries < 30 && !ended; ++tries) {
            ended = ::waitpid(pid, &status, WNOHANG) == pid;
            if (!ended)
                ::usleep(100 * 1000);
        }
        if (!ended) {
            EXPECT_TRUE(temporaries(dir.path()).size() == 1 || !row.ignoredBefore) << row.label;
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            ReportFile::removeStaleTemporaries(dir.path());
        }
        if (row.ignoredBefore) {
            EXPECT_FALSE(ended) << row.label << ": the ignored signal ended the export";
            continue;
        }
        ASSERT_TRUE(ended) << row.label << ": still running 3 s after the signal";
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == row.signal)
            << row.label << ": the process did not end by its signal (status " << status << ")";
        EXPECT_TRUE(temporaries(dir.path()).isEmpty()) << row.label << ": " << temporaries(dir.path()).join(u' ').toStdString();
        EXPECT_EQ(readAll(target), kOld) << row.label;
    }
}

// The screen script's screenshot step writes through the same path as a report.
TEST(ScreenshotStep, WritesOnlyAnImageAndNeverOverAKeptFile)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString database = dir.filePath(u"loja.sqlite"_s);
    ASSERT_NO_THROW(reliability::createDatabase(database));
    const struct
    {
        const char *label;
        const char *name;
        mode_t mode; // of the file there before; 0: none
        const char *refusal; // null: written
    } rows[] = {
        {"existing file nobody may write (0444)", "tela.png", 0444, "somente leitura"},
        {"existing file with a name that is not an image's", "notas.txt", 0644, "não é um formato de imagem"},
        {"name without an extension", "tela", 0644, "não é um formato de imagem"},
        {"new image", "nova.png", 0, nullptr},
        {"existing image 0600 is replaced and stays 0600", "privada.png", 0600, nullptr},
    };
    for (const auto &row : rows) {
        const QString path = dir.filePath(QString::fromUtf8(row.name));
        if (row.mode) {
            ASSERT_TRUE(writeAll(path, kOld));
            ::chmod(encoded(path).constData(), row.mode);
        }
        QString error;
        try {
            testsupport::runScript(QJsonArray{QJsonObject{{u"screenshot"_s, path}}}, 
                                    QJsonObject{{u"database"_s, QJsonObject{{u"driver"_s, u"QSQLITE"_s}, {u"name"_s, database}}}});
        } catch (const EHostError &e) {
            error = e.message();
        }
        if (row.refusal) {
            EXPECT_TRUE(error.contains(QString::fromUtf8(row.refusal))) << row.label << ": " << error.toStdString();
            EXPECT_EQ(readAll(path), kOld) << row.label;
            EXPECT_EQ(statOf(path).st_mode & 0777, row.mode) << row.label;
        } else {
            EXPECT_TRUE(error.isEmpty()) << row.label << ": " << error.toStdString();
            EXPECT_TRUE(readAll(path).startsWith("\x89PNG")) << row.label;
            if (row.mode) {
                EXPECT_EQ(statOf(path).st_mode & 0777, row.mode) << row.label;
            }
        }
        EXPECT_TRUE(temporaries(dir.path()).isEmpty()) << row.label;
    }
}

// The embedded engine's lock and configuration folders, in a temporary folder others write to.
class FirebirdFolders : public testing::Test
{
protected:
    void SetUp() override
    {
        mTmp = qgetenv("TMPDIR");
        mRuntime = qgetenv("XDG_RUNTIME_DIR");
        qputenv("TMPDIR", encoded(mShared.publica()));
    }
    void TearDown() override
    {
        for (const auto &[name, value] : {std::pair{"TMPDIR", mTmp}, std::pair{"XDG_RUNTIME_DIR", mRuntime}}) {
            if (value.isEmpty())
                qunsetenv(name);
            else
                qputenv(name, value);
        }
    }
    SharedFolders mShared;
    QByteArray mTmp, mRuntime;
};

TEST_F(FirebirdFolders, AreThisUsersOwnAndNeverAPlantedName)
{
    const QString uid = QString::number(::geteuid());
    const QString runtime = mShared.path(u"runtime"_s);
    const struct
    {
        const char *label;
        bool needsAnotherUser;
        std::function<void()> stage;
        bool underRuntime; // the folder is $XDG_RUNTIME_DIR/bo-firebird-<purpose>
    } rows[] = {
        {"no runtime folder, another user's link at the old fixed names", true,
         [&] {
             qunsetenv("XDG_RUNTIME_DIR");
             for (const char *purpose : {"lock", "conf"})
                 EXPECT_TRUE(plantLink(mShared.path(u"segredo"_s),
                                       mShared.publica() + u"/bo-firebird-%1-%2"_s.arg(uid, QLatin1String(purpose))));
         },
         false},
        {"no runtime folder, another user's open folders at the old fixed names", true,
         [&] {
             qunsetenv("XDG_RUNTIME_DIR");
             for (const char *purpose : {"lock", "conf"}) {
                 const QString at = mShared.publica() + u"/bo-firebird-%1-%2"_s.arg(uid, QLatin1String(purpose));
                 QDir(at).removeRecursively();
                 QFile::remove(at);
                 EXPECT_TRUE(asNobody([&] { return ::mkdir(encoded(at).constData(), 0777) == 0; }));
             }
         },
         false},
        {"runtime folder of this user, 0700", false,
         [&] {
             QDir().mkpath(runtime);
             ::chmod(encoded(runtime).constData(), 0700);
             qputenv("XDG_RUNTIME_DIR", encoded(runtime));
         },
         true},
        {"runtime folder open to others (0755)", false,
         [&] {
             QDir(runtime).removeRecursively();
             QDir().mkpath(runtime);
             ::chmod(encoded(runtime).constData(), 0755);
             qputenv("XDG_RUNTIME_DIR", encoded(runtime));
         },
         false},
        {"a link in the runtime folder at the folder's name", false,
         [&] {
             QDir(runtime).removeRecursively();
             QDir().mkpath(runtime);
             ::chmod(encoded(runtime).constData(), 0700);
             for (const char *purpose : {"lock", "conf"})
                 QFile::link(mShared.publica(), runtime + u"/bo-firebird-"_s + QLatin1String(purpose));
             qputenv("XDG_RUNTIME_DIR", encoded(runtime));
         },
         false},
        {"runtime folder of another user", true,
         [&] {
             QDir(runtime).removeRecursively();
             QDir().mkpath(runtime);
             ::chmod(encoded(runtime).constData(), 0700);
             EXPECT_EQ(::chown(encoded(runtime).constData(), nobodyUid(), gid_t(-1)), 0);
             qputenv("XDG_RUNTIME_DIR", encoded(runtime));
         },
         false},
    };
    ASSERT_TRUE(writeAll(mShared.path(u"segredo"_s), kOld));
    ::chmod(encoded(mShared.path(u"segredo"_s)).constData(), 0600);
    int tried = 0;
    for (const auto &row : rows) {
        if (row.needsAnotherUser && ::geteuid() != 0)
            continue; // staged only as root
        ++tried;
        row.stage();
        for (const char *purpose : {"lock", "conf"}) {
            const std::string label = std::string(row.label) + ", " + purpose;
            const QString folder = firebirdPrivateFolder(QLatin1String(purpose));
            ASSERT_FALSE(folder.isEmpty()) << label;
            const struct stat st = statOf(folder);
            EXPECT_TRUE(S_ISDIR(st.st_mode)) << label << ": " << folder.toStdString();
            EXPECT_EQ(st.st_uid, ::geteuid()) << label;
            EXPECT_EQ(st.st_mode & 077, mode_t(0)) << label << ": open to others";
            const QString fixed = u"bo-firebird-%1-%2"_s.arg(uid, QLatin1String(purpose));
            EXPECT_NE(QFileInfo(folder).fileName(), fixed) << label;
            if (row.underRuntime)
                EXPECT_EQ(folder, runtime + u"/bo-firebird-"_s + QLatin1String(purpose)) << label;
            else
                EXPECT_TRUE(folder.startsWith(mShared.publica() + u"/bo-firebird-"_s)) << label << ": " << folder.toStdString();
            // The engine writes there: a file made in it lands in that folder only.
            EXPECT_TRUE(writeAll(folder + u"/fb_lock_test"_s, "x")) << label;
        }
        EXPECT_EQ(readAll(mShared.path(u"segredo"_s)), kOld) << row.label;
    }
    EXPECT_GE(tried, 3);
}

TEST_F(FirebirdFolders, OnlyTheFoldersOfProcessesGoneAreRemoved)
{
    const pid_t gone = ::fork();
    if (gone == 0)
        ::_exit(0);
    ::waitpid(gone, nullptr, 0);
    const QString start = mShared.publica() + u"/bo-firebird-%1-lock-"_s.arg(::geteuid());
    const QString ofGone = start + u"%1-abcdef"_s.arg(gone), ofInit = start + u"1-abcdef"_s;
    const QString link = start + u"%1-fedcba"_s.arg(gone);
    for (const QString &folder : {ofGone, ofInit}) {
        ASSERT_TRUE(QDir().mkpath(folder + u"/dentro"_s));
        ::chmod(encoded(folder).constData(), 0700);
    }
    ASSERT_TRUE(QFile::link(mShared.path(u"alvo"_s), link));
    ASSERT_TRUE(QDir().mkpath(mShared.path(u"alvo/dentro"_s)));
    qunsetenv("XDG_RUNTIME_DIR");
    const QString made = firebirdPrivateFolder(u"lock"_s);
    EXPECT_TRUE(made.startsWith(start + QString::number(::getpid()) + u'-')) << made.toStdString();
    EXPECT_FALSE(QFileInfo::exists(ofGone)) << "the folder of a process that is gone stays";
    EXPECT_TRUE(QFileInfo::exists(ofInit + u"/dentro"_s)) << "the folder of a running process was removed";
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_TRUE(QFileInfo::exists(mShared.path(u"alvo/dentro"_s)));
}

} // namespace
