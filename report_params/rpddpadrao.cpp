// The report engine's request for the chosen report's parameters.
#include "cli_vnd02500.h"
#include "reportparams.h"

void TfrmEstaticVendHora::rpddPadraoBeforeGetQueryParams(TParams &params, bool &)
{
    FilterSnapshot f;
    f.reportName = cbbReportNames->currentText();
    f.filialText = edtFilial->text();
    f.stFilial = stFilial;
    f.stLoja = stLoja;
    f.stCaixa = stCaixa;
    f.todasLoja = rbtTodasLoja->isChecked();
    f.todosCaixa = rbtTodosCaixa->isChecked();
    f.dataIni = depDtHrIni->GetDate();
    f.dataFin = depDtHrFin->GetDate();
    f.dataIniShown = depDtHrIni->EditText();
    f.dataFinShown = depDtHrFin->EditText();
    f.horaIniText = medHoraIni->Text();
    f.horaFinText = medHoraFin->Text();
    f.horaIni = HoraIni;
    f.minIni = MinIni;
    f.horaFin = HoraFin;
    f.minFin = MinFin;
    f.intervaloText = medHoras->Text();
    f.prodIni = medDe->Text();
    f.prodFin = medAte->Text();
    f.consideraServico = chbConsideraServico->isChecked();
    BindReportParams(params, f);
}
