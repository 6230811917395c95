// Dates and date-and-hour texts on the day Brazilian summer time began at midnight (04/11/2018):
// the process runs with TZ=America/Sao_Paulo (set by CTest), where 00:00 to 00:59 of that day do
// not exist as local times. The screen, its report parameters and both engines still see the day.
#include "adoibquery.h"
#include "application.h"
#include "cli_vnd02500.h"
#include "consiste.h"
#include "datamodule.h"
#include "errors.h"
#include "firebird.h"
#include "params.h"
#include "recordingui.h"
#include "reportdefinition.h"
#include "reportdesignerwindow.h"
#include "reportengine.h"
#include "reportparams.h"
#include "testsupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTimeZone>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

const QDate kDay(2018, 11, 4);

// Without the zone every test below would pass for the wrong reason.
TEST(SummerTime, TheProcessZoneSkipsMidnightOfTheDay)
{
    ASSERT_EQ(QTimeZone::systemTimeZoneId(), QByteArray("America/Sao_Paulo"))
        << "run with TZ=America/Sao_Paulo (tzdata installed)";
    EXPECT_FALSE(QDateTime(kDay, QTime(0, 30)).isValid());
    EXPECT_TRUE(QDateTime(kDay, QTime(1, 0)).isValid());
}

TEST(SummerTime, TextsAndDateValuesAreCalendarValues)
{
    struct Case
    {
        const char *text;
        QTime time;
    };
    const Case cases[] = {{"04/11/2018 00:30", QTime(0, 30)},
                          {"04/11/2018 00:00", QTime(0, 0)},
                          {"04/11/2018", QTime(0, 0)},
                          {"04/11/2018 23:59", QTime(23, 59)}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        const QDateTime value = StrToDateTime(QString::fromLatin1(c.text));
        ASSERT_TRUE(value.isValid());
        EXPECT_EQ(value.date(), kDay);
        EXPECT_EQ(value.time(), c.time);
        EXPECT_LT(StrToDateTime(u"03/11/2018 23:59"_s), value);
    }

    // The date edit's value of the day, as the report parameters take it.
    const QDateTime date = dateValueToDateTime(double(QDate(1899, 12, 30).daysTo(kDay)));
    ASSERT_TRUE(date.isValid());
    EXPECT_EQ(date.date(), kDay);
    EXPECT_EQ(date.time(), QTime(0, 0));

    // A date-time parameter keeps the day and hour, also read back from its text.
    TParam param(u"P_MOMENTO"_s);
    param.SetAsDateTime(StrToDateTime(u"04/11/2018 00:30"_s));
    EXPECT_EQ(param.AsString(), u"2018-11-04T00:30:00"_s);
    EXPECT_FALSE(param.IsNull());
    TParam text(u"P_TEXTO"_s);
    text.SetAsString(u"2018-11-04T00:30:00"_s);
    EXPECT_EQ(text.AsDateTime(), calendarDateTime(kDay, QTime(0, 30)));
    text.SetAsString(u"2018-11-04"_s);
    EXPECT_EQ(text.AsDateTime(), calendarDateTime(kDay));
}

enum class Engine { SQLite, Firebird };

std::string engineName(const testing::TestParamInfo<Engine> &info)
{
    return info.param == Engine::SQLite ? "SQLite" : "Firebird";
}

// The screen on a database of four sales around the day, every report of the list reading them.
class SummerTimeScreen : public testing::TestWithParam<Engine>
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(mDir.isValid());
        DatabaseConfig config;
        if (GetParam() == Engine::SQLite) {
            config = DatabaseConfig::sqlite(mDir.filePath(u"vendas.sqlite"_s));
        } else {
            const QString path = mDir.filePath(u"vendas.fdb"_s);
            try {
                createFirebirdDatabase(path);
            } catch (const EHostError &e) {
                GTEST_FAIL() << "embedded Firebird unavailable: " << e.message().toStdString();
            }
            config.driver = u"QIBASE"_s;
            config.name = path;
        }
        TdtmDBGeral::open(config);
        const bool firebird = GetParam() == Engine::Firebird;
        const QString moment = firebird ? u"TIMESTAMP"_s : u"VARCHAR(30)"_s;
        const QStringList ddl{
            u"CREATE TABLE FILIAL (CDFILIAL CHAR(4) NOT NULL PRIMARY KEY, NMFILIAL VARCHAR(30))"_s,
            u"INSERT INTO FILIAL VALUES ('0001', 'Matriz')"_s,
            u"CREATE TABLE VENDA (NRVENDA INTEGER, CDFILIAL CHAR(4), DTVENDA DATE, HRVENDA CHAR(4), MOMENTO %1)"_s.arg(moment),
        };
        QSqlQuery q(TdtmDBGeral::adcGeral());
        for (const QString &sql : ddl)
            ASSERT_TRUE(q.exec(sql)) << sql.toStdString() << ": " << q.lastError().text().toStdString();
        // SQLite keeps a date-time as the text it was bound as.
        const char *sales[][3] = {{"2018-11-03", "2350", "2018-11-03T23:50:00.000"},
                                  {"2018-11-04", "0030", "2018-11-04T00:30:00.000"},
                                  {"2018-11-04", "1000", "2018-11-04T10:00:00.000"},
                                  {"2018-11-05", "0800", "2018-11-05T08:00:00.000"}};
        int number = 0;
        for (const auto &sale : sales) {
            QString when = QString::fromLatin1(sale[2]);
            if (firebird)
                when = when.replace(u'T', u' ').left(19);
            const QString sql = u"INSERT INTO VENDA VALUES (%1, '0001', '%2', '%3', '%4')"_s.arg(++number).arg(
                QString::fromLatin1(sale[0]), QString::fromLatin1(sale[1]), when);
            ASSERT_TRUE(q.exec(sql)) << sql.toStdString() << ": " << q.lastError().text().toStdString();
        }
        if (firebird) {
            // Reports run as the reading identity.
            for (const QString &sql : firebirdReportGrantsDdl({u"FILIAL"_s, u"VENDA"_s}, {}, config.reportRole,
                                                              config.reportUser))
                ASSERT_TRUE(q.exec(sql)) << sql.toStdString() << ": " << q.lastError().text().toStdString();
        }

        // Every report of the list is one that lists the day's sales.
        const ReportCatalog real = ReportCatalog::load(reportsDirectory(), u"Vnd025"_s);
        QDir().mkpath(mDir.filePath(u"reports/Vnd025"_s));
        QJsonArray index;
        for (int i = 0; i < real.entries().size(); ++i) {
            ReportDefinition def = ReportDefinition::load(real.pathOf(i));
            def.sql = {{SqlDialect::Default,
                        u"SELECT NRVENDA, HRVENDA FROM VENDA WHERE CDFILIAL = :P_CDFILIAL"
                        " AND DTVENDA BETWEEN :P_DTVENDAINI AND :P_DTVENDAFIN"_s}};
            def.layout = {};
            const QString file = u"r%1.json"_s.arg(i);
            saveDefinition(def, mDir.filePath(u"reports/Vnd025/"_s + file));
            index.append(QJsonObject{{u"title"_s, def.title}, {u"file"_s, file}});
        }
        QFile indexFile(mDir.filePath(u"reports/Vnd025/index.json"_s));
        ASSERT_TRUE(indexFile.open(QIODevice::WriteOnly));
        indexFile.write(QJsonDocument(QJsonObject{{u"reports"_s, index}}).toJson());
        indexFile.close();
        mPreviousReports = reportsDirectory();
        setReportsDirectory(mDir.filePath(u"reports"_s));

        Application()->CreateForm(f);
        ASSERT_FALSE(f.isNull());
        f->Show();
        testsupport::activate(f);
        QObject::connect(f.data(), &TfrmDadosGerRel::paramsFilled, f.data(), [this](const TParams &p) { bound = p; });
        QObject::connect(&ReportEngine::instance(), &ReportEngine::finished, f.data(),
                         [this](const ReportRun &run) { runs << run; });
    }

    void TearDown() override
    {
        if (f)
            f->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        TdtmDBGeral::close();
        if (!mPreviousReports.isEmpty())
            setReportsDirectory(mPreviousReports);
    }

    RecordingUi ui;
    ScopedUi scope{ui};
    QPointer<TfrmEstaticVendHora> f;
    TParams bound;
    QList<ReportRun> runs;
    QTemporaryDir mDir;
    QString mPreviousReports;
};

TEST_P(SummerTimeScreen, PreviewFindsTheDaysSales)
{
    struct Case
    {
        const char *ini, *horaIni, *fin, *horaFin;
        const char *message; // nullptr: the report runs
        int rows;
    };
    const Case cases[] = {
        {"04/11/2018", "", "04/11/2018", "", nullptr, 2},
        {"04/11/2018", "0030", "04/11/2018", "0100", nullptr, 2},
        {"04/11/2018", "0000", "04/11/2018", "0000", nullptr, 2},
        {"03/11/2018", "2300", "04/11/2018", "0030", nullptr, 3},
        {"04/11/2018", "0045", "04/11/2018", "0030", "Período de hora inicial deve ser menor que o final.", 0},
        {"04/11/2018", "", "05/11/2018", "", nullptr, 3},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.ini) + " " + c.horaIni + " - " + c.fin + " " + c.horaFin);
        f->cbbReportNames->setCurrentIndex(0);
        f->edtFilial->setText(u"0001"_s);
        f->depDtHrIni->SetText(QString::fromLatin1(c.ini));
        f->depDtHrFin->SetText(QString::fromLatin1(c.fin));
        f->medHoraIni->SetText(QString::fromLatin1(c.horaIni));
        f->medHoraFin->SetText(QString::fromLatin1(c.horaFin));
        ui.clear();
        runs.clear();
        bound = TParams();
        f->sbtPreview->click();
        if (c.message) {
            EXPECT_EQ(ui.messages, QStringList{QString::fromUtf8(c.message)});
            EXPECT_TRUE(runs.isEmpty());
            continue;
        }
        EXPECT_TRUE(ui.messages.isEmpty()) << ui.messages.join(u'|').toStdString();
        const TParam *start = bound.FindParam(u"P_DTVENDAINI"_s);
        ASSERT_NE(start, nullptr);
        EXPECT_FALSE(start->IsNull());
        EXPECT_EQ(start->AsDateTime().date(), QDate::fromString(QString::fromLatin1(c.ini), u"dd/MM/yyyy"_s));
        ASSERT_EQ(runs.size(), 1);
        EXPECT_EQ(runs[0].outcome, ReportRun::Outcome::Previewed) << runs[0].error.toStdString();
        EXPECT_EQ(runs[0].rows, c.rows);
    }
}

// A date-and-hour value bound by the host's query compares with the stored one as written.
TEST_P(SummerTimeScreen, DateAndHourBindsAsWritten)
{
    struct Case
    {
        const char *op;
        int count;
    };
    const Case cases[] = {{"=", 1}, {">=", 3}, {"<", 1}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.op);
        TADOIBQuery query;
        query.setSQL(QStringList{u"SELECT COUNT(*) AS QT FROM VENDA WHERE MOMENTO %1 :P_MOMENTO"_s.arg(
            QString::fromLatin1(c.op))});
        query.ParamByName(u"P_MOMENTO"_s).SetAsDateTime(StrToDateTime(u"04/11/2018 00:30"_s));
        query.Open();
        EXPECT_EQ(query.FieldByName(u"QT"_s).AsString(), QString::number(c.count));
    }
}

// The same day through the real host, as a screen script drives it: the report gets both dates.
TEST(SummerTimeScript, PreviewParametersCarryTheDay)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(u"filiais.sqlite"_s);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"summerscript"_s);
        db.setDatabaseName(path);
        ASSERT_TRUE(db.open());
        QSqlQuery q(db);
        ASSERT_TRUE(q.exec(u"CREATE TABLE FILIAL (CDFILIAL CHAR(4) PRIMARY KEY, NMFILIAL VARCHAR(30))"_s));
        ASSERT_TRUE(q.exec(u"INSERT INTO FILIAL VALUES ('0001', 'Matriz')"_s));
        // What the sales-by-day report reads.
        ASSERT_TRUE(q.exec(u"CREATE TABLE VENDA (CDFILIAL CHAR(4), CDLOJA CHAR(10), CDCAIXA CHAR(3), DTVENDA DATE,"
                           " HRVENDA CHAR(4), QTITENS INTEGER, VRDESCONTO NUMERIC, VRTOTVENDA NUMERIC,"
                           " IDCANCELADA CHAR(1))"_s));
        ASSERT_TRUE(q.exec(u"INSERT INTO VENDA VALUES ('0001', '0000000001', '001', '2018-11-04', '0030', 2, 0, 10, 'N')"_s));
        db.close();
    }
    QSqlDatabase::removeDatabase(u"summerscript"_s);
    const auto set = [](const char *control, const char *text) {
        return QJsonObject{{u"set"_s, QJsonArray{QLatin1String(control), QLatin1String(text)}}};
    };
    const QJsonArray steps{QJsonObject{{u"open"_s, u"Vnd02500"_s}},
                           QJsonObject{{u"select"_s, u"Vendas por Dia"_s}},
                           set("edtFilial", "0001"),
                           set("depDtHrIni", "04/11/2018"),
                           set("depDtHrFin", "04/11/2018"),
                           set("medHoraIni", "0030"),
                           set("medHoraFin", "0100"),
                           QJsonObject{{u"click"_s, u"sbtPreview"_s}}};
    const QJsonObject config{{u"database"_s, QJsonObject{{u"driver"_s, u"QSQLITE"_s}, {u"name"_s, path}}}};
    const auto lines = testsupport::runScript(steps, config);
    EXPECT_TRUE(testsupport::messagesOf(lines).isEmpty()) << testsupport::messagesOf(lines).join(u'|').toStdString();
    const auto params = testsupport::linesOf(lines, u"params"_s);
    ASSERT_EQ(params.size(), 1);
    const QJsonObject bound = params.first().value(u"params"_s).toObject();
    EXPECT_EQ(bound.value(u"P_DTVENDAINI"_s), QJsonValue(u"2018-11-04T00:00:00"_s));
    EXPECT_EQ(bound.value(u"P_DTVENDAFIN"_s), QJsonValue(u"2018-11-04T00:00:00"_s));
}

INSTANTIATE_TEST_SUITE_P(Engines, SummerTimeScreen, testing::Values(Engine::SQLite, Engine::Firebird), engineName);

} // namespace
