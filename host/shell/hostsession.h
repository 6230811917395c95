#pragma once

#include "host_global.h"
#include "hostconfig.h"

#include <memory>

class MainWindow;
class ModuleLoader;

// One run of the host: configuration applied, shared database open, modules loaded, main window.
class HOST_EXPORT HostSession
{
public:
    HostSession();
    ~HostSession();

    // Applies the context and paths, opens the shared database and loads the configured modules.
    // A database that cannot be opened is reported to the user and the host still starts; a
    // module that cannot be loaded throws EHostError.
    void start(const HostConfig &config);
    void showMainWindow();
    // Opens a screen as the menu does; errors are shown, never thrown.
    void openScreen(const QString &code);

    const HostConfig &config() const { return mConfig; }
    MainWindow *mainWindow() const { return mMainWindow.get(); }
    ModuleLoader &loader() { return *mLoader; }

private:
    HostConfig mConfig;
    std::unique_ptr<ModuleLoader> mLoader;
    std::unique_ptr<MainWindow> mMainWindow;
};
