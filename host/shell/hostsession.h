#pragma once

#include "host_global.h"
#include "hostconfig.h"

#include <cstdio>
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

    // A configuration or a module the host cannot start on: the text goes to `err`, and also to an
    // error dialog when the host runs with a window, so that a user who started it from a menu sees
    // why it did not open. Answers the exit status (2).
    static int refuseStart(const QString &text, FILE *err, bool window);
    // True when the platform shows windows to someone (not offscreen or minimal).
    static bool hasWindow();

    const HostConfig &config() const { return mConfig; }
    MainWindow *mainWindow() const { return mMainWindow.get(); }
    ModuleLoader &loader() { return *mLoader; }

private:
    HostConfig mConfig;
    std::unique_ptr<ModuleLoader> mLoader;
    std::unique_ptr<MainWindow> mMainWindow;
};
