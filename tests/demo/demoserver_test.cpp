// Debian's Firebird server run in the foreground on loopback, with its configuration, security
// database and lock files in a temporary folder; the host reaches it through QIBASE over TCP.
#include "demotestdb.h"
#include "firebird.h"
#include "firebirdserver.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

using testfb::FirebirdServer;
using testfb::Isql;
using testfb::ServerBinary;

TEST(DemoServer, LookupThroughTheLoopbackServer)
{
    if (!QFile::exists(ServerBinary) || !QFile::exists(Isql))
        GTEST_SKIP() << "Debian's firebird3.0-server is not installed";
    FirebirdServer server;
    const QString problem = server.start();
    ASSERT_TRUE(problem.isEmpty()) << problem.toStdString();

    const QString file = server.path(u"remote.fdb"_s);
    createFirebirdDatabase(server.target(file));
    DatabaseConfig remote;
    remote.driver = u"QIBASE"_s;
    remote.name = server.target(file);
    const DemoCounts counts = createDemoDatabase(remote, DemoSize::tiny(100), 3);
    EXPECT_EQ(counts.sales, 100);

    {
        DemoConnection c(remote);
        ASSERT_TRUE(c.isOpen()) << c.error().toStdString();
        EXPECT_EQ(c.scalar(u"SELECT TRIM(MON$REMOTE_PROTOCOL) FROM MON$ATTACHMENTS "
                           u"WHERE MON$ATTACHMENT_ID = CURRENT_CONNECTION"_s),
                  u"TCPv4"_s);
        const struct
        {
            QString code;
            QStringList expected;
        } cases[] = {
            {u"0001"_s, {u"0001|São Paulo"_s}},
            {u"0004"_s, {u"0004|Filial em Implantação"_s}},
            {u"0099"_s, {}},
        };
        for (const auto &t : cases)
            EXPECT_EQ(c.rows(u"SELECT CDFILIAL, NMFILIAL FROM FILIAL WHERE CDFILIAL = ? ORDER BY CDFILIAL"_s, {t.code}),
                      t.expected)
                << t.code.toStdString();
        EXPECT_EQ(c.scalar(u"SELECT COUNT(*) FROM FILIAL WHERE INSTR(?, CDFILIAL) > 0"_s, {u"0002,0003"_s}), u"2"_s);
    }

    DatabaseConfig wrongPassword = remote;
    wrongPassword.password = u"not-the-password"_s;
    EXPECT_FALSE(DemoConnection(wrongPassword).isOpen()) << "the server must check the password";

    server.stop();
    EXPECT_FALSE(server.running());
    EXPECT_FALSE(DemoConnection(remote).isOpen()) << "stopped server still answers";
}

} // namespace

namespace {

// The generator's password without the command line: from Firebird's own environment variables or
// typed at a prompt (here: standard input that is not a terminal). The server checks it.
TEST(DemoServer, GeneratorTakesThePasswordFromTheEnvironmentOrAPrompt)
{
    const QString tool = QStringLiteral(BO_BINARY_DIR "/bin/bo-demo-gen");
    ASSERT_TRUE(QFile::exists(tool)) << "bo-demo-gen not built (the demo tests depend on it)";
    if (!QFile::exists(ServerBinary) || !QFile::exists(Isql))
        GTEST_SKIP() << "Debian's firebird3.0-server is not installed";
    FirebirdServer server;
    const QString problem = server.start();
    ASSERT_TRUE(problem.isEmpty()) << problem.toStdString();

    const struct
    {
        const char *label;
        const char *environment; // ISC_PASSWORD, or null
        bool ask;
        const char *typed; // standard input
        bool accepted;
    } cases[] = {
        {"environment, right", "masterkey", false, "", true},
        {"environment, wrong", "not-it", false, "", false},
        {"prompt, right", nullptr, true, "masterkey\n", true},
        {"prompt, wrong", nullptr, true, "not-it\n", false},
        {"prompt wins over the environment", "not-it", true, "masterkey\n", true},
    };
    int n = 0;
    for (const auto &c : cases) {
        const QString db = server.target(server.path(u"gen%1.fdb"_s.arg(++n)));
        QProcess gen;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(u"ISC_PASSWORD"_s);
        env.remove(u"ISC_USER"_s);
        if (c.environment)
            env.insert(u"ISC_PASSWORD"_s, QString::fromUtf8(c.environment));
        gen.setProcessEnvironment(env);
        QStringList args{u"--driver"_s, u"QIBASE"_s, u"--db"_s, db, u"--scale"_s, u"tiny"_s, u"--sales"_s, u"10"_s,
                         u"--quiet"_s};
        if (c.ask)
            args << u"--ask-password"_s;
        gen.start(tool, args);
        ASSERT_TRUE(gen.waitForStarted(10000)) << c.label;
        gen.write(c.typed);
        gen.closeWriteChannel();
        ASSERT_TRUE(gen.waitForFinished(120000)) << c.label;
        const QString err = QString::fromUtf8(gen.readAllStandardError());
        EXPECT_EQ(gen.exitCode() == 0, c.accepted) << c.label << ": " << err.toStdString();
        EXPECT_FALSE(err.contains(u"not-it"_s)) << c.label;
    }
}

} // namespace
