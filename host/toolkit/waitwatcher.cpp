#include "waitwatcher.h"

#include "uiservices.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProgressDialog>
#include <QThread>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

// Restores the cursor however the wait ends.
class WaitCursor
{
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor &) = delete;
    WaitCursor &operator=(const WaitCursor &) = delete;
};

} // namespace

void WaitWatcher::waitLong(const std::function<bool()> &done, const std::function<void()> &abandon)
{
    const WaitCursor cursor;
    // Screen scripts and tests answer no dialog: they wait, and the time limit still holds.
    const bool realDialogs = dynamic_cast<WidgetUi *>(&UiServices::current()) != nullptr;
    QElapsedTimer clock;
    clock.start();
    std::unique_ptr<QProgressDialog> box;
    bool abandoned = false;
    while (!done()) {
        if (realDialogs && !box && clock.elapsed() >= BoxAfterMs) {
            box = std::make_unique<QProgressDialog>(u"Aguardando resposta do banco de dados…"_s, u"Cancelar"_s, 0, 0,
                                                    QApplication::activeWindow());
            box->setWindowTitle(u"Consulta em andamento"_s);
            box->setWindowModality(Qt::ApplicationModal);
            box->setMinimumDuration(0);
            box->show();
        }
        if (box && box->wasCanceled() && !abandoned) {
            abandoned = true;
            box->setLabelText(u"Abandonando a consulta…"_s);
            abandon();
        }
        // With the box up the user may press Cancelar (the box is modal, nothing else is reached);
        // before that only painting and timers are served.
        QApplication::processEvents(box ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents, 20);
        QThread::msleep(10);
    }
}
