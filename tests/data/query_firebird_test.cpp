#include "adoibquery.h"
#include "datamodule.h"
#include "errors.h"
#include "firebird.h"
#include "testdb.h"

#include <QElapsedTimer>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

// One embedded database for the whole suite, opened as the host's shared connection.
class Firebird : public testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        sDir = std::make_unique<QTemporaryDir>();
        sFailure.clear();
        const QString path = sDir->filePath(u"dados.fdb"_s);
        try {
            createFirebirdDatabase(path);
            DatabaseConfig config;
            config.driver = u"QIBASE"_s;
            config.name = path;
            config.createIfMissing = true; // user and password left empty: SYSDBA/masterkey
            TdtmDBGeral::open(config);
        } catch (const EHostError &e) {
            sFailure = e.message();
            return;
        }
        const char *const ddl[] = {
            "CREATE TABLE FILIAL (CDFIL CHAR(4) NOT NULL, NMFIL VARCHAR(40), UF CHAR(2), VALOR NUMERIC(15,2),"
            " ABERTURA DATE)",
            "INSERT INTO FILIAL VALUES ('0001', 'Centro  ', 'SP', 12.50, '2024-01-05')",
            "INSERT INTO FILIAL VALUES ('0002', 'São José', 'SC', 3, '2024-02-10')",
            "INSERT INTO FILIAL VALUES ('03', NULL, NULL, NULL, NULL)",
            "INSERT INTO FILIAL VALUES ('Açú', 'Açú', 'RN', 0.1, '2023-12-31')",
            "CREATE PROCEDURE PARAM(P VARCHAR(4000)) RETURNS (PARAM VARCHAR(4000)) AS BEGIN PARAM = :P; SUSPEND; END",
            "CREATE FUNCTION INSTR(S VARCHAR(4000), SUB VARCHAR(4000)) RETURNS INTEGER AS BEGIN"
            " RETURN POSITION(SUB IN S); END",
        };
        QSqlQuery setup(TdtmDBGeral::adcGeral());
        for (const char *statement : ddl) {
            if (!setup.exec(QString::fromUtf8(statement))) {
                sFailure = setup.lastError().text();
                return;
            }
        }
    }

    static void TearDownTestSuite()
    {
        TdtmDBGeral::close();
        sDir.reset();
    }

    void SetUp() override
    {
        if (!sFailure.isEmpty())
            GTEST_FAIL() << "embedded Firebird unavailable: " << sFailure.toStdString();
    }

    QString one(const QStringList &sql, const std::function<void(TADOIBQuery &)> &bind = {})
    {
        TADOIBQuery q;
        q.setSQL(sql);
        if (bind)
            bind(q);
        q.Open();
        return q.Query()->text(0, q.Query()->columns().value(0));
    }

    static std::unique_ptr<QTemporaryDir> sDir;
    static QString sFailure;
};

std::unique_ptr<QTemporaryDir> Firebird::sDir;
QString Firebird::sFailure;

TEST_F(Firebird, ConnectionIsInterBaseDialect)
{
    EXPECT_EQ(dialectOf(TdtmDBGeral::adcGeral()), SqlDialect::InterBase);
}

TEST_F(Firebird, RunsItsOwnTextElseTheDefault)
{
    TADOIBQuery q;
    q.setSQL({u"SELECT 'default' AS W FROM RDB$DATABASE"_s});
    q.setSQL_MSSQL({u"SELECT TOP 1 'ms' AS W"_s});
    q.Open();
    EXPECT_EQ(q.FieldByName(u"W"_s).AsString(), u"default"_s);
    q.setSQL_IB({u"SELECT 'ib' AS W"_s, u"FROM RDB$DATABASE"_s});
    q.Open();
    EXPECT_EQ(q.FieldByName(u"W"_s).AsString(), u"ib"_s);
}

TEST_F(Firebird, RepeatedNamedParametersBindEveryOccurrence)
{
    const QString r = one({u"SELECT A.PARAM || '|' || B.PARAM || '|' || C.PARAM AS R"_s,
                           u"FROM PARAM(:X) A, PARAM(:Y) B, PARAM(:x) C"_s},
                          [](TADOIBQuery &q) {
                              q.ParamByName(u"X"_s).SetAsString(u"1"_s);
                              q.ParamByName(u"Y"_s).SetAsString(u"2"_s);
                          });
    EXPECT_EQ(r, u"1|2|1"_s);
}

TEST_F(Firebird, CodeListThroughInstr)
{
    TADOIBQuery q;
    q.setSQL({u"SELECT CDFIL FROM FILIAL"_s, u"WHERE INSTR(:LISTA, ',' || TRIM(CDFIL) || ',') > 0"_s,
              u"  AND ABERTURA >= :DESDE ORDER BY CDFIL"_s});
    q.ParamByName(u"LISTA"_s).SetAsString(u",0001,0002,03,"_s);
    q.ParamByName(u"DESDE"_s).SetAsDateTime(QDateTime(QDate(2024, 1, 1), QTime(0, 0)));
    q.Open();
    QStringList codes;
    for (q.Query()->First(); !q.Query()->Eof(); q.Query()->Next())
        codes.append(q.FieldByName(u"CDFIL"_s).AsString());
    EXPECT_EQ(codes, (QStringList{u"0001"_s, u"0002"_s}));
}

TEST_F(Firebird, ReopenedQuerySeesWhatOthersCommittedMeanwhile)
{
    TADOIBQuery q;
    q.setSQL({u"SELECT COUNT(*) AS N FROM FILIAL WHERE UF = :UF"_s});
    q.ParamByName(u"UF"_s).SetAsString(u"AM"_s);
    q.Open();
    EXPECT_EQ(q.FieldByName(u"N"_s).AsString(), u"0"_s);
    // Committed by a statement of its own: a query still reading an older snapshot misses it.
    QSqlQuery writer(TdtmDBGeral::adcGeral());
    ASSERT_TRUE(writer.exec(u"INSERT INTO FILIAL (CDFIL, UF) VALUES ('AM01', 'AM')"_s))
        << writer.lastError().text().toStdString();
    writer.finish();
    q.Open();
    EXPECT_EQ(q.FieldByName(u"N"_s).AsString(), u"1"_s);
    ASSERT_TRUE(writer.exec(u"DELETE FROM FILIAL WHERE CDFIL = 'AM01'"_s));
}

struct FbNullCase
{
    const char *label;
    std::function<void(TParam &)> set;
    QString result;
};

void PrintTo(const FbNullCase &c, std::ostream *os)
{
    *os << c.label;
}

class FirebirdEmptyVersusNull : public Firebird, public testing::WithParamInterface<FbNullCase> {};

TEST_P(FirebirdEmptyVersusNull, ReachesTheServerAsExpected)
{
    const QString r = one({u"SELECT CASE WHEN P.PARAM IS NULL THEN 'null' WHEN P.PARAM = '' THEN 'empty'"_s,
                           u" ELSE 'text' END AS R FROM PARAM(:P) P"_s},
                          [](TADOIBQuery &q) {
                              if (GetParam().set)
                                  GetParam().set(q.ParamByName(u"P"_s));
                          });
    EXPECT_EQ(r, GetParam().result);
}

INSTANTIATE_TEST_SUITE_P(
    Table, FirebirdEmptyVersusNull,
    testing::Values(FbNullCase{"null_qstring", [](TParam &p) { p.SetAsString(QString()); }, u"empty"_s},
                    FbNullCase{"empty_text", [](TParam &p) { p.SetAsString(u""_s); }, u"empty"_s},
                    FbNullCase{"text", [](TParam &p) { p.SetAsString(u"x"_s); }, u"text"_s},
                    FbNullCase{"cleared", [](TParam &p) { p.Clear(); }, u"null"_s},
                    FbNullCase{"unassigned", {}, u"null"_s}),
    [](const auto &info) { return std::string(info.param.label); });

TEST_F(Firebird, FixedCharPadDroppedVarcharKept)
{
    TADOIBQuery q;
    q.setSQL({u"SELECT CDFIL, NMFIL, UF, VALOR, ABERTURA, 'ab' AS LITERAL FROM FILIAL ORDER BY ABERTURA NULLS LAST"_s});
    q.Open();
    QStringList rows;
    for (q.Query()->First(); !q.Query()->Eof(); q.Query()->Next()) {
        QStringList cells;
        for (const QString &column : q.Query()->columns())
            cells.append(q.FieldByName(column).AsString());
        rows.append(cells.join(u'|'));
    }
    EXPECT_EQ(rows, (QStringList{u"Açú|Açú|RN|0.1|2023-12-31|ab"_s, u"0001|Centro  |SP|12.5|2024-01-05|ab"_s,
                                 u"0002|São José|SC|3|2024-02-10|ab"_s, u"03||||"_s + u"|ab"_s}));
    q.Query()->setRecNo(3);
    EXPECT_TRUE(q.FieldByName(u"UF"_s).IsNull());
    EXPECT_EQ(q.Query()->columns(),
              (QStringList{u"CDFIL"_s, u"NMFIL"_s, u"UF"_s, u"VALOR"_s, u"ABERTURA"_s, u"LITERAL"_s}));
}

TEST_F(Firebird, TrimmedCodeMatchesAsParameter)
{
    EXPECT_EQ(one({u"SELECT CDFIL FROM FILIAL WHERE CDFIL = :C"_s},
                  [](TADOIBQuery &q) { q.ParamByName(u"C"_s).SetAsString(u"03"_s); }),
              u"03"_s);
    EXPECT_EQ(one({u"SELECT COUNT(*) FROM FILIAL WHERE CDFIL = :C"_s},
                  [](TADOIBQuery &q) { q.ParamByName(u"C"_s).SetAsString(u"03"_s); }),
              u"1"_s);
}

TEST_F(Firebird, BadStatementThrowsDriverTextAndConnectionGoesOn)
{
    TADOIBQuery q;
    q.setSQL({u"SELECT CDFIL FROM FILIAL"_s});
    q.Open();
    q.setSQL({u"SELEC CDFIL FROM FILIAL"_s});
    try {
        q.Open();
        FAIL() << "no error";
    } catch (const EDatabaseError &e) {
        EXPECT_TRUE(e.message().contains(u"Token unknown"_s)) << e.message().toStdString();
    }
    EXPECT_FALSE(q.Active());
    EXPECT_TRUE(q.IsEmpty());
    EXPECT_EQ(one({u"SELECT COUNT(*) FROM FILIAL"_s}), u"4"_s);
}

TEST_F(Firebird, InterruptEndsLongStatement)
{
    TADOIBQuery q;
    // A cross join far too large to finish.
    q.setSQL({u"SELECT COUNT(*) FROM RDB$FIELDS A, RDB$FIELDS B, RDB$FIELDS C, RDB$FIELDS D"_s});
    QElapsedTimer clock;
    clock.start();
    QString message;
    {
        Canceller canceller(TdtmDBGeral::adcGeral());
        try {
            q.Open();
        } catch (const EDatabaseError &e) {
            message = e.message();
        }
        canceller.stop();
        EXPECT_GE(canceller.calls(), 1);
    }
    EXPECT_TRUE(message.contains(u"cancelled"_s, Qt::CaseInsensitive)) << message.toStdString();
    EXPECT_LT(clock.elapsed(), 30000);
    EXPECT_FALSE(q.Active());
    EXPECT_EQ(one({u"SELECT COUNT(*) FROM FILIAL"_s}), u"4"_s);
}

} // namespace
