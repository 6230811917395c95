#include "application.h"
#include "errors.h"
#include "eventboundary.h"
#include "recordingui.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>
#include <gtest/gtest.h>
#include <stdexcept>

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
} // namespace
