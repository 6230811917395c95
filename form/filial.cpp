// Branch filter: the one branch code of most reports, the branch list of the hour/modality report.
#include "tfrmestaticvendhora.h"

#include "consiste.h"
#include "messages.h"
#include "modulestate.h"

using namespace Qt::StringLiterals;

void TfrmEstaticVendHora::Vd_Filial(bool flag)
{
    const QString report = cbbReportNames->currentText();
    // The consolidated summary covers every branch: whatever the code edit shows is fine.
    if (ReportClass::isConsolidadoExato(report))
        return;

    if (ReportClass::isHoraModalidade(report)) {
        nbkFilial->SetPageIndex(1);
        // The list page has no single field to send the user back to.
        if (EmptyString(stFilial) && flag)
            MensErro(msgPadrao->Msg(u"Filial_Inf"_s), true);
        return;
    }

    nbkFilial->SetPageIndex(0);
    try {
        if (EmptyString(edtFilial->text())) {
            if (flag)
                MensErro(msgPadrao->Msg(u"Filial_Inf"_s), true);
            return;
        }
        // Codes are stored four wide; the edit shows the code as it will be looked up.
        edtFilial->setText(Ajusta(edtFilial->text(), 4));

        qryFilial->Close();
        qryFilial->ParamByName(u"P_CDFILIAL"_s).SetAsString(edtFilial->text());
        qryFilial->ParamByName(u"P_TCDFILIAL"_s).SetAsString(QString());
        qryFilial->Open();
        if (qryFilial->IsEmpty())
            MensErro(msgPadrao->Msg(u"FILIAL_NCAD"_s), true);

        edtNmFilial->setText(qryFilial->FieldByName(u"NMFILIAL"_s).AsString());
        lastFilialCode = edtFilial->text();
        lastFilialName = edtNmFilial->text();
    } catch (...) {
        FocusControl(edtFilial);
        throw;
    }
}

void TfrmEstaticVendHora::btnPesqFilialBeforePesq(QObject *, bool &)
{
    qryFilial->Close();
    qryFilial->ParamByName(u"P_TCDFILIAL"_s).SetAsString(u"T"_s);
    qryFilial->ParamByName(u"P_CDFILIAL"_s).SetAsString(QString());
    qryFilial->Open();
}

void TfrmEstaticVendHora::btnPesqFilialAfterPesq(QObject *)
{
    // Code first: its change handling empties the name.
    edtFilial->setText(qryFilial->FieldByName(u"CDFILIAL"_s).AsString());
    edtNmFilial->setText(qryFilial->FieldByName(u"NMFILIAL"_s).AsString());
}

void TfrmEstaticVendHora::btnListaFilClick(QObject *)
{
    qryFilial->Close();
    qryFilial->ParamByName(u"P_CDFILIAL"_s).SetAsString(QString());
    qryFilial->ParamByName(u"P_TCDFILIAL"_s).SetAsString(u"T"_s);
    qryFilial->Open();
    const QString title = msgPadrao->Msg(u"FILIAL"_s);
    PesquisaLista(dtsFilial, u"CDFILIAL"_s, title, false, stFilial);
    mPickedFilial.pick(stFilial, *qryFilial->Query(), u"CDFILIAL"_s, u"NMFILIAL"_s);
    showPicked(lblListaFil, mPickedFilial);
}
