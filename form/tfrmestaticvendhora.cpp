#include "tfrmestaticvendhora.h"

#include "lookupstatements.h"

#include "consiste.h"
#include "corvel.h"
#include "eventboundary.h"
#include "messages.h"
#include "modulestate.h"
#include "reportdesigner.h"
#include "ui_tfrmestaticvendhora.h"

#include <QFrame>
#include <array>

using namespace Qt::StringLiterals;

namespace {
// The control's own enabled state, whatever its parents say.
bool ownEnabled(const QWidget *w)
{
    return !w->testAttribute(Qt::WA_ForceDisabled);
}

bool canTakeFocus(const QWidget *w)
{
    return w->isEnabled() && w->focusPolicy() != Qt::NoFocus && w->isVisibleTo(w->window());
}

const QString kTodos = u"T"_s;
} // namespace

// ---------------------------------------------------------------------------------------------
// Construction

TfrmEstaticVendHora::TfrmEstaticVendHora(QWidget *parent)
    : TfrmDadosGerRel(u"Vnd025"_s, parent), mUi(std::make_unique<Ui::TfrmEstaticVendHora>())
{
    setObjectName(u"frmEstaticVendHora"_s);
    setWindowTitle(u" Vendas por Dia/Hora"_s);
    HelpFile = u"PdvHELP.hlp"_s;
    HelpContext = 13002500;

    mUi->setupUi(grbDadosRel);
    bindControls();
    placeControls();
    buildComponents();
    msgPadrao->LoadFromFile(u":/vnd02500/catalogo_vnd02500.txt"_s);
    wireEvents();
    buildPeriodMenu();
    // Top to bottom, left to right, as the screen reads; each radio pair is one stop.
    setFieldOrder({edtFilial, btnPesqFilial, rbtTodosFil, rbtListaFil, btnListaFil, rbtTodasLoja, rbtListaLoja,
                   btnLoja, rbtTodosCaixa, rbtListaCaixa, btnCaixa, depDtHrIni, medHoraIni, depDtHrFin, medHoraFin,
                   btnPeriodo, medHoras, medDe, btpDe, medAte, btpAte, chbConsideraServico});
}

TfrmEstaticVendHora::~TfrmEstaticVendHora() = default;

void TfrmEstaticVendHora::bindControls()
{
    Ui::TfrmEstaticVendHora &ui = *mUi;
    Bevel1 = ui.Bevel1;
    Bevel2 = ui.Bevel2;
    nbkFilial = ui.nbkFilial;
    pagFilialSimples = ui.pagFilialSimples;
    pagFilialLista = ui.pagFilialLista;
    lblFilial = ui.lblFilial;
    edtFilial = ui.edtFilial;
    btnPesqFilial = ui.btnPesqFilial;
    edtNmFilial = ui.edtNmFilial;
    Label1 = ui.Label1;
    rbtTodosFil = ui.rbtTodosFil;
    rbtListaFil = ui.rbtListaFil;
    btnListaFil = ui.btnListaFil;
    grbLoja = ui.grbLoja;
    rbtTodasLoja = ui.rbtTodasLoja;
    rbtListaLoja = ui.rbtListaLoja;
    btnLoja = ui.btnLoja;
    grbCaixa = ui.grbCaixa;
    rbtTodosCaixa = ui.rbtTodosCaixa;
    rbtListaCaixa = ui.rbtListaCaixa;
    btnCaixa = ui.btnCaixa;
    grbHoraVenda = ui.grbHoraVenda;
    depDtHrIni = ui.depDtHrIni;
    depDtHrFin = ui.depDtHrFin;
    medHoraIni = ui.medHoraIni;
    medHoraFin = ui.medHoraFin;
    grbIntervalo = ui.grbIntervalo;
    lblHoras = ui.lblHoras;
    medHoras = ui.medHoras;
    grbProduto = ui.grbProduto;
    lblDe = ui.lblDe;
    lblAte = ui.lblAte;
    medDe = ui.medDe;
    medAte = ui.medAte;
    btpDe = ui.btpDe;
    btpAte = ui.btpAte;
    edtDe = ui.edtDe;
    edtAte = ui.edtAte;
    chbConsideraServico = ui.chbConsideraServico;
    lblListaFil = ui.lblListaFil;
    lblListaLoja = ui.lblListaLoja;
    lblListaCaixa = ui.lblListaCaixa;
    btnPeriodo = ui.btnPeriodo;
}

void TfrmEstaticVendHora::placeControls()
{
    constexpr int width = 460;
    constexpr int dataHeight = 250;
    panMenu->setGeometry(0, 0, width, 30);
    lblCodRel->setText(u"Vnd025"_s);
    lblCodRel->setGeometry(width - 148, 6, 140, 18);
    grbDadosRel->setGeometry(0, 30, width, dataHeight);
    panRelat->setGeometry(2, 14, width - 4, 23);
    cbbReportNames->setGeometry(78, 0, width - 86, 23);
    bvlSeparator->setGeometry(2, 39, width - 4, 4);

    // The product group belongs to the screen itself, below the report data.
    const QPoint productAt = grbProduto->pos() + grbDadosRel->pos();
    grbProduto->setParent(this);
    grbProduto->move(productAt);
    grbProduto->show();

    lblCodTela->setText(u"Vnd02500"_s);
    lblCodTela->setGeometry(190, productAt.y() + grbProduto->height() + 4, 80, 18);
    lblCodTela->setAlignment(Qt::AlignCenter);
    setFixedSize(width, lblCodTela->geometry().bottom() + 5);

    // Four characters from the user, by any way in; code may still write the five of "TODAS",
    // which Qt's own maximum length would cut.
    edtFilial->SetMaxLength(4);
    // The names beside the codes are the lookups' answers, not fields: Tab passes them by, also
    // while the product rule leaves them enabled.
    for (QWidget *name : {static_cast<QWidget *>(edtNmFilial), static_cast<QWidget *>(edtDe), static_cast<QWidget *>(edtAte)})
        name->setFocusPolicy(Qt::NoFocus);
}

namespace {
void defineDataSet(TDataSet *set, const QList<TFieldDef> &fields)
{
    set->FieldDefs() = fields;
}
} // namespace

void TfrmEstaticVendHora::buildComponents()
{
    TADOIBQuery **targets[] = {&qryFilial, &qryLoja, &qryCaixa, &qryProduto};
    const char *names[] = {"qryFilial", "qryLoja", "qryCaixa", "qryProduto"};
    for (int i = 0; i < 4; ++i) {
        const LookupStatement *def = findLookupStatement(QLatin1String(names[i]));
        Q_ASSERT(def);
        auto *query = new TADOIBQuery(this);
        query->setObjectName(QLatin1String(def->name));
        query->setSQL(def->sql);
        if (!def->oracle.isEmpty())
            query->setSQL_ORACLE(def->oracle);
        if (!def->mssql.isEmpty())
            query->setSQL_MSSQL(def->mssql);
        if (!def->ib.isEmpty())
            query->setSQL_IB(def->ib);
        defineDataSet(query->Query(), def->fields);
        *targets[i] = query;
    }

    cdsPesqProduto = new TClientDataSet(this);
    cdsPesqProduto->setObjectName(u"cdsPesqProduto"_s);
    defineDataSet(cdsPesqProduto, {{u"CDPRODUTO"_s, u"Código"_s, 10, false, u"PRODUTO.CDPRODUTO"_s, {}},
                                   {u"CDARVPROD"_s, u"Código"_s, 20, true, {}, {}},
                                   {u"NMPRODUTO"_s, u"Nome"_s, 50, true, u"PRODUTO.NMPRODUTO"_s, {}}});
    cdsProdValid = new TClientDataSet(this);
    cdsProdValid->setObjectName(u"cdsProdValid"_s);
    defineDataSet(cdsProdValid, {{u"CDPRODUTO"_s, {}, 10, true, {}, {}},
                                 {u"CDPRODINTE"_s, {}, 20, true, {}, {}},
                                 {u"NMPRODUTO"_s, {}, 50, true, {}, {}},
                                 {u"SGUNIDADE"_s, {}, 10, true, {}, {}},
                                 {u"CDARVPROD"_s, {}, 20, true, {}, {}}});

    struct SourceDef
    {
        TDataSource **source;
        const char *name;
        TDataSet *set;
    };
    const SourceDef sources[] = {
        {&dtsFilial, "dtsFilial", qryFilial->Query()},   {&dtsLoja, "dtsLoja", qryLoja->Query()},
        {&dtsCaixa, "dtsCaixa", qryCaixa->Query()},      {&dtsProduto, "dtsProduto", qryProduto->Query()},
        {&dtsPesqProduto, "dtsPesqProduto", cdsPesqProduto},
    };
    for (const SourceDef &def : sources) {
        auto *source = new TDataSource(this);
        source->setObjectName(QString::fromLatin1(def.name));
        source->setDataSet(def.set);
        *def.source = source;
    }

    // Title, code field and empty-result text come with the screen definition; the associate
    // control and the data source are objects of this screen.
    btnLoja->setAssociate(rbtListaLoja);
    btnLoja->setDataSource(dtsLoja);
    btnCaixa->setAssociate(rbtListaCaixa);
    btnCaixa->setDataSource(dtsCaixa);
    btnPesqFilial->setAssociate(edtFilial);
    btnPesqFilial->setDataSource(dtsFilial);
    btnListaFil->setAssociate(rbtListaFil);
    btnListaFil->setDataSource(dtsLoja);
    btpDe->setAssociate(medDe);
    btpDe->setDataSource(dtsPesqProduto);
    btpAte->setAssociate(medAte);
    btpAte->setDataSource(dtsPesqProduto);

    netEstaticVendHora = new TNetConnection(this);
    netEstaticVendHora->setObjectName(u"netEstaticVendHora"_s);
    netEstaticVendHora->ServerName = u"Vnd02500.rdmEstaticVendHora"_s;
}

void TfrmEstaticVendHora::wireEvents()
{
    using F = TfrmEstaticVendHora;
    // Every handler ends at the event boundary: a validator's abort ends the event there.
    // The report list's change and drawing, and the four report actions, reach the overrides
    // through the base screen's own wiring.
    connectHandler(edtFilial, &TEdit::Change, this, &F::edtFilialChange);
    connectHandler(edtFilial, &TEdit::Exit, this, &F::edtFilialExit);
    connectHandler(edtFilial, &TEdit::KeyPress, this, &F::edtFilialKeyPress);
    connectHandler(btnPesqFilial, &TBtnPesquisa::BeforePesq, this, &F::btnPesqFilialBeforePesq);
    connectHandler(btnPesqFilial, &TBtnPesquisa::AfterPesq, this, &F::btnPesqFilialAfterPesq);
    connectHandler(rbtTodosFil, &TRadioButton::Click, this, &F::rbtTodosFilClick);
    connectHandler(rbtListaFil, &TRadioButton::Click, this, &F::rbtListaFilClick);
    connectHandler(btnListaFil, &TBtnPesquisa::Click, this, &F::btnListaFilClick);

    connectHandler(rbtTodasLoja, &TRadioButton::Click, this, &F::rbtTodasLojaClick);
    connectHandler(rbtListaLoja, &TRadioButton::Click, this, &F::rbtListaLojaClick);
    connectHandler(btnLoja, &TBtnPesquisa::Click, this, &F::btnLojaClick);
    connectHandler(rbtTodosCaixa, &TRadioButton::Click, this, &F::rbtTodosCaixaClick);
    connectHandler(rbtListaCaixa, &TRadioButton::Click, this, &F::rbtListaCaixaClick);
    connectHandler(btnCaixa, &TBtnPesquisa::Click, this, &F::btnCaixaClick);

    connectHandler(depDtHrIni, &TDateEditPlus::Exit, this, &F::depDtHrIniExit);
    connectHandler(depDtHrFin, &TDateEditPlus::Exit, this, &F::depDtHrFinExit);
    connectHandler(medHoraIni, &TMaskEdit::Exit, this, &F::medHoraIniExit);
    connectHandler(medHoraFin, &TMaskEdit::Exit, this, &F::medHoraFinExit);
    // Leaving the interval checks the interval itself, the field the user just left (the start
    // hour has its own exit); every report action checks it again.
    connectHandler(medHoras, &TMaskEdit::Exit, this, &F::medHorasIntervaloExit);

    connectHandler(medDe, &TMaskEdit::Change, this, &F::medDeChange);
    connectHandler(medDe, &TMaskEdit::Exit, this, &F::medDeExit);
    connectHandler(medAte, &TMaskEdit::Change, this, &F::medAteChange);
    connectHandler(medAte, &TMaskEdit::Exit, this, &F::medAteExit);
    connectHandler(btpDe, &TBtnPesquisa::BeforePesq, this, &F::btpDeBeforePesq);
    connectHandler(btpDe, &TBtnPesquisa::AfterPesq, this, &F::btpDeAfterPesq);
    connectHandler(btpAte, &TBtnPesquisa::BeforePesq, this, &F::btpAteBeforePesq);
    connectHandler(btpAte, &TBtnPesquisa::AfterPesq, this, &F::btpAteAfterPesq);

    connectHandler(rpddPadrao, &TReportDesignerDialog::BeforeGetQueryParams, this, &F::rpddPadraoBeforeGetQueryParams);
    connectHandler(netEstaticVendHora, &TNetConnection::BeforeConnect, this, &F::netEstaticVendHoraBeforeConnect);
}

// ---------------------------------------------------------------------------------------------
// Lifecycle

bool TfrmEstaticVendHora::relHoraModalidade() const
{
    return ReportClass::isHoraModalidade(cbbReportNames->currentText());
}

bool TfrmEstaticVendHora::relConsolidadoExato() const
{
    return ReportClass::isConsolidadoExato(cbbReportNames->currentText());
}

bool TfrmEstaticVendHora::relConsolidadoMaiusculo() const
{
    return ReportClass::isConsolidadoMaiusculo(cbbReportNames->currentText());
}

void TfrmEstaticVendHora::setTextIfChanged(QLineEdit *edit, const QString &text)
{
    if (edit->text() != text)
        edit->setText(text);
}

void TfrmEstaticVendHora::FormCreate(QObject *sender)
{
    TfrmDadosGerRel::FormCreate(sender);
    // Code first: its change handling empties the name.
    edtFilial->setText(Corvel::FiliProc());
    edtNmFilial->setText(Corvel::NomeFiliProc());
    stCaixa = kTodos;
    stLoja = kTodos;
    medAte->setEditMask(Corvel::DBPict(0));
    medDe->setEditMask(Corvel::DBPict(0));
    if (TFieldDef *field = cdsPesqProduto->findFieldDef(u"CDARVPROD"_s))
        field->editMask = Corvel::DBPict(0);
    Cli_Vnd02500::firstActivation() = true;
    if (Corvel::ModuFili()) {
        // Checking the radio runs its click, which empties stFilial; the user's branch goes in after.
        rbtListaFil->setChecked(true);
        stFilial = Corvel::FiliProc();
        mPickedFilial.pick(stFilial, TDataSet(), u"CDFILIAL"_s, u"NMFILIAL"_s);
        mPickedFilial.setName(stFilial, Corvel::NomeFiliProc());
        showPicked(lblListaFil, mPickedFilial);
        rbtTodosFil->setEnabled(false);
        rbtListaFil->setEnabled(false);
        btnListaFil->setEnabled(false);
    } else {
        stFilial = kTodos;
    }
}

void TfrmEstaticVendHora::FormActivate(QObject *sender)
{
    TfrmDadosGerRel::FormActivate(sender);
    // Scheduled, not painted here: the rules below change the controls at once, and painting now
    // would draw the whole screen twice on every activation.
    update();
    edtFilial->setEnabled(!Corvel::ModuFili());
    btnPesqFilial->setEnabled(ownEnabled(edtFilial));
    if (!relHoraModalidade()) {
        QWidget *target = edtFilial->isEnabled() ? static_cast<QWidget *>(edtFilial) : rbtTodasLoja;
        // A target inside a disabled group cannot take the focus; it then stays where it is.
        if (canTakeFocus(target))
            target->setFocus(Qt::OtherFocusReason);
    }
    cbbReportNamesChange(cbbReportNames);
    chbConsideraServico->setEnabled(relConsolidadoMaiusculo());
    if (Cli_Vnd02500::firstActivation()) {
        edtFilial->setText(Corvel::FiliProc());
        edtNmFilial->setText(Corvel::NomeFiliProc());
        Cli_Vnd02500::firstActivation() = false;
    }
}

void TfrmEstaticVendHora::FormClose(QObject *sender, TCloseAction &action)
{
    TfrmDadosGerRel::FormClose(sender, action);
    boIdCriado = false;
    // Tested before each attempt: a connection that never connected is left alone.
    while (netEstaticVendHora->Connected())
        netEstaticVendHora->SetConnected(false);
}

// Enabled states decided by the rules, each written once after all of them have run. A control
// that a later rule overrides never passes through the earlier state, so a focused edit is not
// disabled for a moment and robbed of the focus.
class TfrmEstaticVendHora::EnablePlan
{
public:
    void set(QWidget *w, bool enabled)
    {
        for (auto &item : mItems) {
            if (item.first == w) {
                item.second = enabled;
                return;
            }
        }
        mItems.append({w, enabled});
    }
    // Every control inside the container, as SetChildEnabled does; the container keeps its state.
    void setChildren(QWidget *container, bool enabled)
    {
        const auto children = container->findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
        for (QWidget *child : children)
            set(child, enabled);
    }
    bool enabled(const QWidget *w) const
    {
        for (const auto &item : mItems) {
            if (item.first == w)
                return item.second;
        }
        return ownEnabled(w);
    }
    // In the order the controls were first reached.
    void apply() const
    {
        for (const auto &[w, enabled] : mItems)
            w->setEnabled(enabled);
    }

private:
    QList<std::pair<QWidget *, bool>> mItems;
};

void TfrmEstaticVendHora::cbbReportNamesChange(QObject *)
{
    const int index = cbbReportNames->currentIndex();
    const ReportClass::Groups groups = ReportClass::groupsAt(index);
    EnablePlan plan;
    plan.setChildren(grbIntervalo, groups.intervalo || relHoraModalidade());
    plan.setChildren(grbCaixa, groups.caixa);
    plan.setChildren(grbProduto, groups.produto);
    plan.set(btnCaixa, rbtListaCaixa->isChecked() && groups.listaCaixa);
    applyNameRules(plan);
}

void TfrmEstaticVendHora::cbbReportNamesDrawItem(QWidget *control, int index, const QRect &rect,
                                                 TOwnerDrawStates state)
{
    TfrmDadosGerRel::cbbReportNamesDrawItem(control, index, rect, state);
    EnablePlan plan;
    applyNameRules(plan);
}

void TfrmEstaticVendHora::applyNameRules(EnablePlan &plan)
{
    // The rules run from inside the list's painting; a paint they might set off must not run
    // them again half-way.
    if (mApplyingNameRules) {
        plan.apply();
        return;
    }
    mApplyingNameRules = true;
    struct Reset
    {
        bool &flag;
        ~Reset() { flag = false; }
    } reset{mApplyingNameRules};

    const bool consolidadoExato = relConsolidadoExato();
    const bool vinculado = Corvel::ModuFili();

    plan.set(chbConsideraServico, relConsolidadoMaiusculo());
    plan.set(edtFilial, !consolidadoExato);
    plan.set(btnPesqFilial, !consolidadoExato);
    plan.set(edtFilial, !vinculado);
    plan.set(btnPesqFilial, plan.enabled(edtFilial));
    plan.set(grbLoja, !consolidadoExato);
    if (vinculado) {
        for (QWidget *locked : consolidationLocked())
            plan.set(locked, !consolidadoExato);
        plan.set(edtFilial, false);
        plan.set(btnPesqFilial, plan.enabled(edtFilial));
    }
    plan.apply();

    if (!vinculado) {
        if (consolidadoExato) {
            setTextIfChanged(edtFilial, u"TODAS"_s);
            setTextIfChanged(edtNmFilial, u"RELATORIO CONSOLIDADO"_s);
        } else if (edtFilial->text() == u"TODAS"_s) {
            setTextIfChanged(edtFilial, lastFilialCode);
            setTextIfChanged(edtNmFilial, lastFilialName);
        }
    }
    nbkFilial->SetPageIndex(relHoraModalidade() ? 1 : 0);
}

void TfrmEstaticVendHora::netEstaticVendHoraBeforeConnect(QObject *)
{
    netEstaticVendHora->Host = Corvel::WebURL();
    netEstaticVendHora->Port = Corvel::WebPort();
}

// ---------------------------------------------------------------------------------------------
// Small event handlers: radio pairs, change handlers, key filter and exits that hand over to a
// validator.

void TfrmEstaticVendHora::edtFilialChange(QObject *)
{
    edtNmFilial->setText(QString());
}

void TfrmEstaticVendHora::edtFilialExit(QObject *)
{
    Vd_Filial(true);
}

void TfrmEstaticVendHora::edtFilialKeyPress(QObject *, QChar &key)
{
    // Branch codes hold digits, upper-case letters and Ç; anything else is dropped, not converted.
    const char16_t c = key.unicode();
    const bool accepted = c == 8 || (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z') || c == u'\u00C7';
    if (!accepted)
        key = QChar(0);
}

void TfrmEstaticVendHora::showPicked(QLabel *label, const PickedList &list)
{
    label->setText(label->fontMetrics().elidedText(list.summary(), Qt::ElideRight, label->width()));
    label->setToolTip(list.detail());
}

void TfrmEstaticVendHora::rbtTodosFilClick(QObject *)
{
    mPickedFilial.clear();
    showPicked(lblListaFil, mPickedFilial);
    stFilial = kTodos;
    btnListaFil->setEnabled(rbtListaFil->isChecked());
}

void TfrmEstaticVendHora::rbtListaFilClick(QObject *)
{
    mPickedFilial.clear();
    showPicked(lblListaFil, mPickedFilial);
    stFilial = QString();
    btnListaFil->setEnabled(rbtListaFil->isChecked());
}

void TfrmEstaticVendHora::rbtTodasLojaClick(QObject *)
{
    mPickedLoja.clear();
    showPicked(lblListaLoja, mPickedLoja);
    stLoja = kTodos;
    btnLoja->setEnabled(rbtListaLoja->isChecked());
}

void TfrmEstaticVendHora::rbtListaLojaClick(QObject *)
{
    mPickedLoja.clear();
    showPicked(lblListaLoja, mPickedLoja);
    stLoja = QString();
    btnLoja->setEnabled(rbtListaLoja->isChecked());
}

void TfrmEstaticVendHora::rbtTodosCaixaClick(QObject *)
{
    mPickedCaixa.clear();
    showPicked(lblListaCaixa, mPickedCaixa);
    stCaixa = kTodos;
    btnCaixa->setEnabled(rbtListaCaixa->isChecked());
}

void TfrmEstaticVendHora::rbtListaCaixaClick(QObject *)
{
    mPickedCaixa.clear();
    showPicked(lblListaCaixa, mPickedCaixa);
    stCaixa = QString();
    btnCaixa->setEnabled(rbtListaCaixa->isChecked());
}

void TfrmEstaticVendHora::depDtHrIniExit(QObject *)
{
    Vd_DataIni(false);
}

void TfrmEstaticVendHora::depDtHrFinExit(QObject *)
{
    Vd_DataFim(false);
}

void TfrmEstaticVendHora::medHoraIniExit(QObject *)
{
    if (!EmptyString(medHoraIni->Text()))
        Vd_HoraIni();
}

void TfrmEstaticVendHora::medHoraFinExit(QObject *)
{
    if (!EmptyString(medHoraFin->Text()))
        Vd_HoraFin();
}

void TfrmEstaticVendHora::medHorasIntervaloExit(QObject *)
{
    Vd_Intervalo();
}

void TfrmEstaticVendHora::medHorasExit(QObject *)
{
    Vd_Hora();
}

void TfrmEstaticVendHora::medDeChange(QObject *)
{
    edtDe->setText(QString());
}

void TfrmEstaticVendHora::medAteChange(QObject *)
{
    edtAte->setText(QString());
}

void TfrmEstaticVendHora::medDeExit(QObject *)
{
    Vd_ProdIni(false);
}

void TfrmEstaticVendHora::medAteExit(QObject *)
{
    Vd_ProdFin(false);
}
