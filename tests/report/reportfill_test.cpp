// Hours and days that sold nothing: each interval of the hour window and each day of the period is
// a line of zeros, in order, per group where the report is grouped by something else, and the best
// and worst hours consider them.

#include "enginetest.h"
#include "errors.h"
#include "reportdocument.h"
#include "reportformat.h"

using namespace enginetest;
using namespace Qt::StringLiterals;

namespace {

// The screen's hour window ("" for the whole day) and interval.
TParams hoursParams(const char *from, const char *to, int minutes)
{
    TParams params;
    const bool window = *from != 0;
    params.CreateParam(u"P_IDIMPHR"_s).SetAsString(window ? u"S"_s : u"N"_s);
    params.CreateParam(u"P_HRINI"_s).SetAsString(window ? QString::fromLatin1(from) : u"0000"_s);
    params.CreateParam(u"P_HRFIN"_s).SetAsString(window ? QString::fromLatin1(to) : u"2359"_s);
    params.CreateParam(u"MINUTOS"_s).SetAsInteger(minutes);
    return params;
}

const char *kHours = R"({"bestWorst": "VRTOTAL", "fill": {"hours": "HRINICIO", "end": "HRFIM", "step": "MINUTOS", "window": {"when": "P_IDIMPHR", "from": "P_HRINI", "to": "P_HRFIN"}},
    "columns": [{"field": "HRINICIO", "type": "interval", "end": "HRFIM"}, {"field": "QTVENDAS", "type": "integer", "total": true},
                {"field": "VRTOTAL", "type": "money", "total": true},
                {"field": "VRMEDIO", "type": "money", "total": {"ratio": ["VRTOTAL", "QTVENDAS"]}}],
    "chart": {"label": "HRINICIO", "value": "VRTOTAL"}})";
const char *kByStore = R"({"bestWorst": "VRTOTAL", "fill": {"hours": "HRINICIO", "end": "HRFIM", "step": "MINUTOS", "window": {"when": "P_IDIMPHR", "from": "P_HRINI", "to": "P_HRFIN"}},
    "group": {"field": "CDLOJA", "title": "Loja {CDLOJA} - {NMLOJA}", "label": "Loja"},
    "columns": [{"field": "HRINICIO", "type": "interval", "end": "HRFIM"}, {"field": "QTVENDAS", "type": "integer", "total": true},
                {"field": "VRTOTAL", "type": "money", "total": true},
                {"field": "VRMEDIO", "type": "money", "total": {"ratio": ["VRTOTAL", "QTVENDAS"]}}],
    "chart": {"label": "HRINICIO", "value": "VRTOTAL"}})";
const char *kByHour = R"({"bestWorst": "VRTOTAL", "fill": {"hours": "HRINICIO", "end": "HRFIM", "step": "MINUTOS", "window": {"when": "P_IDIMPHR", "from": "P_HRINI", "to": "P_HRFIN"}},
    "group": {"field": "HRINICIO", "type": "interval", "end": "HRFIM", "title": "Horário {HRINICIO}"},
    "columns": [{"field": "CDMODALIDADE"}, {"field": "QTVENDAS", "type": "integer", "total": true},
                {"field": "VRTOTAL", "type": "money", "total": true},
                {"field": "VRMEDIO", "type": "money", "total": {"ratio": ["VRTOTAL", "QTVENDAS"]}}],
    "chart": {"label": "HRINICIO", "value": "VRTOTAL"}})";
const char *kDays = R"({"fill": {"days": "DTVENDA", "period": {"from": "P_DTVENDAINI", "to": "P_DTVENDAFIN"}}, "group": {"field": "CDLOJA", "title": "Loja {CDLOJA}"},
    "columns": [{"field": "DTVENDA", "type": "date"}, {"field": "QTVENDAS", "type": "integer", "total": true},
                {"field": "VRTOTAL", "type": "money", "total": true},
                {"field": "VRMEDIO", "type": "money", "total": {"ratio": ["VRTOTAL", "QTVENDAS"]}}]})";

struct FillCase
{
    const char *what;
    const char *layout;
    TParams params;
    QStringList columns;
    QList<QVariantList> rows;
    QStringList lines; // detail lines: "group | first column | sales | total | mean"
    const char *bestWorst;
};

QStringList detailLines(const ReportModel &model)
{
    QStringList lines;
    for (const ReportLine &line : model.lines) {
        if (line.kind != ReportLine::Kind::Detail)
            continue;
        QStringList cells{line.group};
        for (qsizetype c = 0; c < model.layout.columns.size(); ++c)
            cells << ReportFormat::cell(model.layout.columns.at(c), line.values.value(c), line.ends.value(c));
        lines << cells.join(u" | "_s);
    }
    return lines;
}

TEST(ReportFill, EveryIntervalAndDayIsALine)
{
    const QStringList hours{u"HRINICIO"_s, u"HRFIM"_s, u"QTVENDAS"_s, u"VRTOTAL"_s, u"VRMEDIO"_s};
    const QStringList stores{u"CDLOJA"_s, u"NMLOJA"_s, u"HRINICIO"_s, u"HRFIM"_s, u"QTVENDAS"_s, u"VRTOTAL"_s, u"VRMEDIO"_s};
    const QStringList modes{u"HRINICIO"_s, u"HRFIM"_s, u"CDMODALIDADE"_s, u"QTVENDAS"_s, u"VRTOTAL"_s, u"VRMEDIO"_s};
    const QStringList days{u"CDLOJA"_s, u"DTVENDA"_s, u"QTVENDAS"_s, u"VRTOTAL"_s, u"VRMEDIO"_s};
    const TParams june = period(QDate(2025, 6, 1), QDate(2025, 6, 3));
    const FillCase cases[] = {
        // no window given: from the first to the last hour that sold, the quiet 10:00 the worst
        {"a quiet hour between the busy ones",
         kHours,
         hoursParams("", "", 0),
         hours,
         {{480, 539, 2, 100.0, 50.0}, {540, 599, 1, 5.0, 5.0}, {660, 719, 4, 200.0, 50.0}},
         {u" | 08:00 às 08:59 | 2 | 100,00 | 50,00"_s, u" | 09:00 às 09:59 | 1 | 5,00 | 5,00"_s,
          u" | 10:00 às 10:59 | 0 | 0,00 | "_s, u" | 11:00 às 11:59 | 4 | 200,00 | 50,00"_s},
         "Melhor horário: 11:00 às 11:59 (R$ 200,00) · Pior horário: 10:00 às 10:59 (R$ 0,00)"},
        {"the window given, at 30 minutes: its every interval",
         kHours,
         hoursParams("0700", "0845", 30),
         hours,
         {{450, 479, 1, 10.0, 10.0}},
         {u" | 07:00 às 07:29 | 0 | 0,00 | "_s, u" | 07:30 às 07:59 | 1 | 10,00 | 10,00"_s,
          u" | 08:00 às 08:29 | 0 | 0,00 | "_s, u" | 08:30 às 08:59 | 0 | 0,00 | "_s},
         "Melhor horário: 07:30 às 07:59 (R$ 10,00) · Pior horário: 07:00 às 07:29 (R$ 0,00)"},
        {"a night shift: after midnight first, by the clock",
         kHours,
         hoursParams("2200", "0159", 60),
         hours,
         {{1380, 1439, 3, 30.0, 10.0}},
         {u" | 00:00 às 00:59 | 0 | 0,00 | "_s, u" | 01:00 às 01:59 | 0 | 0,00 | "_s,
          u" | 22:00 às 22:59 | 0 | 0,00 | "_s, u" | 23:00 às 23:59 | 3 | 30,00 | 10,00"_s},
         "Melhor horário: 23:00 às 23:59 (R$ 30,00) · Pior horário: 00:00 às 00:59 (R$ 0,00)"},
        // every store gets the report's hours, under its own name
        {"each store every hour",
         kByStore,
         hoursParams("", "", 60),
         stores,
         {{u"01"_s, u"Centro"_s, 480, 539, 1, 10.0, 10.0},
          {u"01"_s, u"Centro"_s, 600, 659, 2, 40.0, 20.0},
          {u"02"_s, u"Norte"_s, 540, 599, 1, 7.0, 7.0}},
         {u"Loja 01 - Centro | 08:00 às 08:59 | 1 | 10,00 | 10,00"_s, u"Loja 01 - Centro | 09:00 às 09:59 | 0 | 0,00 | "_s,
          u"Loja 01 - Centro | 10:00 às 10:59 | 2 | 40,00 | 20,00"_s, u"Loja 02 - Norte | 08:00 às 08:59 | 0 | 0,00 | "_s,
          u"Loja 02 - Norte | 09:00 às 09:59 | 1 | 7,00 | 7,00"_s, u"Loja 02 - Norte | 10:00 às 10:59 | 0 | 0,00 | "_s},
         "Melhor horário: 10:00 às 10:59 (R$ 40,00) · Pior horário: 09:00 às 09:59 (R$ 7,00)"},
        // grouped by the hour: a quiet hour is a group of its own with one line of zeros
        {"an hour without payments among the hour groups",
         kByHour,
         hoursParams("", "", 60),
         modes,
         {{480, 539, u"1"_s, 1, 10.0, 10.0}, {480, 539, u"2"_s, 1, 15.0, 15.0}, {600, 659, u"1"_s, 2, 8.0, 4.0}},
         {u"Horário 08:00 às 08:59 | 1 | 1 | 10,00 | 10,00"_s, u"Horário 08:00 às 08:59 | 2 | 1 | 15,00 | 15,00"_s,
          u"Horário 09:00 às 09:59 |  | 0 | 0,00 | "_s, u"Horário 10:00 às 10:59 | 1 | 2 | 8,00 | 4,00"_s},
         "Melhor horário: 08:00 às 08:59 (R$ 25,00) · Pior horário: 09:00 às 09:59 (R$ 0,00)"},
        {"each store every day of the period",
         kDays,
         june,
         days,
         {{u"01"_s, u"2025-06-02"_s, 2, 30.0, 15.0}, {u"02"_s, u"2025-06-01"_s, 1, 5.0, 5.0}, {u"02"_s, u"2025-06-03"_s, 1, 6.0, 6.0}},
         {u"Loja 01 | 01/06/2025 | 0 | 0,00 | "_s, u"Loja 01 | 02/06/2025 | 2 | 30,00 | 15,00"_s,
          u"Loja 01 | 03/06/2025 | 0 | 0,00 | "_s, u"Loja 02 | 01/06/2025 | 1 | 5,00 | 5,00"_s,
          u"Loja 02 | 02/06/2025 | 0 | 0,00 | "_s, u"Loja 02 | 03/06/2025 | 1 | 6,00 | 6,00"_s},
         ""},
        // nothing sold at all: the report says so instead of a page of zeros
        {"no sales", kHours, hoursParams("0800", "1800", 60), hours, {}, {}, ""},
    };
    for (const FillCase &c : cases) {
        SCOPED_TRACE(c.what);
        ReportTable table;
        table.columns = c.columns;
        table.rows = c.rows;
        const ReportModel model = ReportModel::build(u"Vnd025"_s, definitionOf(c.layout), c.params, table);
        EXPECT_EQ(detailLines(model), c.lines);
        EXPECT_EQ(model.bestWorstText, QString::fromUtf8(c.bestWorst));
        // the totals are the sales' own: the zeros add nothing
        double sold = 0;
        for (const QVariantList &row : c.rows)
            sold += row.at(c.columns.indexOf(u"VRTOTAL"_s)).toDouble();
        if (const ReportLine *total = model.totalLine()) {
            EXPECT_DOUBLE_EQ(total->values.at(2).toDouble(), sold);
        }
    }
    // the chart has a bar for every interval, the quiet one at zero
    ReportTable table;
    table.columns = hours;
    table.rows = cases[0].rows;
    const ReportModel model = ReportModel::build(u"Vnd025"_s, definitionOf(kHours), cases[0].params, table);
    EXPECT_EQ(model.chart, (QList<QPair<QString, double>>{{u"08:00"_s, 100.0}, {u"09:00"_s, 5.0}, {u"10:00"_s, 0.0},
                                                          {u"11:00"_s, 200.0}}));
}

// The heat map's columns are the hours of the window, also one that sold nothing on any day: its
// cells stay empty, its total is zero and it is the worst hour.
TEST(ReportFill, HeatMapHasEveryHourOfTheWindow)
{
    const char *layout = R"({"orientation": "landscape", "bestWorst": "VRTOTAL", "fill": {"hours": "HRINICIO", "end": "HRFIM", "window": {"when": "P_IDIMPHR", "from": "P_HRINI", "to": "P_HRFIN"}},
        "matrix": {"row": "DIASEMANA", "rowNames": ["Domingo", "Segunda", "Terça", "Quarta", "Quinta", "Sexta", "Sábado"],
                   "column": "HRINICIO", "end": "HRFIM", "value": "VRTOTAL", "count": "QTVENDAS"}})";
    ReportTable table;
    table.columns = {u"DIASEMANA"_s, u"HRINICIO"_s, u"HRFIM"_s, u"QTVENDAS"_s, u"VRTOTAL"_s};
    table.rows = {{1, 480, 539, 3, 100.0}, {2, 600, 659, 1, 20.0}};
    const struct
    {
        const char *what;
        TParams params;
        QStringList columns;
        const char *bestWorst;
    } cases[] = {
        {"the first to the last hour that sold", hoursParams("", "", 0), {u"08:00"_s, u"09:00"_s, u"10:00"_s},
         "Melhor horário: 08:00 às 08:59 (R$ 100,00) · Pior horário: 09:00 às 09:59 (R$ 0,00)"},
        {"the window given", hoursParams("0700", "1130", 0), {u"07:00"_s, u"08:00"_s, u"09:00"_s, u"10:00"_s, u"11:00"_s},
         "Melhor horário: 08:00 às 08:59 (R$ 100,00) · Pior horário: 07:00 às 07:59 (R$ 0,00)"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const ReportModel model = ReportModel::build(u"Vnd025"_s, definitionOf(layout), c.params, table);
        const ReportMatrix &m = model.matrix;
        EXPECT_EQ(m.columnNames, c.columns);
        EXPECT_EQ(model.bestWorstText, QString::fromUtf8(c.bestWorst));
        const int nine = int(m.columnNames.indexOf(u"09:00"_s));
        for (int r = 0; r < m.rows(); ++r)
            EXPECT_FALSE(m.values.at(r).at(nine).has_value()) << r;
        EXPECT_EQ(m.columnTotals.at(nine), 0.0);
        EXPECT_DOUBLE_EQ(m.total, 120.0);
    }
}

TEST(ReportFill, DefinitionMistakesAreNamed)
{
    for (const char *layout : {R"({"fill": "HRINICIO"})", R"({"fill": {"hours": "A", "days": "B"}})",
                               R"({"fill": {"end": "HRFIM"}})", R"({"fill": {"hours": ""}})"}) {
        SCOPED_TRACE(layout);
        EXPECT_THROW(ReportLayout::fromJson(QJsonDocument::fromJson(QByteArray(layout)).object()), EHostError);
    }
    ReportTable table;
    table.columns = {u"HORA"_s, u"VRTOTAL"_s};
    table.rows = {{480, 1.0}};
    EXPECT_THROW(ReportModel::build(u"Vnd025"_s, definitionOf(R"({"fill": {"hours": "HRINICIO"}})"), TParams(), table),
                 EHostError);
}

} // namespace
