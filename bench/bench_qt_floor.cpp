// bench_qt_floor: the least any Qt Widgets program pays to show a window here and quit: the Qt
// libraries loaded, the offscreen platform, fontconfig, a main window with a menu, a status bar and
// an MDI child painted once. reports_vs_shell.sh runs it beside the application, so that a report's
// ratio can be read against what no screen built on these libraries can go under.
//
//   bench_qt_floor        (QT_QPA_PLATFORM=offscreen when there is no display)

#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QStatusBar>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.menuBar()->addMenu(QStringLiteral("Relatórios"));
    window.statusBar()->showMessage(QStringLiteral("Pronto"));
    auto *area = new QMdiArea; // owned by the window
    window.setCentralWidget(area);
    area->addSubWindow(new QLabel(QStringLiteral("Vendas por Dia/Hora")))->show();
    window.show();
    QApplication::processEvents();
    return 0;
}
