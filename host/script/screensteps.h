#pragma once

#include "host_global.h"
#include "scriptrunner.h"

#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

class HostSession;
class RecordingUi;
class TForm;
class QWidget;

// A real screen driven step by step through ScriptRunner, as a command that stands in for the
// person at the screen does it; what the screen said is kept in order.
class HOST_EXPORT ScreenSteps
{
public:
    ScreenSteps(HostSession &session, RecordingUi &ui);
    ScreenSteps(const ScreenSteps &) = delete;
    ScreenSteps &operator=(const ScreenSteps &) = delete;

    // Each answers the index of its step (the picker it opened is found by it).
    int step(const QJsonObject &object);
    int click(const QString &control);
    int type(const QString &control, const QString &text);
    // The answer of the next picker: the keys to pick.
    void answerPicker(const QStringList &keys);

    QWidget *control(const QString &name) const; // throws EHostError when the screen has none
    TForm *activeScreen() const;

    // Messages and errors the user would have seen, each once, in order.
    QStringList said() const;
    // The keys the picker opened in `step` offered; nothing when no picker opened.
    std::optional<QStringList> offered(int step) const;

private:
    QList<QJsonObject> mLines;
    ScriptRunner mRunner;
    int mNext = 0;
};
