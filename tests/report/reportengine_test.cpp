// The engine's actions end to end on a scratch SQLite file: the query on its own read-only
// connection, cancel and errors shown to the user.

#include "enginetest.h"
#include "errors.h"
#include "messages.h"
#include "reportdocument.h"
#include "reportquery.h"

#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPlainTextEdit>

using namespace enginetest;

namespace {

class ReportEngineTest : public EngineTest
{
};

TEST_F(ReportEngineTest, SaveAsRunsTheQueryWithTheParametersAndWritesTheFile)
{
    const QString file = path(QStringLiteral("junho.csv"));
    ui.answerFile(file);
    ReportEngine::instance().run(nullptr, ReportAction::SaveAs, dailyDefinition(),
                                 period(QDate(2025, 6, 1), QDate(2025, 6, 2)));
    ASSERT_EQ(runs.size(), 1);
    EXPECT_EQ(runs[0].outcome, ReportRun::Outcome::Saved) << runs[0].error.toStdString();
    EXPECT_EQ(runs[0].rows, 4); // the first and last days are inside the period
    EXPECT_TRUE(ui.messages.isEmpty()) << ui.messages.join(u'\n').toStdString();
    const QString text = QString::fromUtf8(readAll(file));
    EXPECT_EQ(text.count(QStringLiteral("\r\n")), 5);
    EXPECT_FALSE(text.contains(QStringLiteral("03/06/2025")));
}

// Only paged files pay for the layout: CSV, XLSX and HTML are written from the lines, a PDF has pages.
TEST_F(ReportEngineTest, SavedFilesCountPagesOnlyWhenTheyArePaged)
{
    const struct
    {
        const char *file;
        int pages;
    } cases[] = {{"tabela.csv", 0}, {"paginas.pdf", 1}, {"pagina.html", 0}};
    for (const auto &c : cases) {
        runs.clear();
        ui.answerFile(path(QLatin1String(c.file)));
        ReportEngine::instance().run(nullptr, ReportAction::SaveAs, dailyDefinition(),
                                     period(QDate(2025, 6, 1), QDate(2025, 6, 30)));
        ASSERT_EQ(runs.size(), 1);
        EXPECT_EQ(runs[0].outcome, ReportRun::Outcome::Saved) << c.file;
        EXPECT_EQ(runs[0].pages, c.pages) << c.file;
        EXPECT_EQ(runs[0].rows, 5) << c.file;
        EXPECT_GT(readAll(path(QLatin1String(c.file))).size(), 0) << c.file;
    }
}

TEST_F(ReportEngineTest, PreviewAndPrintDoNotBlockWithoutRealDialogs)
{
    ReportEngine::instance().run(nullptr, ReportAction::Preview, dailyDefinition(),
                                 period(QDate(2025, 6, 1), QDate(2025, 6, 30)));
    const QString pdf = path(QStringLiteral("impresso"));
    ui.answerFile(pdf);
    ReportEngine::instance().run(nullptr, ReportAction::Print, dailyDefinition(),
                                 period(QDate(2025, 6, 1), QDate(2025, 6, 30)));
    ReportEngine::instance().run(nullptr, ReportAction::Print, dailyDefinition(), // no file answered
                                 period(QDate(2025, 6, 1), QDate(2025, 6, 30)));
    ASSERT_EQ(runs.size(), 3);
    EXPECT_EQ(runs[0].outcome, ReportRun::Outcome::Previewed);
    EXPECT_EQ(runs[0].pages, 1);
    EXPECT_EQ(runs[0].rows, 5);
    EXPECT_EQ(runs[1].outcome, ReportRun::Outcome::Printed);
    EXPECT_EQ(runs[1].file, pdf + QStringLiteral(".pdf"));
    EXPECT_EQ(pdfPages(runs[1].file), 1);
    EXPECT_TRUE(pdfText(runs[1].file).contains(QStringLiteral("Total geral")));
    EXPECT_EQ(runs[2].outcome, ReportRun::Outcome::Cancelled);
    EXPECT_TRUE(ui.messages.isEmpty());
}

TEST_F(ReportEngineTest, WritingDefinitionsAreRefusedAndTheDataStays)
{
    const QByteArray before = readAll(dbPath);
    const char *statements[] = {
        "DELETE FROM VENDA_DIA",
        "WITH X AS (SELECT 1) DELETE FROM VENDA_DIA",
        "SELECT 1; DROP TABLE VENDA_DIA",
        "ATTACH DATABASE ':memory:' AS X",
    };
    for (const char *sql : statements) {
        ui.clear();
        ReportDefinition def = dailyDefinition();
        def.sql[SqlDialect::Default] = QString::fromLatin1(sql);
        ui.answerFile(path(QStringLiteral("nao.csv")));
        ReportEngine::instance().run(nullptr, ReportAction::SaveAs, def, period(QDate(2025, 6, 1), QDate(2025, 6, 30)));
        ASSERT_EQ(ui.messages.size(), 1) << sql;
        EXPECT_TRUE(ui.messages[0].contains(QStringLiteral("recusado"))) << ui.messages[0].toStdString();
        EXPECT_EQ(runs.last().outcome, ReportRun::Outcome::Failed) << sql;
    }
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("nao.csv"))));
    EXPECT_EQ(scalar(QStringLiteral("SELECT COUNT(*) FROM VENDA_DIA")), QStringLiteral("5"));
    EXPECT_EQ(readAll(dbPath), before);
}

TEST_F(ReportEngineTest, TheReportConnectionCannotWriteEvenWhenTheTextCheckIsBypassed)
{
    {
        ReportConnection report(connection);
        QSqlQuery q(report.database());
        EXPECT_FALSE(q.exec(QStringLiteral("DELETE FROM VENDA_DIA")));
        EXPECT_TRUE(q.lastError().text().contains(QStringLiteral("readonly"), Qt::CaseInsensitive))
            << q.lastError().text().toStdString();
        EXPECT_FALSE(q.exec(QStringLiteral("CREATE TABLE X (A INTEGER)")));
    }
    EXPECT_EQ(scalar(QStringLiteral("SELECT COUNT(*) FROM VENDA_DIA")), QStringLiteral("5"));
    // the copy is gone once the run is over
    for (const QString &name : QSqlDatabase::connectionNames())
        EXPECT_FALSE(name.startsWith(QStringLiteral("report_"))) << name.toStdString();
}

ReportDefinition endlessDefinition()
{
    return definitionFrom(R"({
        "title": "Consulta longa",
        "params": [],
        "sql": {"default": "WITH RECURSIVE N(I) AS (SELECT 1 UNION ALL SELECT I + 1 FROM N WHERE I < 2000000000) SELECT SUM(I) AS TOTAL FROM N"},
        "columns": [{"field": "TOTAL", "type": "integer"}]
    })");
}

TEST_F(ReportEngineTest, CancellingALongQueryDropsItsResultQuietly)
{
    TimedProgress progress(300);
    ReportEngine::instance().setProgress(&progress);
    const QString file = path(QStringLiteral("longo.csv"));
    ui.answerFile(file);
    QElapsedTimer clock;
    clock.start();
    ReportEngine::instance().run(nullptr, ReportAction::SaveAs, endlessDefinition(), TParams());
    const qint64 ms = clock.elapsed();
    std::printf("[ measure ] cancel requested at 300 ms, run over after %lld ms\n", static_cast<long long>(ms));

    ASSERT_EQ(runs.size(), 1);
    EXPECT_EQ(runs[0].outcome, ReportRun::Outcome::Cancelled);
    EXPECT_TRUE(progress.began && progress.ended);
    EXPECT_LT(ms, 5000);
    // the UI thread kept running its timers while the query ran
    EXPECT_GE(progress.ticks, 5);
    EXPECT_TRUE(ui.messages.isEmpty()) << ui.messages.join(u'\n').toStdString();
    EXPECT_TRUE(ui.errors.isEmpty());
    EXPECT_FALSE(QFile::exists(file));
    EXPECT_FALSE(ReportEngine::instance().busy());
}

TEST_F(ReportEngineTest, CancelBeforeTheStatementStartsStillStopsIt)
{
    TimedProgress progress(0); // cancels as soon as the event loop turns
    ReportEngine::instance().setProgress(&progress);
    ReportEngine::instance().run(nullptr, ReportAction::Preview, endlessDefinition(), TParams());
    ASSERT_EQ(runs.size(), 1);
    EXPECT_EQ(runs[0].outcome, ReportRun::Outcome::Cancelled);
}

TEST_F(ReportEngineTest, FailuresReachTheUserAsErrors)
{
    struct Case
    {
        const char *sql;
        const char *mentions;
    };
    const Case cases[] = {
        {"SELECT * FROM NAO_EXISTE", "no such table"},
        {"SELECT CDFILIAL FROM VENDA_DIA WHERE DTVENDA = :P_OUTRO", "P_OUTRO"},
        {"SELECT CDFILIAL FROM VENDA_DIA", "DTVENDA"}, // the layout's column is not in the result
    };
    for (const Case &c : cases) {
        ui.clear();
        ReportDefinition def = dailyDefinition();
        def.sql[SqlDialect::Default] = QString::fromLatin1(c.sql);
        ReportEngine::instance().run(nullptr, ReportAction::Preview, def, period(QDate(2025, 6, 1), QDate(2025, 6, 30)));
        ASSERT_EQ(ui.messages.size(), 1) << c.sql;
        EXPECT_TRUE(ui.messages[0].contains(QString::fromLatin1(c.mentions))) << ui.messages[0].toStdString();
        EXPECT_EQ(runs.last().outcome, ReportRun::Outcome::Failed);
    }
}

TEST_F(ReportEngineTest, EditWithoutRealDialogsValidatesTheDefinition)
{
    ReportEngine::instance().run(nullptr, ReportAction::Edit, dailyDefinition(), TParams());
    EXPECT_EQ(runs.last().outcome, ReportRun::Outcome::Edited);
    EXPECT_TRUE(ui.messages.isEmpty());

    ReportDefinition broken = dailyDefinition();
    broken.layout.insert(QStringLiteral("columns"), QJsonArray{QJsonObject{{QStringLiteral("field"), QStringLiteral("X")},
                                                                           {QStringLiteral("type"), QStringLiteral("cor")}}});
    ReportEngine::instance().run(nullptr, ReportAction::Edit, broken, TParams());
    ASSERT_EQ(ui.messages.size(), 1);
    EXPECT_TRUE(ui.messages[0].contains(QStringLiteral("cor")));
}

} // namespace
