#pragma once

// Debian's Firebird server run in the foreground on loopback, with its configuration, security
// database and lock files in a temporary folder; the host reaches it through QIBASE over TCP. It
// can be stopped and started again on the same port and folder, and paused (SIGSTOP) as a server
// that hangs. The destructor stops it whatever happened.

#include <QDir>
#include <QHostAddress>
#include <QtEndian>
#include <algorithm>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>
#include <sys/types.h>

namespace testfb {

using namespace Qt::StringLiterals;

inline const QString ServerBinary = u"/usr/sbin/firebird"_s;
inline const QString Isql = u"/usr/bin/isql-fb"_s;
inline const QString SystemConf = u"/usr/lib/x86_64-linux-gnu/firebird/3.0"_s;

inline bool portFree(quint16 port)
{
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost, port);
}

inline quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

inline bool waitForPort(quint16 port, QProcess &server, int ms)
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

// The local addresses of the sockets listening on TCP `port`, as the kernel lists them
// (/proc/net/tcp and tcp6): "127.0.0.1", "0.0.0.0", "::", ...
inline QStringList listeningAddresses(quint16 port)
{
    QStringList addresses;
    for (const char *table : {"/proc/net/tcp", "/proc/net/tcp6"}) {
        QFile file{QString::fromLatin1(table)};
        if (!file.open(QIODevice::ReadOnly))
            continue;
        file.readLine(); // the heading
        while (!file.atEnd()) {
            // "  0: 0100007F:0BEA 00000000:0000 0A ..." (state 0A: listening)
            const QList<QByteArray> fields = file.readLine().simplified().split(' ');
            if (fields.size() < 4 || fields.at(3) != "0A")
                continue;
            const QList<QByteArray> local = fields.at(1).split(':');
            if (local.size() != 2 || local.at(1).toUInt(nullptr, 16) != port)
                continue;
            // The address as the kernel keeps it: 32-bit words in host (little-endian) order.
            QByteArray bytes = QByteArray::fromHex(local.at(0));
            for (qsizetype word = 0; word + 4 <= bytes.size(); word += 4)
                std::reverse(bytes.begin() + word, bytes.begin() + word + 4);
            addresses << (bytes.size() == 4 ? QHostAddress(qFromBigEndian<quint32>(bytes.constData()))
                                            : QHostAddress(reinterpret_cast<const quint8 *>(bytes.constData())))
                             .toString();
        }
    }
    return addresses;
}

class FirebirdServer
{
public:
    // Empty when started, otherwise why not. `users` besides SYSDBA: name and password.
    QString start(const QList<QPair<QString, QString>> &users = {})
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
        QString script = u"CREATE DATABASE '%1';\nCREATE USER SYSDBA PASSWORD 'masterkey' USING PLUGIN Srp;\n"_s.arg(mSecurity);
        for (const auto &user : users)
            script += u"CREATE USER %1 PASSWORD '%2' USING PLUGIN Srp;\n"_s.arg(user.first, user.second);
        script += u"COMMIT;\n"_s;
        QProcess isql;
        isql.setProcessEnvironment(mEnv);
        isql.start(Isql, {u"-q"_s, u"-user"_s, u"SYSDBA"_s});
        isql.write(script.toUtf8());
        isql.closeWriteChannel();
        if (!isql.waitForFinished(60000) || isql.exitCode() != 0)
            return u"isql could not make the security database: "_s + QString::fromUtf8(isql.readAllStandardError());
        return launch();
    }

    // Starts the server again after stop(), on the same port, folder and security database.
    QString launch()
    {
        mServer.setProcessEnvironment(mEnv);
        mServer.setProcessChannelMode(QProcess::MergedChannels);
        // No "-p": given on the command line the port makes the server listen on every interface,
        // whatever RemoteBindAddress says; from firebird.conf both hold.
        mServer.start(ServerBinary, {});
        if (!mServer.waitForStarted(10000))
            return u"the server did not start: "_s + mServer.errorString();
        if (!waitForPort(mPort, mServer, 15000))
            return u"the server did not listen: "_s + QString::fromUtf8(mServer.readAll());
        return {};
    }

    ~FirebirdServer()
    {
        resume();
        stop();
    }

    int stop()
    {
        if (mServer.state() == QProcess::NotRunning)
            return mServer.exitCode();
        resume();
        mServer.terminate();
        if (!mServer.waitForFinished(15000)) {
            mServer.kill();
            mServer.waitForFinished(5000);
        }
        return mServer.exitCode();
    }

    // A server that hangs: it keeps its port and connections but answers nothing.
    void pause()
    {
        if (mServer.state() == QProcess::Running && ::kill(pid_t(mServer.processId()), SIGSTOP) == 0)
            mPaused = true;
    }
    void resume()
    {
        if (mPaused && mServer.state() == QProcess::Running)
            ::kill(pid_t(mServer.processId()), SIGCONT);
        mPaused = false;
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
    bool mPaused = false;
};

} // namespace testfb
