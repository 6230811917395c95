#pragma once

#include "host_global.h"
#include "hostconfig.h"

#include <QMainWindow>

class QMdiArea;
class ModuleLoader;

// The host's main window: screens open as MDI children; the menu lists the configured screens.
class HOST_EXPORT MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    MainWindow(const HostConfig &config, ModuleLoader &loader, QWidget *parent = nullptr);

    QMdiArea *mdiArea() const { return mMdi; }
    // Calls the IniProc of the module that provides the screen; throws EHostError when unknown.
    void openScreen(const QString &code);

private:
    void buildMenus();

    const HostConfig &mConfig;
    ModuleLoader &mLoader;
    QMdiArea *mMdi;
};
