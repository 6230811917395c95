#include "screensteps.h"

#include <QJsonArray>

using namespace Qt::StringLiterals;

ScreenSteps::ScreenSteps(HostSession &session, RecordingUi &ui)
    : mRunner(session, ui, [this](const QJsonObject &line) { mLines << line; })
{
}

int ScreenSteps::step(const QJsonObject &object)
{
    const int index = mNext++;
    mRunner.runStep(index, object);
    return index;
}

int ScreenSteps::click(const QString &control)
{
    return step({{u"click"_s, control}});
}

int ScreenSteps::type(const QString &control, const QString &text)
{
    return step({{u"type"_s, QJsonArray{control, text}}});
}

void ScreenSteps::answerPicker(const QStringList &keys)
{
    step({{u"answer"_s, QJsonObject{{u"picker"_s, QJsonArray::fromStringList(keys)}}}});
}

QWidget *ScreenSteps::control(const QString &name) const
{
    return mRunner.control(name);
}

TForm *ScreenSteps::activeScreen() const
{
    return mRunner.activeScreen();
}

QStringList ScreenSteps::said() const
{
    QStringList texts;
    for (const QJsonObject &line : mLines) {
        for (const QString &kind : {u"message"_s, u"error"_s}) {
            if (const QString text = line.value(kind).toString();
                line.contains(kind) && !texts.contains(text))
                texts << text;
        }
    }
    return texts;
}

std::optional<QStringList> ScreenSteps::offered(int step) const
{
    for (const QJsonObject &line : mLines) {
        if (line.value(u"step"_s).toInt() != step || !line.contains(u"picker"_s))
            continue;
        QStringList keys;
        const QJsonArray array = line.value(u"picker"_s).toObject().value(u"keys"_s).toArray();
        for (const QJsonValue &key : array)
            keys << key.toString();
        return keys;
    }
    return std::nullopt;
}
