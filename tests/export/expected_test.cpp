// Every report of the list, exported as CSV from a fixed demo database, against its expected file
// in tests/expected/ byte for byte. BO_REGEN_EXPECTED=1 (tools/regen-expected.sh) rewrites the
// files instead; see docs/reports.md, "Expected files".

#include "demodb.h"
#include "exportcommand.h"
#include "reportdefinition.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

// October and November 2026 of the tiny demo (seed 7): November is the period asked, October the
// "previous period" of the comparison.
struct ExpectedDemo
{
    QTemporaryDir dir;
    QString config;
};

const ExpectedDemo &expectedDemo()
{
    static ExpectedDemo *d = [] {
        auto *made = new ExpectedDemo;
        const QString database = made->dir.filePath(u"demo.sqlite"_s);
        DatabaseConfig db;
        db.driver = u"QSQLITE"_s;
        db.name = database;
        DemoSize size = DemoSize::tiny(400);
        size.days = 61;
        size.lastDay = QDate(2026, 11, 30);
        createDemoDatabase(db, size, 7);
        made->config = testsupport::writeHostConfig(made->dir.filePath(u"backoffice.ini"_s), database);
        return made;
    }();
    return *d;
}

QString expectedFolder()
{
    return testsupport::sourcePath(u"tests/expected"_s);
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The first line that differs, numbered from 1, as each side has it.
std::string firstDifferentLine(const QByteArray &got, const QByteArray &expected)
{
    const QList<QByteArray> a = got.split('\n');
    const QList<QByteArray> b = expected.split('\n');
    qsizetype i = 0;
    while (i < a.size() && i < b.size() && a.at(i) == b.at(i))
        ++i;
    auto line = [i](const QList<QByteArray> &lines) {
        return i < lines.size() ? '"' + lines.at(i).trimmed().toStdString() + '"' : std::string("(end of file)");
    };
    return "line " + std::to_string(i + 1) + "\n  exported: " + line(a) + "\n  expected: " + line(b);
}

// One row per report of the list, by its definition's file name: a branch, November, and one
// realistic choice where the report takes stores, registers or products; hours and interval are
// the screen's defaults.
struct Case
{
    const char *file;
    QStringList arguments;
};

const QList<Case> &cases()
{
    static const QList<Case> rows{
        {"vendas_por_dia", {}},
        {"vendas_por_dia_caixa", {u"--registers"_s, u"1,2"_s}},
        {"vendas_por_hora", {}},
        {"vendas_por_hora_caixa", {u"--registers"_s, u"1,3"_s}},
        {"vendas_por_hora_loja", {u"--stores"_s, u"1,2"_s}},
        {"vendas_por_hora_produto", {u"--products"_s, u"01.01.001:01.01.004"_s}},
        {"vendas_por_produto_hora", {u"--products"_s, u"01.01.001:01.01.004"_s}},
        {"resumo_vendas_consolidado", {}},
        {"resumo_vendas_por_dia", {u"--stores"_s, u"1"_s}},
        {"vendas_por_hora_modalidade", {}},
        {"ticket_medio_por_dia", {u"--stores"_s, u"1"_s}},
        {"mapa_calor_dia_hora", {u"--branch"_s, u"3"_s}},
        {"comparativo_por_hora", {}},
        {"caixas_por_hora", {}},
    };
    return rows;
}

// Nothing can drop out unseen: each report of the list has its row and its expected file, and no
// expected file is left over from a report that is gone.
TEST(ExpectedReports, EveryReportOfTheListHasItsRowAndItsFile)
{
    const ReportCatalog catalog = ReportCatalog::load(testsupport::sourcePath(u"reports"_s), u"Vnd025"_s);
    ASSERT_FALSE(catalog.entries().isEmpty());
    QStringList listed;
    for (int i = 0; i < catalog.entries().size(); ++i)
        listed << QFileInfo(catalog.pathOf(i)).completeBaseName();
    listed.sort();
    QStringList rows;
    for (const Case &c : cases())
        rows << QString::fromLatin1(c.file);
    rows.sort();
    EXPECT_EQ(rows.join(u' '), listed.join(u' ')) << "rows of this test / reports of the list";
    if (qEnvironmentVariableIsSet("BO_REGEN_EXPECTED"))
        return; // the files are being written
    QStringList files = QDir(expectedFolder()).entryList({u"*.csv"_s}, QDir::Files);
    for (QString &name : files)
        name = QFileInfo(name).completeBaseName();
    files.sort();
    EXPECT_EQ(files.join(u' '), listed.join(u' ')) << "files in tests/expected/ / reports of the list";
}

TEST(ExpectedReports, EachCsvIsItsExpectedFile)
{
    const ExpectedDemo &demo = expectedDemo();
    ASSERT_FALSE(demo.config.isEmpty());
    const bool regenerate = qEnvironmentVariableIsSet("BO_REGEN_EXPECTED");
    const ReportCatalog catalog = ReportCatalog::load(testsupport::sourcePath(u"reports"_s), u"Vnd025"_s);
    for (const Case &c : cases()) {
        const QString name = QString::fromLatin1(c.file);
        SCOPED_TRACE(c.file);
        int position = 0;
        for (int i = 0; i < catalog.entries().size(); ++i) {
            if (QFileInfo(catalog.pathOf(i)).completeBaseName() == name)
                position = i + 1;
        }
        ASSERT_GT(position, 0) << "not in the list";
        const QString out = demo.dir.filePath(name + u".csv"_s);
        const QStringList arguments = QStringList{u"--report"_s, QString::number(position), u"--from"_s, u"01/11/2026"_s,
                                                  u"--to"_s, u"30/11/2026"_s, u"--config"_s, demo.config, u"--out"_s, out}
                                      + c.arguments;
        FILE *stdOut = std::tmpfile();
        FILE *stdErr = std::tmpfile();
        const int status = ExportCommand::run(arguments, stdOut, stdErr);
        std::rewind(stdErr);
        char err[2048] = {};
        (void)std::fread(err, 1, sizeof err - 1, stdErr);
        std::fclose(stdOut);
        std::fclose(stdErr);
        ASSERT_EQ(status, 0) << err;
        const QByteArray got = readAll(out);
        ASSERT_GT(got.count('\n'), 1) << "no rows: the file would prove nothing";
        const QString expectedPath = QDir(expectedFolder()).filePath(name + u".csv"_s);
        if (regenerate) {
            QFile file(expectedPath);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(got) == got.size()) << expectedPath.toStdString();
            continue;
        }
        ASSERT_TRUE(QFile::exists(expectedPath)) << "no expected file; write it with tools/regen-expected.sh build";
        const QByteArray expected = readAll(expectedPath);
        EXPECT_TRUE(got == expected) << "tests/expected/" << c.file << ".csv differs at "
                                     << firstDifferentLine(got, expected)
                                     << "\nIf the change is meant, rewrite the files and read the diff: "
                                        "tools/regen-expected.sh build";
    }
}

} // namespace
