#include "demoschema.h"
#include "demotestdb.h"
#include "errors.h"
#include "firebird.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

DatabaseConfig config(const QString &driver, const QString &path)
{
    DatabaseConfig c;
    c.driver = driver;
    c.name = path;
    c.createIfMissing = true;
    return c;
}

// One seed and size written through both drivers.
class DemoFirebird : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        sDir = new QTemporaryDir;
        sSqlite = config(u"QSQLITE"_s, sDir->filePath(u"demo.sqlite"_s));
        sFirebird = config(u"QIBASE"_s, sDir->filePath(u"demo.fdb"_s));
        sSqliteCounts = createDemoDatabase(sSqlite, DemoSize::tiny(1500), 11);
        sFirebirdCounts = createDemoDatabase(sFirebird, DemoSize::tiny(1500), 11);
    }
    static void TearDownTestSuite()
    {
        delete sDir;
        sDir = nullptr;
    }

    DemoConnection fb{sFirebird};
    DemoConnection lite{sSqlite};

    static inline QTemporaryDir *sDir = nullptr;
    static inline DatabaseConfig sSqlite, sFirebird;
    static inline DemoCounts sSqliteCounts, sFirebirdCounts;
};

TEST_F(DemoFirebird, BothEnginesGetTheSameRows)
{
    ASSERT_TRUE(fb.isOpen()) << fb.error().toStdString();
    ASSERT_TRUE(lite.isOpen()) << lite.error().toStdString();
    EXPECT_EQ(sFirebirdCounts, sSqliteCounts);
    const char *const queries[] = {
        "SELECT COUNT(*), SUM(VRTOTVENDA), SUM(VRTXSERV), SUM(VRTXENTR), SUM(VRDESCONTO), MIN(DTVENDA), "
        "MAX(DTVENDA) FROM VENDA",
        "SELECT CDFILIAL, CDLOJA, COUNT(*), SUM(VRTOTVENDA) FROM VENDA GROUP BY CDFILIAL, CDLOJA "
        "ORDER BY CDFILIAL, CDLOJA",
        "SELECT DTVENDA, HRVENDA, COUNT(*) FROM VENDA GROUP BY DTVENDA, HRVENDA ORDER BY DTVENDA, HRVENDA",
        "SELECT COUNT(*), SUM(QTPRODUTO), SUM(VRTOTITEM) FROM ITVENDA",
        "SELECT CDMODALIDADE, COUNT(*), SUM(VRPAGAMENTO) FROM PAGVENDA GROUP BY CDMODALIDADE ORDER BY CDMODALIDADE",
        "SELECT CDFILIAL, NMFILIAL, NMCIDADE, SGESTADO FROM FILIAL ORDER BY CDFILIAL",
        "SELECT CDFILIAL, CDCAIXA, CDLOJA, NMCAIXA FROM CAIXA ORDER BY CDFILIAL, CDCAIXA",
        "SELECT CDPRODUTO, CDARVPROD, NMPRODUTO, SGUNIDADE, CDNVPRODUTO, VRPRECO FROM PRODUTO ORDER BY CDPRODUTO",
    };
    for (const char *sql : queries) {
        const QStringList expected = lite.rows(QLatin1String(sql));
        ASSERT_FALSE(expected.isEmpty()) << sql;
        EXPECT_EQ(fb.rows(QLatin1String(sql)), expected) << sql;
    }
}

TEST_F(DemoFirebird, NamesSurviveInUtf8AndCodesKeepTheirDeclaredWidth)
{
    EXPECT_EQ(fb.scalar(u"SELECT NMFILIAL FROM FILIAL WHERE CDFILIAL = ?"_s, {u"0004"_s}), u"Filial em Implantação"_s);
    EXPECT_EQ(fb.scalar(u"SELECT TRIM(RDB$CHARACTER_SET_NAME) FROM RDB$DATABASE"_s), u"UTF8"_s);
    const struct
    {
        const char *table;
        const char *column;
        const char *type; // RDB$FIELD_TYPE: 14 CHAR, 37 VARCHAR
        int length;
    } cases[] = {
        {"FILIAL", "CDFILIAL", "14", 4}, {"LOJA", "CDLOJA", "14", 10},       {"CAIXA", "CDCAIXA", "14", 3},
        {"PRODUTO", "CDPRODUTO", "14", 10}, {"PRODUTO", "CDARVPROD", "37", 20}, {"LOJA", "NMLOJA", "37", 50},
        {"VENDA", "HRVENDA", "14", 4},
    };
    for (const auto &t : cases)
        EXPECT_EQ(fb.scalar(u"SELECT F.RDB$FIELD_TYPE, F.RDB$CHARACTER_LENGTH FROM RDB$RELATION_FIELDS R JOIN "
                            u"RDB$FIELDS F ON F.RDB$FIELD_NAME = R.RDB$FIELD_SOURCE WHERE R.RDB$RELATION_NAME = ? "
                            u"AND R.RDB$FIELD_NAME = ?"_s,
                            {QLatin1String(t.table), QLatin1String(t.column)}),
                  u"%1|%2"_s.arg(QLatin1String(t.type)).arg(t.length))
            << t.table << "." << t.column;
}

TEST_F(DemoFirebird, ParamAndInstrBehaveAsTheQueryTextsExpect)
{
    const struct
    {
        const char *sql;
        QVariantList binds;
        const char *expected;
    } cases[] = {
        {"SELECT INSTR('0002,0009', '0009') FROM RDB$DATABASE", {}, "6"},
        {"SELECT INSTR('0002,0009', '0002') FROM RDB$DATABASE", {}, "1"},
        {"SELECT INSTR('0002,0009', '0003') FROM RDB$DATABASE", {}, "0"},
        {"SELECT INSTR(?, ?) FROM RDB$DATABASE", {u"São Paulo"_s, u"Paulo"_s}, "5"},
        {"SELECT PARAM FROM PARAM(?)", {u"0001,0002"_s}, "0001,0002"},
        {"SELECT COUNT(*) FROM PARAM('x')", {}, "1"},
        // The shape the screens use: a branch list passed as one text.
        {"SELECT COUNT(*) FROM FILIAL F, PARAM(?) P WHERE INSTR(P.PARAM, F.CDFILIAL) > 0", {u"0001,0003"_s}, "2"},
    };
    for (const auto &t : cases)
        EXPECT_EQ(fb.scalar(QLatin1String(t.sql), t.binds), QLatin1String(t.expected)) << t.sql;
}

TEST_F(DemoFirebird, KeysAreAddedOnceTheRowsAreIn)
{
    for (const DemoTable &table : demoSchema()) {
        SCOPED_TRACE(table.name);
        EXPECT_EQ(fb.scalar(u"SELECT TRIM(RDB$INDEX_NAME) FROM RDB$RELATION_CONSTRAINTS WHERE RDB$RELATION_NAME = ? "
                            u"AND RDB$CONSTRAINT_TYPE = 'PRIMARY KEY'"_s,
                            {QLatin1String(table.name)}),
                  u"PK_"_s + QLatin1String(table.name));
    }
}

TEST_F(DemoFirebird, DateRangeFiltersUseAnIndex)
{
    const struct
    {
        const char *sql;
        const char *index;
    } cases[] = {
        {"SELECT DTVENDA, HRVENDA, SUM(VRTOTVENDA) FROM VENDA WHERE DTVENDA BETWEEN ? AND ? GROUP BY 1, 2",
         "IX_VENDA_DATA"},
        {"SELECT SUM(VRTOTVENDA) FROM VENDA WHERE DTVENDA >= ? AND DTVENDA <= ?", "IX_VENDA_DATA"},
        {"SELECT V.DTVENDA, SUM(I.VRTOTITEM) FROM VENDA V JOIN ITVENDA I ON I.CDFILIAL = V.CDFILIAL AND "
         "I.CDCAIXA = V.CDCAIXA AND I.NRVENDA = V.NRVENDA WHERE V.DTVENDA BETWEEN ? AND ? GROUP BY 1",
         "IX_VENDA_DATA"},
    };
    for (const auto &t : cases) {
        const QString plan = demoQueryPlan(sFirebird, QLatin1String(t.sql));
        EXPECT_TRUE(plan.contains(QLatin1String(t.index))) << plan.toStdString();
        EXPECT_FALSE(plan.contains(u"NATURAL"_s)) << plan.toStdString();
    }
}

TEST(DemoFirebirdSetup, CreatingOverAnExistingFileFails)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"twice.fdb"_s);
    createFirebirdDatabase(path);
    EXPECT_TRUE(QFile::exists(path));
    try {
        createFirebirdDatabase(path, u"SYSDBA"_s, u"secret-word"_s);
        FAIL() << "created twice";
    } catch (const EDatabaseError &e) {
        EXPECT_TRUE(e.message().contains(path)) << e.message().toStdString();
        EXPECT_FALSE(e.message().contains(u"secret-word"_s));
    }
}

// A configuration that lists only the network providers must still give an in-process engine.
TEST(DemoFirebirdSetup, EmbeddedWorksWhenTheConfigLeavesTheEngineOut)
{
    const QString tool = QStringLiteral(BO_BINARY_DIR "/bin/bo-demo-gen");
    ASSERT_TRUE(QFile::exists(tool)) << "bo-demo-gen not built (the demo tests depend on it)";
    QTemporaryDir dir;
    const QString root = dir.filePath(u"conf"_s);
    QDir().mkpath(root);
    QFile conf(root + u"/firebird.conf"_s);
    ASSERT_TRUE(conf.open(QIODevice::WriteOnly));
    conf.write("# server-only installation\nProviders = Remote, Loopback\n");
    conf.close();
    for (const char *name : {"plugins.conf", "databases.conf", "firebird.msg"})
        QFile::copy(u"/usr/lib/x86_64-linux-gnu/firebird/3.0/"_s + QLatin1String(name), root + u'/' + QLatin1String(name));

    QProcess gen;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"FIREBIRD"_s, root);
    gen.setProcessEnvironment(env);
    const QString db = dir.filePath(u"embedded.fdb"_s);
    gen.start(tool, {u"--driver"_s, u"QIBASE"_s, u"--db"_s, db, u"--scale"_s, u"tiny"_s, u"--sales"_s, u"50"_s,
                     u"--quiet"_s});
    ASSERT_TRUE(gen.waitForFinished(120000));
    EXPECT_EQ(gen.exitCode(), 0) << gen.readAllStandardError().toStdString();
    EXPECT_TRUE(QFile::exists(db));
}

} // namespace
