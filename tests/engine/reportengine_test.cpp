// The engine's actions end to end on a scratch SQLite file: the query on its own read-only
// connection, cancel, errors shown to the user, and the designer's saves.

#include "enginetest.h"
#include "errors.h"
#include "messages.h"
#include "reportdesignerwindow.h"
#include "reportdocument.h"
#include "tfrmdadosgerrel.h"

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

// Only paged files pay for the layout: a CSV or XLSX has no pages, a PDF or HTML saved the same way does.
TEST_F(ReportEngineTest, SavedFilesCountPagesOnlyWhenTheyArePaged)
{
    const struct
    {
        const char *file;
        int pages;
    } cases[] = {{"tabela.csv", 0}, {"paginas.pdf", 1}, {"pagina.html", 1}};
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

// A prompt that remembers how it was asked.
class PromptUi : public RecordingUi
{
public:
    std::optional<QString> prompt(QWidget *parent, const QString &caption, const QString &label,
                                  const QString &initial) override
    {
        captions << caption;
        labels << label;
        return RecordingUi::prompt(parent, caption, label, initial);
    }
    QStringList captions, labels;
};

class DesignerTest : public EngineTest
{
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        reports = path(QStringLiteral("reports"));
        folder = reports + QStringLiteral("/Vnd025");
        ASSERT_TRUE(QDir().mkpath(folder));
        ASSERT_TRUE(writeAll(folder + QStringLiteral("/index.json"),
                             R"({"code": "Vnd025", "reports": [{"title": "Vendas por Dia", "file": "dia.json"}]})"));
        dailyDefinition().save(folder + QStringLiteral("/dia.json"));
        setReportsDirectory(reports);
        screen = std::make_unique<TfrmDadosGerRel>(QStringLiteral("Vnd025"));
        screen->FormCreate(screen.get());
        screen->msgPadrao->Load(QStringLiteral("NovoCaption|Título do relatório\nNovoPrompt|Informe o título do relatório:"));
        screen->cbbReportNames->setCurrentIndex(0);
    }
    void TearDown() override
    {
        screen.reset();
        setReportsDirectory({});
        EngineTest::TearDown();
    }

    std::unique_ptr<ReportDesignerWindow> designer()
    {
        return std::make_unique<ReportDesignerWindow>(screen.get(), screen->chosenDefinition(),
                                                      screen->catalog().pathOf(0));
    }

    QString reports, folder;
    std::unique_ptr<TfrmDadosGerRel> screen;
};

TEST_F(DesignerTest, SaveRewritesTheDefinitionAndKeepsTheLayout)
{
    auto window = designer();
    window->titleEdit->setText(QStringLiteral("Vendas diárias"));
    ASSERT_TRUE(window->save()) << ui.messages.join(u'\n').toStdString();
    const ReportDefinition saved = ReportDefinition::load(folder + QStringLiteral("/dia.json"));
    EXPECT_EQ(saved.title, QStringLiteral("Vendas diárias"));
    EXPECT_EQ(saved.layout, dailyDefinition().layout);
    EXPECT_EQ(saved.sqlFor(SqlDialect::Default), dailyDefinition().sqlFor(SqlDialect::Default));
}

TEST_F(DesignerTest, InvalidEditsAndFailedSavesLeaveTheFileAlone)
{
    const QString file = folder + QStringLiteral("/dia.json");
    const QByteArray before = readAll(file);
    struct Case
    {
        std::function<void(ReportDesignerWindow &)> edit;
        const char *mentions;
    };
    const Case cases[] = {
        {[](ReportDesignerWindow &w) { w.layoutEdit->setPlainText(QStringLiteral("{ \"columns\": [")); }, "JSON"},
        {[](ReportDesignerWindow &w) { w.titleEdit->clear(); }, "título"},
        {[](ReportDesignerWindow &w) { w.sqlEdits[0]->setPlainText(QStringLiteral("DROP TABLE VENDA_DIA")); }, "DROP"},
        {[](ReportDesignerWindow &w) {
             w.sqlEdits[0]->setPlainText(QStringLiteral("SELECT * FROM VENDA_DIA WHERE CDFILIAL = :P_CDFILIAL"));
         },
         "P_CDFILIAL"},
    };
    for (const Case &c : cases) {
        ui.clear();
        auto window = designer();
        c.edit(*window);
        EXPECT_FALSE(window->save());
        ASSERT_EQ(ui.messages.size(), 1);
        EXPECT_TRUE(ui.messages[0].contains(QString::fromUtf8(c.mentions))) << ui.messages[0].toStdString();
        EXPECT_EQ(readAll(file), before);
    }
    // a valid edit that cannot be written: the folder is read-only
    ui.clear();
    auto window = designer();
    window->titleEdit->setText(QStringLiteral("Outro título"));
    {
        QFile::setPermissions(path(QString()), QFile::permissions(path(QString())) | QFileDevice::ExeOther);
        QFile::setPermissions(reports, QFile::permissions(reports) | QFileDevice::ExeOther);
        const ReadOnlyFolder readOnly(folder);
        EXPECT_FALSE(window->save());
    }
    // and one that fails half-way: the disk fills up (the file grows past the size limit)
    window->layoutEdit->setPlainText(window->layoutEdit->toPlainText().replace(
        QStringLiteral("\"Data\""), QStringLiteral("\"%1\"").arg(QString(600, u'D'))));
    {
        const FileSizeLimit limit(before.size());
        EXPECT_FALSE(window->save());
    }
    ASSERT_EQ(ui.messages.size(), 2);
    for (const QString &message : std::as_const(ui.messages))
        EXPECT_TRUE(message.contains(QStringLiteral("Não foi possível gravar"))) << message.toStdString();
    EXPECT_EQ(readAll(file), before);
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden), (QStringList{QStringLiteral("dia.json"), QStringLiteral("index.json")}));
}

TEST_F(DesignerTest, SaveAsNewAsksTheTitleWithTheCatalogueTextsAndAppendsToTheIndex)
{
    PromptUi prompts;
    const ScopedUi scope(prompts);
    prompts.answerPrompt(QStringLiteral("Vendas por Dia (Sábados)"));
    auto window = designer();
    ASSERT_TRUE(window->saveAsNew()) << prompts.messages.join(u'\n').toStdString();
    EXPECT_EQ(prompts.captions, QStringList{QStringLiteral("Título do relatório")});
    EXPECT_EQ(prompts.labels, QStringList{QStringLiteral("Informe o título do relatório:")});
    EXPECT_EQ(window->path(), folder + QStringLiteral("/vendas_por_dia_sabados.json"));

    const ReportCatalog catalog = ReportCatalog::load(reports, QStringLiteral("Vnd025"));
    ASSERT_EQ(catalog.entries().size(), 2);
    EXPECT_EQ(catalog.entries()[1].title, QStringLiteral("Vendas por Dia (Sábados)"));
    const ReportDefinition created = ReportDefinition::load(catalog.pathOf(1));
    EXPECT_EQ(created.title, QStringLiteral("Vendas por Dia (Sábados)"));
    EXPECT_EQ(created.layout, dailyDefinition().layout);
    // the original stays as it was
    EXPECT_EQ(ReportDefinition::load(catalog.pathOf(0)).title, QStringLiteral("Vendas por Dia"));
    // the screen lists the new report at once, the chosen one still chosen
    ASSERT_EQ(screen->cbbReportNames->count(), 2);
    EXPECT_EQ(screen->cbbReportNames->itemText(1), QStringLiteral("Vendas por Dia (Sábados)"));
    EXPECT_EQ(screen->cbbReportNames->currentIndex(), 0);
    EXPECT_EQ(screen->catalog().pathOf(1), window->path());

    // a title the catalogue already has is refused, the one just made too; a cancelled prompt does
    // nothing
    for (const char *taken : {"vendas por dia", "Vendas por Dia (Sábados)"}) {
        prompts.answerPrompt(QString::fromUtf8(taken));
        EXPECT_FALSE(window->saveAsNew()) << taken;
        EXPECT_TRUE(prompts.messages.last().contains(QStringLiteral("Já existe"))) << taken;
    }
    EXPECT_FALSE(window->saveAsNew());
    EXPECT_EQ(ReportCatalog::load(reports, QStringLiteral("Vnd025")).entries().size(), 2);
}

TEST_F(DesignerTest, VisualizarRunsTheEditedDefinition)
{
    auto window = designer();
    window->titleEdit->setText(QStringLiteral("Rascunho"));
    window->preview();
    ASSERT_EQ(runs.size(), 1);
    EXPECT_EQ(runs[0].title, QStringLiteral("Rascunho"));
    // the base screen fills no parameters itself, so the period is unbound and nothing matches
    EXPECT_EQ(runs[0].outcome, ReportRun::Outcome::Previewed) << runs[0].error.toStdString();
}

} // namespace
