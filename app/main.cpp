// backoffice: the host application. Opens the main window on the configured database, replays
// a screen script offscreen (--script), or writes one report unattended (export).
#include "application.h"
#include "errors.h"
#include "exportcommand.h"
#include "hostsession.h"
#include "scriptrunner.h"

#include <QCommandLineParser>
#include <cstdio>

int main(int argc, char **argv)
{
    // Screen scripts and exports need no display: pick the offscreen platform before the
    // application starts.
    const bool exporting = argc > 1 && qstrcmp(argv[1], "export") == 0;
    bool offscreen = exporting;
    for (int i = 1; i < argc; ++i)
        offscreen = offscreen || qstrcmp(argv[i], "--script") == 0;
    if (offscreen && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (exporting)
        ExportCommand::quietQtNotices();
    TApplication app(argc, argv);
    TApplication::setApplicationName(QStringLiteral("backoffice"));
    if (exporting)
        return ExportCommand::run(TApplication::arguments().mid(2), stdout, stderr);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Retaguarda: relatórios de vendas\n"
                       "backoffice export --help: grava um relatório em arquivo, sem janela."));
    parser.addHelpOption();
    const QCommandLineOption configOption(QStringLiteral("config"), QStringLiteral("Arquivo de configuração (INI)."),
                                          QStringLiteral("file"), HostConfig::defaultPath());
    const QCommandLineOption openOption(QStringLiteral("open"), QStringLiteral("Abre a tela ao iniciar."),
                                        QStringLiteral("code"));
    const QCommandLineOption scriptOption(QStringLiteral("script"),
                                          QStringLiteral("Executa um roteiro de tela (JSON) e termina."),
                                          QStringLiteral("file"));
    parser.addOptions({configOption, openOption, scriptOption});
    parser.process(app);

    if (parser.isSet(scriptOption))
        return ScriptRunner::runFile(parser.value(scriptOption), parser.value(configOption), stdout, stderr);

    // A configuration or a module the host cannot trust stops it before any window opens; the
    // reason goes to a dialog as well as to standard error.
    HostSession session;
    try {
        session.start(HostConfig::load(parser.value(configOption)));
    } catch (const EHostError &e) {
        return HostSession::refuseStart(e.message(), stderr, HostSession::hasWindow());
    } catch (const std::exception &e) {
        return HostSession::refuseStart(describeException(e), stderr, HostSession::hasWindow());
    }
    session.showMainWindow();
    if (parser.isSet(openOption))
        session.openScreen(parser.value(openOption));
    return app.exec();
}
