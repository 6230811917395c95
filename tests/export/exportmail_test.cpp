// backoffice export --mail-to against a real SMTP server on 127.0.0.1 (tests/export/smtpsink.py,
// Debian's python3-aiosmtpd): the message read back as it arrived, its attachment opened as its
// reader would, the held-back case, a failed send and the usage errors.

#include "demodb.h"
#include "exportcommand.h"
#include "exportrun.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QUuid>
#include <cstdio>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

// 35 days of sales to Monday 30/06/2025, and one store that sold at 20:00 and 21:00 on each of the
// four Mondays before and has nothing on the 30th.
struct MailDemo
{
    QTemporaryDir dir;
    QString database;
    QString idleStore;

    MailDemo()
    {
        database = dir.filePath(u"mail.sqlite"_s);
        DatabaseConfig db;
        db.driver = u"QSQLITE"_s;
        db.name = database;
        DemoSize size = DemoSize::tiny(400);
        size.days = 35;
        createDemoDatabase(db, size, 11);
        const QString name = u"mail_demo_"_s + QUuid::createUuid().toString(QUuid::WithoutBraces);
        {
            QSqlDatabase c = QSqlDatabase::addDatabase(u"QSQLITE"_s, name);
            c.setDatabaseName(database);
            if (c.open()) {
                QSqlQuery q(c);
                q.exec(u"SELECT CDLOJA FROM LOJA WHERE CDFILIAL = '0001' ORDER BY CDLOJA"_s);
                if (q.next())
                    idleStore = q.value(0).toString();
                q.exec(u"DELETE FROM VENDA WHERE CDLOJA = '%1' AND DTVENDA = '2025-06-30'"_s.arg(idleStore));
                int number = 900000;
                for (const char *day : {"2025-06-02", "2025-06-09", "2025-06-16", "2025-06-23"}) {
                    for (const char *hour : {"2015", "2110"}) {
                        q.exec(u"INSERT INTO VENDA (CDFILIAL, CDLOJA, CDCAIXA, NRVENDA, DTVENDA, HRVENDA, QTITENS, "
                               u"VRDESCONTO, VRTOTVENDA, VRTXSERV, VRTXENTR, IDCANCELADA) VALUES ('0001', '%1', "
                               u"'001', %2, '%3', '%4', 1, 0, 25.5, 0, 0, 'N')"_s.arg(idleStore)
                                   .arg(++number)
                                   .arg(QLatin1String(day), QLatin1String(hour)));
                    }
                }
            }
        }
        QSqlDatabase::removeDatabase(name);
    }

    // The demo's configuration with a [mail] section.
    QString config(const QString &name, const QString &mail) const
    {
        const QString path = testsupport::writeHostConfig(dir.filePath(name), database, false);
        QFile ini(path);
        if (ini.open(QIODevice::Append))
            ini.write(u"\n[mail]\n"_s.append(mail).toUtf8());
        return path;
    }
};

const MailDemo &demo()
{
    static MailDemo *d = new MailDemo;
    return *d;
}

// The local server: its messages land in a folder, one N.eml and N.env (envelope) each.
class SmtpSink
{
public:
    SmtpSink()
    {
        mProcess.start(u"/usr/bin/python3"_s, {testsupport::sourcePath(u"tests/export/smtpsink.py"_s), mDir.path()});
        if (mProcess.waitForReadyRead(20000))
            mPort = mProcess.readLine().trimmed().toInt();
    }
    ~SmtpSink()
    {
        mProcess.closeWriteChannel();
        if (!mProcess.waitForFinished(10000))
            mProcess.kill();
        mProcess.waitForFinished(5000);
    }
    int port() const { return mPort; }
    QStringList messages() const { return QDir(mDir.path()).entryList({u"*.eml"_s}, QDir::Files, QDir::Name); }
    QByteArray read(const QString &name) const
    {
        QFile f(mDir.filePath(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QString error() const { return QString::fromUtf8(const_cast<QProcess &>(mProcess).readAllStandardError()); }

private:
    QTemporaryDir mDir;
    QProcess mProcess;
    int mPort = 0;
};

struct Part
{
    QByteArray headers;
    QByteArray body; // decoded
};

// The parts of a multipart message, each body decoded from base64.
QList<Part> partsOf(const QByteArray &message)
{
    const qsizetype at = message.indexOf("boundary=\"");
    if (at < 0)
        return {};
    const qsizetype from = at + 10;
    const QByteArray boundary = "--" + message.mid(from, message.indexOf('"', from) - from);
    QList<Part> parts;
    const QByteArray &text = message;
    qsizetype pos = text.indexOf(boundary + "\r\n");
    while (pos >= 0) {
        const qsizetype start = pos + boundary.size() + 2;
        const qsizetype end = text.indexOf("\r\n" + boundary, start);
        if (end < 0)
            break;
        const QByteArray chunk = text.mid(start, end - start);
        const qsizetype split = chunk.indexOf("\r\n\r\n");
        parts.append({chunk.left(split), QByteArray::fromBase64(chunk.mid(split + 4).replace("\r\n", ""))});
        pos = text.indexOf(boundary + "\r\n", end + 2);
    }
    return parts;
}

using exportrun::Outcome;

Outcome exportWith(const QStringList &arguments)
{
    return exportrun::run(arguments);
}

QString pdfText(const QByteArray &pdf, const QString &folder)
{
    const QString path = QDir(folder).filePath(u"anexo.pdf"_s);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(pdf) != pdf.size())
        return {};
    f.close();
    QProcess p;
    p.start(u"pdftotext"_s, {u"-layout"_s, path, u"-"_s});
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

// A closed port on loopback: a send there fails.
int closedPort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost);
    return server.serverPort(); // closed when `server` goes
}

const QStringList kReport{u"--report"_s, u"Comparativo por Hora"_s, u"--from"_s, u"24/06/2025"_s, u"--to"_s, u"30/06/2025"_s};

TEST(ExportMail, SendsTheFileToEveryAddressOrHoldsItBack)
{
    SmtpSink sink;
    ASSERT_GT(sink.port(), 0) << sink.error().toStdString();
    ASSERT_FALSE(demo().idleStore.isEmpty());
    const QString config = demo().config(u"mail.ini"_s, u"host=127.0.0.1\nport=%1\nfrom=relatorios@loja.example\n"_s.arg(sink.port()));
    QTemporaryDir out;
    const QString pdf = out.filePath(u"manhã.pdf"_s);
    const QString idleLine = u"Loja sem movimento: "_s + demo().idleStore;
    struct Case
    {
        const char *what;
        QStringList extra;
        int status;
        bool sent;
        bool namesIdle; // in the body (sent) or on standard error (held)
    };
    const Case cases[] = {
        {"held back: exit 3 and nothing sent", {u"--hold-incomplete"_s}, 3, false, true},
        {"sent, naming the store", {u"--mail-subject"_s, u"Pacote da manhã"_s}, 0, true, true},
    };
    qsizetype received = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const Outcome o = exportWith(kReport + QStringList{u"--out"_s, pdf, u"--config"_s, config, u"--mail-to"_s,
                                                           u"a@loja.example, b@loja.example"_s, u"--mail-to"_s,
                                                           u"gerente@loja.example"_s} + c.extra);
        EXPECT_EQ(o.status, c.status) << o.err.toStdString();
        EXPECT_TRUE(QFile::exists(pdf)) << "the file is written either way";
        QTest::qWait(300); // the server writes what it took
        const QStringList messages = sink.messages();
        ASSERT_EQ(messages.size(), received + (c.sent ? 1 : 0));
        if (!c.sent) {
            EXPECT_TRUE(o.err.contains(idleLine)) << o.err.toStdString();
            continue;
        }
        received = messages.size();
        const QByteArray envelope = sink.read(messages.last().chopped(4) + u".env"_s);
        EXPECT_EQ(envelope, "FROM relatorios@loja.example\nTO a@loja.example\nTO b@loja.example\nTO gerente@loja.example\n");
        const QByteArray message = sink.read(messages.last());
        EXPECT_TRUE(message.contains("Subject: =?UTF-8?B?" + QByteArray("Pacote da manhã").toBase64() + "?="));
        const QList<Part> parts = partsOf(message);
        ASSERT_EQ(parts.size(), 2) << message.left(2000).toStdString();
        EXPECT_TRUE(parts.at(0).headers.contains("Content-Type: text/plain; charset=UTF-8"));
        const QString body = QString::fromUtf8(parts.at(0).body);
        for (const QString &line : {u"Comparativo por Hora"_s, u"Período: 24/06/2025 a 30/06/2025"_s, u"Filial: 0001"_s, idleLine})
            EXPECT_TRUE(body.contains(line)) << line.toStdString() << "\n" << body.toStdString();
        EXPECT_TRUE(parts.at(1).headers.contains("Content-Type: application/pdf"));
        EXPECT_TRUE(parts.at(1).headers.contains("Content-Disposition: attachment; filename*=UTF-8''manh%C3%A3.pdf"))
            << parts.at(1).headers.toStdString();
        QFile written(pdf);
        ASSERT_TRUE(written.open(QIODevice::ReadOnly));
        EXPECT_EQ(parts.at(1).body, written.readAll()) << "the attachment is the file, byte for byte";
        const QString text = pdfText(parts.at(1).body, out.path());
        EXPECT_TRUE(text.contains(u"Comparativo por Hora"_s)) << text.left(500).toStdString();
        EXPECT_TRUE(text.contains(u"Lojas que mais mudaram a hora"_s));
    }
}

TEST(ExportMail, AFailedSendIsAnErrorThatNeverShowsThePassword)
{
    const QString secret = u"s3nh@-secreta;x"_s;
    const int port = closedPort();
    const QString config = demo().config(u"fail.ini"_s, u"host=127.0.0.1\nport=%1\nuser=relatorios\npassword=\"%2\"\n"_s.arg(port).arg(secret));
    QTemporaryDir out;
    struct Case
    {
        const char *what;
        QStringList extra;
        int status;
        QString err; // the start of standard error after "backoffice: "
    };
    const Case cases[] = {
        {"no server on the port", {u"--mail-to"_s, u"a@loja.example"_s}, 1,
         u"O e-mail não foi enviado pelo servidor 127.0.0.1:%1:"_s.arg(port)},
        {"an address that is none", {u"--mail-to"_s, u"a@loja.example,sem arroba"_s}, 2,
         u"--mail-to: o endereço \"sem arroba\" não é um endereço de e-mail"_s},
        {"a header cut by a line break", {u"--mail-to"_s, u"a@loja.example\r\nBcc: x@y.z"_s}, 2, u"--mail-to: o endereço"_s},
        {"holding without mailing", {u"--hold-incomplete"_s}, 2, u"--mail-subject e --hold-incomplete só valem com --mail-to"_s},
    };
    // a password for a server elsewhere goes only inside STARTTLS: refused before connecting
    const QString remote = demo().config(u"remote.ini"_s, u"host=192.0.2.1\nport=%1\nuser=relatorios\npassword=\"%2\"\n"_s.arg(port).arg(secret));
    const Outcome plain = exportWith(kReport + QStringList{u"--out"_s, out.filePath(u"r.csv"_s), u"--config"_s, remote,
                                                           u"--mail-to"_s, u"a@loja.example"_s});
    EXPECT_EQ(plain.status, 1) << plain.err.toStdString();
    EXPECT_TRUE(plain.err.contains(u"ligue starttls=true"_s)) << plain.err.toStdString();
    EXPECT_FALSE(plain.err.contains(u"s3nh"_s)) << plain.err.toStdString();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const Outcome o = exportWith(kReport + QStringList{u"--out"_s, out.filePath(u"r.csv"_s), u"--config"_s, config} + c.extra);
        EXPECT_EQ(o.status, c.status) << o.err.toStdString();
        EXPECT_TRUE(o.err.startsWith(u"backoffice: "_s + c.err)) << o.err.toStdString();
        EXPECT_FALSE(o.err.contains(secret)) << o.err.toStdString();
        EXPECT_FALSE(o.err.contains(u"s3nh"_s)) << o.err.toStdString();
    }
}

// starttls=true: a server that does not offer STARTTLS gets nothing in the clear.
TEST(ExportMail, StarttlsRequiredSendsNothingInTheClear)
{
    SmtpSink sink;
    ASSERT_GT(sink.port(), 0) << sink.error().toStdString();
    const QString config = demo().config(u"tls.ini"_s, u"host=127.0.0.1\nport=%1\nstarttls=true\nuser=r@loja.example\n"
                                                       u"password=\"s3nh@-tls\"\n"_s.arg(sink.port()));
    QTemporaryDir out;
    const Outcome o = exportWith(kReport + QStringList{u"--out"_s, out.filePath(u"r.pdf"_s), u"--config"_s, config,
                                                       u"--mail-to"_s, u"a@loja.example"_s});
    EXPECT_EQ(o.status, 1) << o.err.toStdString();
    EXPECT_TRUE(o.err.startsWith(u"backoffice: O e-mail não foi enviado pelo servidor 127.0.0.1:%1:"_s.arg(sink.port())))
        << o.err.toStdString();
    EXPECT_FALSE(o.err.contains(u"s3nh"_s));
    QTest::qWait(300);
    EXPECT_TRUE(sink.messages().isEmpty());
}

} // namespace
