// Passwords of the host configuration never reach a message, a log line or the output of a screen
// script, whatever the driver and wherever the password stands (its own key or inside an ODBC
// connection string).

#include "errors.h"
#include "reliability.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSqlDatabase>
#include <QTcpServer>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

namespace {

quint16 closedPort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    const quint16 port = server.serverPort();
    server.close();
    return port;
}

struct SecretCase
{
    const char *label;
    QString driver;
    QString name;
    QString user;
    QString password;
    QString secret; // what must never be shown (the password, or the one inside the name)
};

QList<SecretCase> secretCases(const QString &folder)
{
    const QString port = QString::number(closedPort());
    return {
        {"Firebird server out of reach", u"QIBASE"_s, u"127.0.0.1/"_s + port + u":/dados/loja.fdb"_s, u"SYSDBA"_s,
         u"Fb-Segredo-2575"_s, u"Fb-Segredo-2575"_s},
        {"Firebird server, password with blanks and quotes", u"QIBASE"_s, u"localhost/"_s + port + u":loja"_s,
         u"GERENTE"_s, u"a b'c\"d Segredo"_s, u"a b'c\"d Segredo"_s},
        {"embedded Firebird, file missing", u"QIBASE"_s, folder + u"/nao/existe/loja.fdb"_s, u"SYSDBA"_s,
         u"Embutido-Segredo-31"_s, u"Embutido-Segredo-31"_s},
        {"embedded Firebird, not a database", u"QIBASE"_s, folder + u"/lixo.fdb"_s, u"SYSDBA"_s,
         u"Lixo-Segredo-99"_s, u"Lixo-Segredo-99"_s},
        {"ODBC, password in the connection string", u"QODBC"_s,
         u"DRIVER={Driver Que Nao Existe};SERVER=127.0.0.1;UID=sa;PWD=Odbc-Segredo-7;"_s, {}, {},
         u"Odbc-Segredo-7"_s},
        {"ODBC, braced password with semicolons", u"QODBC"_s,
         u"DSN=NaoExiste;Uid=sa;Password={Chave;Com;Pontos};"_s, {}, {}, u"Chave;Com;Pontos"_s},
        {"ODBC, password given apart", u"QODBC"_s, u"DSN=NaoExiste"_s, u"sa"_s, u"Odbc-Apart-8"_s,
         u"Odbc-Apart-8"_s},
        {"SQLite path that is a folder", u"QSQLITE"_s, folder, {}, u"Sqlite-Segredo-5"_s, u"Sqlite-Segredo-5"_s},
    };
}

class Passwords : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(mDir.isValid());
        QFile junk(mDir.filePath(u"lixo.fdb"_s));
        ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
        junk.write(QByteArray(16384, 'Z'));
    }
    void TearDown() override { TdtmDBGeral::close(); }

    QTemporaryDir mDir;
};

// The password is masked where it stands as a token of its own; inside another word it is left,
// since stars there would show which letters the password has ("Ask your ****base administrator").
TEST(PasswordMask, OnlyWholeTokensAreMasked)
{
    const struct
    {
        const char *password;
        const char *message;
        const char *shown;
    } cases[] = {
        {"data", "Your user name and password are not defined. Ask your database administrator to set up a Firebird login.",
         "Your user name and password are not defined. Ask your database administrator to set up a Firebird login."},
        {"data", "DSN=loja;PWD=data;", "DSN=loja;PWD=****;"},
        {"masterkey", "login masterkey refused (masterkeys)", "login **** refused (masterkeys)"},
        {"key", "keyring key monkey key", "keyring **** monkey ****"},
        {"a b'c", "x a b'c y", "x **** y"},
        {"Segredo-1", "'Segredo-1'", "'****'"},
        {"!x", "a!x b", "a**** b"}, // its first character is no letter: nothing to keep on that side
        {"!x", "a!xb", "a!xb"},
        {"sa", "Usage: sa", "Usage: ****"},
        {"", "nothing to mask", "nothing to mask"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(maskSecrets(QString::fromUtf8(c.message), {QString::fromUtf8(c.password)}), QString::fromUtf8(c.shown))
            << c.password << " in " << c.message;
}

TEST_F(Passwords, NeverInTheMessageOrTheLogWhenTheConnectionFails)
{
    int checked = 0;
    for (const SecretCase &c : secretCases(mDir.path())) {
        if (!QSqlDatabase::isDriverAvailable(c.driver))
            continue; // the message then names only the driver
        DatabaseConfig config = reliability::databaseConfig(c.driver, c.name);
        config.user = c.user;
        config.password = c.password;
        QString message;
        QStringList log;
        {
            reliability::LogCapture capture;
            try {
                TdtmDBGeral::open(config);
            } catch (const EHostError &e) {
                message = e.message();
            }
            log = capture.lines();
        }
        EXPECT_TRUE(message.startsWith(u"Não foi possível conectar ao banco de dados"_s)) << c.label << ": " << message.toStdString();
        EXPECT_FALSE(message.contains(c.secret)) << c.label << ": " << message.toStdString();
        for (const QString &line : std::as_const(log))
            EXPECT_FALSE(line.contains(c.secret)) << c.label << ": log line " << line.toStdString();
        ++checked;
    }
    EXPECT_GE(checked, 5); // Firebird and SQLite cases at the least
}

// A password that is also a word of the database's name: the name is shown whole, since stars in
// it would point at the word that is the password.
TEST_F(Passwords, AWordOfTheDatabaseNameIsNotPointedAt)
{
    const struct
    {
        const char *label;
        QString driver;
        QString name;
        QString password;
    } cases[] = {
        {"SQLite file missing", u"QSQLITE"_s, mDir.filePath(u"dados/nao_existe.sqlite"_s), u"dados"_s},
        {"embedded Firebird, not a database", u"QIBASE"_s, mDir.filePath(u"lixo.fdb"_s), u"lixo"_s},
    };
    int checked = 0;
    for (const auto &c : cases) {
        if (!QSqlDatabase::isDriverAvailable(c.driver))
            continue;
        DatabaseConfig config = reliability::databaseConfig(c.driver, c.name);
        config.password = c.password;
        QString message;
        try {
            TdtmDBGeral::open(config);
        } catch (const EHostError &e) {
            message = e.message();
        }
        EXPECT_TRUE(message.contains(u"'%1'"_s.arg(QDir::toNativeSeparators(c.name)))) << c.label << ": " << message.toStdString();
        EXPECT_FALSE(message.contains(u"****"_s)) << c.label << ": " << message.toStdString();
        ++checked;
    }
    EXPECT_GE(checked, 1);
}

// A screen script on a Firebird configuration that cannot connect: every output line, the start-up
// message included, and every log line are free of the password.
TEST_F(Passwords, NeverInTheOutputOfAScreenScript)
{
    const QString password = u"Script-Segredo-2575"_s;
    const QJsonObject config{
        {u"database"_s, QJsonObject{{u"driver"_s, u"QIBASE"_s},
                                    {u"name"_s, u"127.0.0.1/%1:/dados/nao_existe.fdb"_s.arg(closedPort())},
                                    {u"user"_s, u"SYSDBA"_s},
                                    {u"password"_s, password}}}};
    const QJsonArray steps{
        QJsonObject{{u"open"_s, u"Vnd02500"_s}},
        QJsonObject{{u"select"_s, 0}},
        QJsonObject{{u"type"_s, QJsonArray{u"edtFilial"_s, u"2"_s}}},
        QJsonObject{{u"focus"_s, u"depDtHrIni"_s}},
        QJsonObject{{u"set"_s, QJsonArray{u"depDtHrIni"_s, u"01/12/2026"_s}}},
        QJsonObject{{u"set"_s, QJsonArray{u"depDtHrFin"_s, u"07/12/2026"_s}}},
        QJsonObject{{u"click"_s, u"sbtPreview"_s}},
        QJsonObject{{u"dump"_s, QJsonArray{u"edtFilial"_s, u"edtNmFilial"_s, u"stFilial"_s}}},
    };
    QList<QJsonObject> lines;
    QStringList log;
    {
        reliability::LogCapture capture;
        lines = testsupport::runScript(steps, config);
        log = capture.lines();
    }
    ASSERT_FALSE(lines.isEmpty());
    QStringList texts;
    for (const QJsonObject &line : std::as_const(lines))
        texts << QString::fromUtf8(QJsonDocument(line).toJson(QJsonDocument::Compact));
    for (const QString &text : std::as_const(texts))
        EXPECT_FALSE(text.contains(password)) << text.toStdString();
    for (const QString &line : std::as_const(log))
        EXPECT_FALSE(line.contains(password)) << "log line: " << line.toStdString();
    // The scan means something only if the failures were reported: the lookup says the
    // connection is not open.
    EXPECT_TRUE(texts.join(u'\n').contains(u"A conexão com o banco de dados não está aberta."_s)) << texts.join(u'\n').toStdString();
}

// The same through the real program: its standard output and standard error.
TEST_F(Passwords, NeverInTheProgramsOutput)
{
    const QString program = QStringLiteral(BO_BINARY_DIR "/bin/backoffice");
    ASSERT_TRUE(QFileInfo::exists(program)) << "backoffice not built at " << program.toStdString();
    const QString password = u"Programa-Segredo-9999"_s;
    const QJsonObject script{
        {u"config"_s,
         QJsonObject{{u"database"_s, QJsonObject{{u"driver"_s, u"QIBASE"_s},
                                                {u"name"_s, u"127.0.0.1/%1:/dados/nao_existe.fdb"_s.arg(closedPort())},
                                                {u"password"_s, password}}}}},
        {u"steps"_s, QJsonArray{QJsonObject{{u"open"_s, u"Vnd02500"_s}},
                                QJsonObject{{u"type"_s, QJsonArray{u"edtFilial"_s, u"2"_s}}},
                                QJsonObject{{u"focus"_s, u"depDtHrIni"_s}},
                                QJsonObject{{u"click"_s, u"sbtPrint"_s}}}},
    };
    const QString file = mDir.filePath(u"roteiro.json"_s);
    ASSERT_TRUE(reliability::writeAll(file, QJsonDocument(script).toJson()));
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
    env.insert(u"QT_LOGGING_RULES"_s, u"*.debug=true"_s); // every category talks
    process.setProcessEnvironment(env);
    process.start(program, {u"--script"_s, file});
    ASSERT_TRUE(process.waitForFinished(120000));
    const QString out = QString::fromUtf8(process.readAllStandardOutput());
    const QString err = QString::fromUtf8(process.readAllStandardError());
    EXPECT_EQ(process.exitCode(), 0) << err.toStdString();
    EXPECT_FALSE(out.contains(password)) << out.toStdString();
    EXPECT_FALSE(err.contains(password)) << err.toStdString();
    EXPECT_TRUE(out.contains(u"A conexão com o banco de dados não está aberta."_s)) << out.toStdString();
}

} // namespace
