#include "testsupport.h"

#include "errors.h"
#include "hostsession.h"
#include "recordingui.h"
#include "scriptrunner.h"

#include <QApplication>
#include <QCoreApplication>
#include <QTest>
#include <QWidget>

namespace testsupport {
QString sourcePath(const QString &relative)
{
    return QStringLiteral(BO_SOURCE_DIR "/") + relative;
}

QList<QJsonObject> runScript(const QJsonArray &steps, const QJsonObject &config)
{
    QList<QJsonObject> lines;
    RecordingUi ui;
    ScopedUi scope(ui);
    {
        HostSession session;
        HostConfig hostConfig = HostConfig::load(HostConfig::defaultPath());
        hostConfig.applyOverrides(config, sourcePath(QString()));
        session.start(hostConfig);
        session.showMainWindow();
        QCoreApplication::processEvents();
        ScriptRunner runner(session, ui, [&lines](const QJsonObject &line) { lines << line; });
        runner.run(steps);
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return lines;
}

QList<QJsonObject> linesOf(const QList<QJsonObject> &lines, const QString &kind)
{
    QList<QJsonObject> result;
    for (const QJsonObject &line : lines) {
        if (line.contains(kind))
            result << line;
    }
    return result;
}

QStringList messagesOf(const QList<QJsonObject> &lines)
{
    QStringList result;
    for (const QJsonObject &line : linesOf(lines, QStringLiteral("message")))
        result << line.value(QStringLiteral("message")).toString();
    return result;
}

void activate(QWidget *widget)
{
    QWidget *window = widget->window();
    window->show();
    window->activateWindow();
    QApplication::setActiveWindow(window);
    (void)QTest::qWaitForWindowActive(window, 1000);
}
} // namespace testsupport
