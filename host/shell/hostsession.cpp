#include "hostsession.h"

#include "application.h"
#include "corvel.h"
#include "datamodule.h"
#include "errors.h"
#include "eventboundary.h"
#include "mainwindow.h"
#include "moduleloader.h"
#include "reportdefinition.h"
#include "reportengine.h"
#include "uiservices.h"

HostSession::HostSession() = default;

HostSession::~HostSession()
{
    // Screens go before the modules that own their code, and the connection goes last.
    mMainWindow.reset();
    mLoader.reset();
    TdtmDBGeral::close();
}

void HostSession::start(const HostConfig &config)
{
    mConfig = config;
    Corvel::setContext(config.context);
    if (!config.reportsDir.isEmpty())
        setReportsDirectory(config.reportsDir);
    ReportEngine::instance().setMaxRows(config.reportMaxRows);
    if (TApplication *app = Application(); app && !config.helpDir.isEmpty())
        app->setHelpDir(config.helpDir);
    try {
        TdtmDBGeral::open(config.database);
    } catch (const EDatabaseError &e) {
        UiServices::current().showError(nullptr, e.message());
    }
    mLoader = std::make_unique<ModuleLoader>(config.modulesDir);
    for (const HostConfig::Screen &screen : config.screens)
        mLoader->load(screen.module);
}

void HostSession::showMainWindow()
{
    if (!mMainWindow)
        mMainWindow = std::make_unique<MainWindow>(mConfig, *mLoader);
    mMainWindow->show();
    mMainWindow->activateWindow();
}

void HostSession::openScreen(const QString &code)
{
    EventBoundary::run([&] {
        if (!mMainWindow)
            showMainWindow();
        mMainWindow->openScreen(code);
    });
}
