#pragma once

// Shared pieces of the fuzz targets: the failure report, text from fuzzed bytes and the host
// application the widget targets need.

#include "application.h"
#include "recordingui.h"

#include <QByteArray>
#include <QString>
#include <cstdio>
#include <cstdlib>
#include <fuzzer/FuzzedDataProvider.h>
#include <string>

using namespace Qt::StringLiterals;

namespace fuzz {

// A broken invariant is a finding: print it and abort so that libFuzzer keeps the input.
[[noreturn]] inline void fail(const char *what, const QString &detail = {})
{
    // Control characters and NULs are written as \uXXXX so that the whole detail is readable.
    QString shown;
    for (QChar c : detail) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f || c.isSurrogate())
            shown += u"\\u"_s + QString::number(c.unicode(), 16).rightJustified(4, u'0');
        else
            shown += c;
    }
    std::fprintf(stderr, "FUZZ FINDING: %s %s\n", what, shown.toUtf8().constData());
    std::fflush(stderr);
    std::abort();
}

inline void check(bool condition, const char *what, const QString &detail = {})
{
    if (!condition)
        fail(what, detail);
}

// Text from the fuzzer: mostly UTF-8 (what files and users give), sometimes raw UTF-16 units so
// that lone surrogates and any code unit reach the code too.
inline QString text(FuzzedDataProvider &data, size_t maxBytes)
{
    const bool raw = data.ConsumeBool();
    const std::string bytes = data.ConsumeRandomLengthString(maxBytes);
    if (raw)
        return QString::fromUtf16(reinterpret_cast<const char16_t *>(bytes.data()), qsizetype(bytes.size() / 2));
    return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
}

// The host application on the offscreen platform, made once; dialogs and errors go to a recorder
// instead of modal boxes, which would stop the fuzzer.
inline RecordingUi &application()
{
    static int argc = 1;
    static char name[] = "fuzz";
    static char *argv[] = {name, nullptr};
    static TApplication *app = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        return new TApplication(argc, argv); // never deleted: lives as long as the fuzzing process
    }();
    static RecordingUi ui;
    static ScopedUi scope(ui);
    (void)app;
    ui.clear(); // keep the recorder from growing over millions of inputs
    return ui;
}

} // namespace fuzz
