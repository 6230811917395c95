// Exit, change and key events of the edits, driven by real focus moves and key events offscreen.
#include "consiste.h"
#include "errors.h"
#include "eventboundary.h"
#include "form.h"
#include "recordingui.h"
#include "widgettest.h"
#include "widgets.h"

#include <QKeyEvent>
#include <QVBoxLayout>
#include <gtest/gtest.h>
#include <functional>
#include <stdexcept>

using namespace Qt::StringLiterals;

namespace {
struct EditKind
{
    const char *name;
    std::function<QLineEdit *()> make;
    std::function<void(QLineEdit *, std::function<void()>)> onExit;
};
void PrintTo(const EditKind &kind, std::ostream *os) { *os << kind.name; }

template <typename T>
EditKind kindOf(const char *name)
{
    return {name,
            [] {
                auto *edit = new T;
                if constexpr (std::is_same_v<T, TMaskEdit>)
                    edit->setEditMask(u"99:99;0; "_s);
                return edit;
            },
            [](QLineEdit *edit, std::function<void()> handler) {
                QObject::connect(static_cast<T *>(edit), &T::Exit, edit, [handler] { handler(); });
            }};
}

// Two edits of one kind on an active screen, the focus in the first; exits counted.
class ExitEvent : public ::testing::TestWithParam<EditKind>
{
protected:
    void SetUp() override
    {
        first = screen.add(GetParam().make());
        second = screen.add(GetParam().make());
        ASSERT_TRUE(screen.activate());
        first->setFocus(Qt::OtherFocusReason);
        GetParam().onExit(second, [this] { ++secondExits; });
    }
    RecordingUi ui;
    ScopedUi scope{ui};
    ShownScreen screen;
    QLineEdit *first = nullptr;
    QLineEdit *second = nullptr;
    int firstExits = 0;
    int secondExits = 0;
};
} // namespace

TEST_P(ExitEvent, FiresOnceWhenTheFocusMovesToAnotherControl)
{
    GetParam().onExit(first, [this] { ++firstExits; });
    second->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(firstExits, 1);
    QTest::keyClick(second, Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_TRUE(first->hasFocus());
    EXPECT_EQ(firstExits, 1);
    EXPECT_EQ(secondExits, 1);
}

TEST_P(ExitEvent, ValidatorPuttingTheFocusBackKeepsItThere)
{
    GetParam().onExit(first, [this] {
        ++firstExits;
        try {
            MensErro(u"Horário inválido"_s, true);
        } catch (const EAbort &) {
            first->setFocus();
            throw;
        }
    });
    second->setFocus(Qt::TabFocusReason);
    EXPECT_TRUE(first->hasFocus());
    EXPECT_EQ(firstExits, 1);
    EXPECT_EQ(secondExits, 0);
    EXPECT_EQ(ui.messages, QStringList{u"Horário inválido"_s});
    EXPECT_TRUE(ui.errors.isEmpty()) << "an abort is not an error";
}

TEST_P(ExitEvent, ActivatingAnotherWindowIsNotAnExit)
{
    GetParam().onExit(first, [this] { ++firstExits; });
    ShownScreen other;
    TEdit *otherEdit = other.add(new TEdit);
    ASSERT_TRUE(other.activate());
    otherEdit->setFocus();
    ASSERT_FALSE(first->hasFocus());
    ASSERT_TRUE(screen.activate());
    EXPECT_TRUE(first->hasFocus());
    EXPECT_EQ(firstExits, 0);
}

TEST_P(ExitEvent, MovingToAnotherScreenOfTheSameWindowIsNotAnExit)
{
    // MDI screens share the main window: only a move inside a screen leaves a control.
    auto *screenA = screen.add(new TForm);
    auto *screenB = screen.add(new TForm);
    auto *layoutA = new QVBoxLayout(screenA);
    auto *layoutB = new QVBoxLayout(screenB);
    QLineEdit *inA = GetParam().make();
    QLineEdit *nextInA = GetParam().make();
    QLineEdit *inB = GetParam().make();
    layoutA->addWidget(inA);
    layoutA->addWidget(nextInA);
    layoutB->addWidget(inB);
    screenA->show();
    screenB->show();
    int exitsA = 0;
    GetParam().onExit(inA, [&] { ++exitsA; });
    inA->setFocus(Qt::OtherFocusReason);
    inB->setFocus(Qt::MouseFocusReason);
    ASSERT_TRUE(inB->hasFocus());
    EXPECT_EQ(exitsA, 0);
    inA->setFocus(Qt::MouseFocusReason);
    nextInA->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(exitsA, 1);
}

INSTANTIATE_TEST_SUITE_P(Edits, ExitEvent,
                         ::testing::Values(kindOf<TEdit>("TEdit"), kindOf<TMaskEdit>("TMaskEdit"),
                                           kindOf<TDateEditPlus>("TDateEditPlus")),
                         [](const auto &info) { return std::string(info.param.name); });

// --- KeyPress ---------------------------------------------------------------------------------

TEST(KeyPressEvent, HandlerSeesEachCharacter)
{
    const auto dropLetters = [](QChar &k) { if (k.isLetter()) k = QChar(0); };
    struct Row
    {
        QString typed; // "\b" is the Backspace key
        int maxLength;
        std::function<void(QChar &)> handler;
        QString text;
    };
    const Row rows[] = {
        {u"12a"_s, 0, {}, u"12a"_s},
        {u"1a2-3"_s, 0, dropLetters, u"12-3"_s},
        {u"ab1"_s, 0, [](QChar &k) { k = k.toUpper(); }, u"AB1"_s},
        {u"12\b3"_s, 0, {}, u"13"_s},
        {u"12\b\b"_s, 0, [](QChar &k) { if (k == QChar(8)) k = QChar(0); }, u"12"_s},
        {u"12345"_s, 3, {}, u"123"_s},
    };
    for (const Row &row : rows) {
        TEdit edit;
        edit.setMaxLength(row.maxLength > 0 ? row.maxLength : 32767);
        QString seen;
        QObject::connect(&edit, &TEdit::KeyPress, &edit, [&](QObject *sender, QChar &key) {
            EXPECT_EQ(sender, &edit);
            seen += key;
            if (row.handler)
                row.handler(key);
        });
        for (QChar c : row.typed) {
            if (c == QChar(8))
                QTest::keyClick(&edit, Qt::Key_Backspace);
            else
                QTest::keyClicks(&edit, QString(c));
        }
        EXPECT_EQ(str(edit.text()), str(row.text)) << str(row.typed);
        EXPECT_EQ(seen, row.typed) << "every key, backspace as #8";
    }
}

TEST(KeyPressEvent, EnterMovingTheFocusStillRunsTheExit)
{
    ShownScreen screen;
    TEdit *field = screen.add(new TEdit);
    TEdit *next = screen.add(new TEdit);
    ASSERT_TRUE(screen.activate());
    field->setFocus();
    int exits = 0;
    int returns = 0;
    QObject::connect(field, &TEdit::Exit, field, [&] { ++exits; });
    QObject::connect(next, &QLineEdit::returnPressed, next, [&] { ++returns; });
    QObject::connect(field, &TEdit::KeyPress, field, [&](QObject *, QChar &key) {
        if (key == QChar(13)) { // Enter as Tab, as the host's screens do
            key = QChar(0);
            next->setFocus(Qt::TabFocusReason);
        }
    });
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_TRUE(next->hasFocus());
    EXPECT_EQ(exits, 1);
    QTest::keyClick(next, Qt::Key_Return);
    EXPECT_EQ(returns, 1) << "an unhandled Enter keeps its meaning";
}

// Screen scripts type into controls that do not have the focus: both QTest::keyClicks and plain
// key events sent to the control type as the user does.
TEST(KeyPressEvent, TypingWorksWithoutTheFocus)
{
    const auto sendKeys = [](QWidget *w, const QString &text) {
        for (QChar c : text) {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
            QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
            QApplication::sendEvent(w, &press);
            QApplication::sendEvent(w, &release);
        }
    };
    const std::function<void(QWidget *, const QString &)> ways[] = {
        [](QWidget *w, const QString &text) { QTest::keyClicks(w, text); }, sendKeys};
    for (const auto &type : ways) {
        ShownScreen screen;
        TEdit *focused = screen.add(new TEdit);
        TEdit *edit = screen.add(new TEdit);
        auto *masked = screen.add(new TMaskEdit);
        masked->setEditMask(u"99:99;0; "_s);
        ASSERT_TRUE(screen.activate());
        focused->setFocus();
        QString seen;
        QObject::connect(edit, &TEdit::KeyPress, edit, [&](QObject *, QChar &key) { seen += key; });
        type(edit, u"12a"_s);
        type(masked, u"1430"_s);
        EXPECT_EQ(edit->text(), u"12a"_s);
        EXPECT_EQ(seen, u"12a"_s);
        EXPECT_EQ(masked->Text(), u"1430"_s);
        EXPECT_TRUE(focused->hasFocus());
    }
}

// --- Change -----------------------------------------------------------------------------------

TEST(ChangeEvent, FiresForCodeAndTyping)
{
    struct Row
    {
        const char *how;
        std::function<void(TEdit &)> act;
        int changes;
    };
    const Row rows[] = {
        {"setText", [](TEdit &e) { e.setText(u"abc"_s); }, 1},
        {"same text again", [](TEdit &e) { e.setText(u"abc"_s); e.setText(u"abc"_s); }, 1},
        {"typing", [](TEdit &e) { QTest::keyClicks(&e, u"ab"_s); }, 2},
        {"dropped keys", [](TEdit &e) {
             QObject::connect(&e, &TEdit::KeyPress, &e, [](QObject *, QChar &k) { k = QChar(0); });
             QTest::keyClicks(&e, u"ab"_s);
         }, 0},
    };
    for (const Row &row : rows) {
        TEdit edit;
        int changes = 0;
        QObject::connect(&edit, &TEdit::Change, &edit, [&](QObject *sender) { changes += sender == &edit; });
        row.act(edit);
        EXPECT_EQ(changes, row.changes) << row.how;
    }
}

TEST(ChangeEvent, ErrorInTheHandlerStopsAtTheBoundary)
{
    RecordingUi ui;
    ScopedUi scope(ui);
    TEdit edit;
    connectHandler(&edit, &TEdit::Change, &edit, [] { throw std::runtime_error("boom"); });
    edit.setText(u"x"_s);
    EXPECT_EQ(edit.text(), u"x"_s);
    EXPECT_EQ(ui.errors.size(), 1);
}
