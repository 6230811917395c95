// Statements that run long or never end, on SQLite and embedded Firebird: a lookup ends at its time
// limit with the window kept painted, shows the wait cursor and can be given up; a report ends at
// its row limit (not in std::bad_alloc) and at its own time limit; Cancelar reaches a report whose
// statement is still being prepared.

#include "adoibquery.h"
#include "errors.h"
#include "firebird.h"
#include "recordingui.h"
#include "reliability.h"
#include "reportsql.h"
#include "reportquery.h"
#include "statementlimit.h"
#include "uiservices.h"
#include "waitwatcher.h"
#include "widgets.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProgressDialog>
#include <QTemporaryDir>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

enum class Engine { Sqlite, Firebird };

std::string engineName(const testing::TestParamInfo<Engine> &info)
{
    return info.param == Engine::Sqlite ? "SQLite" : "Firebird";
}

// One row that takes for ever, and rows without end.
struct EngineSql
{
    const char *endlessCount;
    const char *endlessRows;
    const char *one;
};

const EngineSql SqliteSql{"WITH RECURSIVE C(X) AS (SELECT 1 UNION ALL SELECT X + 1 FROM C) SELECT COUNT(*) FROM C",
                          "WITH RECURSIVE C(X) AS (SELECT 1 UNION ALL SELECT X + 1 FROM C) SELECT X FROM C",
                          "SELECT 1 AS N"};
const EngineSql FirebirdSql{"SELECT COUNT(*) FROM RDB$FIELDS A, RDB$FIELDS B, RDB$FIELDS C, RDB$FIELDS D, RDB$FIELDS E",
                            "SELECT A.RDB$FIELD_NAME FROM RDB$FIELDS A, RDB$FIELDS B, RDB$FIELDS C, RDB$FIELDS D",
                            "SELECT 1 AS N FROM RDB$DATABASE"};

class DatabaseLimits : public testing::TestWithParam<Engine>
{
protected:
    void SetUp() override
    {
        TdtmDBGeral::close();
        if (GetParam() == Engine::Sqlite) {
            mConfig = DatabaseConfig::sqlite(mDir.filePath(u"loja.sqlite"_s));
        } else {
            const QString path = mDir.filePath(u"loja.fdb"_s);
            try {
                createFirebirdDatabase(path);
            } catch (const EHostError &e) {
                GTEST_FAIL() << "embedded Firebird unavailable: " << e.message().toStdString();
            }
            mConfig = reliability::databaseConfig(u"QIBASE"_s, path);
        }
        mConfig.statementTimeout = 1;
        mConfig.reportTimeout = 1;
        TdtmDBGeral::open(mConfig);
    }
    void TearDown() override { TdtmDBGeral::close(); }

    const EngineSql &sql() const { return GetParam() == Engine::Sqlite ? SqliteSql : FirebirdSql; }

    // Opens a lookup on `text`; the message of what it threw, empty when it answered.
    QString lookup(const char *text, int *ticks = nullptr)
    {
        TADOIBQuery query;
        query.setSQL({QString::fromUtf8(text)});
        QTimer ticker;
        int count = 0;
        QObject::connect(&ticker, &QTimer::timeout, [&count] { ++count; });
        ticker.start(20);
        QString message;
        try {
            query.Open();
        } catch (const EHostError &e) {
            message = e.message();
        }
        if (ticks)
            *ticks = count;
        return message;
    }

    ReportQuery::Outcome report(const char *text, int maxRows, QString &error)
    {
        ReportQuery query(QString::fromLatin1(TdtmDBGeral::ConnectionName), QString::fromUtf8(text), {});
        query.setMaxRows(maxRows);
        QEventLoop loop;
        QObject::connect(&query, &ReportQuery::finished, &loop, &QEventLoop::quit);
        query.start();
        loop.exec();
        error = query.errorText();
        return query.outcome();
    }

    QTemporaryDir mDir;
    DatabaseConfig mConfig;
    RecordingUi mUi;
    ScopedUi mScope{mUi};
};

TEST_P(DatabaseLimits, AnEndlessLookupEndsAtItsTimeLimitWithTheWindowPainted)
{
    QElapsedTimer clock;
    clock.start();
    int ticks = 0;
    const QString message = lookup(sql().endlessCount, &ticks);
    EXPECT_TRUE(message.contains(u"não respondeu em 1 s"_s)) << message.toStdString();
    // Not a speed figure: a statement without a limit would never come back at all.
    EXPECT_LT(clock.elapsed(), 15000);
    EXPECT_GT(ticks, 10) << "the window's timers stood still while the lookup waited";
    // The connection is as good as before.
    EXPECT_EQ(lookup(sql().one), QString());
}

TEST_P(DatabaseLimits, AProductSearchEndsAtTheLookupsTimeLimitWithTheirMessage)
{
    TClientDataSet products;
    products.FieldDefs() = {{u"N"_s, u"Código"_s, 10, true, {}, {}}};
    TDataSource source;
    source.setDataSet(&products);
    TBtnPesquisa button;
    button.setDataSource(&source);
    // The search's own statement, as the screen's before-event sets it.
    const auto search = [&](const char *text) {
        button.setSQL(QString::fromUtf8(text));
        try {
            button.Pesquisa();
        } catch (const EHostError &e) {
            return e.message();
        }
        return QString();
    };
    QElapsedTimer clock;
    clock.start();
    const QString message = search(sql().endlessCount);
    EXPECT_LT(clock.elapsed(), 15000);
    EXPECT_TRUE(message.contains(u"não respondeu em 1 s"_s)) << message.toStdString();
    EXPECT_EQ(message, lookup(sql().endlessCount));
    EXPECT_TRUE(mUi.opened.isEmpty());

    // The connection is as good as before, and the screen's field labels stay.
    EXPECT_EQ(search(sql().one), QString());
    ASSERT_EQ(mUi.opened.size(), 1);
    EXPECT_EQ(mUi.opened.first().keys, QStringList{u"1"_s});
    EXPECT_EQ(products.FieldDefs().first().label, u"Código"_s);
}

// Something that watches as the toolkit's watcher does, and gives up after a moment as a user would.
class GivingUpWatcher : public StatementWatcher
{
public:
    void waitLong(const std::function<bool()> &done, const std::function<void()> &abandon) override
    {
        ++calls;
        QTimer::singleShot(300, [this, abandon] {
            const QCursor *cursor = QApplication::overrideCursor();
            shapeWhileWaiting = cursor ? int(cursor->shape()) : -1;
            abandon();
        });
        mInner.waitLong(done, abandon);
        cursorLeftBehind = QApplication::overrideCursor() != nullptr;
    }
    int calls = 0;
    int shapeWhileWaiting = -2;
    bool cursorLeftBehind = true;

private:
    WaitWatcher mInner;
};

TEST_P(DatabaseLimits, AWaitingLookupShowsTheWaitCursorAndCanBeGivenUp)
{
    DatabaseConfig unlimited = mConfig;
    unlimited.statementTimeout = 0;
    TdtmDBGeral::open(unlimited);
    GivingUpWatcher watcher;
    StatementWatcher *previous = TdtmDBGeral::watcher();
    TdtmDBGeral::setWatcher(&watcher);
    const QString message = lookup(sql().endlessCount);
    TdtmDBGeral::setWatcher(previous);
    EXPECT_EQ(watcher.calls, 1);
    EXPECT_EQ(watcher.shapeWhileWaiting, int(Qt::WaitCursor));
    EXPECT_FALSE(watcher.cursorLeftBehind);
    EXPECT_EQ(message, u"A consulta ao banco de dados foi abandonada."_s);
    // A quick lookup never reaches the watcher.
    EXPECT_EQ(lookup(sql().one), QString());
    EXPECT_EQ(watcher.calls, 1);
}

// With real dialogs the host's own watcher puts up a box with "Cancelar" after a second; pressing it
// gives the lookup up.
TEST_P(DatabaseLimits, TheWaitBoxsCancelarGivesTheLookupUp)
{
    DatabaseConfig unlimited = mConfig;
    unlimited.statementTimeout = 0;
    TdtmDBGeral::open(unlimited);
    ASSERT_NE(TdtmDBGeral::watcher(), nullptr) << "the application installs its watcher";
    WidgetUi real;
    ScopedUi dialogs(real);
    QString label;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&label] {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            auto *box = qobject_cast<QProgressDialog *>(w);
            if (box && box->isVisible() && !box->wasCanceled()) {
                label = box->labelText();
                box->cancel();
            }
        }
    });
    poll.start(100);
    const QString message = lookup(sql().endlessCount);
    poll.stop();
    EXPECT_EQ(label, u"Aguardando resposta do banco de dados…"_s);
    EXPECT_EQ(message, u"A consulta ao banco de dados foi abandonada."_s);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_P(DatabaseLimits, AReportWithoutEndStopsAtTheRowLimit)
{
    DatabaseConfig patient = mConfig;
    patient.reportTimeout = 300;
    TdtmDBGeral::open(patient);
    struct Case
    {
        int limit;
        const char *says;
    };
    const Case cases[] = {
        {1000, "passou de 1000 linhas"},
        {20000, "passou de 20000 linhas"},
        // The default: the recursive query that used to end in std::bad_alloc.
        {ReportQuery::DefaultMaxRows, "passou de 500000 linhas"},
    };
    for (const Case &c : cases) {
        if (GetParam() == Engine::Firebird && c.limit == ReportQuery::DefaultMaxRows)
            continue; // the same code path; the SQLite row is the case
        QString error;
        EXPECT_EQ(report(sql().endlessRows, c.limit, error), ReportQuery::Outcome::Failed) << c.limit;
        EXPECT_TRUE(error.contains(QString::fromUtf8(c.says))) << error.toStdString();
        EXPECT_TRUE(error.contains(u"max_rows"_s)) << error.toStdString();
    }
    // Exactly the limit is not over it.
    QString error;
    const char *three = GetParam() == Engine::Sqlite
                            ? "WITH RECURSIVE C(X) AS (SELECT 1 UNION ALL SELECT X + 1 FROM C WHERE X < 3) SELECT X FROM C"
                            : "SELECT FIRST 3 RDB$FIELD_NAME FROM RDB$FIELDS";
    EXPECT_EQ(report(three, 3, error), ReportQuery::Outcome::Done) << error.toStdString();
}

TEST_P(DatabaseLimits, AReportQueryEndsAtItsOwnTimeLimit)
{
    QString error;
    EXPECT_EQ(report(sql().endlessCount, 0, error), ReportQuery::Outcome::Failed);
    EXPECT_TRUE(error.contains(u"não respondeu em 1 s"_s)) << error.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Engines, DatabaseLimits, testing::Values(Engine::Sqlite, Engine::Firebird), engineName);

// A statement with the most markers a report may have is prepared and bound on the report's
// worker, where Cancelar reaches it, and then runs without end until Cancelar ends it. More markers
// than that are refused by the text check (the 200,000 took minutes to prepare).
TEST(ReportPreparation, CancelReachesAReportWithAGreatManyMarkers)
{
    QTemporaryDir dir;
    TdtmDBGeral::close();
    TdtmDBGeral::open(DatabaseConfig::sqlite(dir.filePath(u"loja.sqlite"_s)));
    const int markers = ReportSql::MaxMarkers;
    QStringList marks(markers, u"?"_s);
    QVariantList values;
    for (int i = 0; i < markers; ++i)
        values << i;
    const QString text = u"WITH RECURSIVE C(X) AS (SELECT 1 UNION ALL SELECT X + 1 FROM C) "
                         u"SELECT COUNT(*) FROM C WHERE X NOT IN (%1)"_s.arg(marks.join(u','));
    ReportQuery query(QString::fromLatin1(TdtmDBGeral::ConnectionName), text, values);
    query.setMaxRows(0);
    QEventLoop loop;
    QObject::connect(&query, &ReportQuery::finished, &loop, &QEventLoop::quit);
    query.start();
    QTimer::singleShot(200, &query, &ReportQuery::cancel);
    loop.exec();
    EXPECT_EQ(query.outcome(), ReportQuery::Outcome::Cancelled) << query.errorText().toStdString();
    TdtmDBGeral::close();

    const QString tooMany = u"SELECT 1 AS N WHERE 1 IN (%1)"_s.arg(QStringList(200000, u":P"_s).join(u','));
    EXPECT_EQ(ReportSql::refusalReason(tooMany),
              u"Um relatório usa no máximo 2000 parâmetros no SQL; este usa 200000 e foi recusado."_s);
    EXPECT_EQ(ReportSql::refusalReason(u"SELECT 1 AS N WHERE 1 IN (%1)"_s.arg(QStringList(2000, u":P"_s).join(u','))),
              QString());
}

} // namespace
