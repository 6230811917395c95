#include "adoibquery.h"
#include "errors.h"
#include "params.h"

#include <functional>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

struct BindCase
{
    const char *label;
    std::function<void(TParam &)> set;
    TParam::Kind kind;
    bool boundNull;
    int boundType;
    QVariant boundValue; // compared when not null
    QString asString;
};

void PrintTo(const BindCase &c, std::ostream *os)
{
    *os << c.label;
}

class ParamBinding : public testing::TestWithParam<BindCase> {};

TEST_P(ParamBinding, BindsExpectedValue)
{
    const BindCase &c = GetParam();
    TParam p(u"P"_s);
    if (c.set)
        c.set(p);
    const QVariant v = p.bindValue();
    EXPECT_EQ(p.kind(), c.kind);
    EXPECT_EQ(p.IsNull(), c.boundNull);
    EXPECT_EQ(v.isNull(), c.boundNull);
    EXPECT_EQ(v.typeId(), c.boundType);
    if (c.boundType == QMetaType::QString) {
        // Qt binds a null QString as SQL NULL, so only a typed null may be a null string.
        EXPECT_EQ(v.toString().isNull(), c.boundNull);
    }
    if (!c.boundNull) {
        EXPECT_EQ(v, c.boundValue);
    }
    EXPECT_EQ(p.AsString(), c.asString);
}

const QDateTime kMoment = calendarDateTime(QDate(2024, 3, 1), QTime(8, 30, 0));

INSTANTIATE_TEST_SUITE_P(
    Table, ParamBinding,
    testing::Values(
        BindCase{"unassigned", {}, TParam::Kind::Unassigned, true, QMetaType::QString, {}, u""_s},
        BindCase{"cleared", [](TParam &p) { p.Clear(); }, TParam::Kind::Null, true, QMetaType::QString, {}, u""_s},
        BindCase{"null_qstring_is_empty_text", [](TParam &p) { p.SetAsString(QString()); }, TParam::Kind::Text,
                 false, QMetaType::QString, QVariant(u""_s), u""_s},
        BindCase{"empty_text", [](TParam &p) { p.SetAsString(u""_s); }, TParam::Kind::Text, false,
                 QMetaType::QString, QVariant(u""_s), u""_s},
        BindCase{"text", [](TParam &p) { p.SetAsString(u"0101"_s); }, TParam::Kind::Text, false,
                 QMetaType::QString, QVariant(u"0101"_s), u"0101"_s},
        BindCase{"text_then_cleared",
                 [](TParam &p) {
                     p.SetAsString(u"x"_s);
                     p.Clear();
                 },
                 TParam::Kind::Null, true, QMetaType::QString, {}, u""_s},
        BindCase{"integer", [](TParam &p) { p.SetAsInteger(7); }, TParam::Kind::Integer, false,
                 QMetaType::LongLong, QVariant(qlonglong(7)), u"7"_s},
        BindCase{"datetime", [](TParam &p) { p.SetAsDateTime(kMoment); }, TParam::Kind::DateTime, false,
                 QMetaType::QDateTime, QVariant(kMoment), u"2024-03-01T08:30:00"_s}),
    [](const auto &info) { return std::string(info.param.label); });

TEST(Param, ConvertsTextOnRead)
{
    TParam p(u"P"_s);
    p.SetAsString(u" 12 "_s);
    EXPECT_EQ(p.AsInteger(), 12);
    p.SetAsString(u"2024-03-01"_s);
    EXPECT_EQ(p.AsDateTime(), calendarDateTime(QDate(2024, 3, 1)));
    p.SetAsString(u"2024-03-01T08:30:00"_s);
    EXPECT_EQ(p.AsDateTime(), kMoment);
    p.SetAsString(u"doze"_s);
    EXPECT_THROW(p.AsInteger(), EConvertError);
    EXPECT_THROW(p.AsDateTime(), EConvertError);
    p.Clear();
    EXPECT_EQ(p.AsInteger(), 0);
    EXPECT_FALSE(p.AsDateTime().isValid());
}

TEST(Params, ParamByNameOfUnknownNameThrowsUserText)
{
    TParams params;
    params.CreateParam(u"DATAINI"_s);
    try {
        params.ParamByName(u"DATAFIM"_s);
        FAIL() << "no error";
    } catch (const EDatabaseError &e) {
        EXPECT_EQ(e.message(), u"Parâmetro 'DATAFIM' não encontrado."_s);
    }
}

TEST(Params, NamesAreCaseInsensitiveAndUnique)
{
    TParams params;
    TParam &first = params.CreateParam(u"Loja"_s);
    first.SetAsString(u"01"_s);
    TParam &again = params.CreateParam(u"LOJA"_s);
    EXPECT_EQ(&first, &again);
    EXPECT_EQ(params.Count(), 1);
    EXPECT_EQ(params.ParamByName(u"loja"_s).AsString(), u"01"_s);
    // References handed out stay valid however many parameters follow.
    for (int i = 0; i < 200; ++i)
        params.CreateParam(u"P%1"_s.arg(i));
    EXPECT_EQ(&params.ParamByName(u"LOJA"_s), &first);
    EXPECT_EQ(first.AsString(), u"01"_s);
}

struct DeclareCase
{
    const char *label;
    QStringList lines;
    QStringList names;
};

void PrintTo(const DeclareCase &c, std::ostream *os)
{
    *os << c.label;
}

class ParamDeclaration : public testing::TestWithParam<DeclareCase> {};

TEST_P(ParamDeclaration, DeclaresNamesFromText)
{
    const DeclareCase &c = GetParam();
    TADOIBQuery query;
    query.setSQL(c.lines);
    QStringList names;
    for (const TParam &p : query.Params())
        names.append(p.Name());
    EXPECT_EQ(names, c.names);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ParamDeclaration,
    testing::Values(
        DeclareCase{"two", {u"SELECT * FROM T WHERE A = :A AND B = :b"_s}, {u"A"_s, u"b"_s}},
        DeclareCase{"repeated_once", {u"SELECT :A, :B, :a, :A"_s}, {u"A"_s, u"B"_s}},
        DeclareCase{"double_colon", {u"SELECT X::INTEGER, Y :: Z"_s}, {}},
        DeclareCase{"in_literal", {u"WHERE S = ':NAO' AND U = :SIM"_s}, {u"SIM"_s}},
        DeclareCase{"in_quoted_identifier", {u"SELECT \":NAO\" FROM T WHERE U = :SIM"_s}, {u"SIM"_s}},
        DeclareCase{"doubled_quote_stays_inside", {u"SELECT 'it''s :NAO' || :SIM"_s}, {u"SIM"_s}},
        DeclareCase{"time_in_literal", {u"WHERE H > '10:30:00' AND D = :DATA"_s}, {u"DATA"_s}},
        DeclareCase{"comments", {u"-- :NAO"_s, u"SELECT :SIM /* :NAO2 */ FROM T"_s}, {u"SIM"_s}},
        DeclareCase{"literal_ends_at_line_end_of_comment", {u"SELECT 1 -- it's"_s, u"WHERE A = :A"_s}, {u"A"_s}},
        DeclareCase{"across_lines", {u"SELECT :A"_s, u""_s, u"FROM T WHERE :B = 1"_s}, {u"A"_s, u"B"_s}},
        DeclareCase{"lone_colon", {u"SELECT a : b, c:"_s}, {}},
        DeclareCase{"name_chars", {u"WHERE D BETWEEN :DATA_INI1 AND :DATA_FIM1)"_s}, {u"DATA_INI1"_s, u"DATA_FIM1"_s}},
        DeclareCase{"accented_name", {u"WHERE X = :CÓDIGO"_s}, {u"CÓDIGO"_s}},
        DeclareCase{"procedure_argument", {u"SELECT PARAM FROM PARAM(:LISTA)"_s}, {u"LISTA"_s}}),
    [](const auto &info) { return std::string(info.param.label); });

TEST(ParamDeclaration, AllDialectTextsDeclareAndAssignmentKeepsValues)
{
    TADOIBQuery query;
    query.setSQL({u"SELECT * FROM T WHERE A = :A"_s});
    TParam &a = query.ParamByName(u"A"_s);
    a.SetAsString(u"x"_s);
    query.setSQL_IB({u"SELECT * FROM T WHERE A = :A AND B = :B"_s});
    query.setSQL_MSSQL({u"SELECT * FROM T WHERE C = :C"_s});
    query.setSQL_ORACLE({u"SELECT * FROM T WHERE D = :D"_s});
    QStringList names;
    for (const TParam &p : query.Params())
        names.append(p.Name());
    EXPECT_EQ(names, (QStringList{u"A"_s, u"B"_s, u"C"_s, u"D"_s}));
    EXPECT_EQ(&query.ParamByName(u"a"_s), &a);
    EXPECT_EQ(a.AsString(), u"x"_s);
    EXPECT_THROW(query.ParamByName(u"E"_s), EDatabaseError);
}

} // namespace
