#include "errors.h"
#include "reportparams.h"

#include <QDate>
#include <gtest/gtest.h>

namespace {
const QStringList kAllNames{
    QStringLiteral("P_CDFILIAL"), QStringLiteral("P_TCDFILIAL"), QStringLiteral("P_TCDLOJA"),
    QStringLiteral("P_CDLOJA"),   QStringLiteral("P_TCDCAIXA"),  QStringLiteral("P_CDCAIXA"),
    QStringLiteral("P_DTVENDAINI"), QStringLiteral("P_DTVENDAFIN"), QStringLiteral("P_HRINI"),
    QStringLiteral("P_HRFIN"),    QStringLiteral("P_IDIMPHR"),   QStringLiteral("P_HRINI1"),
    QStringLiteral("P_HRFIN1"),   QStringLiteral("MINUTOS1"),    QStringLiteral("MINUTOS"),
    QStringLiteral("P_PRODINI"),  QStringLiteral("P_PRODFIN"),   QStringLiteral("P_IDCONSTXSERV")};

TParams declare(const QStringList &names)
{
    TParams params;
    for (const QString &n : names)
        params.CreateParam(n);
    return params;
}

// 01/12/2026 as the host's date value.
double dec1()
{
    return double(QDate(1899, 12, 30).daysTo(QDate(2026, 12, 1)));
}

FilterSnapshot filled()
{
    FilterSnapshot f;
    f.reportName = QStringLiteral("Vendas por Hora");
    f.filialText = QStringLiteral("0001");
    f.stFilial = QStringLiteral("T");
    f.stLoja = QStringLiteral("0000000001,0000000003");
    f.stCaixa = QStringLiteral("001,002");
    f.todasLoja = false;
    f.todosCaixa = false;
    f.dataIni = dec1();
    f.dataFin = dec1() + 6;
    f.dataIniShown = QStringLiteral("01/12/2026");
    f.dataFinShown = QStringLiteral("07/12/2026");
    f.horaIniText = QStringLiteral("0830");
    f.horaFinText = QStringLiteral("1745");
    f.horaIni = QStringLiteral("08");
    f.minIni = QStringLiteral("30");
    f.horaFin = QStringLiteral("17");
    f.minFin = QStringLiteral("45");
    f.intervaloText = QStringLiteral("0130");
    f.prodIni = QStringLiteral("0102003");
    f.prodFin = QStringLiteral("123");
    f.consideraServico = false;
    return f;
}

QString text(TParams &p, const char *name)
{
    return p.ParamByName(QString::fromLatin1(name)).AsString();
}

TEST(ReportParams, FilledScreenSetsEveryDeclaredParameterWithItsKind)
{
    TParams p = declare(kAllNames);
    BindReportParams(p, filled());
    EXPECT_EQ(text(p, "P_CDFILIAL"), QStringLiteral("0001"));
    EXPECT_EQ(p.ParamByName(QStringLiteral("P_TCDFILIAL")).kind(), TParam::Kind::Unassigned);
    EXPECT_EQ(text(p, "P_TCDLOJA"), QString());
    EXPECT_EQ(p.ParamByName(QStringLiteral("P_TCDLOJA")).kind(), TParam::Kind::Text); // empty text, not null
    EXPECT_EQ(text(p, "P_CDLOJA"), QStringLiteral("0000000001,0000000003"));
    EXPECT_EQ(text(p, "P_TCDCAIXA"), QString());
    EXPECT_EQ(text(p, "P_CDCAIXA"), QStringLiteral("001,002"));
    EXPECT_EQ(p.ParamByName(QStringLiteral("P_DTVENDAINI")).kind(), TParam::Kind::DateTime);
    EXPECT_EQ(p.ParamByName(QStringLiteral("P_DTVENDAINI")).AsDateTime(), calendarDateTime(QDate(2026, 12, 1)));
    EXPECT_EQ(p.ParamByName(QStringLiteral("P_DTVENDAFIN")).AsDateTime(), calendarDateTime(QDate(2026, 12, 7)));
    EXPECT_EQ(text(p, "P_HRINI"), QStringLiteral("0830"));
    EXPECT_EQ(text(p, "P_HRFIN"), QStringLiteral("1745"));
    EXPECT_EQ(text(p, "P_IDIMPHR"), QStringLiteral("S"));
    EXPECT_EQ(text(p, "P_HRINI1"), QStringLiteral("01/12/2026 08:30"));
    EXPECT_EQ(text(p, "P_HRFIN1"), QStringLiteral("07/12/2026 17:45"));
    EXPECT_EQ(p.ParamByName(QStringLiteral("MINUTOS1")).kind(), TParam::Kind::Integer);
    EXPECT_EQ(p.ParamByName(QStringLiteral("MINUTOS1")).AsInteger(), 90);
    EXPECT_EQ(p.ParamByName(QStringLiteral("MINUTOS")).AsInteger(), 90);
    EXPECT_EQ(text(p, "P_PRODINI"), QStringLiteral("0102003"));
    EXPECT_EQ(text(p, "P_PRODFIN"), QStringLiteral("123ZZZZZZZ"));
    EXPECT_EQ(text(p, "P_IDCONSTXSERV"), QStringLiteral("N"));
}

TEST(ReportParams, EmptyFieldsGiveTheDefaults)
{
    FilterSnapshot f;
    f.reportName = QStringLiteral("Vendas por Dia");
    f.dataIniShown = QStringLiteral("01/12/2026");
    f.dataFinShown = QStringLiteral("01/12/2026");
    f.horaIni = QStringLiteral("10"); // stale parts are not used while the field is empty
    TParams p = declare(kAllNames);
    BindReportParams(p, f);
    EXPECT_EQ(text(p, "P_CDFILIAL"), QString());
    EXPECT_EQ(p.ParamByName(QStringLiteral("P_CDFILIAL")).kind(), TParam::Kind::Text);
    EXPECT_EQ(text(p, "P_TCDLOJA"), QStringLiteral("T"));
    EXPECT_EQ(text(p, "P_CDLOJA"), QString());
    EXPECT_EQ(text(p, "P_TCDCAIXA"), QStringLiteral("T"));
    EXPECT_EQ(text(p, "P_HRINI"), QStringLiteral("0000"));
    EXPECT_EQ(text(p, "P_HRFIN"), QStringLiteral("2359"));
    EXPECT_EQ(text(p, "P_IDIMPHR"), QStringLiteral("N"));
    EXPECT_EQ(text(p, "P_HRINI1"), QStringLiteral("01/12/2026 00:00"));
    EXPECT_EQ(text(p, "P_HRFIN1"), QStringLiteral("01/12/2026 23:59"));
    EXPECT_EQ(p.ParamByName(QStringLiteral("MINUTOS1")).AsInteger(), 0);
    EXPECT_EQ(p.ParamByName(QStringLiteral("MINUTOS")).AsInteger(), 1);
    EXPECT_EQ(text(p, "P_PRODINI"), QString());
    EXPECT_EQ(text(p, "P_PRODFIN"), QStringLiteral("ZZZZZZZZZZ"));
    EXPECT_EQ(text(p, "P_IDCONSTXSERV"), QStringLiteral("S"));
}

TEST(ReportParams, IntervalInMinutes)
{
    const std::pair<const char *, std::pair<int, int>> cases[] = {
        {"", {0, 1}}, {"0130", {90, 90}}, {"0000", {0, 0}}, {"2359", {1439, 1439}}, {"01", {0, 1}}, {"0005", {5, 5}}};
    for (const auto &[interval, expected] : cases) {
        FilterSnapshot f;
        f.intervaloText = QString::fromLatin1(interval);
        TParams p = declare({QStringLiteral("MINUTOS1"), QStringLiteral("MINUTOS")});
        BindReportParams(p, f);
        EXPECT_EQ(p.ParamByName(QStringLiteral("MINUTOS1")).AsInteger(), expected.first) << interval;
        EXPECT_EQ(p.ParamByName(QStringLiteral("MINUTOS")).AsInteger(), expected.second) << interval;
    }
    // A text the interval check would have refused cannot be turned into minutes.
    FilterSnapshot bad;
    bad.intervaloText = QStringLiteral("ab12");
    TParams p = declare({QStringLiteral("MINUTOS")});
    EXPECT_THROW(BindReportParams(p, bad), EConvertError);
}

TEST(ReportParams, ProductEndIsPaddedToTenWithZ)
{
    const std::pair<const char *, const char *> cases[] = {
        {"", "ZZZZZZZZZZ"}, {"123", "123ZZZZZZZ"}, {"0102003004", "0102003004"}, {"010200300499", "010200300499"}};
    for (const auto &[end, expected] : cases) {
        FilterSnapshot f;
        f.prodFin = QString::fromLatin1(end);
        TParams p = declare({QStringLiteral("P_PRODFIN")});
        BindReportParams(p, f);
        EXPECT_EQ(text(p, "P_PRODFIN"), QString::fromLatin1(expected));
    }
}

TEST(ReportParams, HourModalityBranchParameters)
{
    struct Case
    {
        QStringList declared;
        const char *stFilial;
        const char *cd;  // nullptr: left untouched
        const char *tcd;
    };
    const Case cases[] = {
        {{QStringLiteral("P_CDFILIAL"), QStringLiteral("P_TCDFILIAL")}, "T", "T", "T"},
        {{QStringLiteral("P_CDFILIAL"), QStringLiteral("P_TCDFILIAL")}, "0002,0009", "0002,0009", "0002,0009"},
        {{QStringLiteral("P_TCDFILIAL")}, "0002", nullptr, "0002"},
        {{QStringLiteral("P_CDFILIAL")}, "0002", "0002", nullptr},
    };
    for (const Case &c : cases) {
        FilterSnapshot f;
        f.reportName = QStringLiteral("Vendas por Hora/Modalidade");
        f.filialText = QStringLiteral("0001");
        f.stFilial = QString::fromLatin1(c.stFilial);
        TParams p = declare(c.declared);
        BindReportParams(p, f);
        const TParam *cd = p.FindParam(QStringLiteral("P_CDFILIAL"));
        const TParam *tcd = p.FindParam(QStringLiteral("P_TCDFILIAL"));
        EXPECT_EQ(cd != nullptr, c.cd != nullptr);
        EXPECT_EQ(tcd != nullptr, c.tcd != nullptr);
        if (c.cd) {
            EXPECT_EQ(cd->AsString(), QString::fromLatin1(c.cd));
        }
        if (c.tcd) {
            EXPECT_EQ(tcd->AsString(), QString::fromLatin1(c.tcd));
        }
    }
}

TEST(ReportParams, OtherReportsLeaveTheTakeAllBranchAlone)
{
    FilterSnapshot f = filled();
    f.reportName = QStringLiteral("Resumo de Vendas - Consolidado");
    f.filialText = QStringLiteral("TODAS");
    TParams p = declare({QStringLiteral("P_CDFILIAL"), QStringLiteral("P_TCDFILIAL")});
    p.ParamByName(QStringLiteral("P_TCDFILIAL")).SetAsString(QStringLiteral("X"));
    BindReportParams(p, f);
    EXPECT_EQ(text(p, "P_CDFILIAL"), QStringLiteral("TODAS"));
    EXPECT_EQ(text(p, "P_TCDFILIAL"), QStringLiteral("X"));
}

TEST(ReportParams, PairsNeedBothNamesAndNothingElseIsTouched)
{
    const QStringList onlyOne[] = {{QStringLiteral("P_CDLOJA")}, {QStringLiteral("P_TCDLOJA")},
                                   {QStringLiteral("P_CDCAIXA")}, {QStringLiteral("P_TCDCAIXA")}};
    for (const QStringList &declared : onlyOne) {
        TParams p = declare(declared);
        BindReportParams(p, filled());
        EXPECT_EQ(p[0].kind(), TParam::Kind::Unassigned) << declared.first().toStdString();
    }
    TParams foreign = declare({QStringLiteral("P_OUTRO"), QStringLiteral("CDFILIAL")});
    BindReportParams(foreign, filled());
    EXPECT_EQ(foreign[0].kind(), TParam::Kind::Unassigned);
    EXPECT_EQ(foreign[1].kind(), TParam::Kind::Unassigned);
    TParams none;
    BindReportParams(none, filled());
    EXPECT_EQ(none.Count(), 0);
}

TEST(ReportParams, ServiceFeeFlagFollowsTheBox)
{
    for (bool checked : {true, false}) {
        FilterSnapshot f;
        f.consideraServico = checked;
        TParams p = declare({QStringLiteral("P_IDCONSTXSERV")});
        BindReportParams(p, f);
        EXPECT_EQ(text(p, "P_IDCONSTXSERV"), checked ? QStringLiteral("S") : QStringLiteral("N"));
    }
}
} // namespace
