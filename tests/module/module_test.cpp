#include "application.h"
#include "cli_vnd02500.h"
#include "errors.h"
#include "exportscreendriver.h"
#include "datamodule.h"
#include "moduleloader.h"
#include "package.h"
#include "recordingui.h"
#include "screentest.h"
#include "testsupport.h"

#include <QCoreApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <gtest/gtest.h>

namespace {
using testsupport::flushDeletes;

// The screen here is the module's own (IniProc), closed as the user closes it so that the module
// forgets it.
class ModuleLifecycle : public testsupport::ScreenTest<>
{
protected:
    void SetUp() override
    {
        openDatabase(DatabaseConfig::sqlite(QStringLiteral(":memory:")));
        mLoader.load(QStringLiteral("Pkg_Vnd02500"));
    }
    void TearDown() override
    {
        if (frmEstaticVendHora)
            frmEstaticVendHora->close();
        flushDeletes();
        mLoader.unload(QStringLiteral("Pkg_Vnd02500"));
        ScreenTest::TearDown();
    }
    ModuleLoader mLoader{QStringLiteral(BO_MODULES_DIR)};
};

TEST_F(ModuleLifecycle, TwoCallsCreateOneInstanceAndShowItTwice)
{
    EXPECT_FALSE(boIdCriado);
    mLoader.call(QStringLiteral("Pkg_Vnd02500"), "IniProc");
    QPointer<TfrmEstaticVendHora> first = frmEstaticVendHora;
    ASSERT_FALSE(first.isNull());
    EXPECT_TRUE(boIdCriado);
    first->hide();
    mLoader.call(QStringLiteral("Pkg_Vnd02500"), "IniProc");
    EXPECT_EQ(frmEstaticVendHora.data(), first.data());
    EXPECT_TRUE(first->isVisible()); // the second call showed it again
    EXPECT_EQ(TScreen::Cursor(), TScreen::crDefault);
}

TEST_F(ModuleLifecycle, CloseThenCallCreatesASecondInstance)
{
    IniProc();
    QPointer<TfrmEstaticVendHora> first = frmEstaticVendHora;
    ASSERT_FALSE(first.isNull());
    EXPECT_TRUE(first->close());
    EXPECT_FALSE(boIdCriado);
    flushDeletes();
    EXPECT_TRUE(first.isNull()); // the base close frees the screen
    IniProc();
    ASSERT_FALSE(frmEstaticVendHora.isNull());
    EXPECT_TRUE(boIdCriado);
}

// A screen destroyed without its close leaves the flag set: the next call must make a new one
// instead of showing what is gone.
TEST_F(ModuleLifecycle, ScreenDestroyedWithoutItsCloseIsMadeAgain)
{
    struct Case
    {
        const char *name;
        void (*destroy)(TfrmEstaticVendHora *screen);
    };
    const Case cases[] = {
        {"the screen itself", [](TfrmEstaticVendHora *screen) { delete screen; }},
        {"deleted later by its owner", [](TfrmEstaticVendHora *screen) { screen->deleteLater(); }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        IniProc();
        QPointer<TfrmEstaticVendHora> first = frmEstaticVendHora;
        ASSERT_FALSE(first.isNull());
        c.destroy(first.data());
        flushDeletes();
        ASSERT_TRUE(first.isNull());
        EXPECT_TRUE(boIdCriado); // no close ran
        IniProc();
        ASSERT_FALSE(frmEstaticVendHora.isNull());
        EXPECT_TRUE(frmEstaticVendHora->isVisible());
        EXPECT_TRUE(boIdCriado);
        EXPECT_EQ(TScreen::Cursor(), TScreen::crDefault);
        EXPECT_TRUE(frmEstaticVendHora->close());
        flushDeletes();
        EXPECT_FALSE(boIdCriado);
    }
}

TEST_F(ModuleLifecycle, UnloadReleasesTheSevenStringsAndCountsStarts)
{
    // A second Initialize (another loader asking) must not restart the unit.
    auto initialize = reinterpret_cast<PackageProc>(mLoader.symbol(QStringLiteral("Pkg_Vnd02500"), "Initialize"));
    auto finalize = reinterpret_cast<PackageProc>(mLoader.symbol(QStringLiteral("Pkg_Vnd02500"), "Finalize"));
    ASSERT_TRUE(initialize && finalize);
    boIdCriado = true;
    initialize();
    EXPECT_TRUE(boIdCriado);
    finalize();

    QString *strings[] = {&stFilial, &stLoja, &stCaixa, &HoraIni, &MinIni, &HoraFin, &MinFin};
    for (QString *s : strings)
        *s = QStringLiteral("12");
    boIdCriado = false;
    mLoader.unload(QStringLiteral("Pkg_Vnd02500"));
    for (QString *s : strings)
        EXPECT_TRUE(s->isEmpty());
    EXPECT_FALSE(HostRuntime::hasVariable(QStringLiteral("stFilial")));
    EXPECT_FALSE(ExportScreenDriver::factory(QStringLiteral("Vnd02500"))); // no driver left behind the unit
    mLoader.load(QStringLiteral("Pkg_Vnd02500")); // for TearDown
    EXPECT_TRUE(HostRuntime::hasVariable(QStringLiteral("stFilial")));
    EXPECT_TRUE(ExportScreenDriver::factory(QStringLiteral("Vnd02500")));
}

TEST_F(ModuleLifecycle, PackageDescriptionAndExports)
{
    const PackageInfo *info = mLoader.packageInfo(QStringLiteral("Pkg_Vnd02500"));
    ASSERT_NE(info, nullptr);
    EXPECT_STREQ(info->name, "Pkg_Vnd02500");
    ASSERT_EQ(info->unitCount, 2);
    EXPECT_STREQ(info->units[0], "Pkg_Vnd02500");
    EXPECT_STREQ(info->units[1], "Cli_Vnd02500");
    QStringList required;
    for (int i = 0; i < info->requiresCount; ++i)
        required << QString::fromLatin1(info->requires_[i]);
    EXPECT_EQ(required.join(u','), QStringLiteral("_cvl,_rtl,_qr,_lib,_ger,_frm,_db,_vcl"));
    for (const char *name : {"IniProc", "CriaRelEstatVendHora", "stFilial", "stLoja", "stCaixa", "HoraIni",
                             "MinIni", "HoraFin", "MinFin", "boIdCriado", "frmEstaticVendHora"})
        EXPECT_NE(mLoader.symbol(QStringLiteral("Pkg_Vnd02500"), name), nullptr) << name;
    EXPECT_TRUE(HostRuntime::isRegistered(mLoader.pathOf(QStringLiteral("Pkg_Vnd02500"))));
}

TEST(ModuleLoading, FailuresAreReadable)
{
    ModuleLoader loader(QStringLiteral(BO_MODULES_DIR));
    EXPECT_THROW(loader.load(QStringLiteral("NoSuchModule")), EHostError);
    // A shared library that is not a module of ours.
    EXPECT_THROW(loader.load(QStringLiteral(BO_BINARY_DIR "/lib/libbohost.so")), EHostError);
    EXPECT_FALSE(loader.isLoaded(QStringLiteral("NoSuchModule")));
}

TEST(ScreenScripts, OpenTwiceCloseAndOpenAgain)
{
    const QJsonArray steps{
        QJsonObject{{QStringLiteral("open"), QStringLiteral("Vnd02500")}},
        QJsonObject{{QStringLiteral("open"), QStringLiteral("Vnd02500")}},
        QJsonObject{{QStringLiteral("dump"), QJsonArray{QStringLiteral("boIdCriado"), QStringLiteral("frmEstaticVendHora")}}},
        QJsonObject{{QStringLiteral("close"), true}},
        QJsonObject{{QStringLiteral("dump"), QJsonArray{QStringLiteral("boIdCriado")}}},
        QJsonObject{{QStringLiteral("open"), QStringLiteral("Vnd02500")}},
        QJsonObject{{QStringLiteral("dump"), QJsonArray{QStringLiteral("boIdCriado")}}},
    };
    const auto lines = testsupport::runScript(
        steps, {{QStringLiteral("database"), QJsonObject{{QStringLiteral("driver"), QStringLiteral("QSQLITE")},
                                                        {QStringLiteral("name"), QStringLiteral(":memory:")}}}});
    const auto dumps = testsupport::linesOf(lines, QStringLiteral("dump"));
    ASSERT_EQ(dumps.size(), 3);
    const QJsonObject first = dumps[0].value(QStringLiteral("dump")).toObject();
    EXPECT_TRUE(first.value(QStringLiteral("boIdCriado")).toBool());
    EXPECT_EQ(first.value(QStringLiteral("frmEstaticVendHora")).toObject().value(QStringLiteral("caption")).toString(),
              QStringLiteral(" Vendas por Dia/Hora"));
    EXPECT_FALSE(dumps[1].value(QStringLiteral("dump")).toObject().value(QStringLiteral("boIdCriado")).toBool());
    EXPECT_TRUE(dumps[2].value(QStringLiteral("dump")).toObject().value(QStringLiteral("boIdCriado")).toBool());
    EXPECT_TRUE(testsupport::linesOf(lines, QStringLiteral("error")).isEmpty());
    // Every step reports the focus.
    EXPECT_EQ(testsupport::linesOf(lines, QStringLiteral("focus")).size(), steps.size());
}

TEST(ScreenScripts, UnknownVerbOrControlStops)
{
    const QJsonObject memoryDb{{QStringLiteral("database"), QJsonObject{{QStringLiteral("driver"), QStringLiteral("QSQLITE")},
                                                                       {QStringLiteral("name"), QStringLiteral(":memory:")}}}};
    EXPECT_THROW(testsupport::runScript({QJsonObject{{QStringLiteral("fly"), true}}}, memoryDb), EHostError);
    EXPECT_THROW(testsupport::runScript({QJsonObject{{QStringLiteral("open"), QStringLiteral("Vnd02500")}},
                                         QJsonObject{{QStringLiteral("click"), QStringLiteral("btnNada")}}},
                                        memoryDb),
                 EHostError);
}
} // namespace
