// Faults around the screen: the database file missing, read-only, locked, corrupted; Firebird out
// of reach; the connection lost between two lookups; report definitions missing, unreadable or
// malformed; exports and definition saves that cannot be written; the application server out of
// reach. Each ends in a clear message, the screen stays usable, and no file the user had changes.

#include "corvel.h"
#include "errors.h"
#include "eventboundary.h"
#include "reliability.h"
#include "reportdefinition.h"
#include "reportdesignerwindow.h"
#include "reportengine.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QSqlError>
#include <QSqlQuery>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QUuid>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>
#include <sys/mount.h>
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

using reliability::readAll;
using reliability::ScreenTest;
using reliability::writeAll;

// A small tmpfs of its own: "disk full" and "read-only file system" for real, even as root.
class TinyDisk
{
public:
    TinyDisk(const QString &path, int kib) : mPath(path)
    {
        QDir().mkpath(path);
        const QByteArray options = "size=" + QByteArray::number(kib) + "k,mode=0755";
        if (::mount("tmpfs", QFile::encodeName(path).constData(), "tmpfs", 0, options.constData()) == 0)
            mMounted = true;
        else
            mReason = QString::fromLocal8Bit(std::strerror(errno));
    }
    ~TinyDisk()
    {
        if (mMounted)
            ::umount2(QFile::encodeName(mPath).constData(), MNT_DETACH);
    }
    TinyDisk(const TinyDisk &) = delete;
    TinyDisk &operator=(const TinyDisk &) = delete;

    bool mounted() const { return mMounted; }
    std::string reason() const { return "cannot mount a tmpfs here (" + mReason.toStdString() + ")"; }
    QString path(const QString &name) const { return QDir(mPath).filePath(name); }

    bool makeReadOnly()
    {
        return ::mount(nullptr, QFile::encodeName(mPath).constData(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0;
    }
    // Writes a filler file until the disk refuses more.
    void fill()
    {
        QFile filler(path(u"enchimento"_s));
        if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            return;
        const QByteArray block(512, 'x');
        while (filler.write(block) == block.size()) {
        }
    }
    QStringList entries() const
    {
        return QDir(mPath).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    }

private:
    QString mPath;
    bool mMounted = false;
    QString mReason;
};

// A port on this machine on which nobody listens (taken and given back).
quint16 closedPort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    const quint16 port = server.serverPort();
    server.close();
    return port;
}

class Faults : public ScreenTest
{
protected:
    // Types a branch code and leaves the field: the branch lookup runs on the shared connection.
    void lookUp(const QString &code)
    {
        focus(f->edtFilial);
        f->edtFilial->setText(code);
        ui.clear();
        focus(f->depDtHrIni);
    }
    // The screen still works: a known branch is found and a report action runs to its end.
    void expectUsable(const std::string &row)
    {
        lookUp(u"0002"_s);
        EXPECT_TRUE(shown().isEmpty()) << row << ": " << shown().join(u'|').toStdString();
        EXPECT_EQ(f->edtNmFilial->text(), u"Centro"_s) << row;
        fillValid(0);
        ReportRun last;
        const QMetaObject::Connection c =
            QObject::connect(&ReportEngine::instance(), &ReportEngine::finished, [&last](const ReportRun &run) { last = run; });
        click(Action::Preview);
        QObject::disconnect(c);
        EXPECT_EQ(last.outcome, ReportRun::Outcome::Previewed) << row << ": " << shown().join(u'|').toStdString();
        EXPECT_EQ(last.rows, reliability::kBranches) << row;
    }
};

// ---------------------------------------------------------------------------------------------
// The database file

struct FileFault
{
    const char *label;
    // Damages the database file (or its place) before the host opens it; answers the bytes that
    // must still be there afterwards (empty: nothing to compare).
    std::function<QByteArray(const QString &path)> damage;
    bool opens;              // the shared connection opens (SQLite opens files lazily)
    const char *lookupError; // in the message the first lookup gives
};

TEST_F(Faults, DatabaseFileMissingCorruptedOrAFolder)
{
    const FileFault cases[] = {
        {"file missing", [](const QString &path) { QFile::remove(path); return QByteArray(); }, false, "não está aberta"},
        {"path is a folder",
         [](const QString &path) {
             QFile::remove(path);
             QDir().mkpath(path);
             return QByteArray();
         },
         false, "A conexão com o banco de dados não está aberta."},
        {"garbage bytes",
         [](const QString &path) {
             QByteArray garbage(8192, '\0');
             for (int i = 0; i < garbage.size(); ++i)
                 garbage[i] = char((i * 7919 + 13) & 0xFF);
             writeAll(path, garbage);
             return garbage;
         },
         true, "file is not a database"},
        {"truncated to half",
         [](const QString &path) {
             QByteArray bytes = readAll(path);
             bytes.truncate(bytes.size() / 2);
             writeAll(path, bytes);
             return bytes;
         },
         true, "malformed"},
        {"header kept, pages overwritten",
         [](const QString &path) {
             QByteArray bytes = readAll(path);
             for (qsizetype i = 100; i < bytes.size(); ++i)
                 bytes[i] = char(0xA5);
             writeAll(path, bytes);
             return bytes;
         },
         true, "malformed"},
    };
    for (const FileFault &c : cases) {
        destroyScreen();
        TdtmDBGeral::close();
        const QString path = scratch(u"falha_"_s + QUuid::createUuid().toString(QUuid::WithoutBraces) + u".sqlite"_s);
        reliability::createDatabase(path);
        const QByteArray kept = c.damage(path);
        QString openError;
        try {
            TdtmDBGeral::open(reliability::databaseConfig(u"QSQLITE"_s, path));
        } catch (const EHostError &e) {
            openError = e.message();
        }
        EXPECT_EQ(openError.isEmpty(), c.opens) << c.label << ": " << openError.toStdString();
        if (!c.opens) {
            EXPECT_TRUE(openError.startsWith(u"Não foi possível conectar ao banco de dados"_s)) << c.label;
        }
        if (kept.isEmpty() && !QFileInfo(path).isDir()) {
            EXPECT_FALSE(QFileInfo::exists(path)) << c.label << ": opening must not leave an empty database behind";
        }
        createScreen();
        ASSERT_FALSE(f.isNull()) << c.label;
        lookUp(u"0002"_s);
        ASSERT_EQ(shown().size(), 1) << c.label << ": " << shown().join(u'|').toStdString();
        EXPECT_TRUE(shown().constFirst().contains(QString::fromUtf8(c.lookupError))) << c.label << ": " << shown().constFirst().toStdString();
        EXPECT_EQ(focusName(), u"edtFilial"_s) << c.label;
        EXPECT_TRUE(f->edtNmFilial->text().isEmpty()) << c.label;
        // A report action reports the fault too, and nothing runs.
        fillValid(0);
        click(Action::Preview);
        EXPECT_FALSE(shown().isEmpty()) << c.label;
        if (!kept.isEmpty()) {
            EXPECT_EQ(readAll(path), kept) << c.label << ": the damaged file was changed";
        }
        // Usable again once the database is back.
        TdtmDBGeral::close();
        openDatabase();
        expectUsable(c.label);
    }
}

TEST_F(Faults, DatabaseOnAReadOnlyFileSystemIsReadAndLeftAlone)
{
    destroyScreen();
    TdtmDBGeral::close();
    TinyDisk disk(scratch(u"somente_leitura"_s), 1024);
    if (!disk.mounted())
        GTEST_SKIP() << disk.reason();
    const QString path = disk.path(u"loja.sqlite"_s);
    ASSERT_TRUE(QFile::copy(databasePath(), path));
    ASSERT_TRUE(disk.makeReadOnly()) << std::strerror(errno);
    const QByteArray before = readAll(path);
    ASSERT_NO_THROW(TdtmDBGeral::open(reliability::databaseConfig(u"QSQLITE"_s, path)));
    createScreen();
    lookUp(u"0002"_s);
    EXPECT_TRUE(shown().isEmpty()) << shown().join(u'|').toStdString();
    EXPECT_EQ(f->edtNmFilial->text(), u"Centro"_s);
    fillValid(0);
    ReportRun last;
    QObject::connect(&ReportEngine::instance(), &ReportEngine::finished, f.data(), [&last](const ReportRun &run) { last = run; });
    click(Action::Preview);
    EXPECT_EQ(last.outcome, ReportRun::Outcome::Previewed) << shown().join(u'|').toStdString();
    EXPECT_EQ(last.rows, reliability::kBranches);
    destroyScreen();
    TdtmDBGeral::close();
    EXPECT_EQ(readAll(path), before);
    EXPECT_EQ(disk.entries(), QStringList{u"loja.sqlite"_s}) << "a journal or other file was left";
}

TEST_F(Faults, DatabaseLockedByAnotherWriter)
{
    const QByteArray before = readAll(databasePath());
    const QString other = u"outro_"_s + QUuid::createUuid().toString(QUuid::WithoutBraces);
    {
        QSqlDatabase writer = QSqlDatabase::addDatabase(u"QSQLITE"_s, other);
        writer.setDatabaseName(databasePath());
        ASSERT_TRUE(writer.open());
        QSqlQuery q(writer);
        ASSERT_TRUE(q.exec(u"BEGIN EXCLUSIVE"_s)) << q.lastError().text().toStdString();
        ASSERT_TRUE(q.exec(u"UPDATE FILIAL SET NMFILIAL = 'Alterado' WHERE CDFILIAL = '0002'"_s));

        QElapsedTimer timer;
        timer.start();
        lookUp(u"0002"_s);
        EXPECT_LT(timer.elapsed(), 5000) << "the lookup waited for the lock far longer than the busy timeout";
        ASSERT_EQ(shown().size(), 1) << shown().join(u'|').toStdString();
        EXPECT_TRUE(shown().constFirst().contains(u"locked"_s)) << shown().constFirst().toStdString();
        EXPECT_EQ(focusName(), u"edtFilial"_s);
        EXPECT_TRUE(f->edtNmFilial->text().isEmpty());

        // A report action meanwhile: its branch check meets the same lock and says so.
        fillValid(0);
        click(Action::Preview);
        ASSERT_EQ(shown().size(), 1) << shown().join(u'|').toStdString();
        EXPECT_TRUE(shown().constFirst().contains(u"locked"_s)) << shown().constFirst().toStdString();

        ASSERT_TRUE(q.exec(u"ROLLBACK"_s));
        writer.close();
    }
    QSqlDatabase::removeDatabase(other);
    EXPECT_EQ(readAll(databasePath()), before);
    expectUsable("after the writer let go");
}

TEST_F(Faults, FirebirdServerOutOfReach)
{
    destroyScreen();
    TdtmDBGeral::close();
    struct Case
    {
        const char *label;
        QString name;
    };
    const Case cases[] = {
        {"closed port on this machine", u"127.0.0.1/%1:/nada/loja.fdb"_s.arg(closedPort())},
        {"port given in the host part", u"localhost/%1:loja"_s.arg(closedPort())},
    };
    for (const Case &c : cases) {
        DatabaseConfig config = reliability::databaseConfig(u"QIBASE"_s, c.name);
        config.password = u"Segredo-Firebird-42"_s;
        QElapsedTimer timer;
        timer.start();
        QString message;
        try {
            TdtmDBGeral::open(config);
        } catch (const EHostError &e) {
            message = e.message();
        }
        EXPECT_LT(timer.elapsed(), 20000) << c.label;
        EXPECT_TRUE(message.startsWith(u"Não foi possível conectar ao banco de dados"_s)) << c.label << ": " << message.toStdString();
        EXPECT_FALSE(message.contains(config.password)) << c.label;
        EXPECT_FALSE(TdtmDBGeral::isOpen()) << c.label;
        createScreen();
        lookUp(u"0002"_s);
        EXPECT_EQ(shown(), QStringList{u"A conexão com o banco de dados não está aberta."_s}) << c.label;
        EXPECT_EQ(focusName(), u"edtFilial"_s) << c.label;
        destroyScreen();
    }
    openDatabase();
    createScreen();
    expectUsable("SQLite after Firebird");
}

TEST_F(Faults, ConnectionLostBetweenTwoLookups)
{
    lookUp(u"0002"_s);
    ASSERT_EQ(f->edtNmFilial->text(), u"Centro"_s);
    TdtmDBGeral::close();

    struct Step
    {
        const char *label;
        std::function<void()> act;
        QString expected; // the one message shown
        QString focus;
    };
    const Step steps[] = {
        {"branch lookup", [this] { lookUp(u"0001"_s); }, u"A conexão com o banco de dados não está aberta."_s, u"edtFilial"_s},
        {"product lookup",
         [this] {
             fillValid(5);
             {
                 ExitGuard quiet; // only the exit from the product code is under test
                 focus(f->medDe);
             }
             f->medDe->SetText(u"0101002"_s);
             ui.clear();
             focus(f->edtFilial);
         },
         u"A conexão com o banco de dados não está aberta."_s, u"medDe"_s},
        {"store list",
         [this] {
             fillValid(0);
             f->rbtListaLoja->click();
             ui.clear();
             f->btnLoja->click();
         },
         u"A conexão com o banco de dados não está aberta."_s, {}},
        {"report action",
         [this] {
             fillValid(0);
             click(Action::Preview);
         },
         u"A conexão com o banco de dados não está aberta."_s, {}},
    };
    for (const Step &s : steps) {
        s.act();
        ASSERT_EQ(shown().size(), 1) << s.label << ": " << shown().join(u'|').toStdString();
        EXPECT_TRUE(shown().constFirst().contains(s.expected)) << s.label << ": " << shown().constFirst().toStdString();
        if (!s.focus.isEmpty()) {
            EXPECT_EQ(focusName(), s.focus) << s.label;
        }
    }
    f->rbtTodasLoja->click();
    // The screen answers while the connection is gone: radio pairs, report choice.
    f->rbtListaCaixa->click();
    EXPECT_TRUE(f->btnCaixa->isEnabled());
    f->rbtTodosCaixa->click();
    openDatabase();
    expectUsable("reopened");
}

// ---------------------------------------------------------------------------------------------
// Report definition files

TEST_F(Faults, ReportDefinitionMissingMalformedOrEmpty)
{
    struct Case
    {
        const char *label;
        std::function<void(const QString &path)> damage;
        QString message; // exact, or a part of it when `part` is set
        bool part;
    };
    const QString folder = QDir::toNativeSeparators(reportsFolder());
    const Case cases[] = {
        {"missing", [](const QString &path) { QFile::remove(path); },
         u"O arquivo contendo a definição do relatório de código 'Vnd025' não foi encontrado no diretório '%1'."_s.arg(folder),
         false},
        {"malformed JSON", [](const QString &path) { writeAll(path, "{ \"title\": \"Vendas\", \"sql\": "); }, u"não é uma definição válida"_s, true},
        {"empty file", [](const QString &path) { writeAll(path, QByteArray()); }, u"não é uma definição válida"_s, true},
        {"an array, not an object", [](const QString &path) { writeAll(path, "[1, 2, 3]"); }, u"não é uma definição válida"_s, true},
        {"binary garbage", [](const QString &path) { writeAll(path, QByteArray("\x00\xFF\xFE\x01garbage", 12)); }, u"não é uma definição válida"_s, true},
        {"no SQL at all", [](const QString &path) { writeAll(path, "{\"title\": \"Vendas por Dia\", \"params\": []}"); }, u"não tem SQL"_s, true},
        {"a folder in its place",
         [](const QString &path) {
             QFile::remove(path);
             QDir().mkpath(path);
         },
         u"Não foi possível ler"_s, true},
    };
    for (const Case &c : cases) {
        for (const Action action : {Action::Preview, Action::Print, Action::SaveAs, Action::Edit}) {
            const std::string row = std::string(c.label) + " / action " + std::to_string(int(action));
            const QString path = reportPath(0);
            const QByteArray good = readAll(path);
            c.damage(path);
            const QByteArray damaged = readAll(path);
            fillValid(0);
            if (action == Action::SaveAs || action == Action::Print)
                ui.answerFile(scratch(u"nao_deve_existir.csv"_s));
            click(action);
            ASSERT_EQ(shown().size(), 1) << row << ": " << shown().join(u'|').toStdString();
            if (c.part)
                EXPECT_TRUE(shown().constFirst().contains(c.message)) << row << ": " << shown().constFirst().toStdString();
            else
                EXPECT_EQ(shown().constFirst(), c.message) << row;
            EXPECT_EQ(readAll(path), damaged) << row << ": the definition file was changed";
            EXPECT_FALSE(QFileInfo::exists(scratch(u"nao_deve_existir.csv"_s))) << row;
            // Put the good file back: the same action now runs.
            QDir(path).removeRecursively();
            ASSERT_TRUE(writeAll(path, good));
        }
    }
    expectUsable("definitions restored");
}

// Root reads a file of mode 000 through two capabilities; this thread, where the screen reads its
// definitions, gives them up from its effective set while the test runs (they stay permitted, so
// they come back).
class WithoutReadOverride
{
public:
    WithoutReadOverride()
    {
        if (::syscall(SYS_capget, &mHeader, mSaved) != 0)
            return;
        __user_cap_data_struct reduced[2] = {mSaved[0], mSaved[1]};
        reduced[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
        mReduced = ::syscall(SYS_capset, &mHeader, reduced) == 0;
    }
    ~WithoutReadOverride()
    {
        if (mReduced)
            ::syscall(SYS_capset, &mHeader, mSaved);
    }
    bool reduced() const { return mReduced; }

private:
    __user_cap_header_struct mHeader{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct mSaved[2] = {};
    bool mReduced = false;
};

TEST_F(Faults, ReportDefinitionUnreadable)
{
    const QString path = reportPath(0);
    const QByteArray before = readAll(path);
    ASSERT_TRUE(QFile::setPermissions(path, QFileDevice::Permissions()));
    {
        const WithoutReadOverride unprivileged;
        ASSERT_TRUE(geteuid() != 0 || unprivileged.reduced());
        ASSERT_FALSE(QFile(path).open(QIODevice::ReadOnly));
        fillValid(0);
        click(Action::Preview);
    }
    ASSERT_EQ(shown().size(), 1) << shown().join(u'|').toStdString();
    EXPECT_TRUE(shown().constFirst().contains(u"Não foi possível ler"_s)) << shown().constFirst().toStdString();
    ASSERT_TRUE(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    EXPECT_EQ(readAll(path), before);
    expectUsable("readable again");
}

TEST_F(Faults, ReportIndexMissingOpensTheScreenAndEveryActionSaysSo)
{
    destroyScreen();
    const QString index = QDir(reportsFolder()).filePath(u"index.json"_s);
    const QByteArray good = readAll(index);
    ASSERT_TRUE(QFile::remove(index));
    createScreen(false);
    ASSERT_FALSE(f.isNull());
    ASSERT_EQ(shown().size(), 1) << shown().join(u'|').toStdString();
    EXPECT_TRUE(shown().constFirst().contains(u"index.json"_s)) << shown().constFirst().toStdString();
    EXPECT_EQ(f->cbbReportNames->count(), 0);
    const QString expected =
        u"O arquivo contendo a definição do relatório de código 'Vnd025' não foi encontrado no diretório '%1'."_s.arg(
            QDir::toNativeSeparators(reportsFolder()));
    for (const Action action : {Action::Preview, Action::Print, Action::SaveAs, Action::Edit}) {
        fillValid(0);
        click(action);
        EXPECT_EQ(shown(), QStringList{expected}) << int(action);
    }
    EXPECT_FALSE(QFileInfo::exists(index));
    ASSERT_TRUE(writeAll(index, good));
    destroyScreen();
    createScreen();
    expectUsable("index restored");
}

// ---------------------------------------------------------------------------------------------
// Writing files: the report saved as CSV/PDF, a definition saved

struct WriteFault
{
    const char *label;
    QString target;
};

TEST_F(Faults, SaveAsToAPlaceThatCannotBeWritten)
{
    ASSERT_TRUE(QDir().mkpath(scratch(u"pasta.csv"_s)));
    ASSERT_TRUE(writeAll(scratch(u"pasta.csv/dentro.txt"_s), "conteúdo do usuário"));
    const QByteArray inside = readAll(scratch(u"pasta.csv/dentro.txt"_s));
    ASSERT_TRUE(writeAll(scratch(u"arquivo"_s), "um arquivo, não uma pasta"));
    const WriteFault cases[] = {
        {"folder does not exist (csv)", scratch(u"nao/existe/relatorio.csv"_s)},
        {"folder does not exist (pdf)", scratch(u"nao/existe/relatorio.pdf"_s)},
        {"target is a folder (csv)", scratch(u"pasta.csv"_s)},
        {"parent is a file (pdf)", scratch(u"arquivo/relatorio.pdf"_s)},
        {"inside /proc (csv)", u"/proc/relatorio_vnd025.csv"_s},
        {"inside /proc (pdf)", u"/proc/relatorio_vnd025.pdf"_s},
        {"inside /proc (html)", u"/proc/relatorio_vnd025.html"_s},
        {"inside /proc (xlsx)", u"/proc/relatorio_vnd025.xlsx"_s},
    };
    for (const WriteFault &c : cases) {
        const ReportRun run = saveAs(c.target);
        EXPECT_EQ(run.outcome, ReportRun::Outcome::Failed) << c.label;
        ASSERT_EQ(shown().size(), 1) << c.label << ": " << shown().join(u'|').toStdString();
        EXPECT_TRUE(shown().constFirst().startsWith(u"Não foi possível gravar"_s)) << c.label << ": " << shown().constFirst().toStdString();
        EXPECT_FALSE(QFileInfo(c.target).isFile()) << c.label;
    }
    EXPECT_EQ(readAll(scratch(u"pasta.csv/dentro.txt"_s)), inside);
    EXPECT_EQ(QDir(scratch(u"pasta.csv"_s)).entryList(QDir::Files | QDir::Hidden), QStringList{u"dentro.txt"_s});
    EXPECT_EQ(readAll(scratch(u"arquivo"_s)), QByteArray("um arquivo, não uma pasta"));
    // Still usable: the same action to a good place.
    const ReportRun ok = saveAs(scratch(u"bom.csv"_s));
    EXPECT_EQ(ok.outcome, ReportRun::Outcome::Saved) << shown().join(u'|').toStdString();
    EXPECT_FALSE(readAll(scratch(u"bom.csv"_s)).isEmpty());
}

TEST_F(Faults, SaveAsOverAnExistingFileOnAFullOrReadOnlyDisk)
{
    const char *extensions[] = {"csv", "pdf", "html", "xlsx"};
    int checked = 0;
    for (const bool readOnly : {false, true}) {
        for (const char *extension : extensions) {
            const std::string row = std::string(readOnly ? "read-only disk, " : "full disk, ") + extension;
            TinyDisk disk(scratch(u"disco_%1_%2"_s.arg(readOnly).arg(QLatin1String(extension))), 64);
            if (!disk.mounted())
                GTEST_SKIP() << disk.reason();
            const QString target = disk.path(u"relatorio."_s + QLatin1String(extension));
            const QByteArray old("versão anterior, que o usuário quer guardar\n");
            ASSERT_TRUE(writeAll(target, old)) << row;
            if (readOnly)
                ASSERT_TRUE(disk.makeReadOnly()) << row << ": " << std::strerror(errno);
            else
                disk.fill();
            const QStringList before = disk.entries();
            const ReportRun run = saveAs(target);
            EXPECT_EQ(run.outcome, ReportRun::Outcome::Failed) << row;
            ASSERT_EQ(shown().size(), 1) << row << ": " << shown().join(u'|').toStdString();
            EXPECT_TRUE(shown().constFirst().startsWith(u"Não foi possível gravar"_s)) << row << ": " << shown().constFirst().toStdString();
            EXPECT_EQ(readAll(target), old) << row << ": the user's file was damaged";
            EXPECT_EQ(disk.entries(), before) << row << ": a temporary file was left";
            ++checked;
        }
    }
    EXPECT_EQ(checked, 8);
    expectUsable("after the failed exports");
}

TEST_F(Faults, SavingADefinitionThatCannotBeWritten)
{
    const ReportDefinition definition = ReportDefinition::load(reportPath(0));
    struct Case
    {
        const char *label;
        std::function<void(const ReportDefinition &, const QString &)> save;
    };
    const Case savers[] = {
        {"the designer's save", [](const ReportDefinition &d, const QString &p) { saveDefinition(d, p); }},
    };
    int checked = 0;
    for (const Case &saver : savers) {
        // Places that are not a writable file.
        for (const QString &target : {scratch(u"nao/existe/r.json"_s), u"/proc/r_vnd025.json"_s, reportsFolder()}) {
            const std::string row = std::string(saver.label) + " to " + target.toStdString();
            QString message;
            try {
                saver.save(definition, target);
            } catch (const EHostError &e) {
                message = e.message();
            }
            EXPECT_TRUE(message.startsWith(u"Não foi possível gravar"_s)) << row << ": " << message.toStdString();
            ++checked;
        }
        // Over an existing definition on a full and on a read-only disk.
        for (const bool readOnly : {false, true}) {
            const std::string row = std::string(saver.label) + (readOnly ? ", read-only disk" : ", full disk");
            TinyDisk disk(scratch(u"def_%1_%2"_s.arg(checked).arg(readOnly)), 64);
            if (!disk.mounted())
                GTEST_SKIP() << disk.reason();
            const QString target = disk.path(u"r0.json"_s);
            ASSERT_TRUE(QFile::copy(reportPath(0), target));
            const QByteArray old = readAll(target);
            if (readOnly)
                ASSERT_TRUE(disk.makeReadOnly());
            else
                disk.fill();
            const QStringList before = disk.entries();
            ReportDefinition bigger = definition;
            bigger.title = QString(40000, u'T'); // needs more room than the disk has left
            QString message;
            try {
                saver.save(bigger, target);
            } catch (const EHostError &e) {
                message = e.message();
            }
            EXPECT_TRUE(message.startsWith(u"Não foi possível gravar"_s)) << row << ": " << message.toStdString();
            EXPECT_EQ(readAll(target), old) << row << ": the definition was damaged";
            EXPECT_EQ(disk.entries(), before) << row << ": a temporary file was left";
            ++checked;
        }
    }
    EXPECT_EQ(checked, 5);
}

// ---------------------------------------------------------------------------------------------
// The application server

TEST_F(Faults, ApplicationServerOutOfReach)
{
    struct Case
    {
        const char *label;
        QString host;
        int port;
    };
    // A server on the port that an out-of-range port number would wrap around to.
    QTcpServer wrapped;
    ASSERT_TRUE(wrapped.listen(QHostAddress::LocalHost, 0));
    const Case cases[] = {
        {"closed port on this machine", u"127.0.0.1"_s, closedPort()},
        {"port 0", u"127.0.0.1"_s, 0},
        {"negative port", u"127.0.0.1"_s, -1},
        {"port out of range", u"127.0.0.1"_s, 65536 + wrapped.serverPort()},
        {"name that does not resolve", u"servidor.invalid"_s, 211},
        {"empty host", QString(), 211},
        {"SQL in the host name", u"'; DROP TABLE FILIAL; --"_s, 211},
    };
    for (const Case &c : cases) {
        HostContext context = Corvel::context();
        context.webUrl = c.host;
        context.webPort = c.port;
        Corvel::setContext(context);
        TNetConnection *net = f->netEstaticVendHora;
        net->connectTimeoutMs = 300;
        const int disconnects = net->disconnectCount();
        QElapsedTimer timer;
        timer.start();
        EXPECT_NO_THROW(net->SetConnected(true)) << c.label;
        EXPECT_LT(timer.elapsed(), 10000) << c.label;
        EXPECT_FALSE(net->Connected()) << c.label;
        EXPECT_EQ(net->Host, c.host) << c.label;
        EXPECT_FALSE(net->lastError().isEmpty()) << c.label;
        EXPECT_TRUE(shown().isEmpty()) << c.label << ": " << shown().join(u'|').toStdString();
        EXPECT_NO_THROW(net->SetConnected(false)) << c.label;
        EXPECT_EQ(net->disconnectCount(), disconnects) << c.label; // nothing to disconnect
    }
    expectUsable("after the server attempts");
    // Closing the screen disconnects nothing that never connected.
    EXPECT_NO_THROW(f->close());
    EXPECT_EQ(reliability::branchCount(databasePath()), reliability::kBranches);
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Through a screen script: the host starts whatever the database, and the user is told.

namespace {

TEST(FaultsScript, TheHostOpensAndTellsThatTheDatabaseCannotBeOpened)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    struct Case
    {
        const char *label;
        QJsonObject database;
    };
    const Case cases[] = {
        {"SQLite path that is a folder", QJsonObject{{u"driver"_s, u"QSQLITE"_s}, {u"name"_s, dir.path()}}},
        {"Firebird server out of reach",
         QJsonObject{{u"driver"_s, u"QIBASE"_s}, {u"name"_s, u"127.0.0.1/%1:/dados/loja.fdb"_s.arg(closedPort())}}},
        {"unknown driver", QJsonObject{{u"driver"_s, u"QNAOEXISTE"_s}, {u"name"_s, u"x"_s}}},
    };
    for (const Case &c : cases) {
        const QJsonArray steps{
            QJsonObject{{u"open"_s, u"Vnd02500"_s}},
            QJsonObject{{u"type"_s, QJsonArray{u"edtFilial"_s, u"2"_s}}},
            QJsonObject{{u"focus"_s, u"depDtHrIni"_s}},
        };
        const QList<QJsonObject> lines = testsupport::runScript(steps, QJsonObject{{u"database"_s, c.database}});
        QStringList said = testsupport::messagesOf(lines);
        for (const QJsonObject &line : testsupport::linesOf(lines, u"error"_s))
            said << line.value(u"error"_s).toString();
        const bool toldAtStart = std::any_of(said.cbegin(), said.cend(), [](const QString &m) {
            return m.startsWith(u"Não foi possível conectar ao banco de dados"_s) || m.startsWith(u"Driver de banco de dados"_s);
        });
        EXPECT_TRUE(toldAtStart) << c.label << ": " << said.join(u'|').toStdString();
        EXPECT_TRUE(said.contains(u"A conexão com o banco de dados não está aberta."_s)) << c.label << ": " << said.join(u'|').toStdString();
        // The screen opened and the lookup put the focus back into the branch code.
        const QList<QJsonObject> focus = testsupport::linesOf(lines, u"focus"_s);
        ASSERT_FALSE(focus.isEmpty()) << c.label;
        EXPECT_EQ(focus.last().value(u"focus"_s).toString(), u"edtFilial"_s) << c.label;
    }
}

} // namespace
