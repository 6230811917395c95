#include "application.h"
#include "cli_vnd02500.h"
#include "consiste.h"
#include "datamodule.h"
#include "errors.h"
#include "recordingui.h"
#include "reportdefinition.h"
#include "reportdesignerwindow.h"
#include "screentest.h"
#include "testsupport.h"

#include <QCoreApplication>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
// A screen on a small database holding branch 0001 with one store and register, and two products.
class ActionGate : public testsupport::ScreenTest<>
{
protected:
    void SetUp() override
    {
        // A file: the report runs on its own connection to the same database.
        openDatabase(DatabaseConfig::sqlite(mReports.filePath(QStringLiteral("gate.sqlite"))));
        QSqlQuery q(TdtmDBGeral::adcGeral());
        for (const char *sql : {
                 "CREATE TABLE FILIAL (CDFILIAL CHAR(4) PRIMARY KEY, NMFILIAL VARCHAR(30))",
                 "INSERT INTO FILIAL VALUES ('0001', 'Matriz')",
                 "CREATE TABLE LOJA (CDFILIAL CHAR(4), CDLOJA CHAR(10), NMLOJA VARCHAR(50))",
                 "INSERT INTO LOJA VALUES ('0001', '0000000001', 'Loja Centro')",
                 "CREATE TABLE CAIXA (CDFILIAL CHAR(4), CDLOJA CHAR(10), CDCAIXA CHAR(3), NMCAIXA VARCHAR(30))",
                 "INSERT INTO CAIXA VALUES ('0001', '0000000001', '001', 'Caixa 1')",
                 "CREATE TABLE PRODUTO (CDPRODUTO CHAR(10), CDARVPROD VARCHAR(20), NMPRODUTO VARCHAR(50),"
                 " SGUNIDADE VARCHAR(10), CDNVPRODUTO CHAR(1))",
                 "INSERT INTO PRODUTO VALUES ('0000000001', '0101001', 'Café', 'UN', '3')",
                 "INSERT INTO PRODUTO VALUES ('0000000002', '0101002', 'Pão', 'UN', '3')",
             })
            ASSERT_TRUE(q.exec(QString::fromUtf8(sql))) << sql;
        // The gate is under test, not the reports: every report lists the branches.
        ASSERT_TRUE(mReports.isValid());
        useCatalogueRunning(mReports.path(), QStringLiteral("SELECT CDFILIAL, NMFILIAL FROM FILIAL"));
        createScreen();
        QObject::connect(f.data(), &TfrmDadosGerRel::paramsFilled, f.data(), [this] { ++baseRuns; });
    }

    int baseRuns = 0;
    QTemporaryDir mReports;
};

using testsupport::focusName;

TEST_F(ActionGate, FirstFaultWinsAndLaterValidatorsDoNotRun)
{
    fillValid(0);
    HoraIni = QStringLiteral("07");
    f->depDtHrIni->SetText(QString());
    f->medHoraIni->SetText(QStringLiteral("2575"));
    f->medHoraFin->SetText(QStringLiteral("1000"));
    for (Action action : {Action::Preview, Action::Print, Action::SaveAs, Action::Edit}) {
        ui.clear();
        click(action);
        EXPECT_EQ(ui.messages, QStringList{QStringLiteral("Data inicial do período deve ser informada.")});
        EXPECT_EQ(focusName(), QStringLiteral("depDtHrIni"));
        EXPECT_EQ(HoraIni, QStringLiteral("07")); // the hour validators never ran
        EXPECT_EQ(baseRuns, 0);
    }
}

TEST_F(ActionGate, PreviewSkipsRegistersWhileTheirGroupIsClosed)
{
    fillValid(2); // "Vendas por Hora": the register group is closed
    ASSERT_FALSE(f->rbtTodosCaixa->isEnabled());
    f->rbtListaCaixa->setChecked(true); // "Lista" with nothing picked
    ASSERT_TRUE(stCaixa.isEmpty());
    f->medDe->SetText(QString());
    f->medAte->SetText(QString());
    click(Action::Preview);
    EXPECT_TRUE(ui.messages.isEmpty()) << ui.messages.join(u'|').toStdString();
    EXPECT_EQ(baseRuns, 1);
    for (Action action : {Action::Print, Action::SaveAs, Action::Edit}) {
        ui.clear();
        click(action);
        EXPECT_EQ(ui.messages, QStringList{QStringLiteral("Caixa deve ser informado.")});
        EXPECT_EQ(baseRuns, 1);
    }
}

// The interval is checked in every action, also where the chosen report keeps its group closed:
// a copy of an hour report saved at the end of the list still reads it.
TEST_F(ActionGate, IntervalIsCheckedWhateverThePosition)
{
    for (int index : {2, 9, 10, 11, 12}) {
        SCOPED_TRACE(index);
        fillValid(index);
        f->medHoras->SetText(QStringLiteral("0099"));
        const int before = baseRuns;
        click(Action::Print);
        EXPECT_EQ(ui.messages, QStringList{QStringLiteral("'0099' não é uma hora válida.")});
        if (f->medHoras->isEnabled()) {
            EXPECT_EQ(focusName(), QStringLiteral("medHoras"));
        }
        EXPECT_EQ(baseRuns, before);
    }
}

// Every position of the list, a copy saved at its end included, against the screen's table of
// what each position opens; and what the report is sent: the interval and the product range come
// from their fields whether or not the position opens them, and no report the screen gives no
// register filter takes one.
TEST_F(ActionGate, EveryPositionOpensWhatTheTableSaysAndSendsWhatItsFieldsHold)
{
    f->cbbReportNames->setCurrentIndex(5); // Hora/Produto: its definition, saved as a new report
    ui.answerPrompt(QStringLiteral("Vendas por Hora/Produto (cópia)"));
    {
        ReportDesignerWindow designer(f, f->chosenDefinition(), mReports.filePath(QStringLiteral("Vnd025/r5.json")));
        ASSERT_TRUE(designer.saveAsNew()) << ui.messages.join(u'|').toStdString();
    }
    ASSERT_EQ(f->cbbReportNames->count(), 15);

    struct Row
    {
        int index;
        bool intervalo, caixa, produto, btnCaixa; // open; btnCaixa with "Lista" checked
        bool registers, minutes, products;       // the report takes them
    };
    const Row rows[] = {
        {0, false, true, false, true, true, false, false},    {1, false, true, false, true, true, false, false},
        {2, true, false, false, false, false, true, false},   {3, true, true, false, true, true, true, false},
        {4, true, true, false, true, true, true, false},      {5, true, true, true, true, true, true, true},
        {6, true, true, true, true, true, true, true},        {7, false, false, false, true, false, false, false},
        {8, false, false, false, true, false, false, false},  {9, true, false, false, true, false, true, false},
        {10, false, false, false, true, false, false, false}, {11, false, false, false, true, false, false, false},
        {12, false, false, false, true, false, false, false}, {13, false, false, false, true, false, false, false},
        {14, false, false, false, true, true, true, true},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.index);
        fillValid(5); // typed where every field is open ...
        f->medHoras->SetText(QStringLiteral("0130"));
        f->rbtListaCaixa->setChecked(true);
        f->cbbReportNames->setCurrentIndex(row.index); // ... then the report is chosen
        EXPECT_EQ(f->btnCaixa->isEnabled(), row.btnCaixa);
        f->rbtTodosCaixa->setChecked(true);
        f->cbbReportNamesChange(f->cbbReportNames);
        EXPECT_EQ(f->medHoras->isEnabled(), row.intervalo);
        EXPECT_EQ(f->rbtTodosCaixa->isEnabled(), row.caixa);
        EXPECT_EQ(f->medDe->isEnabled(), row.produto);
        EXPECT_EQ(f->medAte->isEnabled(), row.produto);

        TParams sent;
        const QMetaObject::Connection c = QObject::connect(
            f.data(), &TfrmDadosGerRel::paramsFilled, f.data(), [&sent](const TParams &p) { sent = p; });
        const int before = baseRuns;
        click(Action::Preview);
        QObject::disconnect(c);
        ASSERT_TRUE(ui.messages.isEmpty()) << ui.messages.join(u'|').toStdString();
        ASSERT_EQ(baseRuns, before + 1);
        EXPECT_EQ(sent.FindParam(QStringLiteral("P_CDCAIXA")) != nullptr, row.registers);
        const TParam *minutes = sent.FindParam(QStringLiteral("MINUTOS"));
        ASSERT_EQ(minutes != nullptr, row.minutes);
        if (minutes) {
            EXPECT_EQ(minutes->AsInteger(), 90);
        }
        const TParam *from = sent.FindParam(QStringLiteral("P_PRODINI"));
        const TParam *to = sent.FindParam(QStringLiteral("P_PRODFIN"));
        ASSERT_EQ(from != nullptr && to != nullptr, row.products);
        if (row.products) {
            EXPECT_EQ(from->AsString() + u'-' + to->AsString(), QStringLiteral("0101001-0101002ZZZ"));
        }
    }
}

TEST_F(ActionGate, ProductFieldsAreMandatoryOnlyWhileOpen)
{
    struct Case
    {
        int report;
        const char *de, *ate, *message;
    };
    const Case cases[] = {
        {5, "", "0101002", "Produto inicial deve ser informado."},
        {5, "0101001", "", "Produto final deve ser informado."},
        {5, "0101002", "0101001", "Produto inicial deve ser menor que o produto final."},
        {5, "9999999", "0101002", "Produto não cadastrado."},
        {5, "0101001", "0101001", nullptr},
        {0, "", "", nullptr},          // product group closed: nothing is checked
        {0, "zzz", "aaa", nullptr},
    };
    for (const Case &c : cases) {
        fillValid(c.report);
        f->medDe->SetText(QString::fromLatin1(c.de));
        f->medAte->SetText(QString::fromLatin1(c.ate));
        const int before = baseRuns;
        click(Action::Print);
        if (c.message) {
            EXPECT_EQ(ui.messages, QStringList{QString::fromUtf8(c.message)}) << c.report << c.de << c.ate;
            EXPECT_EQ(baseRuns, before);
        } else {
            EXPECT_TRUE(ui.messages.isEmpty()) << c.report << c.de << ui.messages.join(u'|').toStdString();
            EXPECT_EQ(baseRuns, before + 1);
        }
    }
}

TEST_F(ActionGate, ValidFiltersRunTheBaseActionOnceAndRefreshTheHourParts)
{
    fillValid(3);
    f->medHoraIni->SetText(QStringLiteral("0830"));
    f->medHoraFin->SetText(QStringLiteral("1745"));
    HoraIni = QStringLiteral("xx");
    click(Action::Preview);
    EXPECT_TRUE(ui.messages.isEmpty()) << ui.messages.join(u'|').toStdString();
    EXPECT_EQ(baseRuns, 1);
    EXPECT_EQ(HoraIni + MinIni + HoraFin + MinFin, QStringLiteral("08301745"));
    EXPECT_EQ(f->edtNmFilial->text(), QStringLiteral("Matriz")); // the branch lookup ran
}

// The designer's preview passes the same gate as the preview button, so the hour parts it binds
// are cut from the hour fields as they stand at its click, not left from the last action.
TEST_F(ActionGate, DesignerPreviewRunsTheGate)
{
    fillValid(8); // "Resumo de Vendas por Dia" declares P_HRINI1 and P_HRFIN1
    f->medHoraIni->SetText(QStringLiteral("0830"));
    f->medHoraFin->SetText(QStringLiteral("1745"));
    click(Action::Preview);
    ASSERT_EQ(baseRuns, 1);
    ReportDesignerWindow designer(f, f->chosenDefinition(), QString());
    TParams bound;
    QObject::connect(f.data(), &TfrmDadosGerRel::paramsFilled, f.data(), [&bound](const TParams &p) { bound = p; });

    struct Case
    {
        const char *ini, *fin;
        const char *message; // nullptr: the preview runs
        const char *hrIni1, *hrFin1;
    };
    const Case cases[] = {
        {"0915", "1800", nullptr, "01/12/2026 09:15", "07/12/2026 18:00"},
        {"", "", nullptr, "01/12/2026 00:00", "07/12/2026 23:59"},
        {"2575", "1800", "'2575' não é uma hora válida.", nullptr, nullptr},
        {"0915", "", "Período final de hora deve ser informado.", nullptr, nullptr},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.ini) + "-" + c.fin);
        f->medHoraIni->SetText(QString::fromLatin1(c.ini));
        f->medHoraFin->SetText(QString::fromLatin1(c.fin));
        ui.clear();
        bound = TParams();
        const int before = baseRuns;
        designer.preview();
        if (c.message) {
            EXPECT_EQ(ui.messages, QStringList{QString::fromUtf8(c.message)});
            EXPECT_EQ(baseRuns, before);
            continue;
        }
        EXPECT_TRUE(ui.messages.isEmpty()) << ui.messages.join(u'|').toStdString();
        ASSERT_EQ(baseRuns, before + 1);
        EXPECT_EQ(bound.ParamByName(QStringLiteral("P_HRINI1")).AsString(), QString::fromLatin1(c.hrIni1));
        EXPECT_EQ(bound.ParamByName(QStringLiteral("P_HRFIN1")).AsString(), QString::fromLatin1(c.hrFin1));
    }
}

TEST_F(ActionGate, BranchAndStoreFaultsComeFirst)
{
    fillValid(0);
    f->edtFilial->setText(QString());
    click(Action::Print);
    EXPECT_EQ(ui.messages, QStringList{QStringLiteral("Filial deve ser informada.")});
    EXPECT_EQ(focusName(), QStringLiteral("edtFilial"));
    fillValid(0);
    f->rbtListaLoja->setChecked(true);
    click(Action::SaveAs);
    EXPECT_EQ(ui.messages, QStringList{QStringLiteral("Loja deve ser informada.")});
    EXPECT_EQ(focusName(), QStringLiteral("rbtListaLoja"));
    EXPECT_EQ(baseRuns, 0);
}
} // namespace
