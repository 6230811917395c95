#include "adoibquery.h"
#include "datamodule.h"
#include "errors.h"
#include "testdb.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

class SharedConnection : public testing::Test
{
protected:
    void TearDown() override { TdtmDBGeral::close(); }
};

TEST_F(SharedConnection, OpensSqliteUnderSharedNameAndClosesCleanly)
{
    WarningCatcher catcher;
    DatabaseConfig config;
    config.driver = u"QSQLITE"_s;
    config.name = u":memory:"_s;
    config.createIfMissing = true;
    TdtmDBGeral::open(config);
    ASSERT_TRUE(TdtmDBGeral::isOpen());
    EXPECT_EQ(TdtmDBGeral::adcGeral().connectionName(), u"adcGeral"_s);
    EXPECT_EQ(TdtmDBGeral::adcGeral().driverName(), u"QSQLITE"_s);
    EXPECT_EQ(TdtmDBGeral::config().name, u":memory:"_s);

    TADOIBQuery q; // no connection set: the shared one
    q.setSQL({u"SELECT 'ok' AS R"_s});
    q.Open();
    EXPECT_EQ(q.FieldByName(u"R"_s).AsString(), u"ok"_s);

    TdtmDBGeral::close(); // the query object is still alive with its rows
    EXPECT_FALSE(TdtmDBGeral::isOpen());
    EXPECT_FALSE(QSqlDatabase::contains(u"adcGeral"_s));
    EXPECT_EQ(q.FieldByName(u"R"_s).AsString(), u"ok"_s);
    EXPECT_TRUE(catcher.warnings().isEmpty()) << catcher.warnings().join(u'\n').toStdString();
    EXPECT_THROW(q.Open(), EDatabaseError);
}

TEST_F(SharedConnection, ReopenReplacesTheConnection)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    WarningCatcher catcher;
    DatabaseConfig first;
    first.name = dir.filePath(u"a.sqlite"_s);
    first.createIfMissing = true;
    TdtmDBGeral::open(first);
    TADOIBQuery q;
    q.setSQL({u"CREATE TABLE T (X INTEGER)"_s});
    q.Open();
    DatabaseConfig second;
    second.name = dir.filePath(u"b.sqlite"_s);
    second.createIfMissing = true;
    TdtmDBGeral::open(second);
    EXPECT_EQ(TdtmDBGeral::adcGeral().databaseName(), second.name);
    q.setSQL({u"SELECT COUNT(*) AS N FROM sqlite_master WHERE name = 'T'"_s});
    q.Open();
    EXPECT_EQ(q.FieldByName(u"N"_s).AsString(), u"0"_s);
    EXPECT_TRUE(catcher.warnings().isEmpty()) << catcher.warnings().join(u'\n').toStdString();
}

TEST_F(SharedConnection, UnknownDriverThrowsAndLeavesNoConnection)
{
    DatabaseConfig config;
    config.driver = u"QNOSUCH"_s;
    config.name = u"x"_s;
    config.createIfMissing = true;
    EXPECT_THROW(TdtmDBGeral::open(config), EDatabaseError);
    EXPECT_FALSE(QSqlDatabase::contains(u"adcGeral"_s));
}

struct SecretCase
{
    const char *label;
    QString driver;
    QString name;
    QString password;
    QStringList secrets; // none of these may show in the message
};

void PrintTo(const SecretCase &c, std::ostream *os)
{
    *os << c.label;
}

class FailedOpen : public SharedConnection, public testing::WithParamInterface<SecretCase> {};

TEST_P(FailedOpen, MessageNeverCarriesThePassword)
{
    const SecretCase &c = GetParam();
    if (!QSqlDatabase::isDriverAvailable(c.driver))
        GTEST_SKIP() << "driver " << c.driver.toStdString() << " not installed";
    DatabaseConfig config;
    config.driver = c.driver;
    config.name = c.name;
    config.createIfMissing = true;
    config.user = u"gerente"_s;
    config.password = c.password;
    try {
        TdtmDBGeral::open(config);
        FAIL() << "no error";
    } catch (const EDatabaseError &e) {
        EXPECT_FALSE(e.message().isEmpty());
        for (const QString &secret : c.secrets)
            EXPECT_FALSE(e.message().contains(secret)) << e.message().toStdString();
    }
    EXPECT_FALSE(TdtmDBGeral::isOpen());
    EXPECT_FALSE(QSqlDatabase::contains(u"adcGeral"_s));
}

INSTANTIATE_TEST_SUITE_P(
    Table, FailedOpen,
    testing::Values(
        SecretCase{"sqlite_missing_folder", u"QSQLITE"_s, u"/nonexistent/folder/x.sqlite"_s, u"S3cr3t!pw"_s,
                   {u"S3cr3t!pw"_s}},
        SecretCase{"firebird_server_refused", u"QIBASE"_s, u"127.0.0.1/1:/nonexistent/x.fdb"_s, u"S3cr3t!pw"_s,
                   {u"S3cr3t!pw"_s}},
        SecretCase{"odbc_string_with_pwd", u"QODBC"_s, u"DRIVER={No Such Driver};SERVER=x;UID=u;PWD={Str1ng;Pw}"_s,
                   u"Oth3rPw"_s, {u"Oth3rPw"_s, u"Str1ng;Pw"_s}},
        SecretCase{"odbc_dsn", u"QODBC"_s, u"NoSuchDsn"_s, u"Oth3rPw"_s, {u"Oth3rPw"_s}}),
    [](const auto &info) { return std::string(info.param.label); });

} // namespace
