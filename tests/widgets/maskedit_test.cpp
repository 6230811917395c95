// Masked edits: the host mask convention, Text/EditText, and the date edit.
#include "widgets.h"

#include <QDate>
#include <QImage>
#include <QTest>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {
std::string str(const QString &s)
{
    return s.toStdString();
}
} // namespace

TEST(MaskEdit, ConvertsHostMasksToQtMasks)
{
    struct Row
    {
        QString host;
        QString qt;
    };
    const Row rows[] = {
        {u"99:99;0; "_s, u"00:00; "_s},            // 9 optional digit, blank " "
        {u"99.99.999;0;_"_s, u"00.00.000;_"_s},
        {u"!99/99/9999;1;_"_s, u"00/00/0000;_"_s}, // "!" has no Qt counterpart
        {u"000-LL;1;_"_s, u"999-AA;_"_s},          // required digits and letters
        {u"Aa-Cc-l#;0;*"_s, u"Nn-Xx-a#;*"_s},
        {u">LL<ll;0;_"_s, u">AA<aa;_"_s},
        {u"<>cc;0;_"_s, u"!xx;_"_s},
        {u"\\A99;0;_"_s, u"\\A00;_"_s},            // escaped host char, a Qt meta character
        {u"99H;0;_"_s, u"00\\H;_"_s},              // plain literal that Qt would read as hex
        {u"(99)"_s, u"(00);_"_s},                  // no flag, no blank: the defaults
        {u""_s, u""_s},
    };
    for (const Row &row : rows)
        EXPECT_EQ(str(TMaskEdit::toQtInputMask(row.host)), str(row.qt)) << str(row.host);
}

TEST(MaskEdit, HourMaskLimitsLength)
{
    TMaskEdit edit;
    edit.setEditMask(u"99:99;0; "_s);
    EXPECT_EQ(edit.maxLength(), 5);
    EXPECT_EQ(edit.editMask(), u"99:99;0; "_s);
}

namespace {
struct HourCase
{
    QString input;
    QString text;
    QString editText;
};

const HourCase hourCases[] = {
    {u""_s, u""_s, u"  :  "_s},
    {u"1"_s, u"1"_s, u"1 :  "_s},
    {u"14"_s, u"14"_s, u"14:  "_s},
    {u"143"_s, u"143"_s, u"14:3 "_s},
    {u"1430"_s, u"1430"_s, u"14:30"_s},
};
} // namespace

TEST(MaskEdit, HourTypedByKeys)
{
    for (const HourCase &c : hourCases) {
        TMaskEdit edit;
        edit.setEditMask(u"99:99;0; "_s);
        edit.show();
        edit.setFocus();
        edit.home(false);
        QTest::keyClicks(&edit, c.input);
        EXPECT_EQ(str(edit.Text()), str(c.text)) << "typed " << str(c.input);
        EXPECT_EQ(str(edit.EditText()), str(c.editText)) << "typed " << str(c.input);
    }
}

TEST(MaskEdit, HourSetByCode)
{
    for (const HourCase &c : hourCases) {
        TMaskEdit edit;
        edit.setEditMask(u"99:99;0; "_s);
        edit.SetText(c.input);
        EXPECT_EQ(str(edit.Text()), str(c.text)) << "set " << str(c.input);
        EXPECT_EQ(str(edit.EditText()), str(c.editText)) << "set " << str(c.input);
    }
}

TEST(MaskEdit, SetTextTakesShownTextOrFillsPositions)
{
    struct Row
    {
        QString mask;
        QString set;
        QString text;
        QString editText;
    };
    const Row rows[] = {
        {u"99.99.999;0;_"_s, u"0102003"_s, u"0102003"_s, u"01.02.003"_s},
        {u"99.99.999;0;_"_s, u"01.02.003"_s, u"0102003"_s, u"01.02.003"_s}, // shown form
        {u"99.99.999;0;_"_s, u"01"_s, u"01"_s, u"01.__.___"_s},
        {u"99.99.999;0;_"_s, u""_s, u""_s, u"__.__.___"_s},
        {u"99:99;0; "_s, u"14:30"_s, u"1430"_s, u"14:30"_s},
        {u"99:99;0; "_s, u"14:3"_s, u"143"_s, u"14:3 "_s}, // not the shown form: the ":" is no digit
        {u"99:99;1;_"_s, u"1430"_s, u"14:30"_s, u"14:30"_s}, // literals kept
        {u"99:99;1;_"_s, u"14"_s, u"14:__"_s, u"14:__"_s},
        {u"00-00;1;_"_s, u"1234"_s, u"12-34"_s, u"12-34"_s}, // required digits
        {u"00-00;1;_"_s, u"12"_s, u"12-__"_s, u"12-__"_s},
    };
    for (const Row &row : rows) {
        TMaskEdit edit;
        edit.setEditMask(row.mask);
        edit.SetText(row.set);
        EXPECT_EQ(str(edit.Text()), str(row.text)) << str(row.mask) << " <- " << str(row.set);
        EXPECT_EQ(str(edit.EditText()), str(row.editText)) << str(row.mask) << " <- " << str(row.set);
    }
}

TEST(MaskEdit, ProductTreeTypedByKeys)
{
    TMaskEdit edit;
    edit.setEditMask(u"99.99.999;0;_"_s);
    edit.show();
    edit.setFocus();
    edit.home(false);
    QTest::keyClicks(&edit, u"0102003"_s);
    EXPECT_EQ(edit.EditText(), u"01.02.003"_s);
    EXPECT_EQ(edit.Text(), u"0102003"_s);
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
        {"set once", [](TMaskEdit &e) { e.SetText(u"1430"_s); }, 1},
        {"same text twice", [](TMaskEdit &e) { e.SetText(u"1430"_s); e.SetText(u"14:30"_s); }, 1},
        {"typed", [](TMaskEdit &e) { e.home(false); QTest::keyClicks(&e, u"14"_s); }, 2},
        {"rejected key", [](TMaskEdit &e) { e.home(false); QTest::keyClicks(&e, u"x"_s); }, 0},
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

TEST(MaskEdit, WithoutMaskIsAPlainEdit)
{
    TMaskEdit edit;
    edit.SetText(u"abc 1"_s);
    EXPECT_EQ(edit.Text(), u"abc 1"_s);
    EXPECT_EQ(edit.EditText(), u"abc 1"_s);
    QTest::keyClicks(&edit, u"2"_s);
    EXPECT_EQ(edit.Text(), u"abc 12"_s);
}

// --- TDateEditPlus ----------------------------------------------------------------------------

namespace {
struct DateCase
{
    QString typed;
    QString text;
    QString editText;
    bool valid;
    double value; // days since 30/12/1899
    QString weekday;
};

const DateCase dateCases[] = {
    {u""_s, u""_s, u"__/__/____"_s, false, 0, u""_s},
    {u"0112"_s, u"01/12/____"_s, u"01/12/____"_s, false, 0, u""_s},
    {u"01122026"_s, u"01/12/2026"_s, u"01/12/2026"_s, true, 46357, u"Terça"_s},
    {u"29022024"_s, u"29/02/2024"_s, u"29/02/2024"_s, true, 45351, u"Quinta"_s},
    {u"03012021"_s, u"03/01/2021"_s, u"03/01/2021"_s, true, 44199, u"Domingo"_s},
    {u"30121899"_s, u"30/12/1899"_s, u"30/12/1899"_s, true, 0, u"Sábado"_s},
    {u"31122025"_s, u"31/12/2025"_s, u"31/12/2025"_s, true, 46022, u"Quarta"_s},
    {u"31022026"_s, u"31/02/2026"_s, u"31/02/2026"_s, false, 0, u""_s},
    {u"29022025"_s, u"29/02/2025"_s, u"29/02/2025"_s, false, 0, u""_s},
    {u"00000000"_s, u"00/00/0000"_s, u"00/00/0000"_s, false, 0, u""_s},
    {u"13132026"_s, u"13/13/2026"_s, u"13/13/2026"_s, false, 0, u""_s},
};

void PrintTo(const DateCase &c, std::ostream *os)
{
    *os << '"' << str(c.typed) << '"';
}

class DateEdit : public ::testing::TestWithParam<DateCase>
{
};

void checkDate(const TDateEditPlus &edit, const DateCase &c, const char *how)
{
    EXPECT_EQ(str(edit.Text()), str(c.text)) << how << " " << str(c.typed);
    EXPECT_EQ(str(edit.EditText()), str(c.editText)) << how << " " << str(c.typed);
    EXPECT_EQ(edit.IsDateValid(), c.valid) << how << " " << str(c.typed);
    EXPECT_EQ(edit.GetDate(), c.value) << how << " " << str(c.typed);
    EXPECT_EQ(str(edit.weekdayName()), str(c.weekday)) << how << " " << str(c.typed);
    EXPECT_EQ(edit.palette().color(QPalette::Text) == QColor(Qt::blue), c.valid) << how << " " << str(c.typed);
}
} // namespace

TEST_P(DateEdit, TypedByKeys)
{
    TDateEditPlus edit;
    edit.show();
    edit.setFocus();
    edit.home(false);
    QTest::keyClicks(&edit, GetParam().typed);
    checkDate(edit, GetParam(), "typed");
}

TEST_P(DateEdit, SetByCode)
{
    TDateEditPlus edit;
    edit.SetText(GetParam().typed);
    checkDate(edit, GetParam(), "set");
}

INSTANTIATE_TEST_SUITE_P(Dates, DateEdit, ::testing::ValuesIn(dateCases),
                         [](const ::testing::TestParamInfo<DateCase> &info) {
                             return info.param.typed.isEmpty() ? std::string("nothing") : str(info.param.typed);
                         });

TEST(DateEditPlus, SetDateAndBack)
{
    TDateEditPlus edit;
    edit.setDate(QDate(2026, 12, 1));
    EXPECT_EQ(edit.EditText(), u"01/12/2026"_s);
    EXPECT_EQ(edit.date(), QDate(2026, 12, 1));
    edit.setDate(QDate());
    EXPECT_EQ(edit.Text(), QString());
    EXPECT_FALSE(edit.IsDateValid());
    // A valid date followed by an invalid one leaves the blue behind.
    edit.setDate(QDate(2026, 12, 1));
    edit.SetText(u"31/02/2026"_s);
    EXPECT_NE(edit.palette().color(QPalette::Text), QColor(Qt::blue));
}

TEST(DateEditPlus, StaticHelpers)
{
    EXPECT_EQ(TDateEditPlus::toDateValue(QDate(1900, 1, 1)), 2.0);
    EXPECT_EQ(TDateEditPlus::toDateValue(QDate(1899, 12, 29)), -1.0);
    EXPECT_EQ(TDateEditPlus::toDateValue(QDate()), 0.0);
    const QString week[] = {u"Segunda"_s, u"Terça"_s, u"Quarta"_s, u"Quinta"_s, u"Sexta"_s, u"Sábado"_s, u"Domingo"_s};
    // 07/12/2026 is a Monday.
    for (int day = 0; day < 7; ++day)
        EXPECT_EQ(TDateEditPlus::weekdayName(QDate(2026, 12, 7 + day)), week[day]);
}

namespace {
// Pixels in the right part of the edit that differ from its background.
int inkAtTheRight(TDateEditPlus &edit)
{
    const QImage image = edit.grab().toImage();
    const QColor background = image.pixelColor(image.width() - 3, 3);
    int ink = 0;
    for (int x = image.width() * 2 / 3; x < image.width() - 4; ++x) {
        for (int y = 4; y < image.height() - 4; ++y) {
            if (image.pixelColor(x, y) != background)
                ++ink;
        }
    }
    return ink;
}
} // namespace

TEST(DateEditPlus, WeekdayIsDrawnAtTheRightOnlyForValidDates)
{
    TDateEditPlus edit;
    edit.resize(220, 28);
    edit.SetText(u"31/02/2026"_s);
    EXPECT_EQ(inkAtTheRight(edit), 0);
    edit.SetText(u"01/12/2026"_s);
    EXPECT_GT(inkAtTheRight(edit), 10);
}
