// "Comparativo por Hora" on a demo database of more than a year, on SQLite and on Firebird: each
// hour's sales of the period, of the period before it and of the same weekdays 52 weeks earlier,
// against SQL written by hand over VENDA with the three periods' dates spelled out; the header,
// the chart and the files of the same report through the engine.

#include "demo/demotestdb.h"
#include "enginetest.h"
#include "errors.h"
#include "reportdocument.h"
#include "reportexport.h"
#include "reportsql.h"
#include "sqltext.h"

#include <QDir>
#include <cmath>
#include <map>

using namespace enginetest;
using namespace Qt::StringLiterals;

namespace {

DatabaseConfig yearConfig(const QString &driver, const QString &path)
{
    DatabaseConfig c;
    c.driver = driver;
    c.name = path;
    c.createIfMissing = true;
    return c;
}

// 400 days up to 30/06/2025: a week of June 2025 has its 52 weeks earlier in June 2024, and
// May 2025's 52 weeks earlier fall before the first sale (a base of zero).
DemoSize yearSize()
{
    DemoSize size = DemoSize::tiny(6000);
    size.days = 400;
    return size;
}

class ReportCompare : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        sDir = new QTemporaryDir;
        sSqlite = yearConfig(u"QSQLITE"_s, sDir->filePath(u"year.sqlite"_s));
        sFirebird = yearConfig(u"QIBASE"_s, sDir->filePath(u"year.fdb"_s));
        createDemoDatabase(sSqlite, yearSize(), 5);
        createDemoDatabase(sFirebird, yearSize(), 5);
    }
    static void TearDownTestSuite()
    {
        delete sDir;
        sDir = nullptr;
    }
    static ReportDefinition definition()
    {
        return ReportDefinition::load(testsupport::sourcePath(u"reports/Vnd025/comparativo_por_hora.json"_s));
    }

    static inline QTemporaryDir *sDir = nullptr;
    static inline DatabaseConfig sSqlite, sFirebird;
};

struct Filters
{
    QDate from, to;
    QString hourFrom = u"0000"_s, hourTo = u"2359"_s; // "S" window when not the whole day
    QString stores;                                     // empty: every store
};

// As the screen fills them: the report takes only the names it declares.
TParams paramsFor(const ReportDefinition &def, const Filters &f)
{
    TParams params = def.makeParams();
    auto set = [&params](const QString &name, const QString &text) {
        if (TParam *p = params.FindParam(name))
            p->SetAsString(text);
    };
    set(u"P_CDFILIAL"_s, u"0001"_s);
    set(u"P_TCDLOJA"_s, f.stores.isEmpty() ? u"T"_s : QString());
    set(u"P_CDLOJA"_s, f.stores);
    set(u"P_HRINI"_s, f.hourFrom);
    set(u"P_HRFIN"_s, f.hourTo);
    set(u"P_IDIMPHR"_s, f.hourFrom == u"0000" && f.hourTo == u"2359" ? u"N"_s : u"S"_s);
    params.FindParam(u"P_DTVENDAINI"_s)->SetAsDateTime(QDateTime(f.from, QTime(0, 0)));
    params.FindParam(u"P_DTVENDAFIN"_s)->SetAsDateTime(QDateTime(f.to, QTime(0, 0)));
    return params;
}

using Rows = QList<QVariantList>;

Rows reportRows(const DemoConnection &db, const QString &sql, const TParams &params, QString *error)
{
    const SqlText::Positional positional = SqlText::toPositional(sql);
    const QVariantList values = ReportSql::bindValues(positional.names, params);
    QSqlQuery query(db.db());
    query.setForwardOnly(true);
    Rows rows;
    if (!query.prepare(positional.text)) {
        *error = query.lastError().text();
        return rows;
    }
    for (qsizetype i = 0; i < values.size(); ++i)
        query.bindValue(int(i), values.at(i));
    if (!query.exec()) {
        *error = query.lastError().text();
        return rows;
    }
    while (query.next()) {
        QVariantList row;
        for (int i = 0; i < query.record().count(); ++i)
            row << query.value(i);
        rows << row;
    }
    return rows;
}

// Sales per hour of the day ("08" -> total) between two dates, written from the schema alone;
// `what` is the summed expression, `byStore` adds the store to the hour ("08 0000000002").
std::map<QString, double> byHour(const DemoConnection &db, bool firebird, const char *from, const char *to,
                                 const Filters &f, const QString &what, bool byStore = false)
{
    const QString hour = firebird ? u"SUBSTRING(HRVENDA FROM 1 FOR 2)"_s : u"SUBSTR(HRVENDA, 1, 2)"_s;
    const QString key = byStore ? hour + u", CDLOJA"_s : hour;
    const QString date = firebird ? u"DATE '%1'"_s : u"'%1'"_s;
    QString sql = u"SELECT %1, %4 FROM VENDA WHERE CDFILIAL = '0001' AND IDCANCELADA = 'N' "
                  u"AND DTVENDA BETWEEN %2 AND %3"_s.arg(key, date.arg(QLatin1String(from)), date.arg(QLatin1String(to)), what);
    if (f.hourFrom != u"0000" || f.hourTo != u"2359")
        sql += u" AND HRVENDA BETWEEN '%1' AND '%2'"_s.arg(f.hourFrom, f.hourTo);
    if (!f.stores.isEmpty())
        sql += u" AND CDLOJA IN ('%1')"_s.arg(f.stores.split(u',').join(u"', '"_s));
    sql += u" GROUP BY %1"_s.arg(key);
    QSqlQuery q(db.db());
    std::map<QString, double> sums;
    if (!q.exec(sql)) {
        ADD_FAILURE() << sql.toStdString() << ": " << q.lastError().text().toStdString();
        return sums;
    }
    while (q.next())
        sums[QString::number(q.value(0).toString().toInt()) + (byStore ? u' ' + q.value(1).toString().trimmed() : QString())] =
            q.value(byStore ? 2 : 1).toDouble();
    return sums;
}

std::map<int, double> salesByHour(const DemoConnection &db, bool firebird, const char *from, const char *to,
                                  const Filters &f, const QString &what = u"SUM(VRTOTVENDA)"_s)
{
    std::map<int, double> sums;
    for (const auto &[hour, value] : byHour(db, firebird, from, to, f, what))
        sums[hour.toInt()] = value;
    return sums;
}

qint64 cents(double value)
{
    return std::llround(value * 100.0);
}

struct CompareCase
{
    const char *what;
    Filters filters;
    // the three periods, as a person counts them on a calendar
    const char *from, *to, *beforeFrom, *beforeTo, *yearFrom, *yearTo;
    bool yearEmpty; // 52 weeks earlier falls before the first sale
};

const CompareCase kCases[] = {
    {"a week, Monday to Sunday", {QDate(2025, 6, 16), QDate(2025, 6, 22), u"0000"_s, u"2359"_s, {}},
     "2025-06-16", "2025-06-22", "2025-06-09", "2025-06-15", "2024-06-17", "2024-06-23", false},
    {"ten days over a month's end, lunch hours, two stores",
     {QDate(2025, 6, 5), QDate(2025, 6, 14), u"1100"_s, u"1459"_s, u"0000000001,0000000002"_s},
     "2025-06-05", "2025-06-14", "2025-05-26", "2025-06-04", "2024-06-06", "2024-06-15", false},
    // whole calendar months: the months before, whatever their length (30 days back from June
    // would start on 02/05)
    {"June, a month of 30 days after one of 31", {QDate(2025, 6, 1), QDate(2025, 6, 30), u"0000"_s, u"2359"_s, {}},
     "2025-06-01", "2025-06-30", "2025-05-01", "2025-05-31", "2024-06-02", "2024-07-01", false},
    {"April and May, evenings", {QDate(2025, 4, 1), QDate(2025, 5, 31), u"1800"_s, u"2359"_s, {}},
     "2025-04-01", "2025-05-31", "2025-02-01", "2025-03-31", "2024-04-02", "2024-06-01", false},
    {"a week whose 52 weeks earlier have no sales", {QDate(2025, 5, 12), QDate(2025, 5, 18), u"0000"_s, u"2359"_s, {}},
     "2025-05-12", "2025-05-18", "2025-05-05", "2025-05-11", "2024-05-13", "2024-05-19", true},
};

// Each case on both engines, under their traces: `check(case, connection, firebird)`; a failed
// assertion ends that case's check only.
template <typename Check>
void onBothEngines(const DatabaseConfig &sqlite, const DatabaseConfig &firebird, Check &&check)
{
    const DemoConnection lite(sqlite), fb(firebird);
    ASSERT_TRUE(lite.isOpen()) << lite.error().toStdString();
    ASSERT_TRUE(fb.isOpen()) << fb.error().toStdString();
    for (const CompareCase &c : kCases) {
        SCOPED_TRACE(c.what);
        for (const DemoConnection *db : {&lite, &fb}) {
            SCOPED_TRACE(db == &fb ? "Firebird" : "SQLite");
            check(c, *db, db == &fb);
        }
    }
}

// Every hour of the three periods, each column to the cent, both variations (empty over a base of
// zero), on both engines.
TEST_F(ReportCompare, EachHourAgainstHandWrittenSql)
{
    const ReportDefinition def = definition();
    onBothEngines(sSqlite, sFirebird, [&def](const CompareCase &c, const DemoConnection &connection, bool firebird) {
        const DemoConnection *db = &connection;
        QString error;
        const Rows rows = reportRows(*db, def.sqlFor(firebird ? SqlDialect::InterBase : SqlDialect::Default),
                                     paramsFor(def, c.filters), &error);
        ASSERT_TRUE(error.isEmpty()) << error.toStdString();
        const auto now = salesByHour(*db, firebird, c.from, c.to, c.filters);
        const auto before = salesByHour(*db, firebird, c.beforeFrom, c.beforeTo, c.filters);
        const auto year = salesByHour(*db, firebird, c.yearFrom, c.yearTo, c.filters);
        const auto ticketsNow = salesByHour(*db, firebird, c.from, c.to, c.filters, u"COUNT(*)"_s);
        const auto ticketsBefore = salesByHour(*db, firebird, c.beforeFrom, c.beforeTo, c.filters, u"COUNT(*)"_s);
        // each store's change in each hour: the one of the largest size moved the hour most
        auto storesNow = byHour(*db, firebird, c.from, c.to, c.filters, u"SUM(VRTOTVENDA)"_s, true);
        const auto storesBefore = byHour(*db, firebird, c.beforeFrom, c.beforeTo, c.filters, u"SUM(VRTOTVENDA)"_s, true);
        for (const auto &[key, v] : storesBefore)
            storesNow[key] -= v;
        ASSERT_FALSE(now.empty() || before.empty()) << "no sales: the check would prove nothing";
        EXPECT_EQ(year.empty(), c.yearEmpty);
        std::map<int, int> hours; // every hour with sales in any of the three periods
        for (const auto *sums : {&now, &before, &year}) {
            for (const auto &[h, v] : *sums)
                hours[h] = 0;
        }
        ASSERT_EQ(rows.size(), qsizetype(hours.size()));
        bool zeroBaseSeen = c.yearEmpty;
        qsizetype i = 0;
        for (const auto &[h, unused] : hours) {
            const QVariantList &row = rows.at(i++);
            SCOPED_TRACE(h);
            // HRINICIO HRFIM VRATUAL VRANTERIOR DFANTERIOR PCANTERIOR VRANOANT DFANOANT PCANOANT
            // QTATUAL QTANTERIOR CDLOJAMOV NMLOJAMOV DFLOJAMOV
            ASSERT_EQ(row.size(), 14);
            EXPECT_EQ(row.at(0).toInt(), h * 60);
            EXPECT_EQ(row.at(1).toInt(), h * 60 + 59);
            const double a = now.count(h) ? now.at(h) : 0, b = before.count(h) ? before.at(h) : 0,
                         y = year.count(h) ? year.at(h) : 0;
            EXPECT_NEAR(row.at(2).toDouble(), a, 0.005);
            EXPECT_NEAR(row.at(3).toDouble(), b, 0.005);
            EXPECT_NEAR(row.at(4).toDouble(), a - b, 0.005);
            EXPECT_NEAR(row.at(6).toDouble(), y, 0.005);
            EXPECT_NEAR(row.at(7).toDouble(), a - y, 0.005);
            EXPECT_EQ(row.at(9).toInt(), ticketsNow.count(h) ? int(ticketsNow.at(h)) : 0);
            EXPECT_EQ(row.at(10).toInt(), ticketsBefore.count(h) ? int(ticketsBefore.at(h)) : 0);
            double largest = 0;
            for (const auto &[key, change] : storesNow) {
                if (key.section(u' ', 0, 0).toInt() == h && std::abs(change) > std::abs(largest))
                    largest = change;
            }
            EXPECT_NEAR(row.at(13).toDouble(), largest, 0.005);
            if (!row.at(11).isNull()) {
                EXPECT_NEAR(storesNow.at(QString::number(h) + u' ' + row.at(11).toString().trimmed()), largest, 0.005);
            }
            const struct
            {
                int column;
                double base;
            } variations[] = {{5, b}, {8, y}};
            for (const auto &v : variations) {
                if (std::abs(v.base) < 0.005) {
                    zeroBaseSeen = true;
                    EXPECT_TRUE(row.at(v.column).isNull()) << "a base of zero gives no variation, got "
                                                            << row.at(v.column).toString().toStdString();
                } else {
                    EXPECT_NEAR(row.at(v.column).toDouble(), 100.0 * (a - v.base) / v.base, 1e-6);
                }
            }
        }
        if (c.yearEmpty) {
            EXPECT_TRUE(zeroBaseSeen);
        }
    });
}

// The engine on SQLite: the header names the three periods, totals compare sums (not the mean of
// the hours' variations), the chart has one value per series, and the files carry the filters.
TEST_F(ReportCompare, HeaderTotalsChartAndFiles)
{
    const QString connection = u"report_compare_engine"_s;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, connection);
        db.setDatabaseName(sSqlite.name);
        ASSERT_TRUE(db.open());
    }
    struct Cleanup
    {
        QString name;
        ~Cleanup()
        {
            ReportEngine::instance().setSourceConnection({});
            QSqlDatabase::database(name, false).close();
            QSqlDatabase::removeDatabase(name);
        }
    } cleanup{connection};
    ReportEngine::instance().setSourceConnection(connection);
    RecordingUi ui;
    const ScopedUi scope(ui);
    const ReportDefinition def = definition();
    const TParams params = paramsFor(def, kCases[0].filters);
    std::shared_ptr<ReportDocument> document;
    try {
        document = ReportEngine::instance().build(nullptr, u"Vnd025"_s, def, params, screenFilters(def, params));
    } catch (const EHostError &e) {
        FAIL() << e.message().toStdString();
    }
    ASSERT_NE(document, nullptr);
    const ReportModel &model = document->model();
    ASSERT_GT(model.detailCount, 3);
    // the comparison's many columns: headings wrap rather than shrink below the body size
    EXPECT_GE(document->headingPoints(), 8.0);

    QStringList header;
    for (const auto &filter : model.filters)
        header << filter.first + u": "_s + filter.second;
    const QString headerText = header.join(u" | "_s);
    EXPECT_TRUE(headerText.contains(u"Período: 16/06/2025 a 22/06/2025 | Anterior: semana anterior, 09/06/2025 a 15/06/2025 | "
                                    u"52 semanas antes: 17/06/2024 a 23/06/2024"_s))
        << headerText.toStdString();
    EXPECT_TRUE(headerText.contains(u"Intervalo: 1 h"_s)) << headerText.toStdString();

    const ReportLine *total = model.totalLine();
    ASSERT_NE(total, nullptr);
    // Período, Anterior, variation, 52 semanas, variation
    const double a = total->values.at(1).toDouble(), b = total->values.at(2).toDouble(), y = total->values.at(4).toDouble();
    ASSERT_GT(b, 0);
    ASSERT_GT(y, 0);
    EXPECT_NEAR(total->values.at(3).toDouble(), 100.0 * (a - b) / b, 1e-6);
    EXPECT_NEAR(total->values.at(5).toDouble(), 100.0 * (a - y) / y, 1e-6);

    ASSERT_EQ(model.chartSeries.size(), 3);
    EXPECT_EQ(model.chartSeries.at(2).name, u"52 semanas antes"_s);
    for (qsizetype s = 0; s < 3; ++s) {
        const int column = s == 0 ? 1 : s == 1 ? 2 : 4;
        double sum = 0;
        for (const double v : model.chartSeries.at(s).values)
            sum += v;
        EXPECT_EQ(model.chartSeries.at(s).values.size(), model.chart.size());
        EXPECT_NEAR(sum, total->values.at(column).toDouble(), 0.005) << s;
    }

    // The PDF's first page names the periods in the header and the series in the legend (a heading
    // wider than its column wraps, so only its first line is looked for).
    QTemporaryDir dir;
    const QString pdf = dir.filePath(u"comparativo.pdf"_s);
    ReportExport::writePdf(*document, pdf);
    const QString page = pdfText(pdf, 1);
    for (const QString &text : {u"Anterior: semana anterior, 09/06/2025 a 15/06/2025"_s, u"52 semanas antes: 17/06/2024 a 23/06/2024"_s,
                                u"Var. s/"_s, u"Lojas que mais mudaram a hora"_s, u"Ef. tráfego"_s})
        EXPECT_TRUE(page.contains(text)) << text.toStdString() << "\n" << page.toStdString();
    // the list under the chart takes room: the total may go to the next page
    EXPECT_TRUE(pdfText(pdf).contains(u"Total geral"_s));
    // the effects' totals are sums a spreadsheet recalculates to the values written (tests/recalc)
    const QString xlsx = dir.filePath(u"comparativo.xlsx"_s);
    ReportExport::write(model, xlsx);
    testsupport::keepWorkbook(xlsx);
    if (const QByteArray keep = qgetenv("BO_REPORT_PDF_DIR"); !keep.isEmpty())
        QFile::copy(pdf, QDir(QString::fromLocal8Bit(keep)).filePath(u"comparativo.pdf"_s));

    // Save as CSV through the engine: the dialog's check box decides the leading lines.
    for (const bool withFilters : {false, true}) {
        SCOPED_TRACE(withFilters ? "with filters" : "plain");
        const QString csv = dir.filePath(withFilters ? u"com.csv"_s : u"sem.csv"_s);
        ui.answerFile(csv, {}, withFilters);
        std::optional<ReportRun> run;
        const auto connectionToRun = QObject::connect(&ReportEngine::instance(), &ReportEngine::finished,
                                                      [&run](const ReportRun &r) { run = r; });
        ReportRequest request;
        request.action = ReportAction::SaveAs;
        request.definition = def;
        request.params = params;
        request.filters = screenFilters(def, params);
        ReportEngine::instance().run(request);
        QObject::disconnect(connectionToRun);
        ASSERT_TRUE(run.has_value());
        ASSERT_EQ(run->outcome, ReportRun::Outcome::Saved) << run->error.toStdString();
        const QStringList lines = QString::fromUtf8(readAll(csv).mid(3)).split(u"\r\n"_s);
        const qsizetype heading = lines.indexOf(u"Horário;Período (R$);Anterior (R$);Var. s/ anterior;"
                                                u"52 semanas antes (R$);Var. s/ 52 semanas;Vendas;Vendas ant.;"
                                                u"Ticket (R$);Ticket ant. (R$);Ef. tráfego (R$);Ef. ticket (R$)"_s);
        ASSERT_GE(heading, 0) << lines.join(u'\n').toStdString();
        if (!withFilters) {
            EXPECT_EQ(heading, 0);
        } else {
            EXPECT_EQ(lines.first(), u"Comparativo por Hora"_s);
            EXPECT_TRUE(lines.contains(u"Anterior;semana anterior, 09/06/2025 a 15/06/2025"_s)) << lines.join(u'\n').toStdString();
            EXPECT_TRUE(lines.at(heading - 2).startsWith(u"Emitido em;"_s));
            EXPECT_TRUE(lines.at(heading - 1).isEmpty());
        }
        EXPECT_EQ(lines.size() - heading - 2, model.detailCount); // rows, then the final CRLF's empty tail
    }
}

// Why each hour changed, through the engine on both databases: the tickets and average tickets of
// the two periods against SQL over VENDA, the traffic effect from those figures, and the two
// effects adding up to the change to the cent, in each hour and in the total line.
TEST_F(ReportCompare, TrafficAndTicketEffectsAddUpToTheChange)
{
    const ReportDefinition def = definition();
    onBothEngines(sSqlite, sFirebird, [&def](const CompareCase &c, const DemoConnection &connection, bool firebird) {
        const DemoConnection *db = &connection;
        QString error;
        const TParams params = paramsFor(def, c.filters);
        ReportTable table;
        table.columns = {u"HRINICIO"_s, u"HRFIM"_s, u"VRATUAL"_s, u"VRANTERIOR"_s, u"DFANTERIOR"_s, u"PCANTERIOR"_s,
                         u"VRANOANT"_s, u"DFANOANT"_s, u"PCANOANT"_s, u"QTATUAL"_s, u"QTANTERIOR"_s, u"CDLOJAMOV"_s,
                         u"NMLOJAMOV"_s, u"DFLOJAMOV"_s};
        table.rows = reportRows(*db, def.sqlFor(firebird ? SqlDialect::InterBase : SqlDialect::Default), params, &error);
        ASSERT_TRUE(error.isEmpty()) << error.toStdString();
        const ReportModel model = ReportModel::build(u"Vnd025"_s, def, params, table);
        const auto now = salesByHour(*db, firebird, c.from, c.to, c.filters);
        const auto before = salesByHour(*db, firebird, c.beforeFrom, c.beforeTo, c.filters);
        const auto ticketsNow = salesByHour(*db, firebird, c.from, c.to, c.filters, u"COUNT(*)"_s);
        const auto ticketsBefore = salesByHour(*db, firebird, c.beforeFrom, c.beforeTo, c.filters, u"COUNT(*)"_s);
        // Horário, Período, Anterior, Var., 52 semanas, Var., Vendas, Vendas ant., Ticket, Ticket ant.,
        // Ef. tráfego, Ef. ticket
        qint64 changeSum = 0, trafficSum = 0, ticketSum = 0;
        bool bothSeen = false;
        for (const ReportLine &line : model.lines) {
            if (line.kind != ReportLine::Kind::Detail)
                continue;
            const int h = line.values.at(0).toInt() / 60;
            SCOPED_TRACE(h);
            const qint64 a = cents(now.count(h) ? now.at(h) : 0), b = cents(before.count(h) ? before.at(h) : 0);
            const qint64 n = ticketsNow.count(h) ? qint64(ticketsNow.at(h)) : 0;
            const qint64 m = ticketsBefore.count(h) ? qint64(ticketsBefore.at(h)) : 0;
            EXPECT_EQ(line.values.at(6).toLongLong(), n);
            EXPECT_EQ(line.values.at(7).toLongLong(), m);
            if (n > 0) {
                EXPECT_NEAR(line.values.at(8).toDouble(), double(a) / double(n) / 100.0, 0.0051);
            } else {
                EXPECT_TRUE(line.values.at(8).isNull());
            }
            const qint64 traffic = cents(line.values.at(10).toDouble()), ticket = cents(line.values.at(11).toDouble());
            EXPECT_EQ(traffic + ticket, a - b) << "the effects add up to the change";
            if (n > 0 && m > 0) {
                bothSeen = true;
                // Δ tickets × the earlier average ticket, to the cent
                EXPECT_LE(std::abs(double(traffic) - double(n - m) * double(b) / double(m)), 0.5 + 1e-9);
            } else {
                EXPECT_EQ(traffic, a - b) << "without tickets in one period the change is traffic";
            }
            changeSum += a - b;
            trafficSum += traffic;
            ticketSum += ticket;
        }
        EXPECT_TRUE(bothSeen);
        const ReportLine *total = model.totalLine();
        ASSERT_NE(total, nullptr);
        EXPECT_EQ(cents(total->values.at(10).toDouble()), trafficSum);
        EXPECT_EQ(cents(total->values.at(11).toDouble()), ticketSum);
        EXPECT_EQ(cents(total->values.at(10).toDouble()) + cents(total->values.at(11).toDouble()),
                  cents(total->values.at(1).toDouble()) - cents(total->values.at(2).toDouble()));
        EXPECT_EQ(trafficSum + ticketSum, changeSum);
        ASSERT_FALSE(model.notes.isEmpty());
        EXPECT_TRUE(model.notes.first().startsWith(u"Lojas que mais mudaram a hora"_s));
        EXPECT_LE(model.notes.size(), 6);
    });
}

} // namespace
