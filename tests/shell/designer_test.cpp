// The base screen's report designer: saves that keep the file whole, "Salvar como novo" and its
// preview, on a scratch catalogue.

#include "enginetest.h"
#include "errors.h"
#include "messages.h"
#include "reportdesignerwindow.h"
#include "reportdocument.h"
#include "tfrmdadosgerrel.h"

#include <QComboBox>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTableWidget>

using namespace enginetest;
using namespace Qt::StringLiterals;

namespace {

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
        saveDefinition(dailyDefinition(), folder + QStringLiteral("/dia.json"));
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

// The PostgreSQL text has its own tab and survives a save, as the other dialects' texts do.
TEST_F(DesignerTest, PostgresTextIsEditedAndSaved)
{
    auto window = designer();
    ASSERT_EQ(window->sqlEdits.size(), 5u);
    const QString text = dailyDefinition().sqlFor(SqlDialect::Default) + QStringLiteral("\n-- PostgreSQL");
    window->sqlEdits[4]->setPlainText(text);
    ASSERT_TRUE(window->save()) << ui.messages.join(u'\n').toStdString();
    const ReportDefinition saved = ReportDefinition::load(folder + QStringLiteral("/dia.json"));
    EXPECT_EQ(saved.sqlFor(SqlDialect::PostgreSQL), text);
    EXPECT_EQ(saved.sqlFor(SqlDialect::Default), dailyDefinition().sqlFor(SqlDialect::Default));
    auto reopened = std::make_unique<ReportDesignerWindow>(screen.get(), saved, screen->catalog().pathOf(0));
    EXPECT_EQ(reopened->sqlEdits[4]->toPlainText(), text);
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

namespace {

// The layout's columns in Portuguese: what the user changes there is what the JSON and the saved
// file hold, and a hand-edited JSON shows there.
TEST_F(DesignerTest, ColumnsReadInPortugueseAndWriteTheLayout)
{
    auto window = designer();
    QTableWidget *table = window->columnsTable;
    QStringList headings;
    for (int c = 0; c < table->columnCount(); ++c)
        headings << table->horizontalHeaderItem(c)->text();
    EXPECT_EQ(headings, (QStringList{u"Campo"_s, u"Título"_s, u"Tipo"_s, u"Total"_s}));
    const QJsonArray columns = dailyDefinition().layout.value(u"columns"_s).toArray();
    ASSERT_EQ(table->rowCount(), columns.size());
    ASSERT_GE(table->rowCount(), 2);
    for (int row = 0; row < table->rowCount(); ++row) {
        const QJsonObject column = columns.at(row).toObject();
        EXPECT_EQ(table->item(row, 0)->text(), column.value(u"field"_s).toString());
        EXPECT_EQ(table->item(row, 1)->text(), column.value(u"label"_s).toString());
        const QString shown = qobject_cast<QComboBox *>(table->cellWidget(row, 2))->currentText();
        EXPECT_EQ(ReportDesignerWindow::typeKey(shown), column.value(u"type"_s).toString(u"text"_s)) << shown.toStdString();
        EXPECT_FALSE(shown.contains(u'_') || shown == column.value(u"type"_s).toString()) << "a raw key: " << shown.toStdString();
    }
    table->item(1, 1)->setText(u"Faturamento"_s);
    qobject_cast<QComboBox *>(table->cellWidget(1, 2))->setCurrentText(u"Moeda (R$)"_s);
    ASSERT_TRUE(window->save()) << ui.messages.join(u'\n').toStdString();
    const QJsonObject saved =
        ReportDefinition::load(folder + u"/dia.json"_s).layout.value(u"columns"_s).toArray().at(1).toObject();
    EXPECT_EQ(saved.value(u"label"_s).toString(), u"Faturamento"_s);
    EXPECT_EQ(saved.value(u"type"_s).toString(), u"money"_s);
    // The JSON edited by hand: the table follows.
    QJsonObject layout = QJsonDocument::fromJson(window->layoutEdit->toPlainText().toUtf8()).object();
    QJsonArray edited = layout.value(u"columns"_s).toArray();
    QJsonObject first = edited.at(0).toObject();
    first.insert(u"label"_s, u"Dia da venda"_s);
    edited.replace(0, first);
    layout.insert(u"columns"_s, edited);
    window->layoutEdit->setPlainText(QString::fromUtf8(QJsonDocument(layout).toJson()));
    EXPECT_EQ(table->item(0, 1)->text(), u"Dia da venda"_s);
    window->layoutEdit->setPlainText(u"{ \"columns\": ["_s); // half-typed: the table keeps its rows
    EXPECT_EQ(table->item(0, 1)->text(), u"Dia da venda"_s);
}

} // namespace
