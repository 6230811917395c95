#include "tfrmdadosgerrel.h"

#include "consiste.h"
#include "corvel.h"
#include "errors.h"
#include "eventboundary.h"
#include "messages.h"
#include "reportdesigner.h"
#include "reportdesignerwindow.h"
#include "reportengine.h"
#include "uiservices.h"
#include "widgets.h"

#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QPainter>
#include <QShortcut>
#include <QStylePainter>

namespace {
// The base screen's own texts, "key|text" a line as in the screens' catalogues.
constexpr char HostCatalogue[] = "Rel_Nao_Sel|Selecione um relatório.\n";
} // namespace

TReportCombo::TReportCombo(QWidget *parent) : QComboBox(parent)
{
    setItemDelegate(new ReportNameDelegate(this)); // owned by the combo
}

void TReportCombo::drawItem(QPainter *painter, const QStyleOptionViewItem &option, int index,
                            TOwnerDrawStates state)
{
    if (!mScreen)
        return;
    mCanvas = painter;
    mOption = &option;
    EventBoundary::run([&] { mScreen->cbbReportNamesDrawItem(this, index, option.rect, state); });
    mCanvas = nullptr;
    mOption = nullptr;
}

void TReportCombo::paintEvent(QPaintEvent *)
{
    QStylePainter painter(this);
    QStyleOptionComboBox frame;
    initStyleOption(&frame);
    frame.currentText.clear(); // the text is owner-drawn below
    painter.drawComplexControl(QStyle::CC_ComboBox, frame);

    QStyleOptionViewItem item;
    item.initFrom(this);
    item.rect = style()->subControlRect(QStyle::CC_ComboBox, &frame, QStyle::SC_ComboBoxEditField, this);
    item.text = currentText();
    drawItem(&painter, item, currentIndex(),
             int(TOwnerDrawState::odComboBoxEdit) | (hasFocus() ? int(TOwnerDrawState::odFocused) : 0));
}

ReportNameDelegate::ReportNameDelegate(TReportCombo *combo) : QStyledItemDelegate(combo), mCombo(combo) {}

void ReportNameDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QStyleOptionViewItem item(option);
    initStyleOption(&item, index);
    TOwnerDrawStates state = 0;
    if (option.state & QStyle::State_Selected)
        state |= int(TOwnerDrawState::odSelected);
    if (option.state & QStyle::State_HasFocus)
        state |= int(TOwnerDrawState::odFocused);
    mCombo->drawItem(painter, item, index.row(), state);
}

TfrmDadosGerRel::TfrmDadosGerRel(const QString &reportCode, QWidget *parent)
    : TForm(parent), mReportCode(reportCode)
{
    buildBase();
}

TfrmDadosGerRel::~TfrmDadosGerRel() = default;

void TfrmDadosGerRel::buildBase()
{
    msgPadrao = new TMessages(this);
    msgPadrao->setObjectName(QStringLiteral("msgPadrao"));
    msgHost = new TMessages(this);
    msgHost->Load(QString::fromUtf8(HostCatalogue));
    rpddPadrao = new TReportDesignerDialog(this);
    rpddPadrao->setObjectName(QStringLiteral("rpddPadrao"));

    panMenu = new QFrame(this);
    panMenu->setObjectName(QStringLiteral("panMenu"));
    panMenu->setFrameShape(QFrame::StyledPanel);
    panMenu->setGeometry(0, 0, 402, 30);

    panBotoes = new QFrame(panMenu);
    panBotoes->setObjectName(QStringLiteral("panBotoes"));
    panBotoes->setGeometry(2, 2, 240, 26);
    struct ButtonDef
    {
        TSpeedButton **button;
        const char *name;
        QString caption;
        QString hint;
    };
    const ButtonDef buttons[] = {
        {&sbtPreview, "sbtPreview", QStringLiteral("&Visualizar"), QStringLiteral("Visualizar o relatório (Alt+V)")},
        {&sbtPrint, "sbtPrint", QStringLiteral("&Imprimir"), QStringLiteral("Imprimir o relatório (Ctrl+P, Alt+I)")},
        {&sbtSalvarComo, "sbtSalvarComo", QStringLiteral("&Salvar"), QStringLiteral("Salvar o relatório em arquivo (Alt+S)")},
        {&sbtReportEdit, "sbtReportEdit", QStringLiteral("&Editar"), QStringLiteral("Editar a definição do relatório (Alt+E)")},
    };
    int x = 0;
    for (const ButtonDef &def : buttons) {
        auto *button = new TSpeedButton(panBotoes);
        button->setObjectName(QString::fromLatin1(def.name));
        button->setText(def.caption);
        button->setToolTip(def.hint);
        button->setAutoRaise(true);
        button->setGeometry(x, 2, 58, 22);
        x += 60;
        *def.button = button;
    }
    // Through the virtual handlers, so that a screen's overrides answer.
    connectHandler(sbtPreview, &TSpeedButton::Click, this, &TfrmDadosGerRel::sbtPreviewClick);
    connectHandler(sbtPrint, &TSpeedButton::Click, this, &TfrmDadosGerRel::sbtPrintClick);
    connectHandler(sbtSalvarComo, &TSpeedButton::Click, this, &TfrmDadosGerRel::sbtSalvarComoClick);
    connectHandler(sbtReportEdit, &TSpeedButton::Click, this, &TfrmDadosGerRel::sbtReportEditClick);
    // The caption's mnemonics give Alt+V, Alt+I, Alt+S and Alt+E; printing also takes the usual key.
    auto *printKey = new QShortcut(QKeySequence::Print, this, nullptr, nullptr, Qt::WidgetWithChildrenShortcut);
    connect(printKey, &QShortcut::activated, sbtPrint, &QAbstractButton::click); // a disabled button ignores it

    lblCodRel = new QLabel(panMenu);
    lblCodRel->setObjectName(QStringLiteral("lblCodRel"));
    lblCodRel->setText(mReportCode);
    lblCodRel->setGeometry(254, 6, 140, 18);
    lblCodRel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    grbDadosRel = new TGroupBox(this);
    grbDadosRel->setObjectName(QStringLiteral("grbDadosRel"));
    grbDadosRel->setGeometry(0, 30, 402, 305);

    panRelat = new QFrame(grbDadosRel);
    panRelat->setObjectName(QStringLiteral("panRelat"));
    panRelat->setGeometry(2, 14, 398, 23);
    auto *lblRelatorio = new QLabel(QStringLiteral("&Relatório"), panRelat);
    lblRelatorio->setGeometry(6, 2, 70, 19);
    cbbReportNames = new TReportCombo(panRelat);
    cbbReportNames->setObjectName(QStringLiteral("cbbReportNames"));
    cbbReportNames->setScreen(this);
    cbbReportNames->setGeometry(78, 0, 316, 23);
    lblRelatorio->setBuddy(cbbReportNames);
    connectHandler(cbbReportNames, &QComboBox::currentIndexChanged, this, [this] { cbbReportNamesChange(cbbReportNames); });

    bvlSeparator = new QFrame(grbDadosRel);
    bvlSeparator->setObjectName(QStringLiteral("bvlSeparator"));
    bvlSeparator->setFrameShape(QFrame::HLine);
    bvlSeparator->setFrameShadow(QFrame::Sunken);
    bvlSeparator->setGeometry(2, 39, 398, 4);

    lblCodTela = new QLabel(this);
    lblCodTela->setObjectName(QStringLiteral("lblCodTela"));
    lblCodTela->setGeometry(190, 308, 80, 18);
}

void TfrmDadosGerRel::FormCreate(QObject *)
{
    loadCatalog();
}

void TfrmDadosGerRel::loadCatalog()
{
    const QSignalBlocker blocker(cbbReportNames);
    cbbReportNames->clear();
    try {
        mCatalog = ReportCatalog::load(reportsDirectory(), mReportCode);
    } catch (const EHostError &e) {
        // Without a catalogue the screen still opens; every action reports the missing definition.
        mCatalog = ReportCatalog();
        UiServices::current().showError(this, e.message());
        return;
    }
    for (const ReportCatalog::Entry &entry : mCatalog.entries())
        cbbReportNames->addItem(entry.title);
    cbbReportNames->setCurrentIndex(-1);
}

void TfrmDadosGerRel::reloadCatalog()
{
    ReportCatalog fresh;
    try {
        fresh = ReportCatalog::load(reportsDirectory(), mReportCode);
    } catch (const EHostError &e) {
        UiServices::current().showError(this, e.message());
        return;
    }
    const int before = cbbReportNames->currentIndex();
    const QString chosen = before < 0 ? QString() : cbbReportNames->currentText();
    int after = -1;
    {
        const QSignalBlocker blocker(cbbReportNames);
        cbbReportNames->clear();
        mCatalog = std::move(fresh);
        for (const ReportCatalog::Entry &entry : mCatalog.entries())
            cbbReportNames->addItem(entry.title);
        if (!chosen.isEmpty())
            after = cbbReportNames->findText(chosen, Qt::MatchExactly);
        cbbReportNames->setCurrentIndex(after);
    }
    // The rules of the chosen report follow its position: they run again only if it moved.
    if (after != before)
        EventBoundary::run([this] { cbbReportNamesChange(cbbReportNames); });
}

void TfrmDadosGerRel::FormActivate(QObject *) {}

void TfrmDadosGerRel::FormClose(QObject *, TCloseAction &action)
{
    action = TCloseAction::caFree;
}

void TfrmDadosGerRel::cbbReportNamesChange(QObject *) {}

void TfrmDadosGerRel::cbbReportNamesDrawItem(QWidget *control, int index, const QRect &rect, TOwnerDrawStates state)
{
    auto *combo = qobject_cast<TReportCombo *>(control);
    if (!combo || !combo->Canvas())
        return;
    QPainter *painter = combo->Canvas();
    const QString text = index >= 0 && index < combo->count() ? combo->itemText(index) : QString();
    const bool selected = state & int(TOwnerDrawState::odSelected);
    const QPalette &pal = combo->palette();
    if (selected)
        painter->fillRect(rect, pal.highlight());
    painter->setPen(selected ? pal.highlightedText().color() : pal.text().color());
    painter->drawText(rect.adjusted(4, 0, -4, 0), Qt::AlignLeft | Qt::AlignVCenter, text);
}

void TfrmDadosGerRel::sbtPreviewClick(QObject *)
{
    runReport(ReportAction::Preview);
}

void TfrmDadosGerRel::sbtPrintClick(QObject *)
{
    runReport(ReportAction::Print);
}

void TfrmDadosGerRel::sbtSalvarComoClick(QObject *)
{
    runReport(ReportAction::SaveAs);
}

void TfrmDadosGerRel::sbtReportEditClick(QObject *)
{
    runReport(ReportAction::Edit);
}

void TfrmDadosGerRel::checkBeforeReport(ReportAction) {}

ReportModel::Filters TfrmDadosGerRel::filterTexts(const ReportDefinition &, const TParams &) const
{
    return {};
}

void TfrmDadosGerRel::setFieldOrder(const QList<QWidget *> &fields)
{
    // The report list, the screen's fields as given, then the actions; Tab from the last action
    // comes back to the list.
    QList<QWidget *> chain{cbbReportNames};
    chain += fields;
    chain += {sbtPreview, sbtPrint, sbtSalvarComo, sbtReportEdit};
    for (qsizetype i = 1; i < chain.size(); ++i)
        QWidget::setTabOrder(chain.at(i - 1), chain.at(i));
}

QString TfrmDadosGerRel::suggestedFileName(const ReportDefinition &definition) const
{
    return definition.title;
}

std::array<QWidget *, 3> TfrmDadosGerRel::consolidationLocked() const
{
    return {sbtPrint, sbtSalvarComo, sbtReportEdit};
}

QString TfrmDadosGerRel::Msg(const QString &key) const
{
    return msgPadrao->contains(key) ? msgPadrao->Msg(key) : msgHost->Msg(key);
}

ReportDefinition TfrmDadosGerRel::chosenDefinition() const
{
    // A list with reports and none chosen is the user's to settle; only an empty list (no
    // catalogue) is about files.
    if (cbbReportNames->currentIndex() < 0 && cbbReportNames->count() > 0) {
        cbbReportNames->setFocus();
        MensErro(Msg(QStringLiteral("Rel_Nao_Sel")), true);
    }
    const QString path = mCatalog.pathOf(cbbReportNames->currentIndex());
    if (path.isEmpty() || !QFileInfo::exists(path)) {
        // A catalogue that could not be read has no folder of its own: name where it was looked for.
        const QString catalogFolder =
            mCatalog.folder().isEmpty() ? QDir(reportsDirectory()).filePath(mReportCode) : mCatalog.folder();
        const QString folder = path.isEmpty() ? catalogFolder : QFileInfo(path).absolutePath();
        MensErro(Format(msgPadrao->Msg(QStringLiteral("Arq_Rel_Err")),
                        {mReportCode, QDir::toNativeSeparators(folder)}),
                 true);
    }
    return ReportDefinition::load(path);
}

TParams TfrmDadosGerRel::requestParams(const ReportDefinition &definition)
{
    TParams params = definition.makeParams();
    rpddPadrao->requestParams(params);
    Q_EMIT paramsFilled(params);
    return params;
}

void TfrmDadosGerRel::runReport(ReportAction action)
{
    const ReportDefinition definition = chosenDefinition();
    const TParams params = requestParams(definition);
    Q_EMIT reportRequested(action, definition, params);
    ReportRequest request;
    request.action = action;
    request.code = mReportCode;
    request.definition = definition;
    request.params = params;
    request.filters = filterTexts(definition, params);
    request.fileName = suggestedFileName(definition);
    request.parent = this;
    const QString path = mCatalog.pathOf(cbbReportNames->currentIndex());
    request.openEditor = [this, definition, path] { openDesigner(definition, path); };
    ReportEngine::instance().run(request);
}

ReportDesignerWindow *TfrmDadosGerRel::openDesigner(const ReportDefinition &definition, const QString &path)
{
    auto *window = new ReportDesignerWindow(this, definition, path); // a window of this screen, deleted on close
    window->show();
    window->raise();
    Q_EMIT designerOpened(window);
    return window;
}
