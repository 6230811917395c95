#include "form.h"

#include "application.h"
#include "eventboundary.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QCloseEvent>
#include <QComboBox>
#include <QKeyEvent>
#include <QMdiArea>
#include <QMdiSubWindow>

namespace {
bool isEnterKey(const QKeyEvent *key)
{
    const Qt::KeyboardModifiers mods = key->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier);
    return (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && mods == Qt::NoModifier;
}
} // namespace

// Exit events tell screens apart by their TForm (MDI children share one window).
TForm::TForm(QWidget *parent) : QWidget(parent) {}

TForm::~TForm() = default;

void TForm::FormCreate(QObject *) {}

void TForm::FormActivate(QObject *) {}

void TForm::FormClose(QObject *, TCloseAction &) {}

QMdiSubWindow *TForm::subWindow() const
{
    return qobject_cast<QMdiSubWindow *>(parentWidget());
}

void TForm::Show()
{
    if (QMdiSubWindow *sub = subWindow()) {
        sub->show();
        sub->raise();
        if (QMdiArea *area = sub->mdiArea())
            area->setActiveSubWindow(sub); // activation runs FormActivate when the screen changes
        return;
    }
    show();
    raise();
    activateWindow();
}

void TForm::Activate()
{
    Show();
}

void TForm::runCreate()
{
    // Ahead of the control's own key handling: an edit whose key filter drops Enter still moves on.
    const auto children = findChildren<QWidget *>();
    for (QWidget *child : children) {
        if (child->focusPolicy() != Qt::NoFocus)
            child->installEventFilter(this);
    }
    FormCreate(this);
}

bool TForm::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    auto *widget = qobject_cast<QWidget *>(watched);
    const auto *key = static_cast<QKeyEvent *>(event);
    // Pop-ups inside a control (a date edit's calendar, a list's drop-down) keep their own Enter.
    if (!widget || !isEnterKey(key) || widget->window() != window() || !widget->hasFocus())
        return QWidget::eventFilter(watched, event);
    if (auto *button = qobject_cast<QAbstractButton *>(widget); button && !button->isCheckable()) {
        button->click();
        return true;
    }
    if (auto *combo = qobject_cast<QComboBox *>(widget); combo && combo->view() && combo->view()->isVisible())
        return QWidget::eventFilter(watched, event);
    focusNextPrevChild(!(key->modifiers() & Qt::ShiftModifier));
    return true;
}

void TForm::runActivate()
{
    EventBoundary::run([this] { FormActivate(this); });
}

void TForm::closeEvent(QCloseEvent *event)
{
    TCloseAction action = TCloseAction::caHide;
    bool failed = false;
    EventBoundary::run([&] {
        try {
            FormClose(this, action);
        } catch (...) {
            failed = true;
            throw;
        }
    });
    if (failed || action == TCloseAction::caNone) {
        event->ignore();
        return;
    }
    const bool destroy = action == TCloseAction::caFree;
    if (QMdiSubWindow *sub = subWindow())
        sub->setAttribute(Qt::WA_DeleteOnClose, destroy);
    else
        setAttribute(Qt::WA_DeleteOnClose, destroy);
    event->accept();
    Q_EMIT closed();
}

void TForm::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    // MDI children are activated through the MDI area; a top-level screen through its window.
    if (event->type() == QEvent::ActivationChange && !subWindow() && isActiveWindow())
        runActivate();
}

void TForm::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_F1 && HelpContext != 0) {
        if (TApplication *app = Application())
            app->showHelp(HelpFile, HelpContext);
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}
