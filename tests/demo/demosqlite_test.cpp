#include "demotestdb.h"
#include "errors.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

DatabaseConfig sqliteAt(const QString &path)
{
    DatabaseConfig config;
    config.driver = u"QSQLITE"_s;
    config.name = path;
    config.createIfMissing = true;
    return config;
}

// Every row of every table, in key order, hashed.
QByteArray fingerprint(const QString &path)
{
    DemoConnection c(sqliteAt(path));
    QCryptographicHash hash(QCryptographicHash::Sha256);
    const char *const tables[][2] = {
        {"FILIAL", "CDFILIAL"},
        {"LOJA", "CDFILIAL, CDLOJA"},
        {"CAIXA", "CDFILIAL, CDCAIXA"},
        {"MODALIDADE", "CDMODALIDADE"},
        {"PRODUTO", "CDPRODUTO"},
        {"VENDA", "CDFILIAL, CDCAIXA, NRVENDA"},
        {"ITVENDA", "CDFILIAL, CDCAIXA, NRVENDA, NRSEQITEM"},
        {"PAGVENDA", "CDFILIAL, CDCAIXA, NRVENDA, NRSEQPAG"},
    };
    for (const auto &t : tables) {
        const QStringList rows = c.rows(u"SELECT * FROM %1 ORDER BY %2"_s.arg(QLatin1String(t[0]), QLatin1String(t[1])));
        hash.addData(rows.join(u'\n').toUtf8());
    }
    return hash.result().toHex();
}

class DemoSqlite : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        sDir = new QTemporaryDir;
        sPath = sDir->filePath(u"demo.sqlite"_s);
        sCounts = createDemoDatabase(sqliteAt(sPath), DemoSize::tiny(3000), 7);
    }
    static void TearDownTestSuite()
    {
        delete sDir;
        sDir = nullptr;
    }
    DemoConnection c{sqliteAt(sPath)};

    static inline QTemporaryDir *sDir = nullptr;
    static inline QString sPath;
    static inline DemoCounts sCounts;
};

TEST_F(DemoSqlite, CountsMatchTheTablesAndTheSize)
{
    ASSERT_TRUE(c.isOpen()) << c.error().toStdString();
    const DemoSize size = DemoSize::tiny(3000);
    const struct
    {
        const char *table;
        qint64 reported;
        qint64 asked;
    } cases[] = {
        {"FILIAL", sCounts.branches, size.branches},   {"LOJA", sCounts.stores, size.stores},
        {"CAIXA", sCounts.registers, size.registers}, {"PRODUTO", sCounts.products, size.products},
        {"VENDA", sCounts.sales, size.sales},         {"ITVENDA", sCounts.items, -1},
        {"PAGVENDA", sCounts.payments, -1},
    };
    for (const auto &t : cases) {
        SCOPED_TRACE(t.table);
        EXPECT_EQ(c.scalar(u"SELECT COUNT(*) FROM %1"_s.arg(QLatin1String(t.table))), QString::number(t.reported));
        if (t.asked >= 0) {
            EXPECT_EQ(t.reported, t.asked);
        }
    }
    EXPECT_GT(sCounts.items, sCounts.sales);
    EXPECT_GE(sCounts.payments, sCounts.sales);
}

TEST_F(DemoSqlite, SameSeedSameRowsOtherSeedOtherRows)
{
    QTemporaryDir dir;
    const QString again = dir.filePath(u"again.sqlite"_s), other = dir.filePath(u"other.sqlite"_s);
    createDemoDatabase(sqliteAt(again), DemoSize::tiny(3000), 7);
    createDemoDatabase(sqliteAt(other), DemoSize::tiny(3000), 8);
    const QByteArray original = fingerprint(sPath);
    EXPECT_EQ(fingerprint(again), original);
    EXPECT_NE(fingerprint(other), original);
}

TEST_F(DemoSqlite, MoreSalesKeepTheSameChainAndProducts)
{
    QTemporaryDir dir;
    const QString bigger = dir.filePath(u"bigger.sqlite"_s);
    createDemoDatabase(sqliteAt(bigger), DemoSize::tiny(5000), 7);
    DemoConnection b(sqliteAt(bigger));
    for (const char *sql : {"SELECT * FROM FILIAL ORDER BY 1", "SELECT * FROM CAIXA ORDER BY 1, 3",
                            "SELECT * FROM PRODUTO ORDER BY 1"})
        EXPECT_EQ(b.rows(QLatin1String(sql)), c.rows(QLatin1String(sql))) << sql;
}

TEST_F(DemoSqlite, EdgeRowsTheScreenNeeds)
{
    const struct
    {
        const char *what;
        const char *sql;
        const char *expected;
    } cases[] = {
        {"orphan register", "SELECT C.CDFILIAL, C.CDCAIXA, C.CDLOJA FROM CAIXA C LEFT JOIN LOJA L "
                            "ON L.CDFILIAL = C.CDFILIAL AND L.CDLOJA = C.CDLOJA WHERE L.CDLOJA IS NULL",
         "0001|999|9999999999"},
        {"branch without stores", "SELECT F.CDFILIAL FROM FILIAL F WHERE NOT EXISTS "
                                  "(SELECT 1 FROM LOJA L WHERE L.CDFILIAL = F.CDFILIAL)",
         "0004"},
        {"default branch stores", "SELECT COUNT(*) > 0 FROM LOJA WHERE CDFILIAL = '0001'", "1"},
        {"default branch registers", "SELECT COUNT(*) > 1 FROM CAIXA WHERE CDFILIAL = '0001'", "1"},
        {"orphan register sells", "SELECT COUNT(*) > 0 FROM VENDA WHERE CDFILIAL = '0001' AND CDCAIXA = '999'",
         "1"},
        {"empty branch sells nothing", "SELECT COUNT(*) FROM VENDA WHERE CDFILIAL = '0004'", "0"},
        {"pt-BR names", "SELECT NMFILIAL FROM FILIAL WHERE CDFILIAL = '0001'", "São Paulo"},
        {"inactive modality unused", "SELECT COUNT(*) FROM PAGVENDA P JOIN MODALIDADE M "
                                     "ON M.CDMODALIDADE = P.CDMODALIDADE WHERE M.IDATIVO = 'N'",
         "0"},
        {"inactive products unsold", "SELECT COUNT(*) FROM ITVENDA I JOIN PRODUTO P ON P.CDPRODUTO = I.CDPRODUTO "
                                     "WHERE P.IDATIVO = 'N' OR P.CDNVPRODUTO <> '3'",
         "0"},
    };
    for (const auto &t : cases)
        EXPECT_EQ(c.rows(QLatin1String(t.sql)), QStringList{QString::fromUtf8(t.expected)}) << t.what;
}

TEST_F(DemoSqlite, CodesHaveTheirWidthsAndOnlyDigits)
{
    const struct
    {
        const char *table;
        const char *column;
        int width;
    } cases[] = {
        {"FILIAL", "CDFILIAL", 4},  {"LOJA", "CDLOJA", 10},         {"CAIXA", "CDCAIXA", 3},
        {"CAIXA", "CDLOJA", 10},    {"PRODUTO", "CDPRODUTO", 10},   {"VENDA", "CDCAIXA", 3},
        {"VENDA", "HRVENDA", 4},    {"ITVENDA", "CDPRODUTO", 10},   {"PAGVENDA", "CDMODALIDADE", 2},
        {"VENDA", "DTVENDA", 10},
    };
    for (const auto &t : cases) {
        SCOPED_TRACE(std::string(t.table) + "." + t.column);
        const QString column = QLatin1String(t.column), table = QLatin1String(t.table);
        EXPECT_EQ(c.scalar(u"SELECT COUNT(*) FROM %1 WHERE LENGTH(%2) <> %3"_s.arg(table, column).arg(t.width)), u"0"_s);
        if (column != u"DTVENDA"_s) {
            EXPECT_EQ(c.scalar(u"SELECT COUNT(*) FROM %1 WHERE %2 GLOB '*[^0-9]*'"_s.arg(table, column)), u"0"_s);
        }
    }
    // The tree code: 2 digits per group, 2 per subgroup, 3 per item, digits only (the mask adds the dots).
    EXPECT_EQ(c.rows(u"SELECT CDNVPRODUTO, MIN(LENGTH(CDARVPROD)), MAX(LENGTH(CDARVPROD)) FROM PRODUTO "
                     u"GROUP BY CDNVPRODUTO ORDER BY 1"_s),
              (QStringList{u"1|2|2"_s, u"2|4|4"_s, u"3|7|7"_s}));
    EXPECT_EQ(c.scalar(u"SELECT COUNT(*) FROM PRODUTO WHERE CDARVPROD GLOB '*[^0-9]*'"_s), u"0"_s);
    // Every item hangs under an existing subgroup, every subgroup under a group.
    EXPECT_EQ(c.scalar(u"SELECT COUNT(*) FROM PRODUTO P WHERE CDNVPRODUTO > '1' AND NOT EXISTS (SELECT 1 FROM "
                       u"PRODUTO U WHERE U.CDARVPROD = SUBSTR(P.CDARVPROD, 1, CASE P.CDNVPRODUTO WHEN '2' THEN 2 "
                       u"ELSE 4 END))"_s),
              u"0"_s);
    EXPECT_EQ(c.scalar(u"SELECT MAX(LENGTH(NMFILIAL)) <= 30 AND (SELECT MAX(LENGTH(NMPRODUTO)) FROM PRODUTO) <= 50 "
                       u"FROM FILIAL"_s),
              u"1"_s);
}

TEST_F(DemoSqlite, TicketTotalsAddUp)
{
    const struct
    {
        const char *rule;
        const char *sql;
    } cases[] = {
        {"items less discount make the ticket",
         "SELECT COUNT(*) FROM VENDA V WHERE ROUND((SELECT SUM(VRTOTITEM) FROM ITVENDA I WHERE I.CDFILIAL = "
         "V.CDFILIAL AND I.CDCAIXA = V.CDCAIXA AND I.NRVENDA = V.NRVENDA) - V.VRDESCONTO, 2) <> ROUND(V.VRTOTVENDA, 2)"},
        {"payments cover ticket and fees",
         "SELECT COUNT(*) FROM VENDA V WHERE ROUND((SELECT SUM(VRPAGAMENTO) FROM PAGVENDA P WHERE P.CDFILIAL = "
         "V.CDFILIAL AND P.CDCAIXA = V.CDCAIXA AND P.NRVENDA = V.NRVENDA), 2) <> "
         "ROUND(V.VRTOTVENDA + V.VRTXSERV + V.VRTXENTR, 2)"},
        {"QTITENS counts the items",
         "SELECT COUNT(*) FROM VENDA V WHERE V.QTITENS <> (SELECT COUNT(*) FROM ITVENDA I WHERE I.CDFILIAL = "
         "V.CDFILIAL AND I.CDCAIXA = V.CDCAIXA AND I.NRVENDA = V.NRVENDA)"},
        {"item total is quantity times price",
         "SELECT COUNT(*) FROM ITVENDA WHERE ABS(ROUND(QTPRODUTO * VRUNITARIO, 2) - VRTOTITEM) > 0.011"},
        {"money has at most two decimals",
         "SELECT COUNT(*) FROM ITVENDA WHERE ABS(VRTOTITEM * 100 - ROUND(VRTOTITEM * 100)) > 1e-6"},
        {"no ticket pays both fees", "SELECT COUNT(*) FROM VENDA WHERE VRTXSERV > 0 AND VRTXENTR > 0"},
        {"ticket numbers run 1..n per register",
         "SELECT COUNT(*) FROM (SELECT CDFILIAL, CDCAIXA FROM VENDA GROUP BY 1, 2 HAVING MIN(NRVENDA) <> 1 OR "
         "MAX(NRVENDA) <> COUNT(*))"},
        {"a later ticket of a register is never earlier in time",
         "SELECT COUNT(*) FROM VENDA A JOIN VENDA B ON B.CDFILIAL = A.CDFILIAL AND B.CDCAIXA = A.CDCAIXA AND "
         "B.NRVENDA = A.NRVENDA + 1 WHERE B.DTVENDA || B.HRVENDA < A.DTVENDA || A.HRVENDA"},
        {"sales keep to their store's register",
         "SELECT COUNT(*) FROM VENDA V JOIN CAIXA C ON C.CDFILIAL = V.CDFILIAL AND C.CDCAIXA = V.CDCAIXA "
         "WHERE C.CDLOJA <> V.CDLOJA"},
    };
    for (const auto &t : cases)
        EXPECT_EQ(c.scalar(QLatin1String(t.sql)), u"0"_s) << t.rule;
}

TEST_F(DemoSqlite, SalesLookLikeARestaurantChain)
{
    const auto number = [&](const char *sql) { return c.scalar(QLatin1String(sql)).toDouble(); };
    EXPECT_EQ(c.scalar(u"SELECT MIN(HRVENDA) >= '0800' AND MAX(HRVENDA) < '2200' FROM VENDA"_s), u"1"_s);
    const double lunch = number("SELECT COUNT(*) FROM VENDA WHERE HRVENDA BETWEEN '1200' AND '1259'");
    const double afternoon = number("SELECT COUNT(*) FROM VENDA WHERE HRVENDA BETWEEN '1600' AND '1659'");
    const double dinner = number("SELECT COUNT(*) FROM VENDA WHERE HRVENDA BETWEEN '2000' AND '2059'");
    EXPECT_GT(lunch, 2 * afternoon);
    EXPECT_GT(dinner, 2 * afternoon);
    // strftime('%w'): 0 Sunday .. 6 Saturday; per-day averages over the two weeks (4 weekend days).
    const double weekend = number("SELECT COUNT(*) FROM VENDA WHERE strftime('%w', DTVENDA) IN ('0', '6')") / 4;
    const double weekday = number("SELECT COUNT(*) FROM VENDA WHERE strftime('%w', DTVENDA) NOT IN ('0', '6')") / 10;
    EXPECT_GT(weekend, weekday);
    EXPECT_EQ(c.scalar(u"SELECT COUNT(DISTINCT DTVENDA) FROM VENDA"_s), u"14"_s);
    EXPECT_GE(number("SELECT COUNT(DISTINCT CDMODALIDADE) FROM PAGVENDA"), 6);
    const double sales = number("SELECT COUNT(*) FROM VENDA");
    const double withService = number("SELECT COUNT(*) FROM VENDA WHERE VRTXSERV > 0") / sales;
    const double withDelivery = number("SELECT COUNT(*) FROM VENDA WHERE VRTXENTR > 0") / sales;
    EXPECT_GT(withService, 0.1);
    EXPECT_LT(withService, 0.5);
    EXPECT_GT(withDelivery, 0.03);
    EXPECT_LT(withDelivery, 0.3);
    EXPECT_GT(number("SELECT COUNT(*) FROM ITVENDA WHERE QTPRODUTO <> ROUND(QTPRODUTO)"), 0) << "sold by weight";
    // The flagship branch sells more than any other.
    EXPECT_EQ(c.scalar(u"SELECT CDFILIAL FROM VENDA GROUP BY CDFILIAL ORDER BY SUM(VRTOTVENDA) DESC LIMIT 1"_s),
              u"0001"_s);
}

TEST_F(DemoSqlite, DateRangeFiltersUseAnIndex)
{
    const struct
    {
        const char *sql;
        const char *index;
    } cases[] = {
        {"SELECT DTVENDA, SUBSTR(HRVENDA, 1, 2), SUM(VRTOTVENDA) FROM VENDA WHERE DTVENDA BETWEEN ? AND ? "
         "GROUP BY 1, 2",
         "IX_VENDA_DATA"},
        {"SELECT SUM(VRTOTVENDA) FROM VENDA WHERE CDFILIAL = ? AND DTVENDA BETWEEN ? AND ?", "IX_VENDA_FILIAL_DATA"},
        {"SELECT V.DTVENDA, SUM(I.VRTOTITEM) FROM VENDA V JOIN ITVENDA I ON I.CDFILIAL = V.CDFILIAL AND "
         "I.CDCAIXA = V.CDCAIXA AND I.NRVENDA = V.NRVENDA WHERE V.DTVENDA >= ? AND V.DTVENDA <= ? GROUP BY 1",
         "IX_VENDA_DATA"},
    };
    for (const auto &t : cases) {
        const QString plan = demoQueryPlan(sqliteAt(sPath), QLatin1String(t.sql));
        EXPECT_TRUE(plan.contains(u"INDEX "_s + QLatin1String(t.index) + u" ("_s)) << plan.toStdString();
        EXPECT_FALSE(plan.contains(u"SCAN VENDA"_s) || plan.contains(u"SCAN V\n"_s)) << plan.toStdString();
    }
}

TEST(DemoSize, LookupsScaleHasTheBenchmarkCounts)
{
    QTemporaryDir dir;
    const DemoCounts counts = createDemoDatabase(sqliteAt(dir.filePath(u"lookups.sqlite"_s)), DemoSize::lookups(0), 1);
    EXPECT_EQ(counts.branches, 100);
    EXPECT_EQ(counts.stores, 2000);
    EXPECT_EQ(counts.registers, 20000);
    EXPECT_EQ(counts.products, 100000);
    EXPECT_EQ(counts.sales, 0);
}

TEST(DemoSize, ImpossibleSizesAreRefusedAndLeaveNoFile)
{
    const struct
    {
        const char *what;
        void (*change)(DemoSize &);
    } cases[] = {
        {"one branch", [](DemoSize &s) { s.branches = 1; }},
        {"a branch without a store", [](DemoSize &s) { s.stores = s.branches - 2; }},
        {"no room for the orphan register", [](DemoSize &s) { s.registers = s.stores; }},
        {"no product tree", [](DemoSize &s) { s.products = 2; }},
        {"negative sales", [](DemoSize &s) { s.sales = -1; }},
        {"no days", [](DemoSize &s) { s.days = 0; }},
        {"too many registers for one branch", [](DemoSize &s) { s.registers = 5000; }},
    };
    EXPECT_TRUE(DemoSize::tiny().check().isEmpty());
    for (const auto &t : cases) {
        SCOPED_TRACE(t.what);
        DemoSize size = DemoSize::tiny();
        t.change(size);
        QTemporaryDir dir;
        const QString path = dir.filePath(u"refused.sqlite"_s);
        EXPECT_THROW(createDemoDatabase(sqliteAt(path), size, 1), EDatabaseError);
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList());
    }
}

TEST(DemoSize, UnknownDriverIsRefused)
{
    DatabaseConfig config;
    config.driver = u"QMYSQL"_s;
    config.name = u"x"_s;
    config.createIfMissing = true;
    EXPECT_THROW(createDemoDatabase(config, DemoSize::tiny(), 1), EDatabaseError);
}

} // namespace
