#pragma once

#include "adoibquery.h"
#include "dataset.h"
#include "netconnection.h"
#include "params.h"
#include "pickedlist.h"
#include "reportclass.h"
#include "tfrmdadosgerrel.h"
#include "vnd02500_global.h"
#include "widgets.h"

#include <QLabel>
#include <QToolButton>
#include <QString>
#include <memory>

namespace Ui {
class TfrmEstaticVendHora;
}


// " Vendas por Dia/Hora": the sales-by-day/hour report filter screen.
class VND_EXPORT TfrmEstaticVendHora : public TfrmDadosGerRel
{
    Q_OBJECT
public:
    explicit TfrmEstaticVendHora(QWidget *parent = nullptr);
    ~TfrmEstaticVendHora() override;

    // Lifecycle and report-dependent enabling.
    void FormCreate(QObject *sender) override;
    void FormActivate(QObject *sender) override;
    void FormClose(QObject *sender, TCloseAction &action) override;
    void cbbReportNamesChange(QObject *sender) override;
    void cbbReportNamesDrawItem(QWidget *control, int index, const QRect &rect, TOwnerDrawStates state) override;
    void netEstaticVendHoraBeforeConnect(QObject *sender);

    // Branch.
    void edtFilialChange(QObject *sender);
    void edtFilialExit(QObject *sender);
    void edtFilialKeyPress(QObject *sender, QChar &key);
    void btnPesqFilialBeforePesq(QObject *sender, bool &proceed);
    void btnPesqFilialAfterPesq(QObject *sender);
    void rbtTodosFilClick(QObject *sender);
    void rbtListaFilClick(QObject *sender);
    void btnListaFilClick(QObject *sender);

    // Stores and registers.
    void rbtTodasLojaClick(QObject *sender);
    void rbtListaLojaClick(QObject *sender);
    void rbtTodosCaixaClick(QObject *sender);
    void rbtListaCaixaClick(QObject *sender);
    void btnLojaClick(QObject *sender);
    void btnCaixaClick(QObject *sender);

    // Period, hours and interval.
    void depDtHrIniExit(QObject *sender);
    void depDtHrFinExit(QObject *sender);
    void medHoraIniExit(QObject *sender);
    void medHoraFinExit(QObject *sender);
    void medHorasExit(QObject *sender);
    // What leaving the interval field runs.
    void medHorasIntervaloExit(QObject *sender);
    // A period of the menu by the dates (PeriodPresets' word): both dates written as typed, then
    // left, so that their exits check them.
    void btnPeriodoPick(const QString &word);

    // Product range.
    void medDeChange(QObject *sender);
    void medAteChange(QObject *sender);
    void medDeExit(QObject *sender);
    void medAteExit(QObject *sender);
    void btpDeBeforePesq(QObject *sender, bool &proceed);
    void btpAteBeforePesq(QObject *sender, bool &proceed);
    void btpDeAfterPesq(QObject *sender);
    void btpAteAfterPesq(QObject *sender);

    // Report actions and their parameters.
    void sbtPreviewClick(QObject *sender) override;
    void sbtPrintClick(QObject *sender) override;
    void sbtSalvarComoClick(QObject *sender) override;
    void sbtReportEditClick(QObject *sender) override;
    void checkBeforeReport(ReportAction action) override;
    ReportModel::Filters filterTexts(const ReportDefinition &definition, const TParams &params) const override;
    QString suggestedFileName(const ReportDefinition &definition) const override;
    void rpddPadraoBeforeGetQueryParams(TParams &params, bool &flag);

    // Validators: each returns or raises a validation failure. A flag of true makes an empty
    // field a failure.
    void Vd_Filial(bool flag);
    void Vd_Loja();
    void Vd_Caixa();
    void Vd_DataIni(bool flag);
    void Vd_DataFim(bool flag);
    void Vd_Data();
    void Vd_HoraIni();
    void Vd_HoraFin();
    void Vd_Hora();
    void Vd_Intervalo();
    void Vd_ProdIni(bool flag);
    void Vd_ProdFin(bool flag);
    void Vd_ProdIniFim();

    // The chosen report's class (name of the report shown in cbbReportNames).
    bool relHoraModalidade() const;
    bool relConsolidadoExato() const;
    bool relConsolidadoMaiusculo() const;

    // Controls.
    QFrame *Bevel1 = nullptr;
    QFrame *Bevel2 = nullptr;
    TNotebook *nbkFilial = nullptr;
    QWidget *pagFilialSimples = nullptr;
    QWidget *pagFilialLista = nullptr;
    QLabel *lblFilial = nullptr;
    TEdit *edtFilial = nullptr;
    TBtnPesquisa *btnPesqFilial = nullptr;
    TEdit *edtNmFilial = nullptr;
    QLabel *Label1 = nullptr;
    TRadioButton *rbtTodosFil = nullptr;
    TRadioButton *rbtListaFil = nullptr;
    TBtnPesquisa *btnListaFil = nullptr;
    TGroupBox *grbLoja = nullptr;
    TRadioButton *rbtTodasLoja = nullptr;
    TRadioButton *rbtListaLoja = nullptr;
    TBtnPesquisa *btnLoja = nullptr;
    TGroupBox *grbCaixa = nullptr;
    TRadioButton *rbtTodosCaixa = nullptr;
    TRadioButton *rbtListaCaixa = nullptr;
    TBtnPesquisa *btnCaixa = nullptr;
    TGroupBox *grbHoraVenda = nullptr;
    TDateEditPlus *depDtHrIni = nullptr;
    TDateEditPlus *depDtHrFin = nullptr;
    TMaskEdit *medHoraIni = nullptr;
    TMaskEdit *medHoraFin = nullptr;
    TGroupBox *grbIntervalo = nullptr;
    QLabel *lblHoras = nullptr;
    TMaskEdit *medHoras = nullptr;
    TGroupBox *grbProduto = nullptr;
    QLabel *lblDe = nullptr;
    QLabel *lblAte = nullptr;
    TMaskEdit *medDe = nullptr;
    TMaskEdit *medAte = nullptr;
    TBtnPesquisa *btpDe = nullptr;
    TBtnPesquisa *btpAte = nullptr;
    TEdit *edtDe = nullptr;
    TEdit *edtAte = nullptr;
    TCheckBox *chbConsideraServico = nullptr;
    // What each list choice holds, beside its radio.
    QLabel *lblListaFil = nullptr;
    QLabel *lblListaLoja = nullptr;
    QLabel *lblListaCaixa = nullptr;
    QToolButton *btnPeriodo = nullptr; // the period menu

    // Non-visual components.
    TADOIBQuery *qryFilial = nullptr;
    TADOIBQuery *qryLoja = nullptr;
    TADOIBQuery *qryCaixa = nullptr;
    TADOIBQuery *qryProduto = nullptr;
    TDataSource *dtsFilial = nullptr;
    TDataSource *dtsLoja = nullptr;
    TDataSource *dtsCaixa = nullptr;
    TDataSource *dtsProduto = nullptr;
    TDataSource *dtsPesqProduto = nullptr;
    TClientDataSet *cdsPesqProduto = nullptr;
    TClientDataSet *cdsProdValid = nullptr;
    TNetConnection *netEstaticVendHora = nullptr;

private:
    friend class TfrmEstaticVendHoraProbe; // tests seed the remembered branch

    // The validators in front of every report action; preview skips registers while they are closed.
    void runActionGate(bool preview);
    void bindControls();
    void buildComponents();
    void wireEvents();
    void placeControls();
    void buildPeriodMenu();
    // Shows what a list holds beside its radio (nothing while the radio says all rows).
    static void showPicked(QLabel *label, const PickedList &list);
    class EnablePlan;
    // The rules that follow the chosen report's name: run on every report change and item drawing.
    void applyNameRules(EnablePlan &plan);
    // Writes a text only when it differs, so that re-applying the rules from a paint changes nothing.
    static void setTextIfChanged(QLineEdit *edit, const QString &text);

    std::unique_ptr<Ui::TfrmEstaticVendHora> mUi;
    bool mApplyingNameRules = false;

    // Last branch that passed validation, restored when the consolidated summary is left.
    QString lastFilialCode;
    QString lastFilialName;

    // The rows picked for each list, with the names their lookups showed.
    PickedList mPickedFilial{QStringLiteral("filial"), QStringLiteral("filiais")};
    PickedList mPickedLoja{QStringLiteral("loja"), QStringLiteral("lojas")};
    PickedList mPickedCaixa{QStringLiteral("caixa"), QStringLiteral("caixas")};
};
