// Store and register filters on the real screen: lookups bound to the branch, pickers, validators.
#include "errors.h"
#include "lookupfixture.h"
#include "modulestate.h"

#include <algorithm>
#include <optional>

using namespace Qt::StringLiterals;

namespace lookups {
namespace {

QString loja(int n)
{
    return u"%1"_s.arg(n, 10, 10, QChar(u'0'));
}

QStringList sorted(QStringList keys)
{
    std::sort(keys.begin(), keys.end());
    return keys;
}

class StoreRegister : public ScreenTest
{
protected:
    // Branch filter as the user leaves it: a code for ordinary reports, the radios and the picker
    // for the hour/modality report (nullopt: "Todas").
    void setBranch(int report, const QString &code, const std::optional<QStringList> &list = std::nullopt)
    {
        choose(report);
        f->edtFilial->setText(code);
        if (report != kHoraModalidade)
            return;
        if (!list) {
            f->rbtTodosFil->setChecked(true);
            return;
        }
        f->rbtTodosFil->setChecked(true); // a click on "Lista" empties the selection
        f->rbtListaFil->setChecked(true);
        if (!list->isEmpty()) {
            ui.answerPicker(*list);
            f->btnListaFil->click();
        }
    }
};

TEST_P(StoreRegister, StoreLookupFollowsTheBranchFilterOfTheReport)
{
    struct Case
    {
        const char *label;
        int report;
        QString code;
        std::optional<QStringList> branches;
        std::optional<QStringList> offered; // nullopt: no picker
        QString message;
        QString takeAll; // P_TCDFILIAL once the lookup ran
        QString focus;
    };
    const QStringList all{loja(1), loja(2), loja(3), loja(4), loja(5), loja(6)};
    const Case cases[] = {
        {"one branch", kVendasPorDia, u"0001"_s, {}, QStringList{loja(1), loja(2)}, {}, u""_s, {}},
        {"short code", kVendasPorDia, u"9"_s, {}, QStringList{loja(4), loja(5)}, {}, u""_s, {}},
        {"cedilla", kVendasPorDia, u"00Ç1"_s, {}, QStringList{loja(6)}, {}, u""_s, {}},
        {"branch without stores", kVendasPorDia, u"0005"_s, {}, std::nullopt,
         u"Não há loja cadastrada para a filial informada."_s, u""_s, u"rbtListaLoja"_s},
        {"no branch", kVendasPorDia, u""_s, {}, std::nullopt, u"Filial deve ser informada."_s, {}, u"edtFilial"_s},
        {"unknown branch", kVendasPorDia, u"0007"_s, {}, std::nullopt, u"Filial não cadastrada."_s, {}, u"edtFilial"_s},
        {"all branches", kHoraModalidade, u"0005"_s, std::nullopt, all, {}, u"T"_s, {}},
        {"branch list", kHoraModalidade, u"0005"_s, QStringList{u"0002"_s, u"0009"_s},
         QStringList{loja(3), loja(4), loja(5)}, {}, u""_s, {}},
        {"list with cedilla", kHoraModalidade, u""_s, QStringList{u"00Ç1"_s, u"0001"_s},
         QStringList{loja(1), loja(2), loja(6)}, {}, u""_s, {}},
        {"list without stores", kHoraModalidade, u""_s, QStringList{u"0005"_s}, std::nullopt,
         u"Não há loja cadastrada para a filial informada."_s, u""_s, u"rbtListaLoja"_s},
        {"list picked empty", kHoraModalidade, u""_s, QStringList{}, std::nullopt, u"Filial deve ser informada."_s,
         {}, {}},
    };
    activate();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        setBranch(c.report, c.code, c.branches);
        f->rbtTodasLoja->setChecked(true);
        f->rbtListaLoja->setChecked(true);
        f->qryLoja->Close();
        f->medHoraIni->setFocus(Qt::OtherFocusReason);
        ui.clear();
        ui.emptyTexts.clear();
        ui.answerPicker({loja(4), loja(6)});
        f->btnLoja->click();

        EXPECT_EQ(shown(), c.message.isEmpty() ? QStringList() : QStringList{c.message});
        EXPECT_EQ(f->qryLoja->Active(), !c.takeAll.isNull());
        if (!c.takeAll.isNull()) {
            EXPECT_EQ(f->qryLoja->ParamByName(u"P_TCDFILIAL"_s).AsString(), c.takeAll);
        }
        if (!c.focus.isEmpty()) {
            EXPECT_EQ(focusName(), c.focus);
        }
        if (c.offered) {
            ASSERT_EQ(ui.opened.size(), 1);
            EXPECT_EQ(lastOpened().title, u"Loja"_s);
            EXPECT_EQ(sorted(lastOpened().keys), *c.offered);
            QStringList expected;
            for (const QString &k : {loja(4), loja(6)})
                if (c.offered->contains(k))
                    expected << k;
            EXPECT_EQ(stLoja, expected.join(u','));
        } else {
            EXPECT_TRUE(ui.opened.isEmpty());
            EXPECT_EQ(stLoja, QString()); // kept as the "Lista" radio left it
        }
    }
}

TEST_P(StoreRegister, RegisterLookupFollowsTheBranchCodeAndTheStores)
{
    struct Case
    {
        const char *label;
        int report;
        QString code;
        std::optional<QStringList> stores; // nullopt: "Todas"
        QStringList offered;
    };
    const Case cases[] = {
        // Register 004 names a store that LOJA lacks: never offered.
        {"all stores", kVendasPorDia, u"0001"_s, std::nullopt, {u"001"_s, u"002"_s, u"003"_s}},
        {"one store", kVendasPorDia, u"0001"_s, QStringList{loja(2)}, {u"003"_s}},
        {"two stores", kVendasPorDia, u"0001"_s, QStringList{loja(1), loja(2)}, {u"001"_s, u"002"_s, u"003"_s}},
        {"other branch", kVendasPorDia, u"2"_s, std::nullopt, {u"001"_s}},
        {"branch without stores", kVendasPorDia, u"0005"_s, std::nullopt, {}},
        {"hour report", kHoraProduto, u"0009"_s, std::nullopt, {u"001"_s}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        setBranch(c.report, c.code);
        if (c.stores) {
            f->rbtTodasLoja->setChecked(true);
            f->rbtListaLoja->setChecked(true);
            ui.answerPicker(*c.stores);
            f->btnLoja->click();
        } else {
            f->rbtTodasLoja->setChecked(true);
        }
        f->rbtTodosCaixa->setChecked(true);
        f->rbtListaCaixa->setChecked(true);
        ASSERT_TRUE(f->btnCaixa->isEnabled());
        ui.clear();
        ui.emptyTexts.clear();
        ui.answerPicker({u"003"_s, u"001"_s});
        f->btnCaixa->click();

        EXPECT_TRUE(shown().isEmpty());
        ASSERT_EQ(ui.opened.size(), 1); // opens also without rows: the picker tells the user
        EXPECT_EQ(lastOpened().title, u"Caixa"_s);
        EXPECT_EQ(ui.emptyTexts, QStringList{u"Não há caixa com movimentação para a filial e o período informado."_s});
        EXPECT_EQ(lastOpened().keys, c.offered);
        // Null where the store filter is not used, never an empty text.
        const TParam &cdLoja = f->qryCaixa->ParamByName(u"P_CDLOJA"_s);
        const TParam &tcdLoja = f->qryCaixa->ParamByName(u"P_TCDLOJA"_s);
        EXPECT_EQ(cdLoja.IsNull(), !c.stores.has_value());
        EXPECT_EQ(tcdLoja.IsNull(), c.stores.has_value());
        if (!c.stores) {
            EXPECT_EQ(tcdLoja.AsString(), u"T"_s);
        }
        QStringList picked;
        for (const QString &k : {u"001"_s, u"003"_s})
            if (c.offered.contains(k))
                picked << k;
        EXPECT_EQ(stCaixa, picked.join(u','));
    }
}

TEST_P(StoreRegister, RegisterButtonStopsAtAMissingStoreListBeforeAnyLookup)
{
    activate();
    choose(kVendasPorDia);
    f->edtFilial->setText(u"0001"_s);
    f->rbtListaLoja->setChecked(true);
    f->rbtListaCaixa->setChecked(true);
    f->medHoraIni->setFocus(Qt::OtherFocusReason);
    f->btnCaixa->click();
    EXPECT_EQ(shown(), QStringList{u"Loja deve ser informada."_s});
    EXPECT_EQ(focusName(), u"rbtListaLoja"_s);
    EXPECT_FALSE(f->qryCaixa->Active());
    EXPECT_TRUE(ui.opened.isEmpty());

    ui.clear();
    f->edtFilial->setText(QString());
    f->btnCaixa->click();
    EXPECT_EQ(shown(), QStringList{u"Filial deve ser informada."_s}); // the branch is checked first
    EXPECT_FALSE(f->qryCaixa->Active());
}

TEST_P(StoreRegister, ValidatorsRequireAListOnlyWithTheListRadio)
{
    struct Case
    {
        bool list;
        QString selection;
        bool fails;
    };
    const Case cases[] = {
        {false, u"T"_s, false}, {false, u""_s, false}, {true, u""_s, true},
        {true, u"0000000001"_s, false}, {true, u" "_s, false},
    };
    activate();
    choose(kVendasPorDia);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.selection.toStdString() + (c.list ? " list" : " all"));
        (c.list ? f->rbtListaLoja : f->rbtTodasLoja)->setChecked(true);
        (c.list ? f->rbtListaCaixa : f->rbtTodosCaixa)->setChecked(true);
        stLoja = c.selection;
        stCaixa = c.selection;
        f->medHoraIni->setFocus(Qt::OtherFocusReason);
        ui.clear();
        if (c.fails) {
            EXPECT_THROW(f->Vd_Loja(), EAbort);
            EXPECT_EQ(focusName(), u"rbtListaLoja"_s);
            EXPECT_THROW(f->Vd_Caixa(), EAbort);
            EXPECT_EQ(focusName(), u"rbtListaCaixa"_s);
            EXPECT_EQ(shown(), (QStringList{u"Loja deve ser informada."_s, u"Caixa deve ser informado."_s}));
        } else {
            EXPECT_NO_THROW(f->Vd_Loja());
            EXPECT_NO_THROW(f->Vd_Caixa());
            EXPECT_TRUE(shown().isEmpty());
            EXPECT_EQ(focusName(), u"medHoraIni"_s);
        }
    }
}

TEST_P(StoreRegister, PickedListsSurviveAChangeOfBranch)
{
    activate();
    choose(kVendasPorDia);
    f->edtFilial->setText(u"0001"_s);
    f->rbtListaLoja->setChecked(true);
    ui.answerPicker({loja(2)});
    f->btnLoja->click();
    f->rbtListaCaixa->setChecked(true);
    ui.answerPicker({u"003"_s});
    f->btnCaixa->click();
    ASSERT_EQ(stLoja, loja(2));
    ASSERT_EQ(stCaixa, u"003"_s);

    f->edtFilial->setFocus(Qt::TabFocusReason);
    f->edtFilial->setText(u"2"_s);
    f->rbtTodasLoja->setFocus(Qt::TabFocusReason); // leaving the code validates the new branch
    EXPECT_EQ(f->edtNmFilial->text(), u"Centro"_s);
    EXPECT_EQ(stLoja, loja(2));
    EXPECT_EQ(stCaixa, u"003"_s);

    // Clicking "Lista" again empties the pick; validation fails until a new one.
    f->rbtTodasLoja->setChecked(true);
    f->rbtListaLoja->setChecked(true);
    EXPECT_EQ(stLoja, QString());
    EXPECT_THROW(f->Vd_Loja(), EAbort);
}

TEST_P(StoreRegister, DatabaseErrorInTheStoreLookupIsShownAndTheButtonWorksAfterwards)
{
    // The hour/modality report tests its branch list without a lookup, so the store lookup is the
    // first statement the click runs.
    setBranch(kHoraModalidade, QString());
    f->rbtListaLoja->setChecked(true);
    TdtmDBGeral::close();
    f->btnLoja->click();
    EXPECT_EQ(ui.errors.size(), 1);
    EXPECT_TRUE(ui.messages.isEmpty());
    EXPECT_TRUE(ui.opened.isEmpty());
    EXPECT_EQ(stLoja, QString());

    ASSERT_TRUE(openDatabase(GetParam()).isEmpty());
    ui.clear();
    ui.answerPicker({loja(3)});
    f->btnLoja->click();
    ASSERT_EQ(ui.opened.size(), 1);
    EXPECT_TRUE(shown().isEmpty());
    EXPECT_EQ(stLoja, loja(3));
}

INSTANTIATE_TEST_SUITE_P(Engines, StoreRegister,
                         testsupport::allEngines(),
                         engineName);

} // namespace
} // namespace lookups
