#include "eventboundary.h"

#include "errors.h"
#include "form.h"
#include "uiservices.h"

#include <QApplication>
#include <QFocusEvent>
#include <QWidget>

namespace {
int gExitGuards = 0;
// The failure slot of the emit that is running, while a slot of it may fill it.
thread_local std::exception_ptr *tRelay = nullptr;

// The screen a control belongs to: the nearest host screen among its ancestors, else its window.
// Runs on every focus change, so a cast rather than a property looked up by name.
QWidget *screenOf(QWidget *w)
{
    for (QWidget *p = w; p; p = p->parentWidget()) {
        if (qobject_cast<TForm *>(p))
            return p;
    }
    return w ? w->window() : nullptr;
}
} // namespace

void EventBoundary::handle(std::exception_ptr error)
{
    try {
        std::rethrow_exception(error);
    } catch (const EAbort &) {
        // The user has been told already; the event just ends.
    } catch (const std::exception &e) {
        UiServices::current().showUnhandled(QApplication::activeWindow(), describeException(e));
    } catch (...) {
        UiServices::current().showUnhandled(QApplication::activeWindow(), QStringLiteral("Erro desconhecido."));
    }
}

EventBoundary::Relay::Relay(std::exception_ptr *failure) : mOuter(std::exchange(tRelay, failure)) {}

EventBoundary::Relay::~Relay()
{
    tRelay = mOuter;
}

ExitGuard::ExitGuard()
{
    ++gExitGuards;
}

ExitGuard::~ExitGuard()
{
    --gExitGuards;
}

bool ExitGuard::active()
{
    return gExitGuards > 0;
}

bool isExitFocusOut(QWidget *from, const QFocusEvent *event)
{
    if (ExitGuard::active())
        return false;
    const Qt::FocusReason reason = event->reason();
    if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason)
        return false;
    QWidget *to = QApplication::focusWidget();
    if (!to || to == from)
        return false;
    return screenOf(to) == screenOf(from);
}
