// Field utilities: Ajusta, HorarioOk, EmptyString, Replicate and Format, each against the
// property its callers rely on.
#include "consiste.h"
#include "fuzzsupport.h"

#include <QStringList>

namespace {
bool isAsciiDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

void checkAjusta(const QString &input, int width)
{
    const QString result = Ajusta(input, width);
    if (width <= 0) {
        fuzz::check(result.isEmpty(), "Ajusta: width <= 0 gives text", result);
        return;
    }
    fuzz::check(result.size() == width, "Ajusta: length != width", result);
    const QString trimmed = input.trimmed();
    if (trimmed.size() >= width) {
        fuzz::check(result == trimmed.right(width), "Ajusta: long text does not keep its rightmost characters", result);
    } else {
        fuzz::check(result.endsWith(trimmed), "Ajusta: short text is not at the right", result);
        for (qsizetype i = 0; i < width - trimmed.size(); ++i)
            fuzz::check(result.at(i) == u'0', "Ajusta: padding is not zeros", result);
    }
    // Codes already brought to the width stay as they are (callers adjust more than once).
    if (!result.at(0).isSpace() && !result.back().isSpace())
        fuzz::check(Ajusta(result, width) == result, "Ajusta: not idempotent", result);
}

void checkHorario(const QString &input)
{
    const bool ok = HorarioOk(input);
    bool expected = input.size() == 4;
    for (qsizetype i = 0; expected && i < input.size(); ++i)
        expected = isAsciiDigit(input.at(i));
    if (expected) {
        const int hours = (input.at(0).unicode() - '0') * 10 + (input.at(1).unicode() - '0');
        const int minutes = (input.at(2).unicode() - '0') * 10 + (input.at(3).unicode() - '0');
        expected = hours <= 23 && minutes <= 59;
    }
    fuzz::check(ok == expected, ok ? "HorarioOk: accepts a non-time" : "HorarioOk: refuses a time", input);
}

void checkEmpty(const QString &input)
{
    bool blanks = true;
    for (QChar c : input)
        blanks = blanks && c == u' ';
    fuzz::check(EmptyString(input) == blanks, "EmptyString: wrong answer", input);
}

void checkReplicate(const QString &input, int count)
{
    const QString result = Replicate(input, count);
    if (count <= 0) {
        fuzz::check(result.isEmpty(), "Replicate: count <= 0 gives text");
        return;
    }
    fuzz::check(result.size() == qsizetype(count) * input.size(), "Replicate: length != count * length");
    for (int i = 0; i < count; ++i)
        fuzz::check(QStringView(result).mid(qsizetype(i) * input.size(), input.size()) == input,
                    "Replicate: a copy differs", result);
}

void checkFormat(const QString &pattern, const QStringList &args)
{
    const QString result = Format(pattern, args);
    // Every "%s", left to right, takes the next argument (nothing when they run out); the rest
    // of the pattern is copied.
    qsizetype expectedSize = 0;
    int used = 0;
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        if (pattern.at(i) == u'%' && i + 1 < pattern.size() && pattern.at(i + 1) == u's') {
            if (used < args.size())
                expectedSize += args.at(used).size();
            ++used;
            ++i;
        } else {
            ++expectedSize;
        }
    }
    fuzz::check(result.size() == expectedSize, "Format: wrong length", result);
    if (used == 0)
        fuzz::check(result == pattern, "Format: pattern without %s changed", result);
    if (!args.isEmpty() && pattern == u"%s")
        fuzz::check(result == args.first(), "Format: %s alone is not the argument", result);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size)
{
    FuzzedDataProvider data(bytes, size);
    const int width = data.ConsumeIntegralInRange<int>(-4, 300);
    const int count = data.ConsumeIntegralInRange<int>(-4, 64);
    const QString first = fuzz::text(data, 512);
    checkAjusta(first, width);
    checkHorario(first);
    checkHorario(first.left(4));
    checkEmpty(first);
    checkReplicate(first, count);

    QStringList args;
    const int argCount = data.ConsumeIntegralInRange<int>(0, 6);
    for (int i = 0; i < argCount; ++i)
        args << fuzz::text(data, 64);
    checkFormat(first, args);
    checkFormat(fuzz::text(data, 512), args);
    return 0;
}
