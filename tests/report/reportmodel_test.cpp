// Layout of report rows: groups, subtotals, totals, formats, filters and the chart series.

#include "enginetest.h"
#include "errors.h"
#include "reportchart.h"
#include "reportdocument.h"
#include "reportformat.h"

#include <QSet>

using namespace enginetest;

namespace {

ReportTable dailyTable()
{
    ReportTable table;
    table.columns = {QStringLiteral("CDFILIAL"), QStringLiteral("NMFILIAL"), QStringLiteral("DTVENDA"),
                     QStringLiteral("QTVENDAS"), QStringLiteral("VRTOTAL"), QStringLiteral("VRMEDIO")};
    auto row = [](const char *branch, const char *name, const char *date, int count, double total) {
        return QVariantList{QString::fromLatin1(branch), QString::fromUtf8(name), QString::fromLatin1(date), count, total,
                            total / count};
    };
    table.rows = {row("0001", "Centro", "2025-06-01", 10, 1500.50), row("0001", "Centro", "2025-06-02", 4, 320.25),
                  row("0002", "Norte", "2025-06-01", 7, 910.00), row("0002", "Norte", "2025-06-02", 1, 15.75),
                  row("0002", "Norte", "2025-06-03", 3, 240.00)};
    return table;
}

ReportDefinition withLayout(const char *layoutJson)
{
    ReportDefinition def;
    def.title = QStringLiteral("Teste");
    def.sql.insert(SqlDialect::Default, QStringLiteral("SELECT 1"));
    def.layout = QJsonDocument::fromJson(QByteArray(layoutJson)).object();
    return def;
}

TEST(ReportModel, GroupsGetSubtotalsAndTheReportAGrandTotal)
{
    const ReportModel model =
        ReportModel::build(QStringLiteral("Vnd025"), dailyDefinition(), TParams(), dailyTable());

    using K = ReportLine::Kind;
    struct Expected
    {
        K kind;
        const char *caption;
        double count; // QTVENDAS column (Subtotal/Total lines)
        double total; // VRTOTAL
        double mean;  // ratio column
    };
    const Expected expected[] = {
        {K::GroupHeader, "Filial 0001 - Centro", 0, 0, 0},
        {K::Detail, "", 10, 1500.50, 150.05},
        {K::Detail, "", 4, 320.25, 80.0625},
        {K::Subtotal, "Subtotal Filial 0001 - Centro", 14, 1820.75, 1820.75 / 14},
        {K::GroupHeader, "Filial 0002 - Norte", 0, 0, 0},
        {K::Detail, "", 7, 910.00, 130.0},
        {K::Detail, "", 1, 15.75, 15.75},
        {K::Detail, "", 3, 240.00, 80.0},
        {K::Subtotal, "Subtotal Filial 0002 - Norte", 11, 1165.75, 1165.75 / 11},
        // the mean of a total is total over count, never the sum of the means
        {K::Total, "Total geral", 25, 2986.50, 2986.50 / 25},
    };
    ASSERT_EQ(model.lines.size(), std::size(expected));
    EXPECT_EQ(model.detailCount, 5);
    for (size_t i = 0; i < std::size(expected); ++i) {
        const ReportLine &line = model.lines.at(qsizetype(i));
        const Expected &e = expected[i];
        EXPECT_EQ(line.kind, e.kind) << "line " << i;
        if (e.kind != K::Detail) {
            EXPECT_EQ(line.caption, QString::fromUtf8(e.caption)) << "line " << i;
        }
        if (e.kind != K::GroupHeader) {
            EXPECT_DOUBLE_EQ(line.values.at(1).toDouble(), e.count) << "line " << i;
            EXPECT_NEAR(line.values.at(2).toDouble(), e.total, 1e-9) << "line " << i;
            EXPECT_NEAR(line.values.at(3).toDouble(), e.mean, 1e-9) << "line " << i;
        }
    }
    EXPECT_EQ(model.lines.at(1).group, QStringLiteral("Filial 0001 - Centro"));
    EXPECT_EQ(model.lines.at(6).group, QStringLiteral("Filial 0002 - Norte"));
    EXPECT_EQ(model.lines.at(1).groupValue, QStringLiteral("0001"));
    EXPECT_EQ(model.lines.at(6).groupValue, QStringLiteral("0002"));
}

TEST(ReportModel, WithoutGroupOrTotalsNoExtraLinesAppear)
{
    struct Case
    {
        const char *layout;
        int lines;
        bool total;
    };
    const Case cases[] = {
        {R"({"columns": [{"field": "DTVENDA", "type": "date"}, {"field": "VRTOTAL", "type": "money", "total": true}]})", 6, true},
        {R"({"columns": [{"field": "DTVENDA", "type": "date"}, {"field": "VRTOTAL", "type": "money"}]})", 5, false},
        {R"({})", 5, false}, // every query column, as text
    };
    for (const Case &c : cases) {
        const ReportModel model = ReportModel::build({}, withLayout(c.layout), TParams(), dailyTable());
        EXPECT_EQ(model.lines.size(), c.lines) << c.layout;
        EXPECT_EQ(model.totalLine() != nullptr, c.total) << c.layout;
    }
    const ReportModel all = ReportModel::build({}, withLayout("{}"), TParams(), dailyTable());
    EXPECT_EQ(all.layout.columns.size(), 6);
}

TEST(ReportModel, LayoutMistakesAreNamed)
{
    struct Case
    {
        const char *layout;
        const char *mentions;
    };
    const Case cases[] = {
        {R"({"columns": [{"label": "Sem campo"}]})", "field"},
        {R"({"columns": [{"field": "VRTOTAL", "type": "moeda"}]})", "moeda"},
        {R"({"columns": [{"field": "NMFILIAL", "total": true}]})", "não é numérica"},
        {R"({"columns": [{"field": "VRTOTAL", "type": "money", "total": {"ratio": ["VRTOTAL"]}}]})", "ratio"},
        {R"({"columns": [{"field": "NAOEXISTE"}]})", "NAOEXISTE"},
        {R"({"columns": [{"field": "VRTOTAL", "type": "money", "total": {"ratio": ["VRTOTAL", "FALTA"]}}]})", "FALTA"},
        {R"({"group": "CDLOJA"})", "CDLOJA"},
        {R"({"group": {"field": "CDFILIAL", "title": "{NMLOJA}"}})", "NMLOJA"},
        {R"({"chart": {"label": "HORA"}})", "gráfico"},
        {R"({"columns": [{"field": "DTVENDA", "type": "interval"}]})", "end"},
        {R"({"columns": [{"field": "VRTOTAL", "type": "money", "decimals": 1}]})", "decimals"},
        {R"({"columns": [{"field": "VRTOTAL", "type": "number", "decimals": 1.5}]})", "decimals"},
    };
    for (const Case &c : cases) {
        try {
            ReportModel::build({}, withLayout(c.layout), TParams(), dailyTable());
            ADD_FAILURE() << "accepted: " << c.layout;
        } catch (const EHostError &e) {
            EXPECT_TRUE(e.message().contains(QString::fromUtf8(c.mentions))) << c.layout << " -> " << e.message().toStdString();
        }
    }
}

TEST(ReportFormat, CellsUseBrazilianConventions)
{
    struct Case
    {
        ReportColumn::Type type;
        QVariant value;
        QVariant end;
        bool thousands;
        const char *expected;
        int places = -1;
    };
    using T = ReportColumn::Type;
    const Case cases[] = {
        {T::Money, 1234567.891, {}, true, "1.234.567,89"},
        {T::Money, 1234.5, {}, false, "1234,50"},
        {T::Money, -0.004, {}, true, "0,00"},
        {T::Money, -12.5, {}, true, "-12,50"},
        // half a cent, however the sum behind it was added up: as the spreadsheet shows the cell
        {T::Money, 222.70 / 4, {}, true, "55,68"},
        {T::Money, (0.1 + 0.2 + 222.4) / 4, {}, true, "55,68"},
        {T::Money, 211.47 / 2, {}, true, "105,74"},
        {T::Money, -131.63 / 2, {}, true, "-65,82"},
        {T::Money, 55.674999, {}, true, "55,67"},
        {T::Integer, 12345, {}, true, "12.345"},
        {T::Number, 2.5, {}, true, "2,500"},
        {T::Number, 2.46, {}, true, "2,5", 1}, // "decimals": 1
        {T::Number, 1234.4, {}, true, "1.234", 0},
        {T::Percent, 12.345, {}, true, "12,35 %"},
        {T::Date, QStringLiteral("2025-06-01"), {}, true, "01/06/2025"},
        {T::Date, QDate(2024, 2, 29), {}, true, "29/02/2024"},
        {T::Hour, QStringLiteral("0830"), {}, true, "08:30"},
        {T::Minutes, 1439, {}, true, "23:59"},
        {T::Interval, 480, 509, true, "08:00 às 08:29"},
        {T::Text, QStringLiteral("  Loja 1  "), {}, true, "Loja 1"},
        {T::Money, QVariant(), {}, true, ""},
    };
    for (const Case &c : cases) {
        ReportColumn column;
        column.type = c.type;
        column.places = c.places;
        EXPECT_EQ(ReportFormat::cell(column, c.value, c.end, c.thousands), QString::fromUtf8(c.expected))
            << c.value.toString().toStdString();
    }
}

TEST(ReportModel, ChartSumsEachIntervalOverAllGroups)
{
    ReportTable table;
    table.columns = {QStringLiteral("CDLOJA"), QStringLiteral("HRINICIO"), QStringLiteral("HRFIM"), QStringLiteral("VRTOTAL")};
    table.rows = {{QStringLiteral("01"), 480, 539, 100.0}, {QStringLiteral("01"), 540, 599, 50.0},
                  {QStringLiteral("02"), 480, 539, 25.0},  {QStringLiteral("02"), 600, 659, 10.0}};
    const ReportModel model = ReportModel::build({}, withLayout(R"({
        "group": "CDLOJA",
        "columns": [{"field": "HRINICIO", "type": "interval", "end": "HRFIM"}, {"field": "VRTOTAL", "type": "money", "total": true}],
        "chart": {"label": "HRINICIO", "value": "VRTOTAL"}})"),
                                                 TParams(), table);
    const QList<QPair<QString, double>> expected{
        {QStringLiteral("08:00"), 125.0}, {QStringLiteral("09:00"), 50.0}, {QStringLiteral("10:00"), 10.0}};
    EXPECT_EQ(model.chart, expected);

}

} // namespace

// Bars side by side: each series sums its own column per label, in the labels' order; the drawing
// shows every series' colour and leaves a one-series chart with its one colour.
TEST(ReportModelPeriods, ChartSeriesSideBySide)
{
    const ReportDefinition def = withLayout(R"({
        "columns": [{"field": "HRINICIO", "type": "minutes"}, {"field": "A", "type": "money"}, {"field": "B", "type": "money"}],
        "chart": {"label": "HRINICIO", "series": [{"value": "A", "name": "Período"}, {"value": "B", "name": "Anterior"}]}
    })");
    ReportTable table;
    table.columns = {QStringLiteral("HRINICIO"), QStringLiteral("A"), QStringLiteral("B")};
    table.rows = {{720, 300.0, 100.0}, {480, 50.0, 200.0}, {720, 10.0, 0.0}};
    const ReportModel model = ReportModel::build(QStringLiteral("Vnd025"), def, TParams(), table);
    ASSERT_EQ(model.chart.size(), 2);
    EXPECT_EQ(model.chart.at(0).first, QStringLiteral("08:00"));
    ASSERT_EQ(model.chartSeries.size(), 2);
    EXPECT_EQ(model.chartSeries.at(0).values, (QList<double>{50.0, 310.0}));
    EXPECT_EQ(model.chartSeries.at(1).values, (QList<double>{200.0, 100.0}));
    EXPECT_EQ(model.chart.at(1).second, 310.0); // the first series is the chart's own value

    auto colours = [](const QImage &image) {
        QSet<QRgb> seen;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x)
                seen.insert(image.pixel(x, y));
        }
        return seen;
    };
    const QRgb first = qRgb(0x2E, 0x6D, 0xB4), second = qRgb(0xA7, 0xC3, 0xE2);
    const QSet<QRgb> both = colours(renderReportChart(model, 900, 260));
    EXPECT_TRUE(both.contains(first) && both.contains(second));
    ReportModel single = model;
    single.chartSeries.clear();
    const QSet<QRgb> one = colours(renderReportChart(single, 900, 260));
    EXPECT_TRUE(one.contains(first));
    EXPECT_FALSE(one.contains(second));
    // a series naming a missing column is the definition's fault, said as such
    ReportTable missing = table;
    missing.columns[2] = QStringLiteral("C");
    EXPECT_THROW(ReportModel::build(QStringLiteral("Vnd025"), def, TParams(), missing), EHostError);
}

namespace {

// The hour labels under the bars stay whole: none runs over an edge of the chart.
TEST(ReportChart, LabelsAreNeverCutAtTheEdges)
{
    const struct
    {
        int bars; // one every 15 minutes from 06:00
        int width, height;
    } cases[] = {{64, 900, 260}, {16, 300, 200}, {3, 140, 120}, {1, 90, 100}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.bars);
        ReportModel model;
        for (int i = 0; i < c.bars; ++i)
            model.chart.append({QTime(6, 0).addSecs(i * 900).toString(QStringLiteral("HH:mm")), 100.0 + i});
        const QImage image = renderReportChart(model, c.width, c.height);
        // The band of the labels, under the axis line.
        const int top = int(c.height * 0.91);
        auto inked = [&](int x) {
            for (int y = top; y < c.height; ++y) {
                if (qGray(image.pixel(x, y)) < 160)
                    return true;
            }
            return false;
        };
        EXPECT_FALSE(inked(c.width - 1) || inked(0)) << "a label runs over the edge";
        bool lastLabel = false;
        for (int x = c.width / 2; x < c.width && !lastLabel; ++x)
            lastLabel = inked(x);
        EXPECT_TRUE(lastLabel) << "no label under the last bars";
    }
}

} // namespace
