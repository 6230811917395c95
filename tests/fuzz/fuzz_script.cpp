// Screen-script steps: the fuzzed bytes are a script ({"steps": [...]} or a bare array of steps)
// run by ScriptRunner on a host session without a screen open. A malformed step may only end the
// script with EHostError; a step that runs reports the focus after it.
#include "errors.h"
#include "fuzzsupport.h"
#include "hostconfig.h"
#include "hostsession.h"
#include "scriptrunner.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <exception>

namespace {
HostConfig sessionConfig()
{
    HostConfig config;
    config.applyOverrides(QJsonObject{{QStringLiteral("database"),
                                       QJsonObject{{QStringLiteral("driver"), QStringLiteral("QSQLITE")},
                                                   {QStringLiteral("name"), QStringLiteral(":memory:")}}}},
                          QStringLiteral(BO_SOURCE_DIR));
    return config;
}

// One session for the whole run: starting a host per input would cost more than the steps.
HostSession &session()
{
    static HostSession *s = [] {
        auto *made = new HostSession; // never deleted: lives as long as the fuzzing process
        made->start(sessionConfig());
        made->showMainWindow();
        QCoreApplication::processEvents();
        return made;
    }();
    return *s;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size)
{
    RecordingUi &ui = fuzz::application();
    HostSession &host = session();
    const QByteArray input(reinterpret_cast<const char *>(bytes), qsizetype(size));
    const QJsonDocument doc = QJsonDocument::fromJson(input);
    QJsonArray steps;
    if (doc.isArray()) {
        steps = doc.array();
    } else if (doc.isObject()) {
        const QJsonObject script = doc.object();
        steps = script.value(u"steps"_s).toArray();
        // The script's own configuration is read as the runner reads it (never started: it could
        // name any database file).
        HostConfig config = sessionConfig();
        try {
            config.applyOverrides(script.value(u"config"_s).toObject(), QStringLiteral(BO_SOURCE_DIR));
        } catch (const EHostError &) {
        }
    } else {
        return 0;
    }

    QList<QJsonObject> lines;
    {
        ScriptRunner runner(host, ui, [&lines](const QJsonObject &line) { lines << line; });
        for (int step = 0; step < steps.size(); ++step) {
            if (!steps.at(step).isObject())
                break; // the runner refuses such a script before this step
            const QJsonObject object = steps.at(step).toObject();
            // A screenshot writes an image wherever the script says: not from fuzzed paths.
            if (object.contains(u"screenshot"_s))
                continue;
            lines.clear();
            try {
                runner.runStep(step, object);
            } catch (const EHostError &) {
                break;
            } catch (const std::exception &e) {
                fuzz::fail("runStep: exception other than EHostError", QString::fromUtf8(e.what()) + u" in "_s + QString::fromUtf8(input));
            } catch (...) {
                fuzz::fail("runStep: non-standard exception", QString::fromUtf8(input));
            }
            fuzz::check(!lines.isEmpty() && lines.last().contains(u"focus"_s)
                            && lines.last().value(u"step"_s).toInt(-1) == step,
                        "a step that ran does not end with its focus line", QString::fromUtf8(input));
        }
    }
    // The runner is gone: its recorder callbacks must not outlive it.
    ui.onMessage = nullptr;
    ui.onOpened = nullptr;
    return 0;
}
