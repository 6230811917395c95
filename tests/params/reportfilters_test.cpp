// What the screen's report parameters read as in a report's header.

#include "enginetest.h"
#include "errors.h"
#include "reportfilters.h"

using namespace enginetest;

namespace {

ReportLayout comparisonLayout()
{
    return ReportLayout::fromJson(QJsonDocument::fromJson(R"({
        "periods": [{"label": "Anterior", "shift": "previous"}, {"label": "52 semanas antes", "days": -364}]
    })").object());
}

TEST(ReportFilters, ParametersBecomeReadableLabels)
{
    struct Case
    {
        std::function<void(TParams &)> fill;
        QList<QPair<QString, QString>> expected;
    };
    auto text = [](TParams &p, const char *name, const char *value) {
        p.CreateParam(QString::fromLatin1(name)).SetAsString(QString::fromUtf8(value));
    };
    const Case cases[] = {
        {[&](TParams &p) {
             text(p, "P_CDFILIAL", "0001");
             text(p, "P_TCDLOJA", "T");
             text(p, "P_CDLOJA", "");
             text(p, "P_TCDCAIXA", "");
             text(p, "P_CDCAIXA", "001,003");
         },
         {{QStringLiteral("Filial"), QStringLiteral("0001")},
          {QStringLiteral("Lojas"), QStringLiteral("Todas")},
          {QStringLiteral("Caixas"), QStringLiteral("001, 003")}}},
        {[&](TParams &p) {
             text(p, "P_CDFILIAL", "T");
             text(p, "P_TCDFILIAL", "T");
         },
         {{QStringLiteral("Filial"), QStringLiteral("Todas")}}},
        {[&](TParams &p) {
             p.CreateParam(QStringLiteral("P_DTVENDAINI")).SetAsDateTime(QDateTime(QDate(2025, 6, 1), QTime(0, 0)));
             p.CreateParam(QStringLiteral("P_DTVENDAFIN")).SetAsDateTime(QDateTime(QDate(2025, 6, 30), QTime(0, 0)));
             text(p, "P_HRINI", "0830");
             text(p, "P_HRFIN", "1745");
             text(p, "P_IDIMPHR", "S");
             p.CreateParam(QStringLiteral("MINUTOS")).SetAsInteger(90);
         },
         {{QStringLiteral("Período"), QStringLiteral("01/06/2025 a 30/06/2025")},
          {QStringLiteral("Horário"), QStringLiteral("08:30 às 17:45")},
          {QStringLiteral("Intervalo"), QStringLiteral("1 h 30 min")}}},
        {[&](TParams &p) {
             text(p, "P_HRINI1", "01/06/2025 00:00");
             text(p, "P_HRFIN1", "30/06/2025 23:59");
             text(p, "P_IDIMPHR", "N");
             p.CreateParam(QStringLiteral("MINUTOS")).SetAsInteger(1); // no interval typed: by hour
             text(p, "P_IDCONSTXSERV", "N");
         },
         {{QStringLiteral("Período"), QStringLiteral("01/06/2025 00:00 a 30/06/2025 23:59")},
          {QStringLiteral("Horário"), QStringLiteral("Dia inteiro")},
          {QStringLiteral("Intervalo"), QStringLiteral("1 h")},
          {QStringLiteral("Taxas de serviço e entrega"), QStringLiteral("Não incluídas")}}},
        {[&](TParams &p) {
             text(p, "P_PRODINI", "1.01");
             text(p, "P_PRODFIN", "1.02ZZZZZZ");
         },
         {{QStringLiteral("Produtos"), QStringLiteral("1.01 a 1.02")}}},
        {[&](TParams &p) {
             text(p, "P_PRODINI", "");
             text(p, "P_PRODFIN", "ZZZZZZZZZZ");
             p.CreateParam(QStringLiteral("MINUTOS")).SetAsInteger(15);
             text(p, "P_IDCONSTXSERV", "S");
         },
         {{QStringLiteral("Intervalo"), QStringLiteral("15 minutos")},
          {QStringLiteral("Produtos"), QStringLiteral("Todos")},
          {QStringLiteral("Taxas de serviço e entrega"), QStringLiteral("Incluídas")}}},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        TParams params;
        cases[i].fill(params);
        EXPECT_EQ(ReportFilters::fromParams(params), cases[i].expected) << "case " << i;
    }
}

TEST(ReportFilters, FilterTextsShowProductCodesThroughTheCodeMask)
{
    const QString mask = QStringLiteral("99.99.999;0;_");
    const struct
    {
        const char *first;
        const char *last; // as the screen sends it: padded with Z
        QString shown;
    } cases[] = {
        {"0101001", "0102003ZZZ", QStringLiteral("01.01.001 a 01.02.003")},
        {"0101", "0102ZZZZZZ", QStringLiteral("01.01 a 01.02")}, // branches of the tree
        {"", "0102003ZZZ", QStringLiteral("até 01.02.003")},
        {"0101001", "ZZZZZZZZZZ", QStringLiteral("a partir de 01.01.001")},
        {"", "ZZZZZZZZZZ", QStringLiteral("Todos")},
    };
    for (const auto &c : cases) {
        TParams params;
        params.CreateParam(QStringLiteral("P_PRODINI")).SetAsString(QString::fromLatin1(c.first));
        params.CreateParam(QStringLiteral("P_PRODFIN")).SetAsString(QString::fromLatin1(c.last));
        const QList<QPair<QString, QString>> expected{{QStringLiteral("Produtos"), c.shown}};
        EXPECT_EQ(ReportFilters::fromParams(params, mask), expected) << c.first << " " << c.last;
    }
}

// The periods the header names: the one before is the calendar month(s) before whole months, else
// the days of equal length ending the day before (whole Monday-to-Sunday weeks: the weeks before),
// named by its rule; 52 weeks earlier keeps each weekday (a leap day in between does not move it).
TEST(ReportFilters, PeriodsDerivedFromTheChosenPeriod)
{
    const struct
    {
        QDate from, to;
        const char *before, *year;
    } cases[] = {
        {QDate(2025, 6, 1), QDate(2025, 6, 7), "os 7 dias anteriores, 25/05/2025 a 31/05/2025", "02/06/2024 a 08/06/2024"},
        {QDate(2025, 3, 1), QDate(2025, 3, 1), "dia anterior, 28/02/2025 a 28/02/2025", "02/03/2024 a 02/03/2024"},
        {QDate(2025, 1, 1), QDate(2025, 1, 31), "mês anterior, 01/12/2024 a 31/12/2024", "03/01/2024 a 02/02/2024"},
        {QDate(2024, 3, 1), QDate(2024, 3, 10), "os 10 dias anteriores, 20/02/2024 a 29/02/2024", "03/03/2023 a 12/03/2023"},
        // a 30-day month after a 31-day one: all of October, not 30 days back
        {QDate(2026, 11, 1), QDate(2026, 11, 30), "mês anterior, 01/10/2026 a 31/10/2026", "02/11/2025 a 01/12/2025"},
        {QDate(2025, 3, 1), QDate(2025, 3, 31), "mês anterior, 01/02/2025 a 28/02/2025", "02/03/2024 a 01/04/2024"},
        {QDate(2026, 10, 1), QDate(2026, 11, 30), "os 2 meses anteriores, 01/08/2026 a 30/09/2026", "02/10/2025 a 01/12/2025"},
        // whole months that are also whole weeks (February 2027, Monday to Sunday) go by the month
        {QDate(2027, 2, 1), QDate(2027, 2, 28), "mês anterior, 01/01/2027 a 31/01/2027", "02/02/2026 a 01/03/2026"},
        {QDate(2026, 11, 16), QDate(2026, 11, 22), "semana anterior, 09/11/2026 a 15/11/2026", "17/11/2025 a 23/11/2025"},
        {QDate(2026, 11, 2), QDate(2026, 11, 15), "as 2 semanas anteriores, 19/10/2026 a 01/11/2026", "03/11/2025 a 16/11/2025"},
        // a week from Tuesday is no calendar week: seven days before
        {QDate(2026, 11, 17), QDate(2026, 11, 23), "os 7 dias anteriores, 10/11/2026 a 16/11/2026", "18/11/2025 a 24/11/2025"},
    };
    const ReportLayout layout = comparisonLayout();
    for (const auto &c : cases) {
        const auto shown = ReportFilters::derivedPeriods(layout, period(c.from, c.to));
        ASSERT_EQ(shown.size(), 2);
        EXPECT_EQ(shown.at(0), (QPair<QString, QString>{QStringLiteral("Anterior"), QString::fromUtf8(c.before)}));
        EXPECT_EQ(shown.at(1).second, QString::fromLatin1(c.year));
        EXPECT_EQ(QDate::fromString(shown.at(1).second.left(10), QStringLiteral("dd/MM/yyyy")).dayOfWeek(), c.from.dayOfWeek());
    }
    // no dates, no derived periods (and no invented ones)
    EXPECT_TRUE(ReportFilters::derivedPeriods(layout, TParams()).isEmpty());
    // a period entry that says neither how to move is refused when the layout is read
    for (const char *bad : {R"({"periods": [{"label": "X"}]})", R"({"periods": [{"shift": "previous"}]})",
                            R"({"periods": {"label": "X", "days": 7}})"})
        EXPECT_THROW(ReportLayout::fromJson(QJsonDocument::fromJson(bad).object()), EHostError) << bad;
}

} // namespace

namespace {

TEST(ReportFilters, CodesReadWithTheNamesTheLookupsShowed)
{
    ReportFilters::Names names;
    names.filiais = {{QStringLiteral("0001"), QStringLiteral("São Paulo - Centro")}};
    names.lojas = {{QStringLiteral("0000000001"), QStringLiteral("Loja Centro")}};
    names.caixas = {{QStringLiteral("001"), QStringLiteral("Caixa 1")}, {QStringLiteral("002"), QStringLiteral("  ")}};
    const struct
    {
        const char *param;
        const char *value;
        QPair<QString, QString> expected;
    } cases[] = {
        {"P_CDFILIAL", "0001", {QStringLiteral("Filial"), QStringLiteral("0001 - São Paulo - Centro")}},
        {"P_CDFILIAL", "0001,0003", {QStringLiteral("Filial"), QStringLiteral("0001 - São Paulo - Centro, 0003")}},
        {"P_CDFILIAL", "TODAS", {QStringLiteral("Filial"), QStringLiteral("Todas")}}, // never "TODAS - …"
        {"P_CDLOJA", "0000000001", {QStringLiteral("Lojas"), QStringLiteral("0000000001 - Loja Centro")}},
        // a blank name is no name; a branch's name does not name a register of the same code
        {"P_CDCAIXA", "001,002,0001", {QStringLiteral("Caixas"), QStringLiteral("001 - Caixa 1, 002, 0001")}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.param) + "=" + c.value);
        TParams params;
        params.CreateParam(QString::fromLatin1(c.param)).SetAsString(QString::fromLatin1(c.value));
        const auto filters = ReportFilters::fromParams(params, {}, names);
        ASSERT_EQ(filters.size(), 1);
        EXPECT_EQ(filters.first(), c.expected);
    }
}

} // namespace
