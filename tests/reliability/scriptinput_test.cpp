// Screen scripts whose values have the wrong JSON type stop as an unknown verb does, with exit
// code 2 and the step named, instead of running on a converted value; what they quote reaches the
// terminal with its control characters shown, not acted on.

#include "hostconfig.h"
#include "reliability.h"
#include "scriptrunner.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

struct ScriptRun
{
    int code = -1;
    QByteArray err;
};

ScriptRun runScript(const QString &folder, const QByteArray &script)
{
    const QString path = QDir(folder).filePath(u"roteiro.json"_s);
    EXPECT_TRUE(reliability::writeAll(path, script));
    FILE *out = std::tmpfile();
    FILE *err = std::tmpfile();
    ScriptRun run;
    run.code = ScriptRunner::runFile(path, HostConfig::defaultPath(), out, err);
    std::rewind(err);
    char buffer[4096];
    size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, err)) > 0)
        run.err.append(buffer, qsizetype(n));
    std::fclose(out);
    std::fclose(err);
    return run;
}

TEST(ScriptInput, ValuesOfTheWrongTypeStopTheScript)
{
    QTemporaryDir dir;
    const QString database = dir.filePath(u"loja.sqlite"_s);
    reliability::createDatabase(database);
    const QByteArray config = R"("config": {"database": {"driver": "QSQLITE", "name": ")" +
                              QFile::encodeName(database) + R"("}})";
    const QByteArray open = R"({"open": "Vnd02500"}, )";
    const struct
    {
        const char *label;
        QByteArray script;
        int code;
        const char *err; // in standard error; nullptr: nothing said
    } rows[] = {
        {"steps of the right types",
         "{" + config + R"(, "steps": [)" + open +
             R"({"type": ["edtFilial", "2"]}, {"dump": ["edtFilial"]}, {"select": 0}]})",
         0, nullptr},
        {"steps as text", "{" + config + R"(, "steps": "open"})", 2,
         "\"steps\" deve ser uma lista de passos"},
        {"no steps", "{" + config + "}", 2, "\"steps\" deve ser uma lista de passos"},
        {"config as a list", R"({"config": [], "steps": []})", 2, "\"config\" deve ser um objeto"},
        {"a flag as text", R"({"config": {"ModuFili": "true"}, "steps": []})", 2,
         "config.ModuFili = \"true\": deve ser true ou false (sem aspas)."},
        {"a screen as a number", "{" + config + R"(, "steps": [{"open": 3}]})", 2,
         "passo 0: Passo 0: \"open\" espera o nome entre aspas."},
        {"typed text as a number",
         "{" + config + R"(, "steps": [)" + open + R"({"type": ["edtFilial", 12]}]})", 2,
         "passo 1: Passo 1: \"type\" espera [controle, texto]."},
        {"a dump of one name", "{" + config + R"(, "steps": [)" + open + R"({"dump": "edtFilial"}]})", 2,
         "\"dump\" espera uma lista de nomes"},
        {"a report at position 1.5", "{" + config + R"(, "steps": [)" + open + R"({"select": 1.5}]})", 2,
         "\"select\" espera"},
        {"a search answer as a number",
         "{" + config + R"(, "steps": [)" + open + R"({"answer": {"search": 2}}]})", 2, "\"answer\" espera"},
        {"a check box as text",
         "{" + config + R"(, "steps": [)" + open + R"({"answer": {"file": "a.csv", "check": "sim"}}]})", 2,
         "\"answer\" espera"},
        {"a control named with a bell and an escape sequence",
         "{" + config + R"(, "steps": [)" + open + R"({"click": "btn\u0007\u001b[2J\u202e"}]})", 2,
         "Controle desconhecido: 'btn\\x07\\x1b[2JU+202E'."},
    };
    for (const auto &row : rows) {
        const ScriptRun run = runScript(dir.path(), row.script);
        EXPECT_EQ(run.code, row.code) << row.label << ": " << run.err.toStdString();
        if (row.err)
            EXPECT_TRUE(run.err.contains(row.err)) << row.label << ": " << run.err.toStdString();
        else
            EXPECT_TRUE(run.err.isEmpty()) << row.label << ": " << run.err.toStdString();
        EXPECT_FALSE(run.err.contains('\a') || run.err.contains('\x1b')) << row.label << ": raw control characters";
    }
}

} // namespace
