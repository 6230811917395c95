// Masked edit: fuzzed host masks and texts through setEditMask, SetText, Text and EditText.
#include "fuzzsupport.h"
#include "widgets.h"

namespace {
// The host mask's save-literals flag and blank, read the way the mask convention states them:
// after the first unescaped ";" the flag (absent or not "0": literals kept), then ";" and the blank.
struct MaskTail
{
    bool saveLiterals = true;
    QChar blank = u'_';
};

MaskTail tailOf(const QString &mask)
{
    MaskTail tail;
    qsizetype end = -1;
    for (qsizetype i = 0; i < mask.size(); ++i) {
        if (mask.at(i) == u'\\') {
            ++i;
        } else if (mask.at(i) == u';') {
            end = i;
            break;
        }
    }
    if (end < 0)
        return tail;
    const QString rest = mask.mid(end + 1);
    const qsizetype bar = rest.indexOf(u';');
    const QString flag = bar < 0 ? rest : rest.left(bar);
    if (!flag.isEmpty())
        tail.saveLiterals = flag != u"0"_s;
    if (bar >= 0 && bar + 1 < rest.size())
        tail.blank = rest.at(bar + 1);
    return tail;
}

// Qt shows a control character as a space (in a mask literal, and even in a digit position when
// code sets one), so Text and EditText stop reading back; masks and texts are printable here.
QString printable(QString text)
{
    for (QChar &c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            c = u'?';
    }
    return text;
}

// True when `part` can be read off `whole` left to right, characters possibly skipped.
bool isSubsequence(const QString &part, const QString &whole)
{
    qsizetype at = 0;
    for (QChar c : part) {
        at = whole.indexOf(c, at);
        if (at < 0)
            return false;
        ++at;
    }
    return true;
}

// EditText against what the edit draws, where a literal ";" is drawn as its look-alike U+037E (Qt
// ends a mask at any ";").
bool sameShown(const QString &editText, const QString &drawn)
{
    if (editText.size() != drawn.size())
        return false;
    for (qsizetype i = 0; i < drawn.size(); ++i) {
        if (editText.at(i) != drawn.at(i) && !(editText.at(i) == u';' && drawn.at(i) == QChar(0x037E)))
            return false;
    }
    return true;
}

void checkState(const TMaskEdit &edit, const MaskTail &tail, const QString &mask, const QString &input)
{
    const QString text = edit.Text();
    const QString shown = edit.EditText();
    const QString where = u"mask ["_s + mask + u"] input ["_s + input + u"] text ["_s + text + u"] shown ["_s + shown + u']';
    fuzz::check(sameShown(shown, edit.displayText()), "EditText is not what the edit shows", where);
    if (edit.inputMask().isEmpty()) {
        fuzz::check(text == edit.text(), "without a mask Text is not the plain text", where);
        return;
    }
    if (tail.saveLiterals) {
        // With literals kept the text is the shown text (or "" when nothing was typed).
        fuzz::check(text.isEmpty() || text == shown, "literals kept but Text differs from EditText", where);
    } else {
        fuzz::check(!text.contains(tail.blank), "Text without literals holds the blank", where);
        fuzz::check(isSubsequence(text, shown), "Text holds characters the edit does not show", where);
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size)
{
    fuzz::application();
    FuzzedDataProvider data(bytes, size);
    const QString mask = printable(fuzz::text(data, 64));
    const QString qtMask = TMaskEdit::toQtInputMask(mask);
    fuzz::check(TMaskEdit::toQtInputMask(mask) == qtMask, "toQtInputMask is not a function of the mask", mask);

    TMaskEdit edit;
    edit.setEditMask(mask);
    fuzz::check(edit.editMask() == mask, "editMask does not give the host mask back", mask);
    const MaskTail tail = tailOf(mask);
    checkState(edit, tail, mask, {});

    int changes = 0;
    QObject::connect(&edit, &TMaskEdit::Change, &edit, [&changes] { ++changes; });
    while (data.remaining_bytes() > 0) {
        const QString input = printable(fuzz::text(data, 48));
        const QString before = edit.Text();
        changes = 0;
        edit.SetText(input);
        checkState(edit, tail, mask, input);
        const QString after = edit.Text();
        // The change event runs exactly when Text changes.
        fuzz::check(changes == (after != before ? 1 : 0), "change event count does not follow Text",
                    u"mask ["_s + mask + u"] input ["_s + input + u"] "_s + QString::number(changes));
        // Setting what the edit shows is the shown-form case: nothing moves. Not checked when the
        // blank is also a mask character: a blank then cannot be told from that literal or typed
        // character, by the host convention as much as by Qt.
        const QString shown = edit.EditText();
        if (mask.contains(tail.blank))
            continue;
        edit.SetText(shown);
        fuzz::check(edit.EditText() == shown, "SetText(EditText()) changes what is shown",
                    u"mask ["_s + mask + u"] input ["_s + input + u"] shown ["_s + shown + u"] now ["_s + edit.EditText() + u']');
    }
    return 0;
}
