// Store and register filters: all rows, or a list picked from a lookup bound to the branch.
#include "tfrmestaticvendhora.h"

#include "consiste.h"
#include "messages.h"
#include "modulestate.h"

using namespace Qt::StringLiterals;

namespace {
const QString kTodos = u"T"_s;

// A "list" choice needs a picked list; a failure sends the user back to the choice.
void requirePicked(const TfrmEstaticVendHora &f, TRadioButton *list, const QString &picked, const QString &missingKey)
{
    try {
        if (list->isChecked() && picked.isEmpty())
            MensErro(f.msgPadrao->Msg(missingKey), true);
    } catch (...) {
        FocusControl(list);
        throw;
    }
}
} // namespace

void TfrmEstaticVendHora::btnLojaClick(QObject *)
{
    Vd_Filial(true);

    qryLoja->Close();
    if (relHoraModalidade()) {
        // The take-all parameter is compared with 'T'; a picked list there makes InterBase type the
        // comparison as one character and fail with a truncation error. Only the all-marker means
        // "every branch", so that is all it needs to carry.
        qryLoja->ParamByName(u"P_TCDFILIAL"_s).SetAsString(stFilial == kTodos ? kTodos : QString());
        qryLoja->ParamByName(u"P_CDFILIAL"_s).SetAsString(stFilial);
    } else {
        qryLoja->ParamByName(u"P_TCDFILIAL"_s).SetAsString(QString());
        qryLoja->ParamByName(u"P_CDFILIAL"_s).SetAsString(edtFilial->text());
    }
    qryLoja->Open();

    if (qryLoja->IsEmpty()) {
        FocusControl(rbtListaLoja);
        MensErro(msgPadrao->Msg(u"NaoHaLoja"_s), true);
    }
    PesquisaLista(dtsLoja, u"CDLOJA"_s, msgPadrao->Msg(u"Loja"_s), false, stLoja);
    mPickedLoja.pick(stLoja, *qryLoja->Query(), u"CDLOJA"_s, u"NMLOJA"_s);
    showPicked(lblListaLoja, mPickedLoja);
}

void TfrmEstaticVendHora::btnCaixaClick(QObject *)
{
    Vd_Filial(true);
    Vd_Loja();

    qryCaixa->Close();
    // Registers always follow the branch of the code edit, also for the hour/modality report.
    qryCaixa->ParamByName(u"P_TCDFILIAL"_s).SetAsString(QString());
    qryCaixa->ParamByName(u"P_CDFILIAL"_s).SetAsString(edtFilial->text());
    if (rbtTodasLoja->isChecked()) {
        qryCaixa->ParamByName(u"P_TCDLOJA"_s).SetAsString(kTodos);
        qryCaixa->ParamByName(u"P_CDLOJA"_s).Clear();
    } else {
        qryCaixa->ParamByName(u"P_TCDLOJA"_s).Clear();
        qryCaixa->ParamByName(u"P_CDLOJA"_s).SetAsString(stLoja);
    }
    qryCaixa->Open();

    // No test for an empty result: the picker shows the text after the bar instead.
    const QString title = msgPadrao->Msg(u"Caixa"_s) + u'|' + msgPadrao->Msg(u"CAIXA_NULL"_s);
    PesquisaLista(dtsCaixa, u"CDCAIXA"_s, title, false, stCaixa);
    mPickedCaixa.pick(stCaixa, *qryCaixa->Query(), u"CDCAIXA"_s, u"NMCAIXA"_s);
    showPicked(lblListaCaixa, mPickedCaixa);
}

void TfrmEstaticVendHora::Vd_Loja()
{
    requirePicked(*this, rbtListaLoja, stLoja, u"Loja_inf"_s);
}

void TfrmEstaticVendHora::Vd_Caixa()
{
    requirePicked(*this, rbtListaCaixa, stCaixa, u"Caixa_inf"_s);
}
