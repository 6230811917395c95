// "Caixas por Hora" on a tiny database whose counts are written out by hand: tickets per open
// register of each weekday and hour, the registers a target needs, and the lines marked over and
// under (in colour through the line's mark, in words in its text).

#include "enginetest.h"
#include "reportexport.h"
#include "reportsql.h"
#include "sqltext.h"

#include <QSqlQuery>
#include <QSqlRecord>

using namespace enginetest;
using namespace Qt::StringLiterals;

namespace {

class ReportRegisters : public EngineTest
{
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        QSqlQuery q(db());
        ASSERT_TRUE(q.exec(u"CREATE TABLE VENDA (CDFILIAL CHAR(4), CDLOJA CHAR(10), CDCAIXA CHAR(3), DTVENDA DATE, "
                           u"HRVENDA CHAR(4), IDCANCELADA CHAR(1), VRTOTVENDA REAL)"_s));
        // Monday 02/06: 12h register 001 three tickets, 002 two; 13h 001 one; a cancelled one on 003.
        // Monday 09/06: 12h register 001 four. Tuesday 03/06: 12h register 003 one. Another branch.
        const char *rows[] = {
            "'0001','L1','001','2025-06-02','1205','N'", "'0001','L1','001','2025-06-02','1230','N'",
            "'0001','L1','001','2025-06-02','1259','N'", "'0001','L1','002','2025-06-02','1210','N'",
            "'0001','L1','002','2025-06-02','1211','N'", "'0001','L1','001','2025-06-02','1300','N'",
            "'0001','L1','003','2025-06-02','1215','S'", "'0001','L1','001','2025-06-09','1201','N'",
            "'0001','L1','001','2025-06-09','1202','N'", "'0001','L1','001','2025-06-09','1203','N'",
            "'0001','L1','001','2025-06-09','1204','N'", "'0001','L1','003','2025-06-03','1240','N'",
            "'0002','L9','001','2025-06-02','1200','N'",
        };
        for (const char *row : rows)
            ASSERT_TRUE(q.exec(u"INSERT INTO VENDA VALUES (%1, 10)"_s.arg(QLatin1String(row))));
    }

    static ReportDefinition definition()
    {
        return ReportDefinition::load(testsupport::sourcePath(u"reports/Vnd025/caixas_por_hora.json"_s));
    }
};

struct Line
{
    int day, minute, days, tickets, registerHours, needed;
    ReportLine::Mark mark;
    const char *text;
};

struct Case
{
    const char *what;
    int target; // 0: the definition's default
    QList<Line> lines;
};

TEST_F(ReportRegisters, RegistersNeededAgainstCountsByHand)
{
    using M = ReportLine::Mark;
    // Monday 12h: 9 tickets over 2 Mondays on 3 register-hours (1,5 open, 2 rounded); 13h: 1 ticket,
    // 1 register-hour (0,5 open, 1 rounded). Tuesday 12h: 1 ticket on 1 register-hour.
    const Case cases[] = {
        // 30 a register-hour: one register is enough everywhere, two were open on Mondays at noon
        {"the default target of 30", 0,
         {{1, 720, 2, 9, 3, 1, M::Over, "▲ Sobra"}, {1, 780, 2, 1, 1, 1, M::None, "Adequado"},
          {2, 720, 1, 1, 1, 1, M::None, "Adequado"}}},
        // 2 a register-hour: 4,5 tickets an hour need 3 registers (2,25 rounded up)
        {"a target of 2", 2,
         {{1, 720, 2, 9, 3, 3, M::Under, "▼ Falta"}, {1, 780, 2, 1, 1, 1, M::None, "Adequado"},
          {2, 720, 1, 1, 1, 1, M::None, "Adequado"}}},
        {"a target of 1", 1,
         {{1, 720, 2, 9, 3, 5, M::Under, "▼ Falta"}, {1, 780, 2, 1, 1, 1, M::None, "Adequado"},
          {2, 720, 1, 1, 1, 1, M::None, "Adequado"}}},
    };
    const ReportDefinition def = definition();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        TParams params = def.makeParams();
        ASSERT_EQ(params.ParamByName(u"P_QTALVO"_s).AsInteger(), 30) << "the definition's default";
        if (c.target > 0)
            params.ParamByName(u"P_QTALVO"_s).SetAsInteger(c.target);
        params.ParamByName(u"P_CDFILIAL"_s).SetAsString(u"0001"_s);
        params.ParamByName(u"P_TCDLOJA"_s).SetAsString(u"T"_s);
        params.ParamByName(u"P_CDLOJA"_s).SetAsString(QString());
        params.ParamByName(u"P_DTVENDAINI"_s).SetAsDateTime(QDateTime(QDate(2025, 6, 1), QTime(0, 0)));
        params.ParamByName(u"P_DTVENDAFIN"_s).SetAsDateTime(QDateTime(QDate(2025, 6, 10), QTime(0, 0)));
        params.ParamByName(u"P_HRINI"_s).SetAsString(u"0000"_s);
        params.ParamByName(u"P_HRFIN"_s).SetAsString(u"2359"_s);
        params.ParamByName(u"P_IDIMPHR"_s).SetAsString(u"N"_s);

        const SqlText::Positional positional = SqlText::toPositional(def.sqlFor(SqlDialect::Default));
        const QVariantList values = ReportSql::bindValues(positional.names, params);
        QSqlQuery q(db());
        ASSERT_TRUE(q.prepare(positional.text)) << q.lastError().text().toStdString();
        for (qsizetype i = 0; i < values.size(); ++i)
            q.bindValue(int(i), values.at(i));
        ASSERT_TRUE(q.exec()) << q.lastError().text().toStdString();
        ReportTable table;
        for (int i = 0; i < q.record().count(); ++i)
            table.columns << q.record().fieldName(i);
        while (q.next()) {
            QVariantList row;
            for (int i = 0; i < q.record().count(); ++i)
                row << q.value(i);
            table.rows << row;
        }
        ASSERT_EQ(table.rows.size(), c.lines.size());
        const ReportModel model = ReportModel::build(u"Vnd025"_s, def, params, table);
        qsizetype at = 0;
        for (const ReportLine &line : model.lines) {
            if (line.kind != ReportLine::Kind::Detail)
                continue;
            const Line &want = c.lines.at(at);
            const QVariantList &row = table.rows.at(at++);
            SCOPED_TRACE(at);
            auto field = [&](const char *name) { return row.at(table.columnIndex(QLatin1String(name))); };
            EXPECT_EQ(field("DIASEMANA").toInt(), want.day);
            EXPECT_EQ(field("HRINICIO").toInt(), want.minute);
            EXPECT_EQ(field("QTDIAS").toInt(), want.days);
            EXPECT_EQ(field("QTVENDAS").toInt(), want.tickets);
            EXPECT_EQ(field("QTCAIXAHORA").toInt(), want.registerHours);
            EXPECT_DOUBLE_EQ(field("QTPORCAIXA").toDouble(), double(want.tickets) / want.registerHours);
            EXPECT_DOUBLE_EQ(field("QTABERTOS").toDouble(), double(want.registerHours) / want.days);
            EXPECT_EQ(field("QTNECESS").toInt(), want.needed);
            EXPECT_EQ(line.mark, want.mark);
            EXPECT_EQ(line.values.last().toString(), QString::fromUtf8(want.text));
        }
        EXPECT_EQ(at, c.lines.size());
        if (c.target == 2) {
            const QString xlsx = path(u"caixas.xlsx"_s);
            ReportExport::write(model, xlsx);
            testsupport::keepWorkbook(xlsx);
        }
    }
}

} // namespace
