// Configuration files the host cannot trust: each is refused with the file, section, key and value
// named, and the host does not start on it; the files it can trust still load.

#include "errors.h"
#include "hostconfig.h"
#include "hostsession.h"
#include "recordingui.h"
#include "widgets.h"

#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <cstdio>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

const QByteArray kGood = "[context]\nModuFili=false\nFiliProc=0001\nWebURL=127.0.0.1\nWebPort=211\n"
                         "DBPict=\"99.99.999;0;_\"\n[database]\ndriver=QSQLITE\nname=loja.sqlite\n"
                         "[screens]\nsize=1\n1\\code=Vnd02500\n1\\module=Pkg_Vnd02500\n1\\menu=Relat\xC3\xB3rios/Vendas\n";

QByteArray with(const QByteArray &from, const QByteArray &to)
{
    QByteArray text = kGood;
    text.replace(from, to);
    return text;
}

// The message of load(), empty when the file loads.
QString refusal(const QString &path)
{
    try {
        HostConfig::load(path);
    } catch (const EHostError &e) {
        return e.message();
    }
    return {};
}

TEST(ConfigurationCheck, FilesTheHostCannotTrustAreRefusedByName)
{
    QTemporaryDir dir;
    QStringEncoder toUtf16(QStringEncoder::Utf16LE, QStringEncoder::Flag::WriteBom);
    const struct
    {
        const char *label;
        QByteArray bytes;
        QStringList expected; // in the message, in order; empty: the file loads
    } rows[] = {
        {"the good file", kGood, {}},
        {"a UTF-8 BOM and CRLF line ends", "\xEF\xBB\xBF" + QByteArray(kGood).replace("\n", "\r\n"), {}},
        {"a database port", with("driver=QSQLITE", "driver=QIBASE\nport=3050"), {}},
        {"no mask: codes as typed", with("DBPict=\"99.99.999;0;_\"", "DBPict="), {}},
        {"empty", "", {u"está vazio"_s}},
        {"only comments", "; nada aqui\n# nem aqui\n\n", {u"está vazio"_s}},
        {"UTF-16", QByteArray(toUtf16(QString::fromUtf8(kGood))), {u"não está gravado como texto UTF-8 (parece UTF-16)"_s}},
        {"Latin-1 bytes", with("Relat\xC3\xB3rios", "Relat\xF3rios"), {u"não está gravado como texto UTF-8"_s}},
        {"binary garbage", QByteArray("\x7F" "ELF\x02\x01\x01\x00\x00", 9), {u"não é um arquivo de texto."_s}},
        {"a line that is neither", with("[database]", "[database]\nisto não é uma chave"),
         {u"linha 8: \"isto não é uma chave\" não é uma seção [nome] nem uma linha chave=valor."_s}},
        {"a section not closed", with("[database]", "[database"), {u"linha 7: \"[database\" não é um nome de seção"_s}},
        {"a misspelt key", with("name=loja.sqlite", "nome=loja.sqlite"),
         {u"[database] nome = \"loja.sqlite\": chave desconhecida."_s, u"[database] name = \"\": falta"_s}},
        {"a misspelt section", with("[database]", "[databse]"), {u"[databse] driver = \"QSQLITE\": chave desconhecida."_s}},
        {"a key outside any section", "name=x\n" + kGood, {u"(fora de uma seção) name = \"x\": chave desconhecida."_s}},
        {"a misspelt password key keeps its value to itself", with("name=loja.sqlite", "name=loja.sqlite\npasword=segredo"),
         {u"[database] pasword = \"***\": chave desconhecida."_s}},
        {"port 99999", with("WebPort=211", "WebPort=99999"), {u"[context] WebPort = \"99999\": a porta deve ser um número de 1 a 65535."_s}},
        {"port -1", with("WebPort=211", "WebPort=-1"), {u"[context] WebPort = \"-1\": a porta"_s}},
        {"port abc", with("WebPort=211", "WebPort=abc"), {u"[context] WebPort = \"abc\": a porta"_s}},
        {"port 0", with("WebPort=211", "WebPort=0"), {u"[context] WebPort = \"0\": a porta"_s}},
        {"database port abc", with("driver=QSQLITE", "driver=QIBASE\nport=abc"), {u"[database] port = \"abc\": a porta"_s}},
        {"database port 70000", with("driver=QSQLITE", "driver=QIBASE\nport=70000"), {u"[database] port = \"70000\""_s}},
        {"a flag that is not one", with("ModuFili=false", "ModuFili=talvez"), {u"[context] ModuFili = \"talvez\": deve ser true ou false."_s}},
        {"mask AAAA", with("\"99.99.999;0;_\"", "AAAA"), {u"[context] DBPict = \"AAAA\": a máscara de códigos da árvore de produtos tem posições que aceitam letras"_s}},
        {"mask HH:MM;0;_", with("99.99.999;0;_", "HH:MM;0;_"), {u"[context] DBPict = \"HH:MM;0;_\": a máscara de códigos da árvore de produtos não tem nenhuma posição"_s}},
        {"mask with a flag 2", with("99.99.999;0;_", "99.99;2;_"), {u"[context] DBPict = \"99.99;2;_\": a máscara de códigos da árvore de produtos depois do primeiro ';' deve vir 0"_s}},
        {"the database missing", with("name=loja.sqlite\n", ""), {u"[database] name = \"\": falta o banco de dados a abrir."_s}},
        {"two faults, both named", with("WebPort=211", "WebPort=x\nWebUrl=y"),
         {u"[context] WebPort = \"x\""_s, u"[context] WebUrl = \"y\": chave desconhecida."_s}},
        // limits: milliseconds that would overflow, and 0 that would lift the limit, are refused
        {"a time limit of a day", with("name=loja.sqlite", "name=loja.sqlite\nreport_timeout=86400"), {}},
        {"a time limit past a day",
         with("name=loja.sqlite", "name=loja.sqlite\nreport_timeout=4294968"),
         {u"[database] report_timeout = \"4294968\": o limite de tempo deve ser um número de segundos de 1 a 86400 (um dia)."_s}},
        {"no time limit",
         with("name=loja.sqlite", "name=loja.sqlite\nstatement_timeout=0"),
         {u"[database] statement_timeout = \"0\": o limite de tempo"_s}},
        {"a time limit past 64 bits",
         with("name=loja.sqlite", "name=loja.sqlite\nstatement_timeout=99999999999999999999"),
         {u"[database] statement_timeout = \"99999999999999999999\": o limite de tempo"_s}},
        {"a row limit", with("[screens]", "[reports]\nmax_rows=2000000\n[screens]"), {}},
        {"no row limit",
         with("[screens]", "[reports]\nmax_rows=0\n[screens]"),
         {u"[reports] max_rows = \"0\": o limite de linhas deve ser um número de 1 a 10000000."_s}},
        {"a row limit past an int",
         with("[screens]", "[reports]\nmax_rows=2147483648\n[screens]"),
         {u"[reports] max_rows = \"2147483648\": o limite de linhas"_s}},
        // a ';' outside quotes starts a comment and would cut the value
        {"a password cut by a ';'",
         with("name=loja.sqlite", "name=loja.sqlite\npassword=segredo;resto"),
         {u"[database] password = \"***\": um ';' fora de aspas começa um comentário e cortaria o valor"_s}},
        {"a quoted password keeps its ';'",
         with("name=loja.sqlite", "name=loja.sqlite\npassword=\"segredo;resto\""),
         {}},
        {"a comment after a value",
         with("driver=QSQLITE", "driver=QSQLITE ; o banco"),
         {u"[database] driver = \"QSQLITE\": um ';' fora de aspas"_s}},
        // the mail server of backoffice export --mail-to
        {"a mail server", with("[screens]", "[mail]\nhost=smtp.loja\nport=587\nstarttls=true\nuser=r@loja\npassword=\"a;b\"\nfrom=r@loja\n[screens]"), {}},
        {"a mail port 0", with("[screens]", "[mail]\nhost=smtp.loja\nport=0\n[screens]"), {u"[mail] port = \"0\": a porta deve ser um número de 1 a 65535."_s}},
        {"starttls that is no flag", with("[screens]", "[mail]\nstarttls=sim\n[screens]"), {u"[mail] starttls = \"sim\": deve ser true ou false."_s}},
        {"a mail password cut by a ';'", with("[screens]", "[mail]\npassword=segredo;x\n[screens]"), {u"[mail] password = \"***\": um ';'"_s}},
        {"a branch name with a comma",
         with("FiliProc=0001", "FiliProc=0001\nNomeFiliProc=Centro, loja 1"),
         {u"[context] NomeFiliProc = \"\": uma ',' fora de aspas faria do valor uma lista, lida como vazia"_s}},
    };
    int n = 0;
    for (const auto &row : rows) {
        const QString path = dir.filePath(u"config%1.ini"_s.arg(n++));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(row.bytes);
        file.close();
        const QString message = refusal(path);
        if (row.expected.isEmpty()) {
            EXPECT_TRUE(message.isEmpty()) << row.label << ": " << message.toStdString();
            continue;
        }
        EXPECT_TRUE(message.startsWith(u"O arquivo de configuração '%1' "_s.arg(path))) << row.label << ": " << message.toStdString();
        qsizetype from = 0;
        for (const QString &part : row.expected) {
            const qsizetype at = message.indexOf(part, from);
            EXPECT_GE(at, 0) << row.label << ": \"" << part.toStdString() << "\" not in\n" << message.toStdString();
            from = at < 0 ? from : at + part.size();
        }
        EXPECT_FALSE(message.contains(u"segredo"_s)) << row.label;
    }
    // A folder where the file should be, and a file that is not there.
    EXPECT_TRUE(refusal(dir.path()).contains(u"é uma pasta, não um arquivo."_s)) << refusal(dir.path()).toStdString();
    EXPECT_TRUE(refusal(dir.filePath(u"nao.ini"_s)).contains(u"não encontrado"_s));
}

TEST(ConfigurationCheck, CodeMasksTheProductFieldsCanUse)
{
    const struct
    {
        const char *mask;
        const char *problem; // start of the reason; nullptr: usable
    } rows[] = {
        {"99.99.999;0;_", nullptr},
        {"9-999-999;0;_", nullptr},
        {"000.000;1;_", nullptr},
        {"99.99.999", nullptr},
        {"99\\.99;0; ", nullptr},
        {"", nullptr},
        {"AAAA", "tem posições que aceitam letras"},
        {"99.aa;0;_", "tem posições que aceitam letras"},
        {"##.##;0;_", "tem posições que aceitam letras ou sinais"},
        {"HH:MM;0;_", "não tem nenhuma posição"},
        {".-/;0;_", "não tem nenhuma posição"},
        {"99X99;0;_", "tem letras ou algarismos fixos ('X')"},
        {"99\\999;0;_", "tem letras ou algarismos fixos ('9')"},
        {"99.99;2;_", "depois do primeiro ';' deve vir 0"},
        {"99.99;;_", "depois do primeiro ';' deve vir 0"},
        {"99.99;0;__", "depois do segundo ';' deve vir um só caractere"},
        {"99.99;0;9", "depois do segundo ';' deve vir um só caractere"},
    };
    for (const auto &row : rows) {
        const QString problem = TMaskEdit::digitCodeMaskProblem(QString::fromUtf8(row.mask));
        if (!row.problem)
            EXPECT_TRUE(problem.isEmpty()) << row.mask << ": " << problem.toStdString();
        else
            EXPECT_TRUE(problem.startsWith(QString::fromUtf8(row.problem))) << row.mask << ": " << problem.toStdString();
    }
}

// "9.9;0;_" is a usable mask of two digits, but codes of seven are cut to two in the product fields
// (and a report then runs on another range): the host checks the mask against the codes it has.
TEST(ConfigurationCheck, AMaskShorterThanTheCodesIsRefused)
{
    HostConfig config;
    config.path = u"/etc/backoffice.ini"_s;
    const struct
    {
        const char *mask;
        int longest;
        bool refused;
    } rows[] = {
        {"99.99.999;0;_", 7, false}, {"99.99.999;0;_", 0, false}, {"9.9;0;_", 7, true},
        {"AAAA", 7, true},           {"9.9;0;_", 2, false},       {"", 20, false},
        {"99.99.999;0;_", 8, true},
    };
    for (const auto &row : rows) {
        config.context.dbPictArvProd = QString::fromUtf8(row.mask);
        QString message;
        try {
            config.checkCodeMaskHolds(row.longest);
        } catch (const EHostError &e) {
            message = e.message();
        }
        EXPECT_EQ(!message.isEmpty(), row.refused) << row.mask << " " << row.longest << ": " << message.toStdString();
        if (row.refused) {
            EXPECT_TRUE(message.contains(u"'/etc/backoffice.ini'"_s)) << message.toStdString();
            EXPECT_TRUE(message.contains(u"[context] DBPict = \"%1\": "_s.arg(QString::fromUtf8(row.mask)))) << message.toStdString();
            EXPECT_TRUE(message.contains(u"códigos de %1 caracteres"_s.arg(row.longest))) << message.toStdString();
        }
    }
}

TEST(ConfigurationCheck, ScriptOverridesFollowTheSameRules)
{
    const struct
    {
        const char *label;
        QJsonObject overrides;
        const char *problem; // nullptr: accepted
    } rows[] = {
        {"a port", {{u"WebPort"_s, 8080}}, nullptr},
        {"a port as text", {{u"WebPort"_s, u"8080"_s}}, nullptr},
        {"port 99999", {{u"WebPort"_s, 99999}}, "config.WebPort = \"99999\": a porta"},
        {"port -1", {{u"WebPort"_s, -1}}, "config.WebPort = \"-1\""},
        {"port abc", {{u"WebPort"_s, u"abc"_s}}, "config.WebPort = \"abc\""},
        {"port true", {{u"WebPort"_s, true}}, "config.WebPort"},
        {"mask AAAA", {{u"DBPict"_s, u"AAAA"_s}}, "config.DBPict = \"AAAA\""},
        {"database port", {{u"database"_s, QJsonObject{{u"port"_s, 123456}}}}, "config.database.port = \"123456\""},
        // each value of its own JSON type: converted, "true" would unlock the branch field
        {"a flag", {{u"ModuFili"_s, true}}, nullptr},
        {"a flag as text", {{u"ModuFili"_s, u"true"_s}}, "config.ModuFili = \"true\": deve ser true ou false (sem aspas)."},
        {"a flag as a number", {{u"ModuFili"_s, 1}}, "config.ModuFili = \"1\": deve ser true ou false"},
        {"a code as a number", {{u"FiliProc"_s, 7}}, "config.FiliProc = \"7\": deve ser um texto entre aspas."},
        {"a misspelt key", {{u"ModoFili"_s, true}}, "config.ModoFili: chave desconhecida."},
        {"the database as text", {{u"database"_s, u"loja.sqlite"_s}}, "config.database: deve ser um objeto"},
        {"a password as a number keeps its value to itself", {{u"database"_s, QJsonObject{{u"password"_s, 4321}}}},
         "config.database.password = \"***\": deve ser um texto entre aspas."},
        {"a time limit", {{u"database"_s, QJsonObject{{u"report_timeout"_s, 600}}}}, nullptr},
        {"a time limit that overflows", {{u"database"_s, QJsonObject{{u"report_timeout"_s, 4294968}}}},
         "config.database.report_timeout = \"4294968\": o limite de tempo"},
        {"no time limit", {{u"database"_s, QJsonObject{{u"statement_timeout"_s, 0}}}},
         "config.database.statement_timeout = \"0\": o limite de tempo"},
    };
    for (const auto &row : rows) {
        HostConfig config;
        QString message;
        try {
            config.applyOverrides(row.overrides, u"/tmp"_s);
        } catch (const EHostError &e) {
            message = e.message();
        }
        if (!row.problem)
            EXPECT_TRUE(message.isEmpty()) << row.label << ": " << message.toStdString();
        else
            EXPECT_TRUE(message.contains(QString::fromUtf8(row.problem))) << row.label << ": " << message.toStdString();
    }
}

// Quoted, a value keeps every character: ';' and, escaped, quotes and backslashes.
TEST(ConfigurationCheck, QuotedValuesKeepWhatTheyHold)
{
    QTemporaryDir dir;
    const struct
    {
        const char *line;
        const char *password;
    } rows[] = {
        {"password=abc", "abc"},
        {"password=\"abc;123\"", "abc;123"},
        {"password=\"abc,123\"", "abc,123"},
        {"password=\"a;b\\\"c\\\\d\"", "a;b\"c\\d"},
        {"password=\" espaços \"", " espaços "},
    };
    int n = 0;
    for (const auto &row : rows) {
        // a file of its own each: QSettings keeps what it read of a path while its size and time stay
        const QString path = dir.filePath(u"config%1.ini"_s.arg(n++));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(with("name=loja.sqlite", "name=loja.sqlite\n" + QByteArray(row.line)));
        file.close();
        QString password;
        try {
            password = HostConfig::load(path).database.password;
        } catch (const EHostError &e) {
            password = e.message();
        }
        EXPECT_EQ(password, QString::fromUtf8(row.password)) << row.line;
    }
}

TEST(ConfigurationCheck, ARefusedStartIsADialogWithAWindowAndStandardErrorAlways)
{
    for (const bool window : {true, false}) {
        RecordingUi ui;
        ScopedUi scope(ui);
        FILE *err = std::tmpfile();
        ASSERT_NE(err, nullptr);
        const QString text = u"O arquivo de configuração 'x.ini' não pode ser usado:\n[context] WebPort = \"0\": a porta"_s;
        EXPECT_EQ(HostSession::refuseStart(text, err, window), 2);
        std::rewind(err);
        char buffer[512] = {};
        const size_t n = std::fread(buffer, 1, sizeof buffer - 1, err);
        std::fclose(err);
        EXPECT_EQ(QString::fromUtf8(buffer, qsizetype(n)), u"backoffice: "_s + text + u'\n');
        EXPECT_EQ(ui.messages, window ? QStringList{text} : QStringList{}) << window;
    }
}

} // namespace
