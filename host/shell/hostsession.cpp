#include "hostsession.h"

#include "adoibquery.h"
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

#include <QGuiApplication>

using namespace Qt::StringLiterals;

namespace {
// The longest product-tree code in the database, 0 when it cannot be read: a database that fails
// here fails in the lookups as well, and they say so where the user is.
int longestProductTreeCode()
{
    if (Corvel::DBPict(0).isEmpty())
        return 0;
    try {
        TADOIBQuery query;
        query.setSQL({u"SELECT MAX(LENGTH(TRIM(CDARVPROD))) AS N FROM PRODUTO"_s});
        query.setSQL_IB({u"SELECT MAX(CHAR_LENGTH(TRIM(CDARVPROD))) AS N FROM PRODUTO"_s});
        query.setSQL_MSSQL({u"SELECT MAX(LEN(CDARVPROD)) AS N FROM PRODUTO"_s});
        query.Open();
        const int longest = query.IsEmpty() ? 0 : query.FieldByName(u"N"_s).AsString().toInt();
        query.Close();
        return longest;
    } catch (const EHostError &) {
        return 0;
    }
}
} // namespace

HostSession::HostSession() = default;

int HostSession::refuseStart(const QString &text, FILE *err, bool window)
{
    std::fprintf(err, "backoffice: %s\n", terminalText(text).toUtf8().constData());
    std::fflush(err);
    if (window)
        UiServices::current().showError(nullptr, text);
    return 2;
}

bool HostSession::hasWindow()
{
    const QString platform = QGuiApplication::platformName();
    return !platform.isEmpty() && platform != u"offscreen" && platform != u"minimal";
}

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
    if (TdtmDBGeral::isOpen())
        mConfig.checkCodeMaskHolds(longestProductTreeCode());
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
