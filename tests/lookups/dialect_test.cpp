// The screen's lookup statements on each engine we run: the same parameters give the same rows.
//
// SQLite runs the default texts, embedded Firebird the InterBase texts (with the database's PARAM
// procedure and INSTR function). Through ODBC the text follows the engine the driver reports:
// PostgreSQL (odbc-postgresql, with the database's INSTR function) and SQLite (libsqliteodbc) run
// the default texts, with the drivers' own parameter, NULL and CHAR handling. The Microsoft SQL Server texts run on SQLite with CHARINDEX
// registered: that proves their conditions select the same rows as the other texts, with
// CHARINDEX's argument order; it does not prove that SQL Server parses them or compares CHAR
// columns the same way.
#include "adoibquery.h"
#include "errors.h"
#include "lookupfixture.h"
#include "sqlitefunctions.h"

#include <algorithm>
#include <optional>

using namespace Qt::StringLiterals;

namespace lookups {
namespace {

using Value = std::optional<QString>; // nullopt: the parameter is cleared (null)

struct Binding
{
    const char *name;
    Value value;
};

struct Case
{
    const char *label;
    QList<Binding> params;
    QStringList rows; // the key columns of each row, joined by "/"
};

QStringList rowsOf(TADOIBQuery &q, const QStringList &columns, bool sort)
{
    QStringList rows;
    TDataSet *data = q.Query();
    for (int r = 0; r < data->RecordCount(); ++r) {
        QStringList cells;
        for (const QString &c : columns)
            cells << data->text(r, c);
        rows << cells.join(u'/');
    }
    if (sort)
        std::sort(rows.begin(), rows.end());
    return rows;
}

QStringList run(TADOIBQuery &q, const Case &c, const QStringList &columns, bool sort)
{
    for (const Binding &b : c.params) {
        TParam &p = q.ParamByName(QString::fromLatin1(b.name));
        if (b.value)
            p.SetAsString(*b.value);
        else
            p.Clear();
    }
    q.Open();
    return rowsOf(q, columns, sort);
}

QString loja(int n)
{
    return u"%1"_s.arg(n, 10, 10, QChar(u'0'));
}

const Case kFilial[] = {
    {"one code", {{"P_CDFILIAL", u"0001"_s}, {"P_TCDFILIAL", u""_s}}, {u"0001/Matriz"_s}},
    {"cedilla", {{"P_CDFILIAL", u"00Ç1"_s}, {"P_TCDFILIAL", u""_s}}, {u"00Ç1/Açude"_s}},
    {"unknown", {{"P_CDFILIAL", u"0007"_s}, {"P_TCDFILIAL", u""_s}}, {}},
    {"empty code", {{"P_CDFILIAL", u""_s}, {"P_TCDFILIAL", u""_s}}, {}},
    {"all, ordered", {{"P_TCDFILIAL", u"T"_s}, {"P_CDFILIAL", u""_s}},
     {u"0001/Matriz"_s, u"0002/Centro"_s, u"0005/Sem lojas"_s, u"0009/Norte"_s, u"00Ç1/Açude"_s}},
};

const Case kProduto[] = {
    {"code", {{"P_CDARVPROD", u"0101002"_s}, {"P_TCDARVPROD", u""_s}}, {u"0101002/Feijão"_s}},
    {"short", {{"P_CDARVPROD", u"9"_s}, {"P_TCDARVPROD", u""_s}}, {u"9/Nove"_s}},
    {"leading zero", {{"P_CDARVPROD", u"09"_s}, {"P_TCDARVPROD", u""_s}}, {u"09/Zero nove"_s}},
    {"unknown", {{"P_CDARVPROD", u"0199999"_s}, {"P_TCDARVPROD", std::nullopt}}, {}},
    {"all, ordered", {{"P_CDARVPROD", u""_s}, {"P_TCDARVPROD", u"T"_s}},
     {u"0101001/Arroz"_s, u"0101002/Feijão"_s, u"0102001/Café"_s, u"09/Zero nove"_s, u"10/Dez"_s, u"9/Nove"_s}},
};

const Case kLoja[] = {
    {"one branch", {{"P_TCDFILIAL", u""_s}, {"P_CDFILIAL", u"0001"_s}}, {u"0001/"_s + loja(1), u"0001/"_s + loja(2)}},
    {"branch list", {{"P_TCDFILIAL", u""_s}, {"P_CDFILIAL", u"0002,0009"_s}},
     {u"0002/"_s + loja(3), u"0009/"_s + loja(4), u"0009/"_s + loja(5)}},
    {"list with cedilla", {{"P_TCDFILIAL", u""_s}, {"P_CDFILIAL", u"00Ç1"_s}}, {u"00Ç1/"_s + loja(6)}},
    {"branch without stores", {{"P_TCDFILIAL", u""_s}, {"P_CDFILIAL", u"0005"_s}}, {}},
    {"empty list", {{"P_TCDFILIAL", u""_s}, {"P_CDFILIAL", u""_s}}, {}},
    {"null take-all", {{"P_TCDFILIAL", std::nullopt}, {"P_CDFILIAL", u"0002"_s}}, {u"0002/"_s + loja(3)}},
    {"all", {{"P_TCDFILIAL", u"T"_s}, {"P_CDFILIAL", u"T"_s}},
     {u"0001/"_s + loja(1), u"0001/"_s + loja(2), u"0002/"_s + loja(3), u"0009/"_s + loja(4), u"0009/"_s + loja(5),
      u"00Ç1/"_s + loja(6)}},
    {"all, null list", {{"P_TCDFILIAL", u"T"_s}, {"P_CDFILIAL", std::nullopt}},
     {u"0001/"_s + loja(1), u"0001/"_s + loja(2), u"0002/"_s + loja(3), u"0009/"_s + loja(4), u"0009/"_s + loja(5),
      u"00Ç1/"_s + loja(6)}},
};

const Case kCaixa[] = {
    // Register 004 of 0001 names a store missing from LOJA: the join drops it.
    {"all stores", {{"P_TCDFILIAL", u""_s}, {"P_CDFILIAL", u"0001"_s}, {"P_TCDLOJA", u"T"_s}, {"P_CDLOJA", std::nullopt}},
     {u"0001/"_s + loja(1) + u"/001"_s, u"0001/"_s + loja(1) + u"/002"_s, u"0001/"_s + loja(2) + u"/003"_s}},
    {"one store", {{"P_TCDFILIAL", u""_s}, {"P_CDFILIAL", u"0001"_s}, {"P_TCDLOJA", std::nullopt}, {"P_CDLOJA", loja(2)}},
     {u"0001/"_s + loja(2) + u"/003"_s}},
    {"store list",
     {{"P_TCDFILIAL", u""_s}, {"P_CDFILIAL", u"0001"_s}, {"P_TCDLOJA", std::nullopt}, {"P_CDLOJA", loja(2) + u',' + loja(1)}},
     {u"0001/"_s + loja(1) + u"/001"_s, u"0001/"_s + loja(1) + u"/002"_s, u"0001/"_s + loja(2) + u"/003"_s}},
    {"missing store",
     {{"P_TCDFILIAL", u""_s}, {"P_CDFILIAL", u"0001"_s}, {"P_TCDLOJA", std::nullopt}, {"P_CDLOJA", loja(99)}}, {}},
    {"store of another branch",
     {{"P_TCDFILIAL", u""_s}, {"P_CDFILIAL", u"0001"_s}, {"P_TCDLOJA", std::nullopt}, {"P_CDLOJA", loja(3)}}, {}},
    {"every branch", {{"P_TCDFILIAL", u"T"_s}, {"P_CDFILIAL", u""_s}, {"P_TCDLOJA", u"T"_s}, {"P_CDLOJA", u""_s}},
     {u"0001/"_s + loja(1) + u"/001"_s, u"0001/"_s + loja(1) + u"/002"_s, u"0001/"_s + loja(2) + u"/003"_s,
      u"0002/"_s + loja(3) + u"/001"_s, u"0009/"_s + loja(4) + u"/001"_s}},
    {"branch list", {{"P_TCDFILIAL", u""_s}, {"P_CDFILIAL", u"0009,0002"_s}, {"P_TCDLOJA", u"T"_s}, {"P_CDLOJA", std::nullopt}},
     {u"0002/"_s + loja(3) + u"/001"_s, u"0009/"_s + loja(4) + u"/001"_s}},
    {"branch without stores",
     {{"P_TCDFILIAL", u""_s}, {"P_CDFILIAL", u"0005"_s}, {"P_TCDLOJA", u"T"_s}, {"P_CDLOJA", std::nullopt}}, {}},
};

const QStringList kFilialColumns{u"CDFILIAL"_s, u"NMFILIAL"_s};
const QStringList kProdutoColumns{u"CDARVPROD"_s, u"NMPRODUTO"_s};
const QStringList kLojaColumns{u"CDFILIAL"_s, u"CDLOJA"_s};
const QStringList kCaixaColumns{u"CDFILIAL"_s, u"CDLOJA"_s, u"CDCAIXA"_s};

// Runs every case of a table on one of the screen's queries (the connected engine's text).
void expectTable(TADOIBQuery &q, const Case *begin, const Case *end, const QStringList &columns, bool sort)
{
    for (const Case *c = begin; c != end; ++c) {
        SCOPED_TRACE(c->label);
        q.Close();
        EXPECT_EQ(run(q, *c, columns, sort), c->rows);
    }
}

class Dialects : public ScreenTest
{
};

TEST_P(Dialects, BranchLookupRows)
{
    expectTable(*f->qryFilial, std::begin(kFilial), std::end(kFilial), kFilialColumns, false);
}

TEST_P(Dialects, ProductLookupRows)
{
    expectTable(*f->qryProduto, std::begin(kProduto), std::end(kProduto), kProdutoColumns, false);
}

TEST_P(Dialects, StoreLookupRows)
{
    // No ordering clause: the order is the engine's.
    expectTable(*f->qryLoja, std::begin(kLoja), std::end(kLoja), kLojaColumns, true);
}

TEST_P(Dialects, RegisterLookupRows)
{
    expectTable(*f->qryCaixa, std::begin(kCaixa), std::end(kCaixa), kCaixaColumns, false);
}

// The text a connection runs follows its engine: QIBASE's InterBase texts, QPSQL's PostgreSQL
// texts, and through ODBC the
// engine the driver names (PostgreSQL's own text where a statement has one, else the default).
TEST_P(Dialects, ConnectionRunsTheTextOfItsEngine)
{
    const struct
    {
        Engine engine;
        DbmsKind kind;
        SqlDialect dialect;
    } expected[] = {
        {Engine::Sqlite, DbmsKind::SQLite, SqlDialect::Default},
        {Engine::Firebird, DbmsKind::Firebird, SqlDialect::InterBase},
        {Engine::Postgres, DbmsKind::PostgreSQL, SqlDialect::PostgreSQL},
        {Engine::OdbcPostgres, DbmsKind::PostgreSQL, SqlDialect::PostgreSQL},
        {Engine::OdbcSqlite, DbmsKind::SQLite, SqlDialect::Default},
    };
    const QSqlDatabase db = TdtmDBGeral::adcGeral();
    for (const auto &e : expected) {
        if (e.engine != GetParam())
            continue;
        EXPECT_EQ(dbmsKindOf(db), e.kind) << dbmsNameOf(db).toStdString();
        EXPECT_EQ(dialectOf(db), e.dialect);
    }
    TADOIBQuery q;
    q.setSQL({u"SELECT 'padrao' AS T FROM FILIAL WHERE CDFILIAL = '0001'"_s});
    q.setSQL_MSSQL({u"SELECT 'mssql' AS T FROM FILIAL WHERE CDFILIAL = '0001'"_s});
    q.setSQL_ORACLE({u"SELECT 'oracle' AS T FROM FILIAL WHERE CDFILIAL = '0001'"_s});
    q.setSQL_IB({u"SELECT 'ib' AS T FROM FILIAL WHERE CDFILIAL = '0001'"_s});
    q.Open();
    EXPECT_EQ(rowsOf(q, {u"T"_s}, false), QStringList{GetParam() == Engine::Firebird ? u"ib"_s : u"padrao"_s});
}

INSTANTIATE_TEST_SUITE_P(Engines, Dialects,
                         testsupport::allEngines(),
                         engineName);

// The same tables through the SQL Server texts, on SQLite.
class SqlServerTexts : public ScreenTest
{
protected:
    void SetUp() override
    {
        ScreenTest::SetUp();
        if (!HasFatalFailure())
            registerSqlServerFunctions(TdtmDBGeral::adcGeral());
    }
    static void runAs(const QStringList &text, const Case *begin, const Case *end, const QStringList &columns, bool sort)
    {
        TADOIBQuery q;
        q.setSQL(text);
        expectTable(q, begin, end, columns, sort);
    }
};

TEST_P(SqlServerTexts, StoreLookupRows)
{
    ASSERT_FALSE(f->qryLoja->SQL_MSSQL().isEmpty());
    ASSERT_NE(f->qryLoja->SQL_MSSQL(), f->qryLoja->SQL());
    runAs(f->qryLoja->SQL_MSSQL(), std::begin(kLoja), std::end(kLoja), kLojaColumns, true);
}

TEST_P(SqlServerTexts, RegisterLookupRows)
{
    ASSERT_NE(f->qryCaixa->SQL_MSSQL(), f->qryCaixa->SQL());
    runAs(f->qryCaixa->SQL_MSSQL(), std::begin(kCaixa), std::end(kCaixa), kCaixaColumns, false);
}

TEST_P(SqlServerTexts, SingleTextLookupsRunTheirOneTextForEveryDialect)
{
    for (TADOIBQuery *q : {f->qryFilial, f->qryProduto}) {
        EXPECT_EQ(q->statementFor(SqlDialect::MSSQL), q->statementFor(SqlDialect::Default));
        EXPECT_EQ(q->statementFor(SqlDialect::InterBase), q->statementFor(SqlDialect::Default));
    }
    runAs(f->qryFilial->SQL(), std::begin(kFilial), std::end(kFilial), kFilialColumns, false);
}

INSTANTIATE_TEST_SUITE_P(OnSqlite, SqlServerTexts, testing::Values(Engine::Sqlite), engineName);

// Why the store button passes only the all-marker as the take-all parameter: InterBase types the
// parameter by the 'T' it is compared with and refuses a longer text, where SQLite just compares.
TEST_P(Dialects, BranchListAsTakeAllParameterIsRefusedByInterBaseOnly)
{
    TADOIBQuery &q = *f->qryLoja;
    q.Close();
    q.ParamByName(u"P_TCDFILIAL"_s).SetAsString(u"0002,0009"_s);
    q.ParamByName(u"P_CDFILIAL"_s).SetAsString(u"0002,0009"_s);
    if (GetParam() == Engine::Firebird) {
        try {
            q.Open();
            ADD_FAILURE() << "the engine accepted a list in the take-all parameter";
        } catch (const EDatabaseError &e) {
            EXPECT_TRUE(e.message().contains(u"truncation"_s)) << e.message().toStdString();
        }
    } else {
        q.Open();
        EXPECT_EQ(rowsOf(q, kLojaColumns, true).size(), 3);
    }
}

} // namespace
} // namespace lookups
