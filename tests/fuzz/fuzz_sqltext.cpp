// Statement texts: every ":NAME" outside literals and comments becomes one "?" and nothing else
// changes; the result holds no marker any more, so rewriting it again changes nothing.
#include "fuzzsupport.h"
#include "sqltext.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size)
{
    const QString sql = QString::fromUtf8(reinterpret_cast<const char *>(bytes), qsizetype(size));
    const SqlText::Positional p = SqlText::toPositional(sql);

    qsizetype removed = 0;
    for (const QString &name : p.names) {
        fuzz::check(!name.isEmpty(), "empty parameter name", sql);
        for (QChar c : name)
            fuzz::check(SqlText::isNameChar(c), "name holds a character names cannot have", name);
        removed += name.size();
    }
    // ":NAME" (1 + n characters) became "?" (1 character).
    fuzz::check(p.text.size() == sql.size() - removed, "text changed beyond the markers", p.text);

    const SqlText::Positional again = SqlText::toPositional(p.text);
    fuzz::check(again.names.isEmpty(), "a marker is left after rewriting", again.names.join(u','));
    fuzz::check(again.text == p.text, "rewriting twice changed the text", again.text);

    // The stretches of code cover the text in order, without overlaps, inside its bounds, under
    // every engine's reading of quotes.
    for (const SqlText::Quoting quoting : SqlText::AllQuotings) {
        qsizetype last = 0;
        SqlText::forEachCodeStretch(
            sql,
            [&](qsizetype from, qsizetype to) {
                fuzz::check(from >= last && from <= to && to <= sql.size(), "code stretch out of order",
                            QString::number(from) + u".."_s + QString::number(to));
                last = to;
            },
            quoting);
    }
    return 0;
}
