#include "mainwindow.h"

#include "application.h"
#include "errors.h"
#include "eventboundary.h"
#include "moduleloader.h"

#include <QMdiArea>
#include <QMenuBar>
#include <QRegularExpression>
#include <QStatusBar>

MainWindow::MainWindow(const HostConfig &config, ModuleLoader &loader, QWidget *parent)
    : QMainWindow(parent), mConfig(config), mLoader(loader), mMdi(new QMdiArea(this))
{
    setObjectName(QStringLiteral("frmPrincipal"));
    setWindowTitle(QStringLiteral("Retaguarda"));
    mMdi->setObjectName(QStringLiteral("mdiArea"));
    setCentralWidget(mMdi);
    if (TApplication *app = Application())
        app->setMdiArea(mMdi);
    buildMenus();
    QString status = QStringLiteral("Filial %1").arg(config.context.filiProc);
    if (!config.context.nomeFiliProc.isEmpty())
        status += QStringLiteral(" - ") + config.context.nomeFiliProc;
    statusBar()->showMessage(status);
    resize(900, 640);
}

void MainWindow::buildMenus()
{
    for (const HostConfig::Screen &screen : mConfig.screens) {
        // "\/" keeps a slash inside a caption ("Entradas\/Saídas").
        QStringList parts = screen.menu.split(QRegularExpression(QStringLiteral(R"((?<!\\)/)")));
        for (QString &part : parts)
            part.replace(QStringLiteral("\\/"), QStringLiteral("/"));
        if (parts.size() < 2)
            parts = {QStringLiteral("Telas"), screen.code};
        QMenu *menu = nullptr;
        const auto topMenus = menuBar()->findChildren<QMenu *>(QString(), Qt::FindDirectChildrenOnly);
        for (QMenu *m : topMenus) {
            if (m->title() == parts.first())
                menu = m;
        }
        if (!menu)
            menu = menuBar()->addMenu(parts.first());
        QAction *action = menu->addAction(parts.last());
        action->setObjectName(QStringLiteral("act") + screen.code);
        const QString code = screen.code;
        connectHandler(action, &QAction::triggered, this, [this, code] { openScreen(code); });
    }
}

void MainWindow::openScreen(const QString &code)
{
    const HostConfig::Screen *screen = mConfig.screen(code);
    if (!screen)
        throw EHostError(QStringLiteral("Tela '%1' não configurada.").arg(code));
    mLoader.load(screen->module);
    mLoader.call(screen->module, "IniProc");
}
