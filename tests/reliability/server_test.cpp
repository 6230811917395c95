// A Firebird server that comes and goes under the host: a throw-away server (Debian's, as this
// user, on its own port and folder) is stopped and started again, stopped for good, and paused as a
// server that hangs. Lookups and reports on the shared connection recover by themselves.

#include "adoibquery.h"
#include "datamodule.h"
#include "errors.h"
#include "firebird.h"
#include "firebirdserver.h"
#include "recordingui.h"
#include "reliability.h"
#include "reportquery.h"
#include "uiservices.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QSqlError>
#include <QSqlQuery>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

const QString ReportPassword = u"leitura-9"_s;

class ServerComesAndGoes : public testing::Test
{
protected:
    void SetUp() override
    {
        if (!QFile::exists(testfb::ServerBinary) || !QFile::exists(testfb::Isql))
            GTEST_SKIP() << "Debian's firebird3.0-server is not installed";
        const DatabaseConfig defaults;
        const QString problem = mServer.start({{defaults.reportUser, ReportPassword}});
        ASSERT_TRUE(problem.isEmpty()) << problem.toStdString();
        const QString file = mServer.path(u"loja.fdb"_s);
        createFirebirdDatabase(mServer.target(file));
        mConfig = reliability::databaseConfig(u"QIBASE"_s, mServer.target(file));
        mConfig.reportPassword = ReportPassword;
        mConfig.statementTimeout = 2;
        TdtmDBGeral::close();
        TdtmDBGeral::open(mConfig);
        QSqlQuery q(TdtmDBGeral::adcGeral());
        for (const char *sql : {"CREATE TABLE FILIAL (CDFILIAL CHAR(4) NOT NULL PRIMARY KEY, NMFILIAL VARCHAR(30))",
                                "INSERT INTO FILIAL VALUES ('0001', 'Matriz')",
                                "INSERT INTO FILIAL VALUES ('0002', 'Centro')"})
            ASSERT_TRUE(q.exec(QString::fromUtf8(sql))) << sql << ": " << q.lastError().text().toStdString();
        for (const QString &sql : firebirdReportGrantsDdl({u"FILIAL"_s}, {}, defaults.reportRole, defaults.reportUser))
            ASSERT_TRUE(q.exec(sql)) << sql.toStdString() << ": " << q.lastError().text().toStdString();
    }
    void TearDown() override
    {
        TdtmDBGeral::close();
        mServer.stop();
    }

    // The branch lookup's answer: the name, or the message the user would see.
    QString lookup()
    {
        TADOIBQuery query;
        query.setSQL({u"SELECT NMFILIAL FROM FILIAL WHERE CDFILIAL = :CDFILIAL"_s});
        query.ParamByName(u"CDFILIAL"_s).SetAsString(u"0002"_s);
        try {
            query.Open();
            return query.IsEmpty() ? u"(nothing)"_s : query.FieldByName(u"NMFILIAL"_s).AsString();
        } catch (const EHostError &e) {
            return e.message();
        }
    }

    // A report's rows counted, or its error.
    QString report()
    {
        ReportQuery query(QString::fromLatin1(TdtmDBGeral::ConnectionName), u"SELECT CDFILIAL FROM FILIAL"_s, {});
        QEventLoop loop;
        QObject::connect(&query, &ReportQuery::finished, &loop, &QEventLoop::quit);
        query.start();
        loop.exec();
        if (query.outcome() != ReportQuery::Outcome::Done)
            return query.errorText();
        return QString::number(query.takeTable().rows.size()) + u" rows"_s;
    }

    testfb::FirebirdServer mServer;
    DatabaseConfig mConfig;
    RecordingUi mUi;
    ScopedUi mScope{mUi};
};

TEST_F(ServerComesAndGoes, LookupsAndReportsReopenTheConnectionAfterARestart)
{
    ASSERT_EQ(lookup(), u"Centro"_s);
    ASSERT_EQ(report(), u"2 rows"_s);
    struct Step
    {
        const char *what;
        bool serverUp;   // after the step
        const char *lookupSays;
        const char *reportSays;
    };
    const Step steps[] = {
        {"stopped and started again", true, "Centro", "2 rows"},
        {"stopped", false, "não pôde ser refeita", "Não foi possível abrir a conexão do relatório"},
        {"started again after a failed reopen", true, "Centro", "2 rows"},
    };
    for (const Step &step : steps) {
        if (!step.serverUp) {
            mServer.stop();
        } else {
            if (mServer.running())
                mServer.stop();
            const QString problem = mServer.launch();
            ASSERT_TRUE(problem.isEmpty()) << problem.toStdString();
        }
        // The report first, so that each of the two has to find its way back on its own.
        const QString reported = report();
        EXPECT_TRUE(reported.contains(QString::fromUtf8(step.reportSays))) << step.what << ": " << reported.toStdString();
        const QString looked = lookup();
        EXPECT_TRUE(looked.contains(QString::fromUtf8(step.lookupSays))) << step.what << ": " << looked.toStdString();
        // The password is never part of what the user is told.
        EXPECT_FALSE(looked.contains(ReportPassword) || reported.contains(ReportPassword)) << step.what;
    }
}

TEST_F(ServerComesAndGoes, AHungServerEndsTheLookupAtItsTimeLimit)
{
    ASSERT_EQ(lookup(), u"Centro"_s);
    mServer.pause();
    QElapsedTimer clock;
    clock.start();
    const QString looked = lookup();
    const qint64 waited = clock.elapsed();
    EXPECT_TRUE(looked.contains(u"não respondeu em 2 s"_s)) << looked.toStdString();
    // The limit, then a moment for the cancel that the hung server never answers.
    EXPECT_LT(waited, 20000);
    mServer.resume();
    EXPECT_EQ(lookup(), u"Centro"_s) << "the next lookup opens the connection again";
}

TEST_F(ServerComesAndGoes, AHungServerCannotHoldTheProcessAtItsEnd)
{
    ASSERT_EQ(lookup(), u"Centro"_s);
    // As an export meets it: its report's own connection ended at the time limit, and the process
    // ends with the shared connection still open on the hung server.
    mServer.pause();
    QElapsedTimer clock;
    clock.start();
    // In a child process; the alarm ends a close that would wait for ever.
    EXPECT_EXIT(
        {
            ::alarm(60);
            TdtmDBGeral::closeAtExit();
        },
        testing::ExitedWithCode(1), "o banco de dados não respondeu em 2 s ao fechar a conexão");
    EXPECT_LT(clock.elapsed(), 20000);
    mServer.resume();
}

TEST_F(ServerComesAndGoes, TheServerListensOnLoopbackOnly)
{
    const QStringList addresses = testfb::listeningAddresses(mServer.port());
    ASSERT_FALSE(addresses.isEmpty()) << "nothing listens on port " << mServer.port();
    for (const QString &address : addresses)
        EXPECT_EQ(address, u"127.0.0.1"_s) << "port " << mServer.port();
}

} // namespace
