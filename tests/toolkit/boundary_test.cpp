#include "application.h"
#include "dataset.h"
#include "errors.h"
#include "eventboundary.h"
#include "recordingui.h"
#include "widgettest.h"
#include "widgets.h"

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <gtest/gtest.h>
#include <stdexcept>

using namespace Qt::StringLiterals;

namespace {
// A widget whose handler fails the way screen handlers do.
class Thrower : public QWidget
{
public:
    enum class Kind { Abort, Database, Std, Unknown };
    explicit Thrower(Kind kind) : mKind(kind) {}
    int handled = 0;

protected:
    bool event(QEvent *e) override
    {
        if (e->type() != QEvent::User)
            return QWidget::event(e);
        ++handled;
        switch (mKind) {
        case Kind::Abort:
            throw EAbort();
        case Kind::Database:
            throw EDatabaseError(QStringLiteral("conexão perdida"));
        case Kind::Std:
            throw std::runtime_error("falha inesperada");
        case Kind::Unknown:
            throw 42;
        }
        return true;
    }

private:
    Kind mKind;
};

struct BoundaryCase
{
    Thrower::Kind kind;
    QStringList errors;
};

TEST(EventBoundary, AbortEndsQuietlyOtherErrorsAreShownAndTheApplicationGoesOn)
{
    const BoundaryCase cases[] = {
        {Thrower::Kind::Abort, {}},
        {Thrower::Kind::Database, {QStringLiteral("conexão perdida")}},
        {Thrower::Kind::Std, {QStringLiteral("falha inesperada")}},
        {Thrower::Kind::Unknown, {QStringLiteral("Erro desconhecido.")}},
    };
    for (const BoundaryCase &c : cases) {
        RecordingUi ui;
        ScopedUi scope(ui);
        Thrower widget(c.kind);
        QEvent event(QEvent::User);
        // Through the application's notify, as the event loop delivers it.
        EXPECT_NO_THROW(QCoreApplication::sendEvent(&widget, &event));
        EXPECT_EQ(widget.handled, 1);
        EXPECT_EQ(ui.errors, c.errors);
        EXPECT_TRUE(ui.messages.isEmpty());
        // The same event works again afterwards: nothing was left half done.
        EXPECT_NO_THROW(QCoreApplication::sendEvent(&widget, &event));
        EXPECT_EQ(widget.handled, 2);
    }
}

TEST(EventBoundary, RunKeepsExceptionsOutOfQtFrames)
{
    RecordingUi ui;
    ScopedUi scope(ui);
    EXPECT_NO_THROW(EventBoundary::run([] { throw EAbort(); }));
    EXPECT_NO_THROW(EventBoundary::run([] { throw EHostError(QStringLiteral("sem papel")); }));
    EXPECT_EQ(ui.errors, QStringList{QStringLiteral("sem papel")});
}

TEST(EventBoundary, ExitGuardNests)
{
    EXPECT_FALSE(ExitGuard::active());
    {
        ExitGuard outer;
        {
            ExitGuard inner;
            EXPECT_TRUE(ExitGuard::active());
        }
        EXPECT_TRUE(ExitGuard::active());
    }
    EXPECT_FALSE(ExitGuard::active());
}

class FailingForm : public TForm
{
public:
    explicit FailingForm(QWidget *parent) : TForm(parent) { ++alive; }
    ~FailingForm() override { --alive; }
    void FormCreate(QObject *) override { throw EHostError(QStringLiteral("criação falhou")); }
    static inline int alive = 0;
};

class PlainForm : public TForm
{
public:
    explicit PlainForm(QWidget *parent) : TForm(parent) {}
    void FormCreate(QObject *) override { created = true; }
    bool created = false;
};

TEST(FormFactory, CreatesOwnedScreensAndDropsOnesThatFail)
{
    QPointer<PlainForm> plain;
    Application()->CreateForm(plain);
    ASSERT_FALSE(plain.isNull());
    EXPECT_TRUE(plain->created);

    QPointer<FailingForm> failing;
    EXPECT_THROW(Application()->CreateForm(failing), EHostError);
    EXPECT_TRUE(failing.isNull());
    EXPECT_EQ(FailingForm::alive, 0); // nothing half-built stays behind
    plain->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

TEST(ScreenCursor, HourglassAndDefault)
{
    TScreen::SetCursor(TScreen::crHourGlass);
    EXPECT_EQ(TScreen::Cursor(), -11);
    ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
    TScreen::SetCursor(TScreen::crHourGlass); // setting it twice needs one restore only
    TScreen::SetCursor(TScreen::crDefault);
    EXPECT_EQ(TScreen::Cursor(), 0);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}
struct HandlerCase
{
    const char *name;
    std::function<void()> fail;
    QStringList errors; // what the user is shown
};

const HandlerCase kHandlerCases[] = {
    {"abort", [] { throw EAbort(); }, {}},
    {"host error", [] { throw EDatabaseError(u"conexão perdida"_s); }, {u"conexão perdida"_s}},
    {"other exception", [] { throw std::runtime_error("falha inesperada"); }, {u"falha inesperada"_s}},
};

TEST(ConnectHandler, AFailingExitHandlerEndsAtItsSlotAndTheEventLoopGoesOn)
{
    for (const HandlerCase &c : kHandlerCases) {
        SCOPED_TRACE(c.name);
        RecordingUi ui;
        ScopedUi scope(ui);
        ShownScreen screen;
        TEdit *first = screen.add(new TEdit);
        TEdit *second = screen.add(new TEdit);
        ASSERT_TRUE(screen.activate());
        first->setFocus(Qt::OtherFocusReason);
        int failed = 0, next = 0;
        connectHandler(first, &TEdit::Exit, first, [&] {
            ++failed;
            c.fail();
        });
        // Had the exception gone on through Qt's dispatch, the signal's next slot would not run.
        connectHandler(first, &TEdit::Exit, first, [&] { ++next; });

        QEventLoop loop;
        QTimer::singleShot(0, &loop, [&] {
            QTest::keyClick(first, Qt::Key_Tab);
            QTimer::singleShot(0, &loop, [&] { loop.exit(7); });
        });
        QTimer::singleShot(5000, &loop, [&] { loop.exit(-1); });
        EXPECT_EQ(loop.exec(), 7);
        EXPECT_EQ(failed, 1);
        EXPECT_EQ(next, 1);
        EXPECT_TRUE(second->hasFocus());
        EXPECT_EQ(ui.errors, c.errors);
        EXPECT_TRUE(ui.messages.isEmpty());
    }
}

// A search's before-event that fails stops the search: through a real click, the failure is
// handed back to the button and ends at the button's own slot.
TEST(ConnectHandler, AFailingBeforeSearchStopsTheSearch)
{
    struct Case
    {
        const char *name;
        std::function<void(TEdit *)> before;
        QStringList errors;
        bool listed; // the search went on to its list
    };
    const Case cases[] = {
        {"abort", [](TEdit *) { throw EAbort(); }, {}, false},
        {"host error", [](TEdit *) { throw EHostError(u"sem conexão"_s); }, {u"sem conexão"_s}, false},
        // The change's failure is its own event: it is shown there and the search goes on.
        {"failure of a signal it sets off", [](TEdit *edit) { edit->setText(u"x"_s); }, {u"troca falhou"_s}, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        RecordingUi ui;
        ScopedUi scope(ui);
        ShownScreen screen;
        TEdit *edit = screen.add(new TEdit);
        auto *button = screen.add(new TBtnPesquisa);
        ASSERT_TRUE(screen.activate());
        TClientDataSet data;
        data.setContent({u"CODIGO"_s}, {{u"01"_s}, {u"02"_s}});
        TDataSource source;
        source.setDataSet(&data);
        button->setDataSource(&source);
        int later = 0;
        connectHandler(edit, &TEdit::Change, edit, [] { throw EHostError(u"troca falhou"_s); });
        connectHandler(button, &TBtnPesquisa::BeforePesq, button, [&] { c.before(edit); });
        connectHandler(button, &TBtnPesquisa::BeforePesq, button, [&] { ++later; });
        QTest::mouseClick(button, Qt::LeftButton);
        EXPECT_EQ(ui.errors, c.errors);
        EXPECT_EQ(ui.opened.size(), c.listed ? 1 : 0);
        EXPECT_EQ(later, c.listed ? 1 : 0);
    }
}
} // namespace
