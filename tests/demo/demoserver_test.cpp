// Debian's Firebird server run in the foreground on loopback, with its configuration, security
// database and lock files in a temporary folder; the host reaches it through QIBASE over TCP.
#include "demotestdb.h"
#include "firebird.h"

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

const QString ServerBinary = u"/usr/sbin/firebird"_s;
const QString Isql = u"/usr/bin/isql-fb"_s;
const QString SystemConf = u"/usr/lib/x86_64-linux-gnu/firebird/3.0"_s;

bool portFree(quint16 port)
{
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost, port);
}

quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

bool waitForPort(quint16 port, QProcess &server, int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms && server.state() == QProcess::Running) {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, port);
        if (socket.waitForConnected(200))
            return true;
        QThread::msleep(100);
    }
    return false;
}

class FirebirdServer
{
public:
    // Empty when started, otherwise why not.
    QString start()
    {
        if (!mDir.isValid())
            return u"no temporary folder"_s;
        mPort = portFree(3050) ? 3050 : freePort();
        const QString root = mDir.filePath(u"root"_s), lock = mDir.filePath(u"lock"_s);
        mSecurity = mDir.filePath(u"security.fdb"_s);
        QDir().mkpath(root);
        QDir().mkpath(lock);
        for (const char *name : {"plugins.conf", "databases.conf", "fbtrace.conf", "firebird.msg"})
            QFile::copy(SystemConf + u'/' + QLatin1String(name), root + u'/' + QLatin1String(name));
        QFile conf(root + u"/firebird.conf"_s);
        if (!conf.open(QIODevice::WriteOnly))
            return u"cannot write firebird.conf"_s;
        conf.write(u"SecurityDatabase = %1\nRemoteBindAddress = 127.0.0.1\nRemoteServicePort = %2\n"_s.arg(mSecurity)
                       .arg(mPort)
                       .toUtf8());
        conf.close();

        mEnv = QProcessEnvironment::systemEnvironment();
        mEnv.insert(u"FIREBIRD"_s, root);
        mEnv.insert(u"FIREBIRD_LOCK"_s, lock);

        // The security database is an ordinary database whose own users table gets SYSDBA; made
        // in-process by isql so the system's security3.fdb is never touched.
        QProcess isql;
        isql.setProcessEnvironment(mEnv);
        isql.start(Isql, {u"-q"_s, u"-user"_s, u"SYSDBA"_s});
        isql.write(u"CREATE DATABASE '%1';\nCREATE USER SYSDBA PASSWORD 'masterkey' USING PLUGIN Srp;\nCOMMIT;\n"_s
                       .arg(mSecurity)
                       .toUtf8());
        isql.closeWriteChannel();
        if (!isql.waitForFinished(60000) || isql.exitCode() != 0)
            return u"isql could not make the security database: "_s + QString::fromUtf8(isql.readAllStandardError());

        mServer.setProcessEnvironment(mEnv);
        mServer.setProcessChannelMode(QProcess::MergedChannels);
        mServer.start(ServerBinary, {u"-p"_s, QString::number(mPort)});
        if (!mServer.waitForStarted(10000))
            return u"the server did not start: "_s + mServer.errorString();
        if (!waitForPort(mPort, mServer, 15000))
            return u"the server did not listen: "_s + QString::fromUtf8(mServer.readAll());
        return {};
    }

    ~FirebirdServer() { stop(); }

    int stop()
    {
        if (mServer.state() == QProcess::NotRunning)
            return mServer.exitCode();
        mServer.terminate();
        if (!mServer.waitForFinished(15000)) {
            mServer.kill();
            mServer.waitForFinished(5000);
        }
        return mServer.exitCode();
    }

    bool running() const { return mServer.state() == QProcess::Running; }
    quint16 port() const { return mPort; }
    QString path(const QString &name) const { return mDir.filePath(name); }
    // The form the host's configuration uses: "127.0.0.1:/path" on the standard port.
    QString target(const QString &path) const
    {
        return mPort == 3050 ? u"127.0.0.1:"_s + path : u"127.0.0.1/%1:%2"_s.arg(mPort).arg(path);
    }

private:
    QTemporaryDir mDir;
    QProcess mServer;
    QProcessEnvironment mEnv;
    QString mSecurity;
    quint16 mPort = 0;
};

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
