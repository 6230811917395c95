// Each Vnd025 report run by the engine on a small demo database; its totals against SQL written by
// hand over the same rows (plain IN lists and text comparisons, not the report's own SQL).

#include "demodb.h"
#include "enginetest.h"
#include "errors.h"
#include "pdfpages.h"
#include "reportdocument.h"
#include "reportexport.h"
#include "reportformat.h"
#include "sqltext.h"

#include <QDir>
#include <QSqlRecord>
#include <QRegularExpression>
#include <QSet>
#include <map>

using namespace enginetest;
using namespace Qt::StringLiterals;

namespace {

const char *kConnection = "engine_reports_demo";

class ReportsTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        sDir = new QTemporaryDir;
        DatabaseConfig config;
        config.driver = QStringLiteral("QSQLITE");
        config.name = sDir->filePath(QStringLiteral("demo.sqlite"));
        config.createIfMissing = true;
        createDemoDatabase(config, DemoSize::tiny(2500), 11);
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QLatin1String(kConnection));
        db.setDatabaseName(config.name);
        ASSERT_TRUE(db.open());
    }
    static void TearDownTestSuite()
    {
        QSqlDatabase::database(QLatin1String(kConnection), false).close();
        QSqlDatabase::removeDatabase(QLatin1String(kConnection));
        delete sDir;
        sDir = nullptr;
    }
    void SetUp() override
    {
        ReportEngine::instance().setSourceConnection(QLatin1String(kConnection));
        mScope = std::make_unique<ScopedUi>(ui);
    }
    void TearDown() override
    {
        mScope.reset();
        ReportEngine::instance().setSourceConnection({});
    }

    static double scalar(const QString &sql)
    {
        QSqlQuery q(QSqlDatabase::database(QLatin1String(kConnection), false));
        if (!q.exec(sql) || !q.next()) {
            ADD_FAILURE() << sql.toStdString() << ": " << q.lastError().text().toStdString();
            return -1;
        }
        return q.value(0).toDouble();
    }

    RecordingUi ui;

private:
    static QTemporaryDir *sDir;
    std::unique_ptr<ScopedUi> mScope;
};

QTemporaryDir *ReportsTest::sDir = nullptr;

using Values = std::map<std::string, QVariant>;

// Parameters as the screen fills them: only the names the report declares.
TParams paramsFor(const ReportDefinition &def, const Values &values)
{
    TParams params = def.makeParams();
    for (const auto &[name, value] : values) {
        TParam *p = params.FindParam(QString::fromStdString(name));
        if (!p)
            continue;
        if (value.typeId() == QMetaType::QDate)
            p->SetAsDateTime(QDateTime(value.toDate(), QTime(0, 0)));
        else if (value.typeId() == QMetaType::Int)
            p->SetAsInteger(value.toInt());
        else
            p->SetAsString(value.toString());
    }
    return params;
}

Values baseFilters()
{
    return {{"P_CDFILIAL", QStringLiteral("0001")},
            {"P_TCDLOJA", QStringLiteral("T")},
            {"P_CDLOJA", QString()},
            {"P_TCDCAIXA", QStringLiteral("T")},
            {"P_CDCAIXA", QString()},
            {"P_DTVENDAINI", QDate(2025, 6, 17)},
            {"P_DTVENDAFIN", QDate(2025, 6, 30)},
            {"P_HRINI", QStringLiteral("0000")},
            {"P_HRFIN", QStringLiteral("2359")},
            {"P_IDIMPHR", QStringLiteral("N")},
            {"P_HRINI1", QStringLiteral("17/06/2025 00:00")},
            {"P_HRFIN1", QStringLiteral("30/06/2025 23:59")},
            {"MINUTOS", 1},
            {"MINUTOS1", 0},
            {"P_PRODINI", QString()},
            {"P_PRODFIN", QStringLiteral("ZZZZZZZZZZ")},
            {"P_IDCONSTXSERV", QStringLiteral("N")}};
}

Values with(Values values, const Values &changes)
{
    for (const auto &[k, v] : changes)
        values[k] = v;
    return values;
}

struct Check
{
    const char *field; // a column of the total line
    const char *sql;   // hand-written expectation
};

struct ReportCase
{
    const char *file;
    Values params;
    std::vector<Check> totals;
    const char *detailRows; // SQL counting the expected detail lines ("" = not checked)
};

// Sales that count, as the hand-written checks select them.
#define SALES "FROM VENDA WHERE IDCANCELADA = 'N' AND DTVENDA BETWEEN '2025-06-17' AND '2025-06-30' "
#define BRANCH1 "AND CDFILIAL = '0001' "

TEST_F(ReportsTest, TotalsMatchHandWrittenSql)
{
    const Values base = baseFilters();
    const ReportCase cases[] = {
        {"vendas_por_dia.json",
         with(base, {{"P_TCDCAIXA", QString()}, {"P_CDCAIXA", QStringLiteral("001,002")}, {"P_IDIMPHR", QStringLiteral("S")},
                     {"P_HRINI", QStringLiteral("0800")}, {"P_HRFIN", QStringLiteral("1800")}}),
         {{"QTVENDAS", "SELECT COUNT(*) " SALES BRANCH1 "AND CDCAIXA IN ('001','002') AND HRVENDA >= '0800' AND HRVENDA <= '1800'"},
          {"QTITENS", "SELECT SUM(QTITENS) " SALES BRANCH1 "AND CDCAIXA IN ('001','002') AND HRVENDA >= '0800' AND HRVENDA <= '1800'"},
          {"VRDESCONTO", "SELECT SUM(VRDESCONTO) " SALES BRANCH1 "AND CDCAIXA IN ('001','002') AND HRVENDA >= '0800' AND HRVENDA <= '1800'"},
          {"VRTOTAL", "SELECT SUM(VRTOTVENDA) " SALES BRANCH1 "AND CDCAIXA IN ('001','002') AND HRVENDA >= '0800' AND HRVENDA <= '1800'"},
          {"VRMEDIO", "SELECT AVG(VRTOTVENDA) " SALES BRANCH1 "AND CDCAIXA IN ('001','002') AND HRVENDA >= '0800' AND HRVENDA <= '1800'"}},
         // every day of the period, also one without a sale
         "SELECT julianday('2025-06-30') - julianday('2025-06-17') + 1"},
        // every register, the one whose store is gone included
        {"vendas_por_dia_caixa.json", base,
         {{"QTVENDAS", "SELECT COUNT(*) " SALES BRANCH1},
          {"VRTOTAL", "SELECT SUM(VRTOTVENDA) " SALES BRANCH1}},
         // each register every day of the period
         "SELECT COUNT(DISTINCT CDCAIXA) * 14 " SALES BRANCH1},
        {"vendas_por_hora.json", with(base, {{"P_TCDLOJA", QString()}, {"P_CDLOJA", QStringLiteral("0000000002")}}),
         {{"QTVENDAS", "SELECT COUNT(*) " SALES BRANCH1 "AND CDLOJA = '0000000002'"},
          {"VRTOTAL", "SELECT SUM(VRTOTVENDA) " SALES BRANCH1 "AND CDLOJA = '0000000002'"},
          {"PCTOTAL", "SELECT 100"}},
         // no interval: one line per hour
         "SELECT COUNT(DISTINCT SUBSTR(HRVENDA, 1, 2)) " SALES BRANCH1 "AND CDLOJA = '0000000002'"},
        {"vendas_por_hora_caixa.json", with(base, {{"MINUTOS", 30}}),
         {{"QTVENDAS", "SELECT COUNT(*) " SALES BRANCH1}, {"VRTOTAL", "SELECT SUM(VRTOTVENDA) " SALES BRANCH1}},
         // each register every half hour from the first to the last that sold
         "SELECT COUNT(DISTINCT CDCAIXA) * (MAX((SUBSTR(HRVENDA,1,2) * 60 + SUBSTR(HRVENDA,3,2)) / 30) - "
         "MIN((SUBSTR(HRVENDA,1,2) * 60 + SUBSTR(HRVENDA,3,2)) / 30) + 1) " SALES BRANCH1},
        {"vendas_por_hora_loja.json",
         with(base, {{"MINUTOS", 90}, {"P_IDIMPHR", QStringLiteral("S")}, {"P_HRINI", QStringLiteral("1100")},
                     {"P_HRFIN", QStringLiteral("1459")}}),
         {{"QTITENS", "SELECT SUM(QTITENS) " SALES BRANCH1 "AND HRVENDA >= '1100' AND HRVENDA <= '1459'"},
          {"VRTOTAL", "SELECT SUM(VRTOTVENDA) " SALES BRANCH1 "AND HRVENDA >= '1100' AND HRVENDA <= '1459'"}},
         "SELECT COUNT(*) FROM (SELECT DISTINCT CDLOJA, (SUBSTR(HRVENDA,1,2) * 60 + SUBSTR(HRVENDA,3,2)) / 90 " SALES BRANCH1
         "AND HRVENDA BETWEEN '1100' AND '1459')"},
        {"vendas_por_hora_produto.json",
         with(base, {{"MINUTOS", 60}, {"P_PRODINI", QStringLiteral("01")}, {"P_PRODFIN", QStringLiteral("01ZZZZZZZZ")}}),
         {{"QTPRODUTO", "SELECT SUM(I.QTPRODUTO) FROM ITVENDA I JOIN PRODUTO P ON P.CDPRODUTO = I.CDPRODUTO "
                        "JOIN VENDA V ON V.CDFILIAL = I.CDFILIAL AND V.CDCAIXA = I.CDCAIXA AND V.NRVENDA = I.NRVENDA "
                        "WHERE V.IDCANCELADA = 'N' AND V.DTVENDA BETWEEN '2025-06-17' AND '2025-06-30' AND V.CDFILIAL = '0001' "
                        "AND P.CDARVPROD LIKE '01%'"},
          {"VRTOTAL", "SELECT SUM(I.VRTOTITEM) FROM ITVENDA I JOIN PRODUTO P ON P.CDPRODUTO = I.CDPRODUTO "
                      "JOIN VENDA V ON V.CDFILIAL = I.CDFILIAL AND V.CDCAIXA = I.CDCAIXA AND V.NRVENDA = I.NRVENDA "
                      "WHERE V.IDCANCELADA = 'N' AND V.DTVENDA BETWEEN '2025-06-17' AND '2025-06-30' AND V.CDFILIAL = '0001' "
                      "AND P.CDARVPROD LIKE '01%'"}},
         ""},
        {"vendas_por_produto_hora.json",
         with(base, {{"MINUTOS", 120}, {"P_TCDCAIXA", QString()}, {"P_CDCAIXA", QStringLiteral("002")}}),
         {{"VRTOTAL", "SELECT SUM(I.VRTOTITEM) FROM ITVENDA I JOIN VENDA V ON V.CDFILIAL = I.CDFILIAL AND "
                      "V.CDCAIXA = I.CDCAIXA AND V.NRVENDA = I.NRVENDA WHERE V.IDCANCELADA = 'N' AND V.DTVENDA "
                      "BETWEEN '2025-06-17' AND '2025-06-30' AND V.CDFILIAL = '0001' AND V.CDCAIXA = '002'"}},
         // each product every two hours from the first to the last that sold
         "SELECT COUNT(DISTINCT I.CDPRODUTO) * (MAX((SUBSTR(V.HRVENDA,1,2) * 60 + SUBSTR(V.HRVENDA,3,2)) / 120) - "
         "MIN((SUBSTR(V.HRVENDA,1,2) * 60 + SUBSTR(V.HRVENDA,3,2)) / 120) + 1) "
         "FROM ITVENDA I JOIN VENDA V ON V.CDFILIAL = I.CDFILIAL AND V.CDCAIXA = I.CDCAIXA AND V.NRVENDA = I.NRVENDA "
         "WHERE V.IDCANCELADA = 'N' AND V.DTVENDA BETWEEN '2025-06-17' AND '2025-06-30' AND V.CDFILIAL = '0001' "
         "AND V.CDCAIXA = '002'"},
        // a period with hours at both ends, fees counted
        {"resumo_vendas_consolidado.json",
         with(base, {{"P_DTVENDAINI", QDate(2025, 6, 20)}, {"P_DTVENDAFIN", QDate(2025, 6, 25)},
                     {"P_HRINI1", QStringLiteral("20/06/2025 10:00")}, {"P_HRFIN1", QStringLiteral("25/06/2025 15:30")},
                     {"P_IDCONSTXSERV", QStringLiteral("S")}}),
         {{"QTVENDAS", "SELECT COUNT(*) FROM VENDA WHERE IDCANCELADA = 'N' AND DTVENDA || HRVENDA BETWEEN '2025-06-201000' AND '2025-06-251530'"},
          {"VRTAXAS", "SELECT SUM(VRTXSERV + VRTXENTR) FROM VENDA WHERE IDCANCELADA = 'N' AND DTVENDA || HRVENDA BETWEEN '2025-06-201000' AND '2025-06-251530'"},
          {"VRTOTAL", "SELECT SUM(VRTOTVENDA + VRTXSERV + VRTXENTR) FROM VENDA WHERE IDCANCELADA = 'N' AND DTVENDA || HRVENDA BETWEEN '2025-06-201000' AND '2025-06-251530'"},
          {"PCTOTAL", "SELECT 100"}},
         "SELECT COUNT(DISTINCT CDFILIAL) FROM VENDA WHERE IDCANCELADA = 'N' AND DTVENDA || HRVENDA BETWEEN '2025-06-201000' AND '2025-06-251530'"},
        // the same without fees: the total is the goods only
        {"resumo_vendas_consolidado.json", with(base, {{"P_IDCONSTXSERV", QStringLiteral("N")}}),
         {{"VRTAXAS", "SELECT 0"}, {"VRTOTAL", "SELECT SUM(VRTOTVENDA) " SALES}},
         ""},
        {"resumo_vendas_por_dia.json",
         with(base, {{"P_TCDLOJA", QString()}, {"P_CDLOJA", QStringLiteral("0000000001,0000000002")},
                     {"P_HRINI1", QStringLiteral("17/06/2025 12:00")}, {"P_HRFIN1", QStringLiteral("30/06/2025 12:00")}}),
         {{"VRTXSERV", "SELECT SUM(VRTXSERV) FROM VENDA WHERE IDCANCELADA = 'N' AND CDFILIAL = '0001' AND CDLOJA IN ('0000000001','0000000002') AND DTVENDA || HRVENDA BETWEEN '2025-06-171200' AND '2025-06-301200'"},
          {"VRTXENTR", "SELECT SUM(VRTXENTR) FROM VENDA WHERE IDCANCELADA = 'N' AND CDFILIAL = '0001' AND CDLOJA IN ('0000000001','0000000002') AND DTVENDA || HRVENDA BETWEEN '2025-06-171200' AND '2025-06-301200'"},
          {"VRTOTAL", "SELECT SUM(VRTOTVENDA + VRTXSERV + VRTXENTR) FROM VENDA WHERE IDCANCELADA = 'N' AND CDFILIAL = '0001' AND CDLOJA IN ('0000000001','0000000002') AND DTVENDA || HRVENDA BETWEEN '2025-06-171200' AND '2025-06-301200'"}},
         ""},
        // branch list in both branch parameters
        {"vendas_por_hora_modalidade.json",
         with(base, {{"P_CDFILIAL", QStringLiteral("0001,0003")}, {"P_TCDFILIAL", QStringLiteral("0001,0003")}, {"MINUTOS", 60}}),
         {{"QTPAGAMENTOS", "SELECT COUNT(*) FROM PAGVENDA G JOIN VENDA V ON V.CDFILIAL = G.CDFILIAL AND V.CDCAIXA = G.CDCAIXA "
                           "AND V.NRVENDA = G.NRVENDA WHERE V.IDCANCELADA = 'N' AND V.DTVENDA BETWEEN '2025-06-17' AND '2025-06-30' "
                           "AND V.CDFILIAL IN ('0001','0003')"},
          {"VRTOTAL", "SELECT SUM(G.VRPAGAMENTO) FROM PAGVENDA G JOIN VENDA V ON V.CDFILIAL = G.CDFILIAL AND V.CDCAIXA = G.CDCAIXA "
                      "AND V.NRVENDA = G.NRVENDA WHERE V.IDCANCELADA = 'N' AND V.DTVENDA BETWEEN '2025-06-17' AND '2025-06-30' "
                      "AND V.CDFILIAL IN ('0001','0003')"}},
         ""},
        // all branches
        {"vendas_por_hora_modalidade.json",
         with(base, {{"P_CDFILIAL", QStringLiteral("T")}, {"P_TCDFILIAL", QStringLiteral("T")}, {"MINUTOS", 60}}),
         {{"VRTOTAL", "SELECT SUM(G.VRPAGAMENTO) FROM PAGVENDA G JOIN VENDA V ON V.CDFILIAL = G.CDFILIAL AND V.CDCAIXA = G.CDCAIXA "
                      "AND V.NRVENDA = G.NRVENDA WHERE V.IDCANCELADA = 'N' AND V.DTVENDA BETWEEN '2025-06-17' AND '2025-06-30'"}},
         ""},
        {"ticket_medio_por_dia.json", base,
         {{"VRTOTAL", "SELECT SUM(VRTOTVENDA) " SALES BRANCH1}, {"VRMEDIO", "SELECT AVG(VRTOTVENDA) " SALES BRANCH1},
          {"QTMEDIA", "SELECT AVG(QTITENS * 1.0) " SALES BRANCH1}},
         "SELECT COUNT(*) FROM (SELECT DISTINCT CDLOJA, DTVENDA " SALES BRANCH1 ")"},
    };

    const QString folder = testsupport::sourcePath(QStringLiteral("reports/Vnd025"));
    for (const ReportCase &c : cases) {
        SCOPED_TRACE(c.file);
        ui.clear();
        const ReportDefinition def = ReportDefinition::load(QDir(folder).filePath(QLatin1String(c.file)));
        std::shared_ptr<ReportDocument> document;
        try {
            document = ReportEngine::instance().build(nullptr, QStringLiteral("Vnd025"), def, paramsFor(def, c.params));
        } catch (const EHostError &e) {
            ADD_FAILURE() << e.message().toStdString();
            continue;
        }
        ASSERT_NE(document, nullptr);
        const ReportModel &model = document->model();
        ASSERT_GT(model.detailCount, 0) << "no rows: the check would prove nothing";
        const ReportLine *total = model.totalLine();
        ASSERT_NE(total, nullptr);
        for (const Check &check : c.totals) {
            qsizetype column = -1;
            for (qsizetype i = 0; i < model.layout.columns.size(); ++i) {
                if (model.layout.columns.at(i).field == QLatin1String(check.field))
                    column = i;
            }
            ASSERT_GE(column, 0) << check.field;
            EXPECT_NEAR(total->values.at(column).toDouble(), scalar(QLatin1String(check.sql)), 0.005) << check.field;
        }
        if (*c.detailRows) {
            EXPECT_EQ(model.detailCount, int(scalar(QLatin1String(c.detailRows))));
        }
        // subtotals of a grouped report add up to its total (quantities of several units: to the
        // totals of the units)
        if (model.layout.grouped()) {
            for (qsizetype col = 0; col < model.layout.columns.size(); ++col) {
                if (model.layout.columns.at(col).total != ReportColumn::Total::Sum)
                    continue;
                double sum = 0, units = 0;
                for (const ReportLine &line : model.lines) {
                    if (line.kind == ReportLine::Kind::Subtotal)
                        sum += line.values.at(col).toDouble();
                    if (line.kind == ReportLine::Kind::Total && &line != total)
                        units += line.values.at(col).toDouble();
                }
                EXPECT_NEAR(sum, total->values.at(col).isNull() ? units : total->values.at(col).toDouble(), 0.005)
                    << model.layout.columns.at(col).field.toStdString();
            }
        }
        EXPECT_GE(document->pageCount(), 1);
        EXPECT_EQ(model.layout.hasChart(), !document->chartImage().isNull());
        EXPECT_GE(document->headingPoints(), 8.0);
    }
}

// Grouped reports in a spreadsheet: each code with its names (from the tables, not the report's
// SQL), each unit of measure totalled apart, the shares adding up to 100 %; the workbook goes to the
// recalculation check with the totals the SQL gives (tests/recalc).
TEST_F(ReportsTest, WorkbooksNameTheGroupsAndTotalEachUnit)
{
#define ITEMS "FROM ITVENDA I JOIN PRODUTO P ON P.CDPRODUTO = I.CDPRODUTO JOIN VENDA V ON V.CDFILIAL = I.CDFILIAL " \
              "AND V.CDCAIXA = I.CDCAIXA AND V.NRVENDA = I.NRVENDA WHERE V.IDCANCELADA = 'N' " \
              "AND V.DTVENDA BETWEEN '2025-06-17' AND '2025-06-30' AND V.CDFILIAL = '0001' "
#define NAMED_SALES "FROM VENDA V LEFT JOIN CAIXA C ON C.CDFILIAL = V.CDFILIAL AND C.CDCAIXA = V.CDCAIXA " \
                    "LEFT JOIN LOJA L ON L.CDFILIAL = V.CDFILIAL AND L.CDLOJA = V.CDLOJA WHERE V.IDCANCELADA = 'N' " \
                    "AND V.DTVENDA BETWEEN '2025-06-17' AND '2025-06-30' AND V.CDFILIAL = '0001'"
    const Values base = with(baseFilters(), {{"MINUTOS", 60}});
    const struct
    {
        const char *file;
        const char *names;    // code and names of each group ("" = grouped by the hour, no names)
        const char *total;    // the value total
        const char *units;    // unit and quantity ("" = no quantity)
    } cases[] = {
        {"vendas_por_produto_hora.json", "SELECT CDARVPROD, NMPRODUTO FROM PRODUTO", "SELECT SUM(I.VRTOTITEM) " ITEMS,
         "SELECT P.SGUNIDADE, SUM(I.QTPRODUTO) " ITEMS "GROUP BY P.SGUNIDADE"},
        {"vendas_por_hora_produto.json", "", "SELECT SUM(I.VRTOTITEM) " ITEMS,
         "SELECT P.SGUNIDADE, SUM(I.QTPRODUTO) " ITEMS "GROUP BY P.SGUNIDADE"},
        {"vendas_por_dia_caixa.json",
         "SELECT DISTINCT V.CDCAIXA, COALESCE(C.NMCAIXA, 'Caixa não cadastrado'), COALESCE(L.NMLOJA, 'Loja não cadastrada') " NAMED_SALES,
         "SELECT SUM(VRTOTVENDA) " SALES BRANCH1, ""},
        {"vendas_por_hora_caixa.json",
         "SELECT DISTINCT V.CDCAIXA, COALESCE(C.NMCAIXA, 'Caixa não cadastrado'), COALESCE(L.NMLOJA, 'Loja não cadastrada') " NAMED_SALES,
         "SELECT SUM(VRTOTVENDA) " SALES BRANCH1, ""},
        {"vendas_por_hora_loja.json", "SELECT DISTINCT V.CDLOJA, COALESCE(L.NMLOJA, 'Loja não cadastrada') " NAMED_SALES,
         "SELECT SUM(VRTOTVENDA) " SALES BRANCH1, ""},
        {"ticket_medio_por_dia.json", "SELECT DISTINCT V.CDLOJA, COALESCE(L.NMLOJA, 'Loja não cadastrada') " NAMED_SALES,
         "SELECT SUM(VRTOTVENDA) " SALES BRANCH1, ""},
        {"vendas_por_hora.json", "", "SELECT SUM(VRTOTVENDA) " SALES BRANCH1, ""},
    };
#undef ITEMS
#undef NAMED_SALES
    auto rows = [](const QString &sql) {
        QList<QStringList> result;
        QSqlQuery q(QSqlDatabase::database(QLatin1String(kConnection), false));
        EXPECT_TRUE(q.exec(sql)) << sql.toStdString() << ": " << q.lastError().text().toStdString();
        while (q.next()) {
            QStringList row;
            for (int i = 0; i < q.record().count(); ++i)
                row << q.value(i).toString().trimmed();
            result << row;
        }
        return result;
    };
    const QString folder = testsupport::sourcePath(QStringLiteral("reports/Vnd025"));
    QTemporaryDir dir;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.file);
        const ReportDefinition def = ReportDefinition::load(QDir(folder).filePath(QLatin1String(c.file)));
        const std::shared_ptr<ReportDocument> document =
            ReportEngine::instance().build(nullptr, QStringLiteral("Vnd025"), def, paramsFor(def, base));
        ASSERT_NE(document, nullptr);
        const ReportModel &model = document->model();
        ASSERT_GT(model.detailCount, 0);
        auto columnOf = [&model](const char *field) {
            for (qsizetype i = 0; i < model.layout.columns.size(); ++i) {
                if (model.layout.columns.at(i).field == QLatin1String(field))
                    return i;
            }
            return qsizetype(-1);
        };
        auto labelOf = [&model, &columnOf](const char *field) { return model.layout.columns.value(columnOf(field)).label; };
        QJsonArray expected{QJsonObject{{u"row"_s, u"Total geral"_s}, {u"column"_s, labelOf("VRTOTAL")},
                                        {u"value"_s, scalar(QLatin1String(c.total))}},
                            QJsonObject{{u"column"_s, labelOf("PCTOTAL")}, {u"rowsSum"_s, true}, {u"value"_s, 1.0},
                                        {u"tolerance"_s, 1e-9}}};
        if (columnOf("PCTOTAL") < 0) {
            expected.removeLast();
        } else {
            // the shares as printed (page, CSV) add up to 100 %, each within a hundredth of its own
            const double whole = scalar(QLatin1String(c.total));
            double printed = 0;
            for (const ReportLine &l : model.lines) {
                if (l.kind != ReportLine::Kind::Detail)
                    continue;
                const double share = l.values.at(columnOf("PCTOTAL")).toDouble();
                EXPECT_NEAR(share, 100.0 * l.values.at(columnOf("VRTOTAL")).toDouble() / whole, 0.01);
                printed += std::round(share * 100.0) / 100.0; // as the page and the CSV print it
            }
            EXPECT_NEAR(printed, 100.0, 1e-6);
        }

        if (*c.names) {
            // every group's names are those of its code in the tables, in the CSV as in the sheet
            QHash<QString, QStringList> named;
            for (const QStringList &row : rows(QString::fromUtf8(c.names)))
                named.insert(row.first(), row.mid(1));
            ASSERT_EQ(model.layout.groupNames.size(), named.cbegin()->size());
            const QStringList csv = QString::fromUtf8(ReportExport::csvBytes(model).mid(3)).split(u"\r\n"_s);
            QStringList heading{model.layout.groupLabel};
            for (const auto &name : model.layout.groupNames)
                heading << name.second;
            EXPECT_TRUE(csv.first().startsWith(heading.join(u';') + u';')) << csv.first().toStdString();
            int line = 0;
            for (const ReportLine &l : model.lines) {
                if (l.kind != ReportLine::Kind::Detail)
                    continue;
                ++line;
                ASSERT_TRUE(named.contains(l.groupValue)) << l.groupValue.toStdString();
                EXPECT_EQ(l.groupNames, named.value(l.groupValue)) << l.groupValue.toStdString();
                EXPECT_TRUE(csv.at(line).contains(u';' + named.value(l.groupValue).join(u';') + u';')) << csv.at(line).toStdString();
            }
        }
        if (*c.units) {
            // one line per unit, none across them
            const QList<QStringList> units = rows(QString::fromUtf8(c.units));
            ASSERT_GE(units.size(), 2) << "a single unit: the check would prove nothing";
            const qsizetype quantity = columnOf("QTPRODUTO");
            EXPECT_FALSE(model.totalLine()->values.at(quantity).isValid()) << "a quantity total across units";
            EXPECT_EQ(std::count_if(model.lines.cbegin(), model.lines.cend(),
                                    [](const ReportLine &l) { return l.kind == ReportLine::Kind::Total; }),
                      units.size() + 1) << "a line per unit sold (an hour of zeros has none), then the grand total";
            for (const QStringList &unit : units) {
                const auto line = std::find_if(model.lines.cbegin(), model.lines.cend(), [&unit](const ReportLine &l) {
                    return l.kind == ReportLine::Kind::Total && l.unit == unit.first();
                });
                ASSERT_NE(line, model.lines.cend()) << unit.first().toStdString();
                EXPECT_EQ(line->caption, u"Total "_s + unit.first());
                EXPECT_NEAR(line->values.at(quantity).toDouble(), unit.at(1).toDouble(), 0.0005) << unit.first().toStdString();
                expected.append(QJsonObject{{u"row"_s, line->caption}, {u"column"_s, labelOf("QTPRODUTO")},
                                            {u"value"_s, unit.at(1).toDouble()}, {u"tolerance"_s, 0.0005}});
            }
        }
        const QString xlsx = dir.filePath(QString::fromLatin1(c.file).replace(u".json"_s, u".xlsx"_s));
        ReportExport::writeXlsx(model, xlsx);
        testsupport::keepWorkbook(xlsx, QJsonObject{{u"cells"_s, expected}});
    }
    // the heat map's grand total, recalculated, is the period's sales
    const ReportDefinition heat = ReportDefinition::load(QDir(folder).filePath(u"mapa_calor_dia_hora.json"_s));
    const std::shared_ptr<ReportDocument> map =
        ReportEngine::instance().build(nullptr, QStringLiteral("Vnd025"), heat, paramsFor(heat, base));
    ASSERT_NE(map, nullptr);
    const QString xlsx = dir.filePath(u"mapa_calor_dia_hora.xlsx"_s);
    ReportExport::writeXlsx(map->model(), xlsx);
    testsupport::keepWorkbook(
        xlsx, QJsonObject{{u"cells"_s, QJsonArray{QJsonObject{{u"row"_s, u"Total"_s}, {u"column"_s, u"Total do dia"_s},
                                                              {u"value"_s, scalar(u"SELECT SUM(VRTOTVENDA) " SALES BRANCH1 ""_s)}}}}});
}

// A day whose 15:00 sold nothing still lists 15:00 (every store its own), with zeros, and it is the
// worst hour; a day without a sale is a line of the day reports; the heat map has the 15:00 column.
// For the test, 24/06 from 15:00 to 15:59 and the whole of 25/06 are cancelled in branch 0001.
TEST_F(ReportsTest, HoursAndDaysWithoutSalesAreLines)
{
    QSqlDatabase db = QSqlDatabase::database(QLatin1String(kConnection), false);
    QSqlQuery q(db);
    ASSERT_TRUE(q.exec(QStringLiteral("CREATE TEMP TABLE QUIET AS SELECT CDCAIXA, NRVENDA FROM VENDA WHERE CDFILIAL = '0001' "
                                      "AND IDCANCELADA = 'N' AND ((DTVENDA = '2025-06-24' AND HRVENDA BETWEEN '1500' AND "
                                      "'1559') OR DTVENDA = '2025-06-25')")))
        << q.lastError().text().toStdString();
    ASSERT_GT(scalar(QStringLiteral("SELECT COUNT(*) FROM QUIET")), 0) << "nothing to cancel: the check would prove nothing";
    ASSERT_TRUE(q.exec(QStringLiteral("UPDATE VENDA SET IDCANCELADA = 'S' WHERE CDFILIAL = '0001' "
                                      "AND (CDCAIXA, NRVENDA) IN (SELECT CDCAIXA, NRVENDA FROM QUIET)")))
        << q.lastError().text().toStdString();
    struct Restore
    {
        QSqlDatabase db;
        ~Restore()
        {
            QSqlQuery(db).exec(QStringLiteral("UPDATE VENDA SET IDCANCELADA = 'N' WHERE CDFILIAL = '0001' "
                                              "AND (CDCAIXA, NRVENDA) IN (SELECT CDCAIXA, NRVENDA FROM QUIET)"));
            QSqlQuery(db).exec(QStringLiteral("DROP TABLE QUIET"));
        }
    } restore{db};

    const Values day = with(baseFilters(), {{"P_DTVENDAINI", QDate(2025, 6, 24)}, {"P_DTVENDAFIN", QDate(2025, 6, 24)},
                                            {"MINUTOS", 60}, {"MINUTOS1", 60}});
    const Values days = with(baseFilters(), {{"P_DTVENDAINI", QDate(2025, 6, 23)}, {"P_DTVENDAFIN", QDate(2025, 6, 26)},
                                             {"P_HRINI1", QStringLiteral("23/06/2025 00:00")},
                                             {"P_HRFIN1", QStringLiteral("26/06/2025 23:59")}});
    const struct
    {
        const char *file;
        Values params;
        const char *quiet;     // the first column of the quiet line
        const char *groups;    // SQL: how many groups each list it
        const char *worst;     // the worst hour, or "" for a day report
        const char *sold;      // SQL: the period's sales, to the cent
    } cases[] = {
        {"vendas_por_hora.json", day, "15:00 às 15:59", "SELECT 1", "Pior horário: 15:00 às 15:59 (R$ 0,00)",
         "SELECT SUM(VRTOTVENDA) FROM VENDA WHERE CDFILIAL = '0001' AND IDCANCELADA = 'N' AND DTVENDA = '2025-06-24'"},
        {"vendas_por_hora_loja.json", day, "15:00 às 15:59",
         "SELECT COUNT(DISTINCT CDLOJA) FROM VENDA WHERE CDFILIAL = '0001' AND IDCANCELADA = 'N' AND DTVENDA = '2025-06-24'",
         "Pior horário: 15:00 às 15:59 (R$ 0,00)",
         "SELECT SUM(VRTOTVENDA) FROM VENDA WHERE CDFILIAL = '0001' AND IDCANCELADA = 'N' AND DTVENDA = '2025-06-24'"},
        {"vendas_por_dia.json", days, "25/06/2025", "SELECT 1", "",
         "SELECT SUM(VRTOTVENDA) FROM VENDA WHERE CDFILIAL = '0001' AND IDCANCELADA = 'N' AND DTVENDA BETWEEN '2025-06-23' AND '2025-06-26'"},
        {"ticket_medio_por_dia.json", days, "25/06/2025",
         "SELECT COUNT(DISTINCT CDLOJA) FROM VENDA WHERE CDFILIAL = '0001' AND IDCANCELADA = 'N' AND DTVENDA BETWEEN '2025-06-23' AND '2025-06-26'",
         "",
         "SELECT SUM(VRTOTVENDA) FROM VENDA WHERE CDFILIAL = '0001' AND IDCANCELADA = 'N' AND DTVENDA BETWEEN '2025-06-23' AND '2025-06-26'"},
    };
    const QString folder = testsupport::sourcePath(QStringLiteral("reports/Vnd025"));
    for (const auto &c : cases) {
        SCOPED_TRACE(c.file);
        const ReportDefinition def = ReportDefinition::load(QDir(folder).filePath(QLatin1String(c.file)));
        const std::shared_ptr<ReportDocument> document =
            ReportEngine::instance().build(nullptr, QStringLiteral("Vnd025"), def, paramsFor(def, c.params));
        ASSERT_NE(document, nullptr);
        const ReportModel &model = document->model();
        int quiet = 0;
        for (const ReportLine &line : model.lines) {
            if (line.kind != ReportLine::Kind::Detail ||
                ReportFormat::cell(model.layout.columns.first(), line.values.first(), line.ends.first()) !=
                    QString::fromUtf8(c.quiet))
                continue;
            ++quiet;
            for (qsizetype col = 0; col < model.layout.columns.size(); ++col) {
                if (model.layout.columns.at(col).total == ReportColumn::Total::Sum) {
                    EXPECT_EQ(line.values.at(col).toDouble(), 0.0) << model.layout.columns.at(col).field.toStdString();
                }
            }
        }
        EXPECT_EQ(quiet, int(scalar(QLatin1String(c.groups))));
        EXPECT_TRUE(model.bestWorstText.contains(QString::fromUtf8(c.worst))) << model.bestWorstText.toStdString();
        qsizetype total = -1;
        for (qsizetype col = 0; col < model.layout.columns.size(); ++col) {
            if (model.layout.columns.at(col).field == u"VRTOTAL")
                total = col;
        }
        ASSERT_GE(total, 0);
        ASSERT_NE(model.totalLine(), nullptr);
        EXPECT_NEAR(model.totalLine()->values.at(total).toDouble(), scalar(QLatin1String(c.sold)), 0.005);
        if (model.layout.hasChart()) {
            const auto bar = std::find_if(model.chart.cbegin(), model.chart.cend(),
                                          [](const auto &b) { return b.first == u"15:00"; });
            ASSERT_NE(bar, model.chart.cend());
            EXPECT_EQ(bar->second, 0.0);
        }
    }

    // the heat map of that day: the 15:00 column, empty, the worst hour; its grand total the day's sales
    const ReportDefinition heat =
        ReportDefinition::load(QDir(folder).filePath(QStringLiteral("mapa_calor_dia_hora.json")));
    const std::shared_ptr<ReportDocument> map =
        ReportEngine::instance().build(nullptr, QStringLiteral("Vnd025"), heat, paramsFor(heat, day));
    ASSERT_NE(map, nullptr);
    const ReportMatrix &m = map->model().matrix;
    const int fifteen = int(m.columnNames.indexOf(u"15:00"_s));
    ASSERT_GE(fifteen, 0) << m.columnNames.join(u' ').toStdString();
    EXPECT_EQ(m.columnTotals.at(fifteen), 0.0);
    EXPECT_TRUE(map->model().bestWorstText.contains(u"Pior horário: 15:00 às 15:59 (R$ 0,00)"_s));
    EXPECT_NEAR(m.total, scalar(QLatin1String(cases[0].sold)), 0.005);
}

// The grouped reports on paper: each page opens with its group (continued or new), no title or
// lone subtotal is left at a page's edge, labels stay whole, and hour charts read HH:MM in order.
// With BO_REPORT_PDF_DIR set the PDFs are kept there to be looked at.
TEST_F(ReportsTest, GroupedReportsReadOnEveryPage)
{
    const Values base = baseFilters();
    const struct
    {
        const char *file;
        Values params;
    } cases[] = {
        {"vendas_por_hora_caixa.json", with(base, {{"MINUTOS", 30}})},
        {"vendas_por_dia_caixa.json", base},
        {"vendas_por_hora_loja.json", with(base, {{"MINUTOS", 15}})},
        {"vendas_por_hora_produto.json", with(base, {{"MINUTOS", 60}})},
        {"vendas_por_produto_hora.json", with(base, {{"MINUTOS", 120}})},
        {"vendas_por_hora_modalidade.json", with(base, {{"P_CDFILIAL", QStringLiteral("T")}, {"P_TCDFILIAL", QStringLiteral("T")}, {"MINUTOS", 30}})},
    };
    const QString keep = qEnvironmentVariable("BO_REPORT_PDF_DIR");
    const QString folder = testsupport::sourcePath(QStringLiteral("reports/Vnd025"));
    const QRegularExpression clock(QStringLiteral("^\\d\\d:\\d\\d$"));
    int continuations = 0;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.file);
        const ReportDefinition def = ReportDefinition::load(QDir(folder).filePath(QLatin1String(c.file)));
        const std::shared_ptr<ReportDocument> document =
            ReportEngine::instance().build(nullptr, QStringLiteral("Vnd025"), def, paramsFor(def, c.params));
        ASSERT_NE(document, nullptr);
        const ReportModel &model = document->model();
        ASSERT_TRUE(model.layout.grouped());
        ASSERT_GE(document->pageCount(), 2) << "too few rows to page: the check would prove nothing";
        QTemporaryDir dir;
        const QString pdf = (keep.isEmpty() ? dir.path() : keep) + u'/' + QString::fromLatin1(c.file).replace(u".json"_s, u".pdf"_s);
        ReportExport::writePdf(*document, pdf);

        QSet<QString> titles;
        for (const ReportLine &line : model.lines) {
            if (line.kind == ReportLine::Kind::GroupHeader)
                titles.insert(line.caption.simplified());
        }
        const QString continued = u" (continuação)"_s;
        const QString subtotal = u"Subtotal "_s + model.layout.groupLabel;
        QString open; // the group whose rows run on
        for (int page = 1; page <= document->pageCount(); ++page) {
            const QStringList body = pdfBodyLines(pdfText(pdf, page), model.layout.columns.first().label,
                                                  model.layout.columns.last().label);
            SCOPED_TRACE(testing::Message() << "page " << page << ":\n" << body.join(u'\n').toStdString());
            ASSERT_GE(body.size(), 2);
            if (page > 1) {
                if (body.first().endsWith(continued)) {
                    EXPECT_EQ(body.first().chopped(continued.size()), open);
                    EXPECT_FALSE(body.at(1).startsWith(subtotal)) << "a subtotal without a row of its own";
                    ++continuations;
                } else {
                    EXPECT_TRUE(titles.contains(body.first())) << "the page does not open with its group";
                    EXPECT_TRUE(open.isEmpty()) << "group " << open.toStdString() << " continues unnamed";
                }
            }
            EXPECT_FALSE(titles.contains(body.last())) << "a group title at the page's foot";
            for (const QString &line : body) {
                if (titles.contains(line))
                    open = line;
                if (line.contains(u"Subtotal")) {
                    EXPECT_TRUE(line.startsWith(subtotal + u' ')) << line.toStdString();
                    open.clear();
                }
                if (line.contains(u"Total geral")) {
                    EXPECT_TRUE(line.startsWith(u"Total geral ")) << line.toStdString();
                }
            }
        }
        if (model.layout.hasChart()) {
            // the axis under the bars: clock times, left to right in order, as text in the PDF
            QStringList axis;
            for (const QString &line : pdfText(pdf, 1).split(u'\n')) {
                const QStringList words = line.simplified().split(u' ', Qt::SkipEmptyParts);
                if (words.size() >= 3 && std::all_of(words.cbegin(), words.cend(), [&](const QString &w) { return clock.match(w).hasMatch(); }))
                    axis = words;
            }
            ASSERT_GE(axis.size(), 3) << pdfText(pdf, 1).toStdString();
            EXPECT_TRUE(std::is_sorted(axis.cbegin(), axis.cend())) << axis.join(u' ').toStdString();
            EXPECT_EQ(QSet<QString>(axis.cbegin(), axis.cend()).size(), axis.size()) << axis.join(u' ').toStdString();
        }
    }
    EXPECT_GT(continuations, std::size(cases)) << "few groups ran over a page: the check proved little";
}

TEST_F(ReportsTest, EveryDefinitionDeclaresWhatItsSqlUses)
{
    const ReportCatalog catalog =
        ReportCatalog::load(testsupport::sourcePath(QStringLiteral("reports")), QStringLiteral("Vnd025"));
    ASSERT_EQ(catalog.entries().size(), 14);
    QSet<QString> used;
    for (int i = 0; i < catalog.entries().size(); ++i) {
        const ReportDefinition def = ReportDefinition::load(catalog.pathOf(i));
        EXPECT_EQ(def.title, catalog.entries()[i].title);
        EXPECT_EQ(ReportEngine::validate(def), QString()) << def.title.toStdString();
        for (SqlDialect dialect : {SqlDialect::Default, SqlDialect::Oracle, SqlDialect::MSSQL, SqlDialect::InterBase}) {
            EXPECT_TRUE(def.sql.contains(dialect)) << def.title.toStdString();
            for (const QString &name : SqlText::toPositional(def.sqlFor(dialect)).names) {
                // a parameter with a default of the definition (a target) is no filter of the screen
                const bool ownDefault = std::any_of(def.params.cbegin(), def.params.cend(), [&name](const ReportParamDecl &d) {
                    return d.name == name && d.defaultValue.isValid();
                });
                if (!ownDefault)
                    used.insert(name);
            }
        }
    }
    // between them the reports use every filter the screen fills
    EXPECT_EQ(used.size(), 18) << QStringList(used.begin(), used.end()).join(u' ').toStdString();
}

} // namespace
