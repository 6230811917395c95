#include "form.h"

#include "application.h"
#include "eventboundary.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QMdiArea>
#include <QMdiSubWindow>

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
    FormCreate(this);
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
