#include "errors.h"
#include "hostconfig.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
TEST(HostConfiguration, DefaultFileGivesTheWholeContext)
{
    const HostConfig config = HostConfig::load(HostConfig::defaultPath());
    // A mask holds ';' which an INI file takes for a comment unless quoted.
    EXPECT_EQ(config.context.dbPictArvProd, QStringLiteral("99.99.999;0;_"));
    EXPECT_EQ(config.context.filiProc, QStringLiteral("0001"));
    EXPECT_EQ(config.database.driver, QStringLiteral("QSQLITE"));
    EXPECT_TRUE(config.database.name.endsWith(QStringLiteral("demo/data/demo.sqlite")));
    ASSERT_NE(config.screen(QStringLiteral("Vnd02500")), nullptr);
    EXPECT_EQ(config.screen(QStringLiteral("Vnd02500"))->module, QStringLiteral("Pkg_Vnd02500"));
    EXPECT_EQ(config.screen(QStringLiteral("Vnd02500"))->menu, QStringLiteral("Relatórios/Vendas por Dia\\/Hora"));
}

TEST(HostConfiguration, ScriptOverridesAndMissingFile)
{
    HostConfig config = HostConfig::load(HostConfig::defaultPath());
    config.applyOverrides({{QStringLiteral("ModuFili"), true},
                           {QStringLiteral("FiliProc"), QStringLiteral("0007")},
                           {QStringLiteral("WebPort"), 8080},
                           {QStringLiteral("database"), QJsonObject{{QStringLiteral("driver"), QStringLiteral("QIBASE")},
                                                                   {QStringLiteral("name"), QStringLiteral("db.fdb")}}}},
                          QStringLiteral("/srv/scripts"));
    EXPECT_TRUE(config.context.moduFili);
    EXPECT_EQ(config.context.filiProc, QStringLiteral("0007"));
    EXPECT_EQ(config.context.webPort, 8080);
    EXPECT_EQ(config.database.driver, QStringLiteral("QIBASE"));
    EXPECT_EQ(config.database.name, QStringLiteral("/srv/scripts/db.fdb")); // relative to the script
    EXPECT_THROW(HostConfig::load(QStringLiteral("/nonexistent/backoffice.ini")), EHostError);
}
// A database name is taken from the script's folder only where the driver opens a file.
TEST(HostConfiguration, OnlyFileDatabasesAreTakenFromTheConfigurationFolder)
{
    const struct
    {
        const char *driver;
        const char *name;
        const char *expected;
    } cases[] = {
        {"QSQLITE", "vendas.sqlite", "/srv/scripts/vendas.sqlite"},
        {"QIBASE", "db.fdb", "/srv/scripts/db.fdb"},
        {"QIBASE", "server:/dados/db.fdb", "server:/dados/db.fdb"},
        {"QPSQL", "retaguarda", "retaguarda"},
        {"QODBC", "DSN=loja", "DSN=loja"},
    };
    for (const auto &c : cases) {
        HostConfig config = HostConfig::load(HostConfig::defaultPath());
        config.applyOverrides({{QStringLiteral("database"), QJsonObject{{QStringLiteral("driver"), QLatin1String(c.driver)},
                                                                       {QStringLiteral("name"), QLatin1String(c.name)}}}},
                              QStringLiteral("/srv/scripts"));
        EXPECT_EQ(config.database.name, QLatin1String(c.expected)) << c.driver << " " << c.name;
    }
}
} // namespace
