#include "adoibquery.h"
#include "errors.h"
#include "sqlitefunctions.h"
#include "testdb.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

TEST(Dialect, OfConnection)
{
    ScratchSqlite sqlite;
    EXPECT_EQ(dialectOf(sqlite.db()), SqlDialect::Default);
    EXPECT_EQ(dialectOf(QSqlDatabase()), SqlDialect::Default);
}

TEST(StatementText, KeepsLinesByteForByteAndFallsBackToDefault)
{
    TADOIBQuery q;
    q.setSQL({u"SELECT 1"_s, u""_s, u"  FROM X  "_s, u""_s});
    q.setSQL_IB({u"SELECT 2"_s, u"\tFROM RDB$DATABASE"_s});
    EXPECT_EQ(q.statementFor(SqlDialect::Default), u"SELECT 1\n\n  FROM X  \n"_s);
    EXPECT_EQ(q.statementFor(SqlDialect::InterBase), u"SELECT 2\n\tFROM RDB$DATABASE"_s);
    EXPECT_EQ(q.statementFor(SqlDialect::MSSQL), q.statementFor(SqlDialect::Default));
    EXPECT_EQ(q.statementFor(SqlDialect::Oracle), q.statementFor(SqlDialect::Default));
    q.setSQL_MSSQL({u"SELECT 3"_s});
    EXPECT_EQ(q.statementFor(SqlDialect::MSSQL), u"SELECT 3"_s);
}

class SqliteQuery : public testing::Test
{
protected:
    void SetUp() override
    {
        QSqlQuery setup(mDb.db());
        ASSERT_TRUE(setup.exec(u"CREATE TABLE LOJA (CODIGO VARCHAR(4), NOME VARCHAR(40), VALOR NUMERIC(15,2))"_s));
        ASSERT_TRUE(setup.exec(u"INSERT INTO LOJA VALUES ('0001', 'Centro', 12.5), ('0002', 'Norte  ', 3),"
                               " ('0003', NULL, NULL)"_s));
        mQuery.setConnection(mDb.name());
    }

    QString one(const QStringList &sql, const std::function<void(TADOIBQuery &)> &bind = {})
    {
        mQuery.setSQL(sql);
        if (bind)
            bind(mQuery);
        mQuery.Open();
        return mQuery.Query()->text(0, mQuery.Query()->columns().value(0));
    }

    ScratchSqlite mDb;
    TADOIBQuery mQuery;
};

TEST_F(SqliteQuery, RunsDefaultTextOnSqlite)
{
    mQuery.setSQL_IB({u"SELECT 'ib' AS W FROM RDB$DATABASE"_s});
    mQuery.setSQL_MSSQL({u"SELECT TOP 1 'ms' AS W"_s});
    mQuery.setSQL_ORACLE({u"SELECT 'ora' AS W FROM DUAL"_s});
    EXPECT_EQ(one({u"SELECT 'default' AS W"_s}), u"default"_s);
}

TEST_F(SqliteQuery, MaterialisesRowsWithDriverColumnNames)
{
    mQuery.setSQL({u"SELECT CODIGO AS Codigo, NOME, VALOR FROM LOJA ORDER BY CODIGO"_s});
    mQuery.Open();
    EXPECT_TRUE(mQuery.Active());
    EXPECT_EQ(mQuery.Query()->columns(), (QStringList{u"Codigo"_s, u"NOME"_s, u"VALOR"_s}));
    QStringList seen;
    for (mQuery.Query()->First(); !mQuery.Query()->Eof(); mQuery.Query()->Next())
        seen.append(mQuery.FieldByName(u"CODIGO"_s).AsString() + u'|' + mQuery.FieldByName(u"nome"_s).AsString()
                    + u'|' + mQuery.FieldByName(u"Valor"_s).AsString());
    // VARCHAR blanks are data and stay; NULL reads as the empty text.
    EXPECT_EQ(seen, (QStringList{u"0001|Centro|12.5"_s, u"0002|Norte  |3"_s, u"0003||"_s}));
    mQuery.Query()->setRecNo(2);
    EXPECT_TRUE(mQuery.FieldByName(u"NOME"_s).IsNull());
    EXPECT_THROW(mQuery.FieldByName(u"CIDADE"_s), EDatabaseError);
    mQuery.Close();
    EXPECT_FALSE(mQuery.Active());
    EXPECT_TRUE(mQuery.IsEmpty());
}

TEST_F(SqliteQuery, RepeatedNamedParametersBindEveryOccurrence)
{
    mQuery.setSQL({u"SELECT :A AS X, :B AS Y, :A || '-' || :B || '-' || :a AS Z, ':A' AS L"_s});
    mQuery.ParamByName(u"A"_s).SetAsString(u"1"_s);
    mQuery.ParamByName(u"B"_s).SetAsString(u"2"_s);
    mQuery.Open();
    const TDataSet *d = mQuery.Query();
    EXPECT_EQ(d->text(0, u"X"_s), u"1"_s);
    EXPECT_EQ(d->text(0, u"Y"_s), u"2"_s);
    EXPECT_EQ(d->text(0, u"Z"_s), u"1-2-1"_s);
    EXPECT_EQ(d->text(0, u"L"_s), u":A"_s);
}

TEST_F(SqliteQuery, ParametersFilterRows)
{
    mQuery.setSQL({u"SELECT CODIGO FROM LOJA"_s, u"WHERE CODIGO >= :INI AND CODIGO <= :FIM ORDER BY 1"_s});
    mQuery.ParamByName(u"INI"_s).SetAsString(u"0002"_s);
    mQuery.ParamByName(u"FIM"_s).SetAsString(u"0002"_s);
    mQuery.Open();
    EXPECT_EQ(mQuery.Query()->RecordCount(), 1);
    EXPECT_EQ(mQuery.FieldByName(u"CODIGO"_s).AsString(), u"0002"_s);
    // Reopening runs again with the values as they are now.
    mQuery.ParamByName(u"FIM"_s).SetAsString(u"0003"_s);
    mQuery.Open();
    EXPECT_EQ(mQuery.Query()->RecordCount(), 2);
}

TEST_F(SqliteQuery, ReopenedQueryFollowsNewValuesAndNewText)
{
    mQuery.setSQL({u"SELECT NOME FROM LOJA WHERE CODIGO = :C"_s});
    mQuery.ParamByName(u"C"_s).SetAsString(u"0001"_s);
    mQuery.Open();
    EXPECT_EQ(mQuery.FieldByName(u"NOME"_s).AsString(), u"Centro"_s);
    mQuery.ParamByName(u"C"_s).SetAsString(u"0003"_s);
    mQuery.Open();
    EXPECT_TRUE(mQuery.FieldByName(u"NOME"_s).IsNull());
    mQuery.ParamByName(u"C"_s).SetAsString(u"9999"_s);
    mQuery.Open();
    EXPECT_TRUE(mQuery.IsEmpty());
    // A new text replaces the statement, even with the same parameter.
    mQuery.setSQL({u"SELECT CODIGO FROM LOJA WHERE NOME = :C OR :C = 'T' ORDER BY 1"_s});
    mQuery.ParamByName(u"C"_s).SetAsString(u"T"_s);
    mQuery.Open();
    EXPECT_EQ(mQuery.Query()->RecordCount(), 3);
    EXPECT_EQ(mQuery.FieldByName(u"CODIGO"_s).AsString(), u"0001"_s);
}

// A file database seen through two connections: the query's and another user's.
class SqliteFile : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(mDir.isValid());
        for (const QString &name : {mName, mOther}) {
            QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, name);
            db.setDatabaseName(mDir.filePath(u"lojas.sqlite"_s));
            ASSERT_TRUE(db.open()) << db.lastError().text().toStdString();
        }
        QSqlQuery setup(QSqlDatabase::database(mName));
        ASSERT_TRUE(setup.exec(u"CREATE TABLE LOJA (CODIGO VARCHAR(4))"_s));
        ASSERT_TRUE(setup.exec(u"INSERT INTO LOJA VALUES ('0001'), ('0002')"_s));
        mQuery.setConnection(mName);
        mQuery.setSQL({u"SELECT CODIGO FROM LOJA WHERE CODIGO >= :DESDE ORDER BY 1"_s});
        mQuery.ParamByName(u"DESDE"_s).SetAsString(u"0000"_s);
    }
    void TearDown() override
    {
        for (const QString &name : {mName, mOther}) {
            QSqlDatabase::database(name, false).close();
            QSqlDatabase::removeDatabase(name);
        }
    }

    QTemporaryDir mDir;
    const QString mName = u"sqlite_file_query"_s;
    const QString mOther = u"sqlite_file_other"_s;
    TADOIBQuery mQuery;
};

TEST_F(SqliteFile, OpenLeavesNoLockForOtherUsers)
{
    mQuery.Open();
    mQuery.Open();
    EXPECT_EQ(mQuery.Query()->RecordCount(), 2);
    // A statement left mid-read would hold a shared lock and make this fail with "database is locked".
    QSqlQuery other(QSqlDatabase::database(mOther));
    ASSERT_TRUE(other.exec(u"BEGIN EXCLUSIVE"_s)) << other.lastError().text().toStdString();
    ASSERT_TRUE(other.exec(u"INSERT INTO LOJA VALUES ('0003')"_s));
    ASSERT_TRUE(other.exec(u"COMMIT"_s));
    mQuery.Open();
    EXPECT_EQ(mQuery.Query()->RecordCount(), 3);
}

TEST_F(SqliteFile, ConnectionClosedAndOpenedAgainBetweenOpens)
{
    mQuery.Open();
    QSqlDatabase db = QSqlDatabase::database(mName);
    db.close();
    EXPECT_THROW(mQuery.Open(), EDatabaseError);
    ASSERT_TRUE(db.open());
    mQuery.Open();
    EXPECT_EQ(mQuery.Query()->RecordCount(), 2);
    // Removed and added again under the same name: a new driver.
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(mName);
    QSqlDatabase again = QSqlDatabase::addDatabase(u"QSQLITE"_s, mName);
    again.setDatabaseName(mDir.filePath(u"lojas.sqlite"_s));
    ASSERT_TRUE(again.open());
    mQuery.ParamByName(u"DESDE"_s).SetAsString(u"0002"_s);
    mQuery.Open();
    ASSERT_EQ(mQuery.Query()->RecordCount(), 1);
    EXPECT_EQ(mQuery.FieldByName(u"CODIGO"_s).AsString(), u"0002"_s);
}

struct NullCase
{
    const char *label;
    std::function<void(TParam &)> set;
    QString isNull;
    QString isEmpty;
};

void PrintTo(const NullCase &c, std::ostream *os)
{
    *os << c.label;
}

class EmptyVersusNull : public testing::TestWithParam<NullCase> {};

TEST_P(EmptyVersusNull, ReachesTheServerAsExpected)
{
    ScratchSqlite db;
    TADOIBQuery q;
    q.setConnection(db.name());
    q.setSQL({u"SELECT :P IS NULL AS ISNUL, :P = '' AS ISEMPTY"_s});
    if (GetParam().set)
        GetParam().set(q.ParamByName(u"P"_s));
    q.Open();
    EXPECT_EQ(q.FieldByName(u"ISNUL"_s).AsString(), GetParam().isNull);
    EXPECT_EQ(q.FieldByName(u"ISEMPTY"_s).AsString(), GetParam().isEmpty);
}

INSTANTIATE_TEST_SUITE_P(
    Table, EmptyVersusNull,
    testing::Values(NullCase{"null_qstring", [](TParam &p) { p.SetAsString(QString()); }, u"0"_s, u"1"_s},
                    NullCase{"empty_text", [](TParam &p) { p.SetAsString(u""_s); }, u"0"_s, u"1"_s},
                    NullCase{"text", [](TParam &p) { p.SetAsString(u"x"_s); }, u"0"_s, u"0"_s},
                    NullCase{"cleared", [](TParam &p) { p.Clear(); }, u"1"_s, u""_s},
                    NullCase{"unassigned", {}, u"1"_s, u""_s}),
    [](const auto &info) { return std::string(info.param.label); });

struct ValueCase
{
    const char *label;
    QString select;
    std::function<void(TADOIBQuery &)> bind;
    QString text;
};

void PrintTo(const ValueCase &c, std::ostream *os)
{
    *os << c.label;
}

class ValueText : public SqliteQuery, public testing::WithParamInterface<ValueCase> {};

TEST_P(ValueText, ReadsAsPlainText)
{
    EXPECT_EQ(one({GetParam().select}, GetParam().bind), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ValueText,
    testing::Values(
        ValueCase{"numeric_column", u"SELECT VALOR FROM LOJA WHERE CODIGO = '0001'"_s, {}, u"12.5"_s},
        ValueCase{"integer", u"SELECT 3"_s, {}, u"3"_s},
        ValueCase{"sum", u"SELECT SUM(VALOR) FROM LOJA"_s, {}, u"15.5"_s},
        ValueCase{"integer_param", u"SELECT :N + 1"_s, [](TADOIBQuery &q) { q.ParamByName(u"N"_s).SetAsInteger(7); },
                  u"8"_s},
        ValueCase{"datetime_param", u"SELECT date(:D)"_s,
                  [](TADOIBQuery &q) {
                      q.ParamByName(u"D"_s).SetAsDateTime(QDateTime(QDate(2024, 1, 5), QTime(10, 20, 30)));
                  },
                  u"2024-01-05"_s}),
    [](const auto &info) { return std::string(info.param.label); });

struct ErrorCase
{
    const char *label;
    QString sql;
    QString fragment; // the driver's own text
};

void PrintTo(const ErrorCase &c, std::ostream *os)
{
    *os << c.label;
}

class OpenFailure : public SqliteQuery, public testing::WithParamInterface<ErrorCase> {};

TEST_P(OpenFailure, ThrowsDriverTextAndStaysClosed)
{
    mQuery.setSQL({u"SELECT CODIGO FROM LOJA"_s});
    mQuery.Open();
    ASSERT_FALSE(mQuery.IsEmpty());
    mQuery.setSQL({GetParam().sql});
    try {
        mQuery.Open();
        FAIL() << "no error";
    } catch (const EDatabaseError &e) {
        EXPECT_TRUE(e.message().contains(GetParam().fragment)) << e.message().toStdString();
    }
    EXPECT_FALSE(mQuery.Active());
    EXPECT_TRUE(mQuery.IsEmpty());
    EXPECT_TRUE(mQuery.Query()->columns().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Table, OpenFailure,
    testing::Values(ErrorCase{"syntax", u"SELEC 1"_s, u"syntax error"_s},
                    ErrorCase{"missing_table", u"SELECT * FROM NADA"_s, u"no such table"_s},
                    ErrorCase{"missing_column", u"SELECT CIDADE FROM LOJA"_s, u"no such column"_s},
                    ErrorCase{"blank_text", u"  "_s, u"SQL"_s}),
    [](const auto &info) { return std::string(info.param.label); });

TEST(QueryConnection, ClosedOrMissingConnectionThrows)
{
    TADOIBQuery q;
    q.setConnection(u"no_such_connection"_s);
    q.setSQL({u"SELECT 1"_s});
    EXPECT_THROW(q.Open(), EDatabaseError);
    EXPECT_FALSE(q.Active());
}

TEST(QueryConnection, NoStatementOutlivesOpen)
{
    WarningCatcher catcher;
    TADOIBQuery q;
    {
        ScratchSqlite db;
        q.setConnection(db.name());
        q.setSQL({u"WITH RECURSIVE N(X) AS (SELECT 1 UNION ALL SELECT X + 1 FROM N WHERE X < 500) SELECT X FROM N"_s});
        q.Open();
        EXPECT_EQ(q.Query()->RecordCount(), 500);
    } // the connection is removed while the query object and its rows live on
    EXPECT_EQ(q.Query()->text(499, u"X"_s), u"500"_s);
    EXPECT_TRUE(catcher.warnings().isEmpty()) << catcher.warnings().join(u'\n').toStdString();
}

struct CharIndexCase
{
    const char *label;
    QString expression;
    QString text; // empty: SQL NULL
};

void PrintTo(const CharIndexCase &c, std::ostream *os)
{
    *os << c.label;
}

class SqlServerFunctions : public testing::TestWithParam<CharIndexCase> {};

TEST_P(SqlServerFunctions, BehaveLikeTheServer)
{
    ScratchSqlite db;
    registerSqlServerFunctions(db.db());
    TADOIBQuery q;
    q.setConnection(db.name());
    q.setSQL({u"SELECT "_s + GetParam().expression + u" AS R"_s});
    q.Open();
    EXPECT_EQ(q.FieldByName(u"R"_s).AsString(), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Table, SqlServerFunctions,
    testing::Values(CharIndexCase{"found", u"CHARINDEX('b', 'abc')"_s, u"2"_s},
                    CharIndexCase{"absent", u"CHARINDEX('z', 'abc')"_s, u"0"_s},
                    CharIndexCase{"case_insensitive", u"CHARINDEX('B', 'abc')"_s, u"2"_s},
                    CharIndexCase{"start", u"CHARINDEX('a', 'banana', 3)"_s, u"4"_s},
                    CharIndexCase{"start_below_one", u"CHARINDEX('a', 'banana', 0)"_s, u"2"_s},
                    CharIndexCase{"empty_sought", u"CHARINDEX('', 'abc')"_s, u"0"_s},
                    CharIndexCase{"null_argument", u"CHARINDEX(NULL, 'abc')"_s, u""_s},
                    CharIndexCase{"characters_not_bytes", u"CHARINDEX('car', 'Açúcar')"_s, u"4"_s},
                    CharIndexCase{"code_list", u"CHARINDEX(',0002,', ',0001,0002,0003,')"_s, u"6"_s},
                    CharIndexCase{"len_ignores_trailing_blanks", u"LEN(' ab  ')"_s, u"3"_s}),
    [](const auto &info) { return std::string(info.param.label); });

TEST(SqlServerFunctionsSetup, RefusesConnectionsThatAreNotOpenSqlite)
{
    EXPECT_THROW(registerSqlServerFunctions(QSqlDatabase()), EDatabaseError);
    ScratchSqlite db;
    QSqlDatabase closed = db.db();
    closed.close();
    EXPECT_THROW(registerSqlServerFunctions(closed), EDatabaseError);
}

} // namespace
