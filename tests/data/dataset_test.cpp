#include "dataset.h"
#include "errors.h"

#include <QDate>
#include <QDateTime>
#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

QList<QVariantList> rowsOf(int n)
{
    QList<QVariantList> rows;
    for (int i = 0; i < n; ++i)
        rows.append(QVariantList{i});
    return rows;
}

struct NavCase
{
    const char *label;
    int rows;
    QList<QString> steps; // "first", "next", or a number for setRecNo
    int recNo;
    bool eof;
};

void PrintTo(const NavCase &c, std::ostream *os)
{
    *os << c.label;
}

class DataSetNavigation : public testing::TestWithParam<NavCase> {};

TEST_P(DataSetNavigation, EndsOnExpectedRow)
{
    const NavCase &c = GetParam();
    TDataSet set;
    set.setContent({u"N"_s}, rowsOf(c.rows));
    for (const QString &step : c.steps) {
        if (step == u"first"_s)
            set.First();
        else if (step == u"next"_s)
            set.Next();
        else
            set.setRecNo(step.toInt());
    }
    EXPECT_EQ(set.RecNo(), c.recNo);
    EXPECT_EQ(set.Eof(), c.eof);
}

INSTANTIATE_TEST_SUITE_P(
    Table, DataSetNavigation,
    testing::Values(NavCase{"empty_initial", 0, {}, -1, true}, NavCase{"empty_next", 0, {u"next"_s}, -1, true},
                    NavCase{"initial_on_first", 3, {}, 0, false},
                    NavCase{"two_nexts", 3, {u"next"_s, u"next"_s}, 2, false},
                    NavCase{"past_last_stays_on_last", 3, {u"next"_s, u"next"_s, u"next"_s}, 2, true},
                    NavCase{"first_clears_eof", 3, {u"next"_s, u"next"_s, u"next"_s, u"first"_s}, 0, false},
                    NavCase{"setrecno_clamps_high", 3, {u"7"_s}, 2, false},
                    NavCase{"setrecno_clamps_low", 3, {u"-4"_s}, 0, false},
                    NavCase{"setrecno_clears_eof", 2, {u"next"_s, u"next"_s, u"0"_s}, 0, false},
                    NavCase{"single_row", 1, {u"next"_s}, 0, true}),
    [](const auto &info) { return std::string(info.param.label); });

struct TextCase
{
    const char *label;
    QVariant value;
    QString text;
    bool isNull;
};

void PrintTo(const TextCase &c, std::ostream *os)
{
    *os << c.label;
}

class FieldText : public testing::TestWithParam<TextCase> {};

TEST_P(FieldText, ReadsPlainText)
{
    const TextCase &c = GetParam();
    TDataSet set;
    set.setContent({u"Valor"_s}, {{c.value}});
    EXPECT_EQ(set.FieldByName(u"valor"_s).AsString(), c.text);
    EXPECT_EQ(set.FieldByName(u"VALOR"_s).IsNull(), c.isNull);
    EXPECT_EQ(set.text(0, u"Valor"_s), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Table, FieldText,
    testing::Values(TextCase{"text", u"abc "_s, u"abc "_s, false},
                    TextCase{"empty_text", QVariant(u""_s), u""_s, false},
                    TextCase{"typed_null", QVariant(QMetaType(QMetaType::QString)), u""_s, true},
                    TextCase{"invalid", QVariant(), u""_s, true},
                    TextCase{"double_half", 12.5, u"12.5"_s, false},
                    TextCase{"double_whole", -3.0, u"-3"_s, false},
                    TextCase{"double_noise", 0.1 + 0.2, u"0.3"_s, false},
                    TextCase{"double_many_digits", 1234567.891, u"1234567.891"_s, false},
                    TextCase{"double_large", 1e20, u"100000000000000000000"_s, false},
                    TextCase{"double_negative_small", -0.25, u"-0.25"_s, false},
                    TextCase{"integer", qlonglong(42), u"42"_s, false},
                    TextCase{"date", QDate(2024, 1, 5), u"2024-01-05"_s, false},
                    TextCase{"datetime", QDateTime(QDate(2024, 1, 5), QTime(10, 20, 30)), u"2024-01-05T10:20:30"_s, false},
                    TextCase{"datetime_ms", QDateTime(QDate(2024, 1, 5), QTime(10, 20, 30, 5)),
                             u"2024-01-05T10:20:30.005"_s, false},
                    TextCase{"time", QTime(7, 8, 9), u"07:08:09"_s, false},
                    TextCase{"bytes", QByteArray("a\xc3\xa7"), u"aç"_s, false}),
    [](const auto &info) { return std::string(info.param.label); });

TEST(DataSet, FieldByNameOfUnknownFieldThrows)
{
    TDataSet set;
    set.setContent({u"A"_s}, {{1}});
    try {
        set.FieldByName(u"NOPE"_s);
        FAIL() << "no error";
    } catch (const EDatabaseError &e) {
        EXPECT_TRUE(e.message().contains(u"NOPE"_s)) << e.message().toStdString();
    }
}

TEST(DataSet, FieldFollowsCurrentRow)
{
    TDataSet set;
    set.setContent({u"A"_s, u"B"_s}, {{1, u"um"_s}, {2, u"dois"_s}});
    const TField b = set.FieldByName(u"b"_s);
    EXPECT_EQ(b.FieldName(), u"B"_s);
    QStringList seen;
    for (set.First(); !set.Eof(); set.Next())
        seen.append(b.AsString());
    EXPECT_EQ(seen, (QStringList{u"um"_s, u"dois"_s}));
}

TEST(DataSet, TextOutsideContentIsEmpty)
{
    TDataSet set;
    set.setContent({u"A"_s}, {{1}});
    EXPECT_EQ(set.text(1, u"A"_s), QString());
    EXPECT_EQ(set.text(-1, u"A"_s), QString());
    EXPECT_EQ(set.text(0, u"X"_s), QString());
    EXPECT_EQ(set.columnIndex(u"a"_s), 0);
    EXPECT_EQ(set.columnIndex(u"X"_s), -1);
}

TDataContent contentOf(const QVariantList &values)
{
    TDataContent content;
    for (const QVariant &v : values)
        content.append(v);
    return content;
}

TEST(DataSet, RowsAndCellsGiveTheSameContent)
{
    TDataSet byRows;
    byRows.setContent({u"A"_s, u"B"_s}, {{1, u"um"_s}, {2}, {3, u"três"_s, u"extra"_s}});
    TDataSet byCells;
    byCells.setValues({u"A"_s, u"B"_s}, contentOf({1, u"um"_s, 2, QVariant(), 3, u"três"_s}));
    for (const TDataSet *set : {&byRows, &byCells}) {
        ASSERT_EQ(set->RecordCount(), 3);
        EXPECT_EQ(set->text(0, 1), u"um"_s);
        EXPECT_EQ(set->value(0, 0), QVariant(1));
        // A short row reads as null where it has no value; a value past the last column is dropped.
        EXPECT_FALSE(set->value(1, 1).isValid());
        EXPECT_EQ(set->text(2, 0), u"3"_s);
        EXPECT_EQ(set->text(2, 1), u"três"_s);
        EXPECT_FALSE(set->value(2, 2).isValid());
        EXPECT_FALSE(set->value(3, 0).isValid());
    }
}

TEST(DataSet, TextsKeepNullEmptyAndTheirOwnCharacters)
{
    TDataSet set;
    TDataContent content;
    content.append(QVariant(QMetaType::fromType<QString>())); // a NULL column
    content.append(QString());
    content.appendText(u"");
    content.appendText(u"ação  ");
    content.append(u"Ü"_s);
    set.setValues({u"A"_s}, std::move(content));
    ASSERT_EQ(set.RecordCount(), 5);
    EXPECT_TRUE(set.value(0, 0).isNull());
    EXPECT_EQ(set.value(0, 0).typeId(), QMetaType::QString);
    EXPECT_TRUE(set.value(1, 0).toString().isNull());
    EXPECT_FALSE(set.value(2, 0).toString().isNull());
    EXPECT_TRUE(set.value(2, 0).toString().isEmpty());
    EXPECT_EQ(set.text(3, 0), u"ação  "_s);
    EXPECT_EQ(set.value(4, 0), QVariant(u"Ü"_s));
    set.setRecNo(0);
    EXPECT_TRUE(set.FieldByName(u"A"_s).IsNull());
}

TEST(DataSet, EmptiedSetHandsItsMemoryToTheNextContent)
{
    TDataSet set;
    set.setValues({u"A"_s, u"B"_s}, contentOf({u"x"_s, 1, u"y"_s, 2}));
    // Content in use is never handed out.
    EXPECT_EQ(set.takeStorage().size(), 0);
    EXPECT_EQ(set.RecordCount(), 2);
    set.clear();
    TDataContent reused = set.takeStorage();
    EXPECT_EQ(reused.size(), 0);
    reused.appendText(u"novo");
    set.setValues({u"A"_s}, std::move(reused));
    ASSERT_EQ(set.RecordCount(), 1);
    EXPECT_EQ(set.text(0, 0), u"novo"_s);
}

TEST(DataSet, CellsThatDoNotFillTheLastRowAreRefused)
{
    TDataSet set;
    set.setValues({u"A"_s}, contentOf({1}));
    EXPECT_THROW(set.setValues({u"A"_s, u"B"_s}, contentOf({1, 2, 3})), EHostError);
    EXPECT_THROW(set.setValues(QStringList{}, contentOf({1})), EHostError);
    // The content before the refused one stays.
    ASSERT_EQ(set.RecordCount(), 1);
    EXPECT_EQ(set.text(0, 0), u"1"_s);
}

TEST(DataSet, ClearKeepsFieldDefsAndSignals)
{
    TDataSet set;
    set.FieldDefs().append({u"CODIGO"_s, u"Código"_s, 6, true, {}, u"99.99"_s});
    QSignalSpy spy(&set, &TDataSet::contentChanged);
    set.setContent({u"CODIGO"_s}, {{u"0101"_s}});
    set.clear();
    EXPECT_EQ(spy.count(), 2);
    EXPECT_TRUE(set.IsEmpty());
    EXPECT_TRUE(set.Eof());
    EXPECT_TRUE(set.columns().isEmpty());
    ASSERT_NE(set.findFieldDef(u"codigo"_s), nullptr);
    EXPECT_EQ(set.findFieldDef(u"codigo"_s)->editMask, u"99.99"_s);
    EXPECT_EQ(set.findFieldDef(u"outro"_s), nullptr);
}

} // namespace
