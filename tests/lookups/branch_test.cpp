// Branch filter on the real screen: key filter, validation with its lookup, search and list picker.
#include "errors.h"
#include "lookupfixture.h"
#include "modulestate.h"

#include <optional>

using namespace Qt::StringLiterals;

namespace lookups {
namespace {

class Branch : public ScreenTest
{
protected:
    // Leaves the code edit for another control of the screen, as the user's Tab does.
    void leaveCode()
    {
        f->edtFilial->setFocus(Qt::TabFocusReason);
        QCoreApplication::processEvents();
        f->rbtTodasLoja->setFocus(Qt::TabFocusReason);
        QCoreApplication::processEvents();
    }
};

TEST_P(Branch, KeyFilterKeepsDigitsUpperCaseCedillaAndBackspaceOnly)
{
    struct Case
    {
        QString keys;
        QString text;
    };
    const Case cases[] = {
        {u"a"_s, u""_s},          {u" "_s, u""_s},          {u"."_s, u""_s},       {u"-/,"_s, u""_s},
        {u"é"_s, u""_s},          {u"É"_s, u""_s},          {u"ç"_s, u""_s},
        {u"0"_s, u"0"_s},         {u"Z"_s, u"Z"_s},         {u"Ç"_s, u"Ç"_s},      {u"aB1c"_s, u"B1"_s},
        {u"12\b3"_s, u"13"_s},    {u"12345"_s, u"1234"_s},  {u"00Ç1X"_s, u"00Ç1"_s},
    };
    for (const Case &c : cases) {
        f->edtFilial->clear();
        typeKeys(f->edtFilial, c.keys);
        EXPECT_EQ(f->edtFilial->text(), c.text) << c.keys.toStdString();
    }
    EXPECT_TRUE(shown().isEmpty()); // dropped characters give no message
}

TEST_P(Branch, LeavingTheCodeValidatesItAgainstTheBranchTable)
{
    struct Case
    {
        const char *label;
        QString typed;
        QString message; // empty: passes
        QString code;    // edit text afterwards
        QString name;
        QString focus;
    };
    const Case cases[] = {
        {"empty", u""_s, u"Filial deve ser informada."_s, u""_s, u""_s, u"edtFilial"_s},
        {"blanks", u"   "_s, u"Filial deve ser informada."_s, u"   "_s, u""_s, u"edtFilial"_s},
        {"short known", u"1"_s, {}, u"0001"_s, u"Matriz"_s, u"rbtTodasLoja"_s},
        {"short known 2", u"9"_s, {}, u"0009"_s, u"Norte"_s, u"rbtTodasLoja"_s},
        {"full known", u"0002"_s, {}, u"0002"_s, u"Centro"_s, u"rbtTodasLoja"_s},
        {"cedilla", u"00Ç1"_s, {}, u"00Ç1"_s, u"Açude"_s, u"rbtTodasLoja"_s},
        {"short unknown", u"7"_s, u"Filial não cadastrada."_s, u"0007"_s, u""_s, u"edtFilial"_s},
        {"unknown", u"9999"_s, u"Filial não cadastrada."_s, u"9999"_s, u""_s, u"edtFilial"_s},
        {"too long keeps the right end", u"12345"_s, u"Filial não cadastrada."_s, u"2345"_s, u""_s, u"edtFilial"_s},
    };
    activate();
    choose(kVendasPorDia);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        const QString lastCode = TfrmEstaticVendHoraProbe::lastCode(*f);
        const QString lastName = TfrmEstaticVendHoraProbe::lastName(*f);
        ui.clear();
        f->edtFilial->setText(c.typed);
        leaveCode();
        EXPECT_EQ(shown(), c.message.isEmpty() ? QStringList() : QStringList{c.message});
        EXPECT_EQ(f->edtFilial->text(), c.code);
        EXPECT_EQ(f->edtNmFilial->text(), c.name);
        EXPECT_EQ(focusName(), c.focus);
        EXPECT_EQ(f->nbkFilial->PageIndex(), 0);
        if (c.message.isEmpty()) {
            EXPECT_EQ(TfrmEstaticVendHoraProbe::lastCode(*f), c.code);
            EXPECT_EQ(TfrmEstaticVendHoraProbe::lastName(*f), c.name);
        } else {
            EXPECT_EQ(TfrmEstaticVendHoraProbe::lastCode(*f), lastCode);
            EXPECT_EQ(TfrmEstaticVendHoraProbe::lastName(*f), lastName);
        }
    }
}

TEST_P(Branch, FlagOnlyDecidesAboutAnEmptyCode)
{
    choose(kVendasPorDia);
    f->edtFilial->setText(QString());
    EXPECT_NO_THROW(f->Vd_Filial(false));
    EXPECT_FALSE(f->qryFilial->Active());
    EXPECT_THROW(f->Vd_Filial(true), EAbort);
    f->edtFilial->setText(u"0007"_s);
    EXPECT_THROW(f->Vd_Filial(false), EAbort); // an unknown code fails whatever the flag
    EXPECT_EQ(shown(), (QStringList{u"Filial deve ser informada."_s, u"Filial não cadastrada."_s}));
}

TEST_P(Branch, ReportNameDecidesWhetherTheBranchIsTested)
{
    struct Case
    {
        QString report;
        std::optional<QString> message; // nullopt: passes
        bool lookup;
        int page;
    };
    const Case cases[] = {
        {u"Resumo de Vendas - Consolidado"_s, std::nullopt, false, 0},
        {u"Resumo de Vendas - Consolidado e Vendas por Hora/Modalidade"_s, std::nullopt, false, 0},
        // The summary test is case-sensitive: in capitals it is an ordinary report.
        {u"RESUMO DE VENDAS - CONSOLIDADO"_s, u"Filial não cadastrada."_s, true, 0},
        {u"Vendas por hora/modalidade"_s, std::nullopt, false, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.report.toStdString());
        f->qryFilial->Close();
        ui.clear();
        f->cbbReportNames->addItem(c.report);
        choose(f->cbbReportNames->count() - 1);
        f->edtFilial->setText(u"TODAS"_s);
        f->nbkFilial->SetPageIndex(0);
        if (c.message)
            EXPECT_THROW(f->Vd_Filial(true), EAbort);
        else
            EXPECT_NO_THROW(f->Vd_Filial(true));
        EXPECT_EQ(shown(), c.message ? QStringList{*c.message} : QStringList());
        EXPECT_EQ(f->qryFilial->Active(), c.lookup);
        EXPECT_EQ(f->nbkFilial->PageIndex(), c.page);
    }
}

TEST_P(Branch, ConsolidatedSummaryRestoresTheLastValidatedBranch)
{
    activate();
    choose(kVendasPorDia);
    f->edtFilial->setText(u"2"_s);
    leaveCode();
    choose(kConsolidado);
    EXPECT_EQ(f->edtFilial->text(), u"TODAS"_s);
    EXPECT_NO_THROW(f->Vd_Filial(true));
    choose(kVendasPorDia);
    EXPECT_EQ(f->edtFilial->text(), u"0002"_s);
    EXPECT_EQ(f->edtNmFilial->text(), u"Centro"_s);
}

TEST_P(Branch, HourModalityReportTestsTheBranchListOnly)
{
    activate();
    choose(kHoraModalidade);
    f->medHoraIni->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(f->nbkFilial->PageIndex(), 1);
    f->edtFilial->setText(u"9999"_s); // not looked up for this report

    EXPECT_TRUE(f->rbtTodosFil->isChecked());
    EXPECT_NO_THROW(f->Vd_Filial(true));

    f->rbtListaFil->setChecked(true);
    EXPECT_EQ(stFilial, QString());
    EXPECT_TRUE(f->btnListaFil->isEnabled());
    EXPECT_NO_THROW(f->Vd_Filial(false));
    EXPECT_THROW(f->Vd_Filial(true), EAbort);
    EXPECT_EQ(shown(), QStringList{u"Filial deve ser informada."_s});
    EXPECT_EQ(focusName(), u"medHoraIni"_s); // the focus stays where it was
    EXPECT_FALSE(f->qryFilial->Active());

    f->rbtTodosFil->setChecked(true);
    EXPECT_EQ(stFilial, u"T"_s);
    EXPECT_FALSE(f->btnListaFil->isEnabled());
}

TEST_P(Branch, SearchListsEveryBranchAndFillsCodeThenName)
{
    choose(kVendasPorDia);
    const QString lastCode = TfrmEstaticVendHoraProbe::lastCode(*f);
    ui.answerSearch(u"00Ç1"_s);
    f->btnPesqFilial->click();
    ASSERT_EQ(ui.opened.size(), 1);
    EXPECT_EQ(lastOpened().title, u"Filial"_s);
    EXPECT_EQ(lastOpened().keys, (QStringList{u"0001"_s, u"0002"_s, u"0005"_s, u"0009"_s, u"00Ç1"_s}));
    EXPECT_EQ(f->edtFilial->text(), u"00Ç1"_s);
    EXPECT_EQ(f->edtNmFilial->text(), u"Açude"_s);
    EXPECT_EQ(TfrmEstaticVendHoraProbe::lastCode(*f), lastCode); // no validation ran
    EXPECT_TRUE(shown().isEmpty());
}

TEST_P(Branch, ListButtonPicksBranchesIntoTheSelection)
{
    choose(kHoraModalidade);
    f->rbtListaFil->setChecked(true);
    ui.answerPicker({u"0009"_s, u"0002"_s});
    f->btnListaFil->click();
    ASSERT_EQ(ui.opened.size(), 1);
    EXPECT_EQ(lastOpened().kind, u"picker"_s);
    EXPECT_EQ(lastOpened().keys, (QStringList{u"0001"_s, u"0002"_s, u"0005"_s, u"0009"_s, u"00Ç1"_s}));
    EXPECT_EQ(lastOpened().title, u"FILIAL"_s); // the catalogue has no such entry
    EXPECT_EQ(stFilial, u"0002,0009"_s);
    EXPECT_NO_THROW(f->Vd_Filial(true));

    // "Todas" then "Lista" again loses the picked list.
    f->rbtTodosFil->setChecked(true);
    f->rbtListaFil->setChecked(true);
    EXPECT_EQ(stFilial, QString());
}

TEST_P(Branch, DatabaseErrorIsShownAndTheScreenStaysUsable)
{
    activate();
    choose(kVendasPorDia);
    TdtmDBGeral::close();
    f->edtFilial->setText(u"0002"_s);
    leaveCode();
    ASSERT_EQ(ui.errors.size(), 1);
    EXPECT_TRUE(ui.messages.isEmpty());
    EXPECT_EQ(focusName(), u"edtFilial"_s);
    EXPECT_EQ(f->edtNmFilial->text(), QString());

    ASSERT_TRUE(openDatabase(GetParam()).isEmpty());
    ui.clear();
    leaveCode();
    EXPECT_TRUE(shown().isEmpty());
    EXPECT_EQ(f->edtNmFilial->text(), u"Centro"_s);
    EXPECT_EQ(focusName(), u"rbtTodasLoja"_s);
}

INSTANTIATE_TEST_SUITE_P(Engines, Branch,
                         testsupport::allEngines(),
                         engineName);

} // namespace
} // namespace lookups
