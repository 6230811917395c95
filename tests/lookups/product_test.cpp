// Product range on the real screen: lookups on exit and on demand, the search, the range check.
#include "corvel.h"
#include "dataset.h"
#include "errors.h"
#include "lib00210.h"
#include "lookupfixture.h"

#include <optional>

using namespace Qt::StringLiterals;

namespace lookups {
namespace {

class Product : public ScreenTest
{
protected:
    void SetUp() override
    {
        ScreenTest::SetUp();
        if (HasFatalFailure())
            return;
        choose(kHoraProduto);
        ASSERT_TRUE(f->medDe->isEnabled());
    }
    void leave(QWidget *field)
    {
        field->setFocus(Qt::TabFocusReason);
        QCoreApplication::processEvents();
        f->medHoraIni->setFocus(Qt::TabFocusReason);
        QCoreApplication::processEvents();
    }
};

TEST_P(Product, LeavingACodeLooksItUpAndShowsTheName)
{
    struct Case
    {
        const char *label;
        bool start; // medDe, else medAte
        QString code;
        QString message;
        QString name;
        QString focus;
    };
    const Case cases[] = {
        {"start known", true, u"0101001"_s, {}, u"Arroz"_s, u"medHoraIni"_s},
        {"end known", false, u"0102001"_s, {}, u"Café"_s, u"medHoraIni"_s},
        {"short code", true, u"9"_s, {}, u"Nove"_s, u"medHoraIni"_s},
        {"leading zero", false, u"09"_s, {}, u"Zero nove"_s, u"medHoraIni"_s},
        {"start unknown", true, u"0199999"_s, u"Produto não cadastrado."_s, u""_s, u"medDe"_s},
        {"end unknown", false, u"1"_s, u"Produto não cadastrado."_s, u""_s, u"medAte"_s},
        {"start empty passes on exit", true, u""_s, {}, u""_s, u"medHoraIni"_s},
        {"end empty passes on exit", false, u""_s, {}, u""_s, u"medHoraIni"_s},
    };
    activate();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        TMaskEdit *code = c.start ? f->medDe : f->medAte;
        TEdit *name = c.start ? f->edtDe : f->edtAte;
        f->medDe->SetText(QString()); // the field a failure left the focus in passes when left
        f->medAte->SetText(QString());
        code->SetText(c.code);
        ASSERT_EQ(code->Text(), c.code);
        EXPECT_EQ(name->text(), QString()); // the change cleared it
        ui.clear();
        leave(code);
        EXPECT_EQ(shown(), c.message.isEmpty() ? QStringList() : QStringList{c.message});
        EXPECT_EQ(name->text(), c.name);
        EXPECT_EQ(focusName(), c.focus);
    }
}

TEST_P(Product, EmptyCodeWithoutTheFlagLeavesTheNameAlone)
{
    f->medDe->SetText(QString());
    f->edtDe->setText(u"anterior"_s);
    f->qryProduto->Close();
    EXPECT_NO_THROW(f->Vd_ProdIni(false));
    EXPECT_EQ(f->edtDe->text(), u"anterior"_s);
    EXPECT_FALSE(f->qryProduto->Active());
}

TEST_P(Product, ReportActionsRequireBothCodes)
{
    struct Case
    {
        bool start;
        QString code;
        QString message;
    };
    const Case cases[] = {
        {true, u""_s, u"Produto inicial deve ser informado."_s},
        {true, u"   "_s, u"Produto inicial deve ser informado."_s},
        {false, u""_s, u"Produto final deve ser informado."_s},
        {false, u"0199999"_s, u"Produto não cadastrado."_s},
    };
    activate();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.message.toStdString());
        TMaskEdit *code = c.start ? f->medDe : f->medAte;
        code->SetText(c.code);
        f->medHoraIni->setFocus(Qt::OtherFocusReason);
        ui.clear();
        EXPECT_THROW(c.start ? f->Vd_ProdIni(true) : f->Vd_ProdFin(true), EAbort);
        EXPECT_EQ(shown(), QStringList{c.message});
        EXPECT_EQ(focusName(), code->objectName());
    }
}

TEST_P(Product, RangeComparesTheCodesAsBytes)
{
    struct Case
    {
        QString start;
        QString end;
        bool fails;
    };
    const Case cases[] = {
        {u"9"_s, u"10"_s, true},       {u"09"_s, u"10"_s, false},     {u"10"_s, u"10"_s, false},
        {u"10"_s, u"1"_s, true},       {u"1"_s, u"10"_s, false},      {u"0101002"_s, u"0101001"_s, true},
        {u"0101001"_s, u"0102001"_s, false}, {u""_s, u"10"_s, false}, {u"9"_s, u""_s, false},
    };
    f->medDe->setEditMask(QString()); // free text, so that every case fits the field
    f->medAte->setEditMask(QString());
    activate();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.start.toStdString() + " > " + c.end.toStdString());
        f->medDe->SetText(c.start);
        f->medAte->SetText(c.end);
        ASSERT_EQ(f->medDe->Text(), c.start);
        f->medHoraIni->setFocus(Qt::OtherFocusReason);
        ui.clear();
        if (c.fails) {
            EXPECT_THROW(f->Vd_ProdIniFim(), EAbort);
            EXPECT_EQ(shown(), QStringList{u"Produto inicial deve ser menor que o produto final."_s});
            EXPECT_EQ(focusName(), u"medDe"_s);
        } else {
            EXPECT_NO_THROW(f->Vd_ProdIniFim());
            EXPECT_TRUE(shown().isEmpty());
        }
    }
}

TEST_P(Product, DisabledFieldsAreNeitherCheckedNorLookedUp)
{
    choose(kVendasPorDia);
    ASSERT_FALSE(f->medDe->isEnabled());
    f->medDe->SetText(u"9"_s);
    f->medAte->SetText(u""_s);
    f->qryProduto->Close();
    EXPECT_NO_THROW(f->Vd_ProdIni(true));
    EXPECT_NO_THROW(f->Vd_ProdFin(true));
    f->medAte->SetText(u"10"_s);
    EXPECT_NO_THROW(f->Vd_ProdIniFim());
    EXPECT_FALSE(f->qryProduto->Active());
    EXPECT_TRUE(shown().isEmpty());
}

TEST_P(Product, SearchOffersTheProductsSoldAtTheBranch)
{
    struct Case
    {
        const char *label;
        QString branch;
        QStringList offered;
    };
    const QStringList all{u"0101001"_s, u"0101002"_s, u"0102001"_s, u"09"_s, u"10"_s, u"9"_s};
    const Case cases[] = {
        {"branch with sales", u"0001"_s, {u"0101001"_s, u"0102001"_s}},
        {"other branch", u"0002"_s, {u"0101002"_s}},
        {"branch without sales", u"0005"_s, all},
        {"unknown branch", u"0007"_s, all},
        {"no branch", u""_s, all},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        f->edtFilial->setText(c.branch);
        ui.clear();
        ui.answerSearch(c.offered.last());
        f->btpAte->click();
        ASSERT_EQ(ui.opened.size(), 1);
        EXPECT_EQ(lastOpened().title, u"Produto"_s);
        EXPECT_EQ(lastOpened().keys, c.offered);
        EXPECT_EQ(f->medAte->Text(), c.offered.last());
        EXPECT_EQ(f->edtAte->text(), f->cdsPesqProduto->FieldByName(u"NMPRODUTO"_s).AsString());
        EXPECT_FALSE(f->edtAte->text().isEmpty());
        EXPECT_TRUE(shown().isEmpty());
    }

    f->edtFilial->setText(u"0001"_s);
    ui.clear();
    ui.answerSearch(u"0102001"_s);
    f->btpDe->click();
    EXPECT_EQ(f->medDe->Text(), u"0102001"_s);
    EXPECT_EQ(f->medDe->EditText(), u"01.02.001"_s);
    EXPECT_EQ(f->edtDe->text(), u"Café"_s);
}

TEST_P(Product, SearchRefusesABranchTextThatIsNoCode)
{
    const QString texts[] = {u"0' OR '1'='1"_s, u"01'"_s, u"ab"_s, u"00001"_s, u"0;1"_s};
    for (const QString &text : texts) {
        SCOPED_TRACE(text.toStdString());
        f->edtFilial->setText(text);
        f->medDe->SetText(u"0101001"_s);
        ui.clear();
        ui.answerSearch(u"0101002"_s);
        f->btpDe->click();
        EXPECT_TRUE(ui.opened.isEmpty());
        EXPECT_EQ(ui.errors.size(), 1);
        EXPECT_EQ(f->medDe->Text(), u"0101001"_s);
    }
}

TEST_P(Product, DatabaseErrorOnExitIsShownAndTheFieldWorksAfterwards)
{
    activate();
    f->medDe->SetText(u"0101001"_s);
    f->medDe->setFocus(Qt::TabFocusReason); // the branch edit is left while the database is there
    TdtmDBGeral::close();
    leave(f->medDe);
    EXPECT_EQ(ui.errors.size(), 1);
    EXPECT_EQ(focusName(), u"medDe"_s);
    EXPECT_EQ(f->edtDe->text(), QString());

    ASSERT_TRUE(openDatabase(GetParam()).isEmpty());
    ui.clear();
    leave(f->medDe);
    EXPECT_TRUE(shown().isEmpty());
    EXPECT_EQ(f->edtDe->text(), u"Arroz"_s);
}

INSTANTIATE_TEST_SUITE_P(Engines, Product,
                         testsupport::allEngines(),
                         engineName);

// The builder on its own: which branch texts may reach the statement, and the list it prepares.
TEST(ProductSearchBuilder, AcceptsOnlyCodesOfTheBranchAlphabet)
{
    struct Case
    {
        QString text;
        std::optional<QString> literal; // nullopt: refused
    };
    const Case cases[] = {
        {u"0001"_s, u"'0001'"_s}, {u"00Ç1"_s, u"'00Ç1'"_s}, {u"A"_s, u"'A'"_s}, {u" 0002 "_s, u"'0002'"_s},
        {u""_s, QString()},       {u"   "_s, QString()},       {u"0'1"_s, std::nullopt}, {u"0001'--"_s, std::nullopt},
        {u"abcd"_s, std::nullopt}, {u"00001"_s, std::nullopt}, {u"0ç01"_s, std::nullopt}, {u"0 01"_s, std::nullopt},
        {u"É"_s, std::nullopt},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        TClientDataSet cds;
        if (!c.literal) {
            EXPECT_THROW(SQL_Pesquisa_Produto_CDS(c.text, &cds), EHostError);
            continue;
        }
        const QString sql = SQL_Pesquisa_Produto_CDS(c.text, &cds);
        if (c.literal->isEmpty()) {
            EXPECT_FALSE(sql.contains(u"ITVENDA"_s));
        } else {
            EXPECT_EQ(sql.count(*c.literal), 2);
            EXPECT_EQ(sql.count(u'\''), 4); // the two literals and nothing else
        }
    }
}

TEST(ProductSearchBuilder, PreparesTheSearchListKeepingTheScreensMask)
{
    TClientDataSet cds;
    cds.FieldDefs() = {{u"CDARVPROD"_s, {}, 20, true, {}, u"9.9.9;0;_"_s}};
    cds.setContent({u"OLD"_s}, {{u"x"_s}});
    SQL_Pesquisa_Produto_CDS(u"0001"_s, &cds);
    EXPECT_TRUE(cds.IsEmpty());
    ASSERT_EQ(cds.FieldDefs().size(), 3);
    const TFieldDef *codigo = cds.findFieldDef(u"CDPRODUTO"_s);
    const TFieldDef *arvore = cds.findFieldDef(u"CDARVPROD"_s);
    const TFieldDef *nome = cds.findFieldDef(u"NMPRODUTO"_s);
    ASSERT_TRUE(codigo && arvore && nome);
    EXPECT_FALSE(codigo->visible);
    EXPECT_TRUE(arvore->visible);
    EXPECT_EQ(arvore->label, u"Código"_s);
    EXPECT_EQ(arvore->editMask, u"9.9.9;0;_"_s);
    EXPECT_EQ(nome->label, u"Nome"_s);

    TClientDataSet fresh; // no mask yet: the host's product-tree mask
    SQL_Pesquisa_Produto_CDS(QString(), &fresh);
    EXPECT_EQ(fresh.findFieldDef(u"CDARVPROD"_s)->editMask, Corvel::DBPict(0));
}

} // namespace
} // namespace lookups
