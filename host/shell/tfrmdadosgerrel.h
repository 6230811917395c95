#pragma once

#include "host_global.h"
#include "form.h"
#include "reportdefinition.h"
#include "reportengine.h"

#include <QComboBox>
#include <QStyledItemDelegate>
#include <array>

class QFrame;
class QLabel;
class ReportDesignerWindow;
class TGroupBox;
class TMessages;
class TReportDesignerDialog;
class TSpeedButton;
class TfrmDadosGerRel;

// Owner-drawing state of a report-list item.
enum class TOwnerDrawState { odSelected = 1, odFocused = 2, odComboBoxEdit = 4 };
using TOwnerDrawStates = int;

// Owner-drawn report list: every drawn item, the closed list's own text included, goes through the
// screen's cbbReportNamesDrawItem.
class HOST_EXPORT TReportCombo : public QComboBox
{
    Q_OBJECT
public:
    explicit TReportCombo(QWidget *parent = nullptr);
    void setScreen(TfrmDadosGerRel *screen) { mScreen = screen; }
    TfrmDadosGerRel *screen() const { return mScreen; }

    // The painter and style of the item being drawn (valid only inside the draw handler).
    QPainter *Canvas() const { return mCanvas; }
    const QStyleOptionViewItem *drawOption() const { return mOption; }
    void drawItem(QPainter *painter, const QStyleOptionViewItem &option, int index, TOwnerDrawStates state);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    TfrmDadosGerRel *mScreen = nullptr;
    QPainter *mCanvas = nullptr;
    const QStyleOptionViewItem *mOption = nullptr;
};

// The base report screen: the report list filled from the report definitions of the screen's
// report code, the four report actions, the message catalogue and the report designer dialog.
class HOST_EXPORT TfrmDadosGerRel : public TForm
{
    Q_OBJECT
public:
    explicit TfrmDadosGerRel(const QString &reportCode, QWidget *parent = nullptr);
    ~TfrmDadosGerRel() override;

    void FormCreate(QObject *sender) override;
    void FormActivate(QObject *sender) override;
    void FormClose(QObject *sender, TCloseAction &action) override;

    virtual void cbbReportNamesChange(QObject *sender);
    // Draws one entry of the report list (the base draws its text).
    virtual void cbbReportNamesDrawItem(QWidget *control, int index, const QRect &rect, TOwnerDrawStates state);

    virtual void sbtPreviewClick(QObject *sender);
    virtual void sbtPrintClick(QObject *sender);
    virtual void sbtSalvarComoClick(QObject *sender);
    virtual void sbtReportEditClick(QObject *sender);

    // Checks the screen's filters before a report runs from elsewhere than the four actions (the
    // report designer's preview), as the action itself would; raises to stop the run. The base
    // screen has nothing to check.
    virtual void checkBeforeReport(ReportAction action);
    // What the parameters of a run read as in the report's header, HTML and XLSX: the screen that
    // fills them knows their meaning. The base screen has none to say.
    virtual ReportModel::Filters filterTexts(const ReportDefinition &definition, const TParams &params) const;
    // The name the save dialogs suggest for a run, without folder and extension; the base screen
    // suggests the report's title.
    virtual QString suggestedFileName(const ReportDefinition &definition) const;

    // Inherited elements.
    QFrame *panMenu = nullptr;
    QLabel *lblCodRel = nullptr;
    TGroupBox *grbDadosRel = nullptr;
    QFrame *panRelat = nullptr;
    TReportCombo *cbbReportNames = nullptr;
    QFrame *bvlSeparator = nullptr;
    QFrame *panBotoes = nullptr;
    TSpeedButton *sbtPreview = nullptr;
    TSpeedButton *sbtPrint = nullptr;
    TSpeedButton *sbtSalvarComo = nullptr;
    TSpeedButton *sbtReportEdit = nullptr;
    QLabel *lblCodTela = nullptr;
    TMessages *msgPadrao = nullptr;
    TMessages *msgHost = nullptr; // the base screen's own texts ("Rel_Nao_Sel")
    TReportDesignerDialog *rpddPadrao = nullptr;

    // The keyboard's way through the screen: the report list, `fields` in order, the four actions.
    // Tab and Enter skip what is disabled or hidden.
    void setFieldOrder(const QList<QWidget *> &fields);

    // The three controls a derived screen may lock while a consolidated report is chosen.
    std::array<QWidget *, 3> consolidationLocked() const;

    const ReportCatalog &catalog() const { return mCatalog; }
    // Reads the catalogue again after a definition was added to it: the list shows the new report
    // and the chosen one stays chosen. A catalogue that cannot be read is shown and the list kept.
    void reloadCatalog();
    QString reportCode() const { return mReportCode; }
    // A text of the screen's catalogue, else of the base screen's own (msgHost).
    QString Msg(const QString &key) const;
    // Definition of the chosen report; with none chosen, shows Rel_Nao_Sel, puts the focus on the
    // report list and aborts; shows Arq_Rel_Err and aborts when its file is missing.
    ReportDefinition chosenDefinition() const;

    // Fills the chosen report's declared parameters through rpddPadrao.
    TParams requestParams(const ReportDefinition &definition);
    // Opens the designer on a definition stored at `path` (non-modal, owned by this screen).
    ReportDesignerWindow *openDesigner(const ReportDefinition &definition, const QString &path);

Q_SIGNALS:
    // A report's parameter list has been filled for an action (scripts and the engine listen).
    void paramsFilled(const TParams &params);
    void reportRequested(ReportAction action, const ReportDefinition &definition, const TParams &params);
    void designerOpened(ReportDesignerWindow *window);

protected:
    // Runs an action for the chosen report: definition, parameters, then the report engine.
    void runReport(ReportAction action);

private:
    void buildBase();
    void loadCatalog();

    QString mReportCode;
    ReportCatalog mCatalog;
};

// Delegate that routes the drawing of list items to the screen.
class HOST_EXPORT ReportNameDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    explicit ReportNameDelegate(TReportCombo *combo);
    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;

private:
    TReportCombo *mCombo;
};
