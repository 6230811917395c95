// Message catalogue: every "key|text" line gives its key, the text runs from after the first bar
// to the end of the line (leading blanks kept), a later line for the same key wins.
#include "fuzzsupport.h"
#include "messages.h"

#include <QHash>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size)
{
    const QString catalogue = QString::fromUtf8(reinterpret_cast<const char *>(bytes), qsizetype(size));
    TMessages messages;
    messages.Load(catalogue);

    QHash<QString, QString> expected;
    const QStringList lines = catalogue.split(u'\n');
    for (QString line : lines) {
        if (line.endsWith(u'\r'))
            line.chop(1);
        const qsizetype bar = line.indexOf(u'|');
        if (bar > 0)
            expected.insert(line.left(bar), line.mid(bar + 1));
    }
    fuzz::check(messages.count() == expected.size(), "entry count", QString::number(messages.count()));
    for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
        fuzz::check(messages.contains(it.key()), "key missing", it.key());
        fuzz::check(messages.Msg(it.key()) == it.value(), "text differs", it.key() + u" -> "_s + messages.Msg(it.key()));
    }
    const QString absent = QStringLiteral("\x01absent-key\x01");
    if (!expected.contains(absent))
        fuzz::check(messages.Msg(absent) == absent, "missing key does not answer with itself");

    // Loading replaces the catalogue: nothing of the previous one is left behind.
    messages.Load(QStringLiteral("only|one"));
    fuzz::check(messages.count() == 1 && messages.Msg(QStringLiteral("only")) == u"one"_s, "reload keeps old entries");
    return 0;
}
