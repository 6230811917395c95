#pragma once

#include "host_global.h"

#include <QJsonObject>
#include <QList>
#include <QMetaObject>
#include <QPointer>
#include <QString>
#include <cstdio>
#include <functional>

class HostSession;
class RecordingUi;
class TForm;
class QWidget;

// Replays a screen script against the real host, offscreen: {"config": {...}, "steps": [...]}.
// Every step's effects are written as JSON lines (messages, errors, pickers, parameters, dumps and
// the focus after each step).
class HOST_EXPORT ScriptRunner
{
public:
    using Output = std::function<void(const QJsonObject &line)>;

    // Reads the script file, runs it with the host configuration file, prints JSON lines to `out`
    // and problems to `err`. Answers the process exit code (0 when every step ran).
    static int runFile(const QString &scriptPath, const QString &configPath, FILE *out, FILE *err);

    ScriptRunner(HostSession &session, RecordingUi &ui, Output output);
    ~ScriptRunner();
    ScriptRunner(const ScriptRunner &) = delete;
    ScriptRunner &operator=(const ScriptRunner &) = delete;

    // Runs the steps; throws EHostError for an unknown verb or control, or a malformed step.
    void run(const QJsonArray &steps);
    // Runs one step (index `step` in the output).
    void runStep(int step, const QJsonObject &object);

    TForm *activeScreen() const;
    QWidget *control(const QString &name) const; // throws EHostError when the screen has none

private:
    void emitLine(QJsonObject line);
    void connectScreen(TForm *screen);
    QJsonValue dumpOf(const QString &name) const;
    void typeInto(QWidget *widget, const QString &text);
    void moveFocus(QWidget *widget);
    void paintReportList();

    HostSession &mSession;
    RecordingUi &mUi;
    Output mOutput;
    int mStep = 0;
    // Screens outlive the runner: every connection is dropped when it goes.
    QList<QPointer<TForm>> mConnected;
    QList<QMetaObject::Connection> mConnections;
};
