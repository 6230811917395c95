// Masked edits: the host mask convention, Text/EditText, and the date edit.
#include "widgettest.h"
#include "widgets.h"

#include <QCalendarWidget>
#include <QDate>
#include <QImage>
#include <QTableView>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {
// Fills the edit the way a user types (from the first position) or the way code sets it.
template <typename Edit>
void fill(Edit &edit, const QString &input, bool byKeys)
{
    if (byKeys) {
        edit.home(false);
        QTest::keyClicks(&edit, input);
    } else {
        edit.SetText(input);
    }
}
} // namespace

TEST(MaskEdit, ConvertsHostMasksToQtMasks)
{
    const std::pair<QString, QString> rows[] = {
        {u"99:99;0; "_s, u"00:00; "_s}, // host 9 is an optional digit, Qt's is 0
        {u"!99/99/9999;1;_"_s, u"00/00/0000;_"_s},
        {u"000-LL;1;_"_s, u"999-AA;_"_s},
        {u"Aa-Cc-l#;0;*"_s, u"Nn-Xx-a#;*"_s},
        {u">LL<ll;0;_"_s, u">AA<aa;_"_s},
        {u"<>cc;0;_"_s, u"!xx;_"_s},
        {u"\\A99;0;_"_s, u"\\A00;_"_s}, // escaped host letter: a literal Qt must not read as a mask char
        {u"99H;0;_"_s, u"00\\H;_"_s},  // plain literal that Qt would read as hex
        {u"99\\;99;1;_"_s, u"00\u037E00;_"_s}, // a literal ";" (Qt ends a mask at any ";") as its look-alike
        {u"(99)"_s, u"(00);_"_s},       // defaults for the missing parts
        {u""_s, u""_s},
    };
    for (const auto &[host, qt] : rows)
        EXPECT_EQ(str(TMaskEdit::toQtInputMask(host)), str(qt)) << str(host);
}

TEST(MaskEdit, TextAndEditTextTypedOrSet)
{
    struct Row
    {
        QString mask;
        QString input;
        QString text;
        QString editText;
    };
    const Row rows[] = {
        {u"99:99;0; "_s, u""_s, u""_s, u"  :  "_s},
        {u"99:99;0; "_s, u"1"_s, u"1"_s, u"1 :  "_s},
        {u"99:99;0; "_s, u"14"_s, u"14"_s, u"14:  "_s},
        {u"99:99;0; "_s, u"143"_s, u"143"_s, u"14:3 "_s},
        {u"99:99;0; "_s, u"1430"_s, u"1430"_s, u"14:30"_s},
        {u"99.99.999;0;_"_s, u"0102003"_s, u"0102003"_s, u"01.02.003"_s},
        {u"99.99.999;0;_"_s, u"01"_s, u"01"_s, u"01.__.___"_s},
        {u"99:99;1;_"_s, u"14"_s, u"14:__"_s, u"14:__"_s}, // literals kept: the shown text
        {u"00-00;1;_"_s, u"1234"_s, u"12-34"_s, u"12-34"_s}, // required digits
    };
    for (bool byKeys : {true, false}) {
        for (const Row &row : rows) {
            TMaskEdit edit;
            edit.setEditMask(row.mask);
            edit.show();
            fill(edit, row.input, byKeys);
            const std::string how = (byKeys ? "typed " : "set ") + str(row.input) + " into " + str(row.mask);
            EXPECT_EQ(str(edit.Text()), str(row.text)) << how;
            EXPECT_EQ(str(edit.EditText()), str(row.editText)) << how;
        }
    }
    TMaskEdit hour;
    hour.setEditMask(u"99:99;0; "_s);
    EXPECT_EQ(hour.maxLength(), 5);
}

TEST(MaskEdit, SetTextTakesTheShownForm)
{
    const std::pair<QString, QString> rows[] = {
        {u"01.02.003"_s, u"0102003"_s}, // literals in place: the shown text
        {u"01.02.00"_s, u"010200"_s},   // one short: positions filled, its dots skipped
        {u"14.3"_s, u"143"_s},
    };
    for (const auto &[set, text] : rows) {
        TMaskEdit edit;
        edit.setEditMask(u"99.99.999;0;_"_s);
        edit.SetText(set);
        EXPECT_EQ(str(edit.Text()), str(text)) << str(set);
    }
    TMaskEdit plain; // no mask: a plain edit
    plain.SetText(u"abc 1"_s);
    EXPECT_EQ(plain.Text(), u"abc 1"_s);
    EXPECT_EQ(plain.EditText(), u"abc 1"_s);
}

// What the edit shows, set again, shows the same: a blank where a character is required stays
// before the characters typed after it, and a literal ";" (which ends a Qt mask) is kept.
TEST(MaskEdit, SetTextKeepsEachCharacterAtItsPosition)
{
    struct Row
    {
        QString mask;
        QString set;
        QString editText;
        QString text;
    };
    const Row rows[] = {
        {u"00-00;1;_"_s, u"_5-_7"_s, u"_5-_7"_s, u"_5-_7"_s},
        {u"00-00;0;_"_s, u"_5-_7"_s, u"_5-_7"_s, u"57"_s},
        {u"Aa-Cc-c+;1;_"_s, u"__-?!-_+"_s, u"__-?!-_+"_s, u"__-?!-_+"_s},
        {u"99\\;99;1;_"_s, u"12;34"_s, u"12;34"_s, u"12;34"_s},
        {u"00\\;00;0;_"_s, u"1234"_s, u"12;34"_s, u"1234"_s},
        {u"9\u037E9\\;9;1;_"_s, u"1\u037E2;3"_s, u"1\u037E2;3"_s, u"1\u037E2;3"_s}, // the look-alike as a literal of its own
    };
    for (const Row &row : rows) {
        TMaskEdit edit;
        edit.setEditMask(row.mask);
        int changes = 0;
        QObject::connect(&edit, &TMaskEdit::Change, &edit, [&] { ++changes; });
        edit.SetText(row.set);
        const std::string how = str(row.set) + " into " + str(row.mask);
        EXPECT_EQ(str(edit.EditText()), str(row.editText)) << how;
        EXPECT_EQ(str(edit.Text()), str(row.text)) << how;
        EXPECT_EQ(changes, 1) << how;
        edit.SetText(edit.EditText());
        EXPECT_EQ(str(edit.EditText()), str(row.editText)) << how << ", set again";
        EXPECT_EQ(changes, 1) << how << ", set again";
    }
}

TEST(MaskEdit, ChangeFollowsText)
{
    struct Row
    {
        const char *how;
        std::function<void(TMaskEdit &)> act;
        int changes;
    };
    const Row rows[] = {
        {"set", [](TMaskEdit &e) { e.SetText(u"1430"_s); }, 1},
        {"same text in both forms", [](TMaskEdit &e) { e.SetText(u"1430"_s); e.SetText(u"14:30"_s); }, 1},
        {"typed", [](TMaskEdit &e) { fill(e, u"14"_s, true); }, 2},
        {"rejected key", [](TMaskEdit &e) { fill(e, u"x"_s, true); }, 0},
        {"cleared", [](TMaskEdit &e) { e.SetText(u"14"_s); e.SetText(QString()); }, 2},
    };
    for (const Row &row : rows) {
        TMaskEdit edit;
        edit.setEditMask(u"99:99;0; "_s);
        int changes = 0;
        QObject::connect(&edit, &TMaskEdit::Change, &edit, [&] { ++changes; });
        row.act(edit);
        EXPECT_EQ(changes, row.changes) << row.how;
    }
}

TEST(MaskEdit, MaskedTextShowsACodeAsTheEditWould)
{
    const struct
    {
        const char *mask;
        QString text;
        QString shown;
    } rows[] = {
        {"99.99.999;0;_", u"0102003"_s, u"01.02.003"_s},
        {"99.99.999;0;_", u"0102"_s, u"01.02"_s}, // a branch of the tree: no dangling literal
        {"99.99.999;0;_", u"01"_s, u"01"_s},
        {"99.99.999;0;_", u""_s, u""_s},
        {"99.99.999;1;_", u"01.02.003"_s, u"01.02.003"_s}, // literals kept in the text
        {"99.99.999;0;_", u"0102003456"_s, u"01.02.003456"_s}, // beyond the mask: kept, not cut
        {"9-999-999;0; ", u"0101001"_s, u"0-101-001"_s},
        {"", u"0102003"_s, u"0102003"_s},
    };
    for (const auto &row : rows) {
        const QString mask = QString::fromLatin1(row.mask);
        EXPECT_EQ(str(TMaskEdit::maskedText(mask, row.text)), str(row.shown)) << row.mask << " " << str(row.text);
        // Where the code fills the mask, the edit shows the same.
        if (!mask.isEmpty() && row.text.size() == 7) {
            TMaskEdit edit;
            edit.setEditMask(mask);
            edit.SetText(row.text);
            EXPECT_EQ(str(edit.EditText()), str(row.shown)) << row.mask;
        }
    }
}

// --- TDateEditPlus ----------------------------------------------------------------------------

TEST(DateEditPlus, DatesTypedOrSet)
{
    struct Row
    {
        QString input;
        QString text;
        bool valid;
        double value; // days since 30/12/1899
        QString weekday;
    };
    const Row rows[] = {
        {u""_s, u""_s, false, 0, u""_s},
        {u"0112"_s, u"01/12/____"_s, false, 0, u""_s},
        {u"01122026"_s, u"01/12/2026"_s, true, 46357, u"Terça"_s},
        {u"29022024"_s, u"29/02/2024"_s, true, 45351, u"Quinta"_s},
        {u"03012021"_s, u"03/01/2021"_s, true, 44199, u"Domingo"_s},
        {u"30121899"_s, u"30/12/1899"_s, true, 0, u"Sábado"_s},
        {u"31022026"_s, u"31/02/2026"_s, false, 0, u""_s},
        {u"29022025"_s, u"29/02/2025"_s, false, 0, u""_s},
        {u"00000000"_s, u"00/00/0000"_s, false, 0, u""_s},
        {u"13132026"_s, u"13/13/2026"_s, false, 0, u""_s},
    };
    for (bool byKeys : {true, false}) {
        for (const Row &row : rows) {
            TDateEditPlus edit;
            edit.show();
            fill(edit, row.input, byKeys);
            const std::string how = (byKeys ? "typed " : "set ") + str(row.input);
            EXPECT_EQ(str(edit.Text()), str(row.text)) << how;
            EXPECT_EQ(str(edit.EditText()), str(row.input.isEmpty() ? u"__/__/____"_s : row.text)) << how;
            EXPECT_EQ(edit.IsDateValid(), row.valid) << how;
            EXPECT_EQ(edit.GetDate(), row.value) << how;
            EXPECT_EQ(str(edit.weekdayName()), str(row.weekday)) << how;
            EXPECT_EQ(edit.palette().color(QPalette::Text) == QColor(Qt::blue), row.valid) << how;
        }
    }
}

TEST(DateEditPlus, SetDate)
{
    TDateEditPlus edit;
    edit.setDate(QDate(2026, 12, 7));
    EXPECT_EQ(edit.EditText(), u"07/12/2026"_s);
    EXPECT_EQ(edit.weekdayName(), u"Segunda"_s);
    edit.setDate(QDate());
    EXPECT_EQ(edit.Text(), QString());
    EXPECT_NE(edit.palette().color(QPalette::Text), QColor(Qt::blue));
}

TEST(DateEditPlus, WeekdayIsDrawnAtTheRightOnlyForValidDates)
{
    // Pixels in the right third of the edit that differ from its background.
    const auto inkAtTheRight = [](TDateEditPlus &edit) {
        const QImage image = edit.grab().toImage();
        const QColor background = image.pixelColor(image.width() - 3, 3);
        int ink = 0;
        for (int x = image.width() * 2 / 3; x < edit.calendarButton()->geometry().left() - 1; ++x) {
            for (int y = 4; y < image.height() - 4; ++y)
                ink += image.pixelColor(x, y) != background;
        }
        return ink;
    };
    TDateEditPlus edit;
    edit.resize(220, 28);
    edit.SetText(u"31/02/2026"_s);
    EXPECT_EQ(inkAtTheRight(edit), 0);
    edit.SetText(u"01/12/2026"_s);
    EXPECT_GT(inkAtTheRight(edit), 10);
}

namespace {
// A date edit between two other edits on a shown screen, counting its change and exit events.
struct CalendarScreen
{
    CalendarScreen()
    {
        before = screen.add(new TEdit);
        date = screen.add(new TDateEditPlus);
        after = screen.add(new TEdit);
        QObject::connect(date, &TMaskEdit::Change, [this] { ++changes; });
        QObject::connect(date, &TMaskEdit::Exit, [this] { ++exits; });
        QObject::connect(before, &TEdit::Exit, [this] { ++beforeExits; });
    }
    QWidget *popup() const { return date->calendar() ? date->calendar()->window() : nullptr; }
    bool popupShown() const { return popup() && popup()->isVisible(); }
    // The calendar's grid, where its keys go.
    QWidget *grid() const { return date->calendar()->findChild<QTableView *>(); }

    ShownScreen screen;
    TEdit *before = nullptr;
    TDateEditPlus *date = nullptr;
    TEdit *after = nullptr;
    int changes = 0;
    int exits = 0;
    int beforeExits = 0;
};
} // namespace

TEST(DateEditPlus, CalendarPicksADateAsTypingItWould)
{
    enum class Open { AltDown, Button };
    for (const Open open : {Open::AltDown, Open::Button}) {
        CalendarScreen s;
        ASSERT_TRUE(s.screen.activate());
        s.date->SetText(u"07/12/2026"_s);
        s.changes = 0;
        if (open == Open::AltDown) {
            s.date->setFocus();
            QTest::keyClick(s.date, Qt::Key_Down, Qt::AltModifier);
        } else {
            s.before->setFocus();
            QTest::mouseClick(s.date->calendarButton(), Qt::LeftButton);
            EXPECT_EQ(s.beforeExits, 1); // leaving the previous control, as a click into the date would
        }
        ASSERT_TRUE(s.popupShown()) << int(open);
        EXPECT_EQ(s.date->calendar()->selectedDate(), QDate(2026, 12, 7)); // opens on the edit's date
        EXPECT_EQ(s.exits, 0) << "opening the calendar is not leaving the edit";
        // Two days on, then Enter.
        QTest::keyClick(s.grid(), Qt::Key_Right);
        QTest::keyClick(s.grid(), Qt::Key_Right);
        QTest::keyClick(s.grid(), Qt::Key_Return);
        EXPECT_FALSE(s.popupShown());
        EXPECT_EQ(s.date->EditText(), u"09/12/2026"_s);
        EXPECT_EQ(s.date->weekdayName(), u"Quarta"_s);
        EXPECT_EQ(s.changes, 1);
        EXPECT_EQ(s.exits, 0);
        EXPECT_TRUE(s.date->hasFocus());
        // The exit rule runs when the user leaves, as after typing.
        s.after->setFocus(Qt::TabFocusReason);
        EXPECT_EQ(s.exits, 1);
    }
}

TEST(DateEditPlus, CalendarClosesWithoutChangeOnEscapeAndStaysShutWhenDisabled)
{
    const QString starts[] = {u"07/12/2026"_s, QString(), u"31/02/2026"_s};
    for (const QString &start : starts) {
        CalendarScreen s;
        ASSERT_TRUE(s.screen.activate());
        s.date->SetText(start);
        const QString before = s.date->EditText();
        s.changes = 0;
        s.date->setFocus();
        QTest::keyClick(s.date, Qt::Key_Down, Qt::AltModifier);
        ASSERT_TRUE(s.popupShown()) << str(start);
        // An empty or invalid date opens on today.
        const QDate expected = start == starts[0] ? QDate(2026, 12, 7) : QDate::currentDate();
        EXPECT_EQ(s.date->calendar()->selectedDate(), expected) << str(start);
        QTest::keyClick(s.grid(), Qt::Key_Right);
        QTest::keyClick(s.grid(), Qt::Key_Escape);
        EXPECT_FALSE(s.popupShown()) << str(start);
        EXPECT_EQ(s.date->EditText(), before) << str(start);
        EXPECT_EQ(s.changes, 0) << str(start);
        EXPECT_EQ(s.exits, 0) << str(start);
    }
    CalendarScreen s;
    ASSERT_TRUE(s.screen.activate());
    s.date->setEnabled(false);
    s.date->showCalendar();
    QTest::mouseClick(s.date->calendarButton(), Qt::LeftButton);
    EXPECT_FALSE(s.popupShown());
    s.date->setEnabled(true);
    s.date->setReadOnly(true);
    s.date->setFocus();
    QTest::keyClick(s.date, Qt::Key_Down, Qt::AltModifier);
    EXPECT_FALSE(s.popupShown());
}
