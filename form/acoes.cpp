// The gate in front of the four report actions: every validator in a fixed order, the first
// failure stops the action; then the base screen's action runs the chosen report.
#include "cli_vnd02500.h"
#include "consiste.h"
#include "corvel.h"
#include "errors.h"
#include "reportfilters.h"

#include <array>
#include <functional>

void TfrmEstaticVendHora::runActionGate(bool preview)
{
    using F = TfrmEstaticVendHora;
    struct Step
    {
        std::function<void(F &)> check;
        bool previewNeedsRegisterGroup; // preview skips it while rbtTodosCaixa is disabled
    };
    static const std::array<Step, 13> steps{{
        {[](F &f) { f.Vd_Filial(true); }, false},
        {[](F &f) { f.Vd_Loja(); }, false},
        {[](F &f) { f.Vd_Caixa(); }, true},
        {[](F &f) { f.Vd_DataIni(true); }, false},
        {[](F &f) { f.Vd_DataFim(true); }, false},
        {[](F &f) { f.Vd_Data(); }, false},
        {[](F &f) { f.Vd_HoraIni(); }, false},
        {[](F &f) { f.Vd_HoraFin(); }, false},
        {[](F &f) { f.Vd_Hora(); }, false},
        {[](F &f) { f.Vd_Intervalo(); }, false},
        {[](F &f) { f.Vd_ProdIni(true); }, false},
        {[](F &f) { f.Vd_ProdFin(true); }, false},
        {[](F &f) { f.Vd_ProdIniFim(); }, false},
    }};
    for (const Step &step : steps) {
        if (preview && step.previewNeedsRegisterGroup && !rbtTodosCaixa->isEnabled())
            continue;
        step.check(*this);
    }
}

void TfrmEstaticVendHora::sbtPreviewClick(QObject *sender)
{
    runActionGate(true);
    TfrmDadosGerRel::sbtPreviewClick(sender);
}

void TfrmEstaticVendHora::sbtPrintClick(QObject *sender)
{
    runActionGate(false);
    TfrmDadosGerRel::sbtPrintClick(sender);
}

void TfrmEstaticVendHora::sbtSalvarComoClick(QObject *sender)
{
    runActionGate(false);
    TfrmDadosGerRel::sbtSalvarComoClick(sender);
}

void TfrmEstaticVendHora::sbtReportEditClick(QObject *sender)
{
    runActionGate(false);
    TfrmDadosGerRel::sbtReportEditClick(sender);
}

void TfrmEstaticVendHora::checkBeforeReport(ReportAction action)
{
    runActionGate(action == ReportAction::Preview);
}

ReportModel::Filters TfrmEstaticVendHora::filterTexts(const ReportDefinition &definition, const TParams &params) const
{
    ReportLayout layout;
    try {
        layout = ReportLayout::fromJson(definition.layout);
    } catch (const EHostError &) {
        // the engine refuses the layout itself, naming what is wrong, before any header is printed
    }
    // The names the screen's lookups showed: the branch list's on its page, else the name the
    // branch validation wrote beside the code.
    ReportFilters::Names names;
    if (relHoraModalidade())
        names.filiais = mPickedFilial.names();
    else if (!EmptyString(edtNmFilial->text()))
        names.filiais.insert(edtFilial->text(), edtNmFilial->text());
    names.lojas = mPickedLoja.names();
    names.caixas = mPickedCaixa.names();
    return ReportFilters::of(layout, params, Corvel::DBPict(0), names);
}

QString TfrmEstaticVendHora::suggestedFileName(const ReportDefinition &definition) const
{
    // The period as the gate let it through; dates without "/" so that the name stays one file.
    const QDate first = depDtHrIni->date();
    const QDate last = depDtHrFin->date();
    if (!first.isValid() || !last.isValid())
        return definition.title;
    const QString format = QStringLiteral("dd-MM-yyyy");
    return definition.title + u' ' + first.toString(format) + QStringLiteral(" a ") + last.toString(format);
}
