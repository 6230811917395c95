#include "testsupport.h"

#include "errors.h"
#include "hostsession.h"
#include "recordingui.h"
#include "scriptrunner.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QKeyEvent>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

namespace testsupport {
QString sourcePath(const QString &relative)
{
    return QStringLiteral(BO_SOURCE_DIR "/") + relative;
}

QString writeHostConfig(const QString &path, const QString &database, bool branchBound)
{
    QFile ini(path);
    if (!ini.open(QIODevice::WriteOnly))
        return {};
    const QByteArray text = QStringLiteral("[context]\nModuFili=%1\nFiliProc=0001\nNomeFiliProc=Matriz\n"
                                           "DBPict=\"99.99.999;0;_\"\n[database]\ndriver=QSQLITE\nname=%2\n"
                                           "[paths]\nreports=%3\nhelp=%4\n[screens]\nsize=1\n1\\code=Vnd02500\n"
                                           "1\\module=Pkg_Vnd02500\n1\\menu=Relat\xf3rios/Vendas por Dia\\\\/Hora\n")
                                .arg(branchBound ? QStringLiteral("true") : QStringLiteral("false"), database,
                                     sourcePath(QStringLiteral("reports")), sourcePath(QStringLiteral("help")))
                                .toUtf8();
    return ini.write(text) == text.size() ? path : QString();
}

void keepWorkbook(const QString &path, const QJsonObject &expected)
{
    const QString folder = qEnvironmentVariable("BO_XLSX_RECALC_DIR");
    if (folder.isEmpty())
        return;
    if (!QFile::exists(path)) {
        ADD_FAILURE() << "no workbook to keep: " << path.toStdString();
        return;
    }
    const ::testing::TestInfo *test = ::testing::UnitTest::GetInstance()->current_test_info();
    QString name = test ? QString::fromUtf8(test->test_suite_name()) + u'.' + QString::fromUtf8(test->name())
                        : QStringLiteral("workbook");
    name.replace(u'/', u'_');
    ASSERT_TRUE(QDir().mkpath(folder)) << folder.toStdString();
    QString base;
    for (int n = 1;; ++n) {
        base = QDir(folder).filePath(name + u'-' + QString::number(n) + u'-' + QFileInfo(path).completeBaseName());
        if (!QFile::exists(base + QStringLiteral(".xlsx")))
            break;
    }
    ASSERT_TRUE(QFile::copy(path, base + QStringLiteral(".xlsx"))) << base.toStdString();
    if (!expected.isEmpty()) {
        QFile file(base + QStringLiteral(".json"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QJsonDocument(expected).toJson());
    }
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

void flushDeletes()
{
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

Qt::Key keyFor(QChar c)
{
    if (c == u'\b')
        return Qt::Key_Backspace;
    const QChar upper = c.toUpper();
    if ((upper >= u'A' && upper <= u'Z') || (c >= u'0' && c <= u'9') || c == u' ')
        return Qt::Key(upper.unicode());
    return Qt::Key_unknown;
}

void typeKeys(QWidget *widget, const QString &text)
{
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, keyFor(c), Qt::NoModifier, QString(c));
        QCoreApplication::sendEvent(widget, &press);
        QKeyEvent release(QEvent::KeyRelease, keyFor(c), Qt::NoModifier, QString(c));
        QCoreApplication::sendEvent(widget, &release);
    }
}

QString focusName()
{
    const QWidget *w = QApplication::focusWidget();
    return w ? w->objectName() : QString();
}
} // namespace testsupport
