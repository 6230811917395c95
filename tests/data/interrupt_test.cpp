#include "adoibquery.h"
#include "dbinterrupt.h"
#include "errors.h"
#include "testdb.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

TEST(Interrupt, EndsRunawaySqliteStatement)
{
    ScratchSqlite db;
    TADOIBQuery q;
    q.setConnection(db.name());
    // Endless recursion: only an interrupt ends it.
    q.setSQL({u"WITH RECURSIVE C(X) AS (SELECT 1 UNION ALL SELECT X + 1 FROM C)"_s,
              u"SELECT COUNT(*) FROM C WHERE X < 0"_s});
    QElapsedTimer clock;
    clock.start();
    QString message;
    {
        Canceller canceller(db.db());
        try {
            q.Open();
        } catch (const EDatabaseError &e) {
            message = e.message();
        }
        canceller.stop();
        EXPECT_GE(canceller.calls(), 1);
    }
    EXPECT_TRUE(message.contains(u"interrupt"_s, Qt::CaseInsensitive)) << message.toStdString();
    EXPECT_LT(clock.elapsed(), 20000);
    EXPECT_FALSE(q.Active());

    // The connection is usable afterwards.
    q.setSQL({u"SELECT 1 AS UM"_s});
    q.Open();
    EXPECT_EQ(q.FieldByName(u"UM"_s).AsString(), u"1"_s);
}

TEST(Interrupt, UnsupportedOrInvalidConnectionReportsFalse)
{
    EXPECT_FALSE(interruptConnection(QSqlDatabase()));
    ScratchSqlite db;
    EXPECT_TRUE(interruptConnection(db.db())); // nothing running: harmless
}

} // namespace
