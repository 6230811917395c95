// Exit, change and key events of the edits, driven by real focus moves and key events offscreen.
#include "consiste.h"
#include "errors.h"
#include "recordingui.h"
#include "widgets.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTest>
#include <QVBoxLayout>
#include <QWidget>
#include <gtest/gtest.h>
#include <functional>
#include <memory>
#include <stdexcept>

using namespace Qt::StringLiterals;

namespace {

// One kind of edit under test, with its exit signal.
struct EditKind
{
    const char *name;
    std::function<QLineEdit *(QWidget *)> make;
    std::function<void(QLineEdit *, std::function<void()>)> onExit;
};

template <typename T>
EditKind kindOf(const char *name, const QString &mask = {})
{
    return {name,
            [mask](QWidget *parent) -> QLineEdit * {
                auto *edit = new T(parent);
                if constexpr (std::is_same_v<T, TMaskEdit>)
                    edit->setEditMask(mask);
                return edit;
            },
            [](QLineEdit *edit, std::function<void()> handler) {
                QObject::connect(static_cast<T *>(edit), &T::Exit, edit, [handler](QObject *) { handler(); });
            }};
}

void PrintTo(const EditKind &kind, std::ostream *os)
{
    *os << kind.name;
}

const EditKind editKinds[] = {
    kindOf<TEdit>("TEdit"),
    kindOf<TMaskEdit>("TMaskEdit", u"99:99;0; "_s),
    kindOf<TDateEditPlus>("TDateEditPlus"),
};

// A shown, active screen holding two edits of one kind.
struct Screen
{
    explicit Screen(const EditKind &kind)
    {
        window = std::make_unique<QWidget>();
        auto *layout = new QVBoxLayout(window.get());
        first = kind.make(window.get());
        second = kind.make(window.get());
        layout->addWidget(first);
        layout->addWidget(second);
        window->show();
        window->activateWindow();
        QApplication::setActiveWindow(window.get());
        activated = QTest::qWaitForWindowActive(window.get());
        first->setFocus(Qt::OtherFocusReason);
    }
    std::unique_ptr<QWidget> window;
    QLineEdit *first = nullptr;
    QLineEdit *second = nullptr;
    bool activated = false;
};

class ExitEvent : public ::testing::TestWithParam<EditKind>
{
protected:
    RecordingUi ui;
    ScopedUi scope{ui};
};

} // namespace

TEST_P(ExitEvent, FiresOnceWhenTheFocusMovesToAnotherControl)
{
    Screen screen(GetParam());
    ASSERT_TRUE(screen.activated);
    ASSERT_TRUE(screen.first->hasFocus());
    int firstExits = 0;
    int secondExits = 0;
    GetParam().onExit(screen.first, [&] { ++firstExits; });
    GetParam().onExit(screen.second, [&] { ++secondExits; });

    screen.second->setFocus(Qt::TabFocusReason);
    EXPECT_TRUE(screen.second->hasFocus());
    EXPECT_EQ(firstExits, 1);
    EXPECT_EQ(secondExits, 0);

    QTest::keyClick(screen.second, Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_TRUE(screen.first->hasFocus());
    EXPECT_EQ(firstExits, 1);
    EXPECT_EQ(secondExits, 1);
}

TEST_P(ExitEvent, ValidatorPuttingTheFocusBackKeepsItThere)
{
    Screen screen(GetParam());
    ASSERT_TRUE(screen.activated);
    int firstExits = 0;
    int secondExits = 0;
    QLineEdit *field = screen.first;
    GetParam().onExit(field, [&] {
        ++firstExits;
        try {
            MensErro(u"Horário inválido"_s, true);
        } catch (const EAbort &) {
            field->setFocus();
            throw;
        }
    });
    GetParam().onExit(screen.second, [&] { ++secondExits; });

    screen.second->setFocus(Qt::TabFocusReason);

    EXPECT_TRUE(field->hasFocus());
    EXPECT_EQ(firstExits, 1);
    EXPECT_EQ(secondExits, 0);
    EXPECT_EQ(ui.messages, QStringList{u"Horário inválido"_s});
    EXPECT_TRUE(ui.errors.isEmpty()) << "an abort is not an error";
}

TEST_P(ExitEvent, ActivatingAnotherWindowIsNotAnExit)
{
    Screen screen(GetParam());
    ASSERT_TRUE(screen.activated);
    int exits = 0;
    GetParam().onExit(screen.first, [&] { ++exits; });

    QWidget other;
    auto *otherEdit = new TEdit(&other);
    other.show();
    other.activateWindow();
    QApplication::setActiveWindow(&other);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    otherEdit->setFocus();
    EXPECT_FALSE(screen.first->hasFocus());

    screen.window->activateWindow();
    QApplication::setActiveWindow(screen.window.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(screen.window.get()));
    EXPECT_TRUE(screen.first->hasFocus());
    EXPECT_EQ(exits, 0);
}

TEST_P(ExitEvent, AnErrorInTheHandlerIsShownAndStopsThere)
{
    Screen screen(GetParam());
    ASSERT_TRUE(screen.activated);
    GetParam().onExit(screen.first, [] { throw EHostError(u"falhou"_s); });

    screen.second->setFocus(Qt::TabFocusReason);

    EXPECT_TRUE(screen.second->hasFocus());
    ASSERT_EQ(ui.errors.size(), 1);
    EXPECT_TRUE(ui.errors.first().contains(u"falhou"_s)) << ui.errors.first().toStdString();
}

INSTANTIATE_TEST_SUITE_P(Edits, ExitEvent, ::testing::ValuesIn(editKinds),
                         [](const ::testing::TestParamInfo<EditKind> &info) { return std::string(info.param.name); });

// --- KeyPress ---------------------------------------------------------------------------------

namespace {
struct KeyCase
{
    const char *name;
    QString typed; // "\b" is a Backspace key
    int maxLength;
    std::function<void(QChar &)> handler;
    QString text;
    QString seen; // what the handler received, backspace as "\b"
};

void typeInto(QWidget *w, const QString &typed)
{
    for (QChar c : typed) {
        if (c == QChar(8))
            QTest::keyClick(w, Qt::Key_Backspace);
        else
            QTest::keyClicks(w, QString(c));
    }
}

const KeyCase keyCases[] = {
    {"PassesEverything", u"12a"_s, 0, [](QChar &) {}, u"12a"_s, u"12a"_s},
    {"DropsNonDigits", u"1a2-3"_s, 0, [](QChar &k) { if (!k.isDigit() && k != QChar(8)) k = QChar(0); },
     u"123"_s, u"1a2-3"_s},
    {"ChangesTheCharacter", u"ab1"_s, 0, [](QChar &k) { k = k.toUpper(); }, u"AB1"_s, u"ab1"_s},
    {"BackspaceReachesTheHandler", u"12\b3"_s, 0, [](QChar &) {}, u"13"_s, u"12\b3"_s},
    {"BackspaceCanBeDropped", u"12\b\b"_s, 0, [](QChar &k) { if (k == QChar(8)) k = QChar(0); }, u"12"_s,
     u"12\b\b"_s},
    {"MaxLengthHolds", u"12345"_s, 3, [](QChar &) {}, u"123"_s, u"12345"_s},
};

void PrintTo(const KeyCase &c, std::ostream *os)
{
    *os << c.name;
}

class KeyPressEvent : public ::testing::TestWithParam<KeyCase>
{
};
} // namespace

TEST_P(KeyPressEvent, HandlerSeesEachCharacter)
{
    const KeyCase &c = GetParam();
    QWidget window;
    auto *edit = new TEdit(&window);
    if (c.maxLength > 0)
        edit->setMaxLength(c.maxLength);
    QString seen;
    QObject::connect(edit, &TEdit::KeyPress, edit, [&](QObject *sender, QChar &key) {
        EXPECT_EQ(sender, edit);
        seen += key;
        c.handler(key);
    });
    window.show();
    edit->setFocus();

    typeInto(edit, c.typed);

    EXPECT_EQ(edit->text(), c.text);
    EXPECT_EQ(seen, c.seen);
}

INSTANTIATE_TEST_SUITE_P(Keys, KeyPressEvent, ::testing::ValuesIn(keyCases),
                         [](const ::testing::TestParamInfo<KeyCase> &info) { return std::string(info.param.name); });

TEST(KeyPressEvent, EnterMovingTheFocusStillRunsTheExit)
{
    RecordingUi ui;
    ScopedUi scope(ui);
    Screen screen(editKinds[0]);
    ASSERT_TRUE(screen.activated);
    auto *field = static_cast<TEdit *>(screen.first);
    int exits = 0;
    QObject::connect(field, &TEdit::Exit, field, [&] { ++exits; });
    // Enter as Tab, as the host's screens do it.
    QObject::connect(field, &TEdit::KeyPress, field, [&](QObject *, QChar &key) {
        if (key == QChar(13)) {
            key = QChar(0);
            screen.second->setFocus(Qt::TabFocusReason);
        }
    });

    QTest::keyClicks(field, u"7"_s);
    QTest::keyClick(field, Qt::Key_Return);

    EXPECT_EQ(field->text(), u"7"_s);
    EXPECT_TRUE(screen.second->hasFocus());
    EXPECT_EQ(exits, 1);
}

TEST(KeyPressEvent, EnterKeepsItsMeaningWhenNotHandled)
{
    QWidget window;
    auto *edit = new TEdit(&window);
    int returns = 0;
    QObject::connect(edit, &QLineEdit::returnPressed, edit, [&] { ++returns; });
    window.show();
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(returns, 1);
    EXPECT_TRUE(edit->text().isEmpty());
}

TEST(KeyPressEvent, ReadOnlyEditIgnoresTyping)
{
    TEdit edit;
    edit.setReadOnly(true);
    QTest::keyClicks(&edit, u"12"_s);
    EXPECT_TRUE(edit.text().isEmpty());
}

// Screen scripts type into controls that do not have the focus; keyClicks goes to the widget itself.
TEST(KeyPressEvent, TypingWorksWithoutTheFocus)
{
    QWidget window;
    auto *focused = new TEdit(&window);
    auto *edit = new TEdit(&window);
    auto *masked = new TMaskEdit(&window);
    masked->setEditMask(u"99:99;0; "_s);
    window.show();
    focused->setFocus();

    QTest::keyClicks(edit, u"12a"_s);
    QTest::keyClicks(masked, u"1430"_s);

    EXPECT_EQ(edit->text(), u"12a"_s);
    EXPECT_EQ(masked->Text(), u"1430"_s);
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
        {"dropped key", [](TEdit &e) {
             QObject::connect(&e, &TEdit::KeyPress, &e, [](QObject *, QChar &k) { k = QChar(0); });
             QTest::keyClicks(&e, u"ab"_s);
         }, 0},
    };
    for (const Row &row : rows) {
        TEdit edit;
        int changes = 0;
        QObject::connect(&edit, &TEdit::Change, &edit, [&](QObject *sender) {
            EXPECT_EQ(sender, &edit);
            ++changes;
        });
        row.act(edit);
        EXPECT_EQ(changes, row.changes) << row.how;
    }
}

TEST(ChangeEvent, ErrorInTheHandlerDoesNotEscape)
{
    RecordingUi ui;
    ScopedUi scope(ui);
    TEdit edit;
    QObject::connect(&edit, &TEdit::Change, &edit, [](QObject *) { throw std::runtime_error("boom"); });
    edit.setText(u"x"_s);
    EXPECT_EQ(edit.text(), u"x"_s);
    EXPECT_EQ(ui.errors.size(), 1);
}
