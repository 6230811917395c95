#include "widgets.h"

#include "adoibquery.h"
#include "dataset.h"
#include "errors.h"
#include "eventboundary.h"
#include "ptbrlocale.h"
#include "uiservices.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QClipboard>
#include <QDate>
#include <QFocusEvent>
#include <QFrame>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QMetaMethod>
#include <QPainter>
#include <QScreen>
#include <QSet>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QVBoxLayout>
#include <algorithm>
#include <functional>
#include <limits>
#include <utility>

using namespace Qt::StringLiterals;

namespace {

// Runs a control's exit handler: guarded, so that a handler putting the focus back does not
// raise an exit on the control that had just received it.
template <typename F>
void runExit(F &&emitter)
{
    ExitGuard guard;
    emitter();
}

// Characters that go through the key handler, as a typed character would. Each half of a
// character beyond 16 bits (an emoji) is one, so that a key filter sees and can drop it.
bool isHandledKey(QChar c)
{
    return c.isPrint() || c.isSurrogate() || c == QChar(8) || c == QChar(13) || c == QChar(27);
}

// One position of a host mask.
struct MaskSlot
{
    bool literal = false;
    QChar ch; // the literal, or the host mask character
};

struct ParsedMask
{
    QList<MaskSlot> slots;
    QString qtMask; // without the blank part
    bool saveLiterals = true;
    QChar blank = u'_';
};

QChar qtMaskChar(QChar hostChar)
{
    switch (hostChar.unicode()) {
    case '0': return u'9'; // required digit
    case '9': return u'0'; // optional digit
    case '#': return u'#';
    case 'L': return u'A';
    case 'l': return u'a';
    case 'A': return u'N';
    case 'a': return u'n';
    case 'C': return u'X';
    case 'c': return u'x';
    default: return QChar();
    }
}

bool isQtMaskMeta(QChar c)
{
    return u"AaNnXx90DdHhBb#><!{}[]\\;"_s.contains(c);
}

// Qt ends an input mask at its first ";", escaped or not, so a literal ";" cannot stand in a Qt
// mask. The edit shows the Greek question mark instead, which is drawn as ";" (and is ";" under
// Unicode's canonical equivalence); EditText and Text give ";" back.
constexpr QChar kSemicolonShown = QChar(0x037E);

// Positions Qt does not let a blank stand in: setText moves a blank given there, and every
// character after it, to the next position that takes it.
bool isRequiredInQt(QChar qtMaskChar)
{
    return u"ANX9DHB"_s.contains(qtMaskChar);
}

ParsedMask parseHostMask(const QString &hostMask)
{
    ParsedMask parsed;
    // The mask part ends at the first unescaped ";"; then the save-literals flag and the blank.
    int end = int(hostMask.size());
    for (int i = 0; i < hostMask.size(); ++i) {
        if (hostMask.at(i) == u'\\') {
            ++i;
        } else if (hostMask.at(i) == u';') {
            end = i;
            break;
        }
    }
    const QString rest = hostMask.mid(end + 1);
    if (end < hostMask.size() && !rest.isEmpty()) {
        const int bar = int(rest.indexOf(u';'));
        const QString flag = bar < 0 ? rest : rest.left(bar);
        if (!flag.isEmpty())
            parsed.saveLiterals = flag != u"0"_s;
        if (bar >= 0 && bar + 1 < rest.size())
            parsed.blank = rest.at(bar + 1);
    }

    for (int i = 0; i < end; ++i) {
        const QChar c = hostMask.at(i);
        if (c == u'\\' && i + 1 < end) {
            const QChar lit = hostMask.at(++i);
            parsed.slots.append({true, lit});
            if (lit == u';') {
                parsed.qtMask += kSemicolonShown;
                continue;
            }
            if (isQtMaskMeta(lit))
                parsed.qtMask += u'\\';
            parsed.qtMask += lit;
        } else if (c == u'<' && i + 1 < end && hostMask.at(i + 1) == u'>') {
            parsed.qtMask += u'!'; // "<>" ends case conversion
            ++i;
        } else if (c == u'>' || c == u'<') {
            parsed.qtMask += c;
        } else if (c == u'!') {
            // Only about how optional blanks are kept; typing is the same.
        } else if (const QChar q = qtMaskChar(c); !q.isNull()) {
            parsed.slots.append({false, c});
            parsed.qtMask += q;
        } else {
            parsed.slots.append({true, c});
            if (isQtMaskMeta(c))
                parsed.qtMask += u'\\';
            parsed.qtMask += c;
        }
    }
    return parsed;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// TEdit

TEdit::TEdit(QWidget *parent) : QLineEdit(parent)
{
    connect(this, &QLineEdit::textChanged, this, [this] { Q_EMIT Change(this); });
}

void TEdit::keyPressEvent(QKeyEvent *event)
{
    if (!isReadOnly()) {
        // The edit's own handling of these would put text in past the key event.
        if (event->matches(QKeySequence::Paste)) {
            pasteFrom(QClipboard::Clipboard);
            event->accept();
            return;
        }
        if (event->matches(QKeySequence::Undo) || event->matches(QKeySequence::Redo)) {
            undoRedo(event->matches(QKeySequence::Undo));
            event->accept();
            return;
        }
    }
    const bool plainModifiers =
        (event->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier | Qt::GroupSwitchModifier)) == 0;
    QString text = event->text();
    if (event->key() == Qt::Key_Backspace && plainModifiers)
        text = QString(QChar(8));
    const bool typed = plainModifiers && !text.isEmpty() && std::all_of(text.cbegin(), text.cend(), isHandledKey);
    if (!typed || isReadOnly()) {
        QLineEdit::keyPressEvent(event);
        return;
    }

    QString high; // the first half of a pair, kept until its second half has been through too
    for (const QChar original : std::as_const(text)) {
        const QString kept = keyThrough(original, high);
        if (kept.isEmpty())
            continue;
        if (kept.size() == 2) {
            insertLimited(kept); // both halves of a pair
            continue;
        }
        const QChar key = kept.front();
        if (key == QChar(8)) {
            backspace();
        } else if (key == QChar(13) || key == QChar(27)) {
            // Enter and Esc keep their usual meaning (returnPressed, closing a dialog).
            if (key == original) {
                QLineEdit::keyPressEvent(event);
                return;
            }
        } else if (key.isPrint()) {
            insertLimited(QString(key));
        }
    }
    event->accept();
}

QString TEdit::keyThrough(QChar original, QString &high)
{
    QChar key = original;
    Q_EMIT KeyPress(this, key);
    if (key.isHighSurrogate()) {
        high = QString(key);
        return {};
    }
    const QString first = std::exchange(high, QString());
    if (key.isLowSurrogate())
        return first.isEmpty() ? QString() : first + key;
    return key.isNull() ? QString() : QString(key);
}

QString TEdit::passKeys(const QString &text)
{
    QString kept;
    QString high; // the first half of a pair, kept until its second half has been through too
    for (const QChar original : text) {
        const QString key = keyThrough(original, high);
        if (key.size() == 2 || (key.size() == 1 && key.front().isPrint()))
            kept += key;
    }
    return kept;
}

qsizetype TEdit::room(qsizetype replaced) const
{
    if (mMaxLength <= 0)
        return std::numeric_limits<qsizetype>::max();
    return std::max<qsizetype>(0, mMaxLength - (text().size() - replaced));
}

namespace {
// The first `count` characters of `text`, never half of a pair.
QString leftWhole(const QString &text, qsizetype count)
{
    if (count >= text.size())
        return text;
    QString out = text.left(count);
    if (!out.isEmpty() && out.back().isHighSurrogate())
        out.chop(1);
    return out;
}
} // namespace

void TEdit::insertLimited(const QString &text)
{
    const QString fits = leftWhole(text, room(selectedText().size()));
    if (fits.isEmpty() && !hasSelectedText())
        return;
    insert(fits); // replaces the selection
}

void TEdit::pasteFrom(QClipboard::Mode mode)
{
    const QString clip = QGuiApplication::clipboard()->text(mode);
    const QString kept = passKeys(clip);
    // A paste that keeps nothing leaves the selection alone.
    if (kept.isEmpty())
        return;
    insertLimited(kept);
}

void TEdit::undoRedo(bool undo)
{
    // The step is taken quietly first, to see what it would bring back.
    const QString before = text();
    {
        const QSignalBlocker quiet(this);
        if (undo)
            QLineEdit::undo();
        else
            QLineEdit::redo();
    }
    const QString after = text();
    if (after == before)
        return;
    qsizetype head = 0;
    while (head < before.size() && head < after.size() && before.at(head) == after.at(head))
        ++head;
    qsizetype tail = 0;
    while (tail < before.size() - head && tail < after.size() - head
           && before.at(before.size() - 1 - tail) == after.at(after.size() - 1 - tail))
        ++tail;
    const QString brought = after.mid(head, after.size() - head - tail);
    const qsizetype replaced = before.size() - head - tail;
    const qsizetype allowed = mMaxLength > 0 ? std::max<qsizetype>(0, mMaxLength - (before.size() - replaced))
                                             : std::numeric_limits<qsizetype>::max();
    const QString kept = leftWhole(passKeys(brought), allowed);
    if (kept == brought) {
        Q_EMIT textChanged(after);
        Q_EMIT textEdited(after);
        return;
    }
    // Only what the key event keeps and the limit has room for comes back, put in as one change
    // so that the change event sees the final text only.
    setSelection(int(head), int(brought.size()));
    if (after.left(head) + kept + after.right(tail) == before) {
        const QSignalBlocker quiet(this); // nothing of the step is left: no change at all
        insert(kept);
        return;
    }
    insert(kept);
}

void TEdit::inputMethodEvent(QInputMethodEvent *event)
{
    if (isReadOnly() || event->commitString().isEmpty()) {
        QLineEdit::inputMethodEvent(event);
        return;
    }
    // A composed character (dead key, compose, input method) is a typed one.
    const qsizetype replaced = selectedText().size() + std::max(0, event->replacementLength());
    const QString kept = leftWhole(passKeys(event->commitString()), room(replaced));
    QInputMethodEvent filtered(event->preeditString(), event->attributes());
    filtered.setCommitString(kept, event->replacementStart(), kept.isEmpty() ? 0 : event->replacementLength());
    QLineEdit::inputMethodEvent(&filtered);
    event->setAccepted(filtered.isAccepted());
}

void TEdit::dropEvent(QDropEvent *event)
{
    // Moving text inside the edit brings in nothing new.
    const bool ownMove = event->source() == this && event->dropAction() == Qt::MoveAction;
    if (isReadOnly() || ownMove || !event->mimeData()->hasText()) {
        QLineEdit::dropEvent(event);
        return;
    }
    // A drop goes in at the drop point, next to the text, replacing nothing.
    const QString kept = leftWhole(passKeys(event->mimeData()->text()), room(0));
    if (kept.isEmpty()) {
        event->ignore();
        return;
    }
    QMimeData data;
    data.setText(kept);
    QDropEvent filtered(event->position(), event->possibleActions(), &data, event->buttons(), event->modifiers());
    filtered.setDropAction(event->dropAction());
    QLineEdit::dropEvent(&filtered);
    event->setDropAction(filtered.dropAction());
    event->setAccepted(filtered.isAccepted());
}

void TEdit::mouseReleaseEvent(QMouseEvent *event)
{
    // The middle button pastes the X11 selection.
    if (event->button() == Qt::MiddleButton && !isReadOnly() && QGuiApplication::clipboard()->supportsSelection()) {
        deselect();
        setCursorPosition(cursorPositionAt(event->position().toPoint()));
        pasteFrom(QClipboard::Selection);
        event->accept();
        return;
    }
    QLineEdit::mouseReleaseEvent(event);
}

void TEdit::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu *menu = createStandardContextMenu();
    if (!menu)
        return;
    menu->setAttribute(Qt::WA_DeleteOnClose);
    // The menu's paste, undo and redo take the same way as their keys: each is told by the slot
    // it was connected to (by name in some Qt versions, by pointer in others) and named after it.
    const auto takeOver = [this](QAction *action, void (QLineEdit::*slot)(), const char *slotSignature,
                                 const QString &name, const std::function<void()> &guarded) {
        const bool byPointer = disconnect(action, &QAction::triggered, this, slot);
        const bool byName = disconnect(action, SIGNAL(triggered()), this, slotSignature);
        if (!byPointer && !byName)
            return false;
        action->setObjectName(name);
        connect(action, &QAction::triggered, this, guarded);
        return true;
    };
    for (QAction *action : menu->actions()) {
        if (takeOver(action, &QLineEdit::paste, SLOT(paste()), u"edit-paste"_s,
                     [this] { pasteFrom(QClipboard::Clipboard); }))
            continue;
        if (takeOver(action, &QLineEdit::undo, SLOT(undo()), u"edit-undo"_s, [this] { undoRedo(true); }))
            continue;
        takeOver(action, &QLineEdit::redo, SLOT(redo()), u"edit-redo"_s, [this] { undoRedo(false); });
    }
    menu->popup(event->globalPos());
    event->accept();
}

void TEdit::focusOutEvent(QFocusEvent *event)
{
    const bool exit = isExitFocusOut(this, event);
    QLineEdit::focusOutEvent(event);
    if (exit)
        runExit([this] { Q_EMIT Exit(this); });
}

// ---------------------------------------------------------------------------------------------
// TMaskEdit

TMaskEdit::TMaskEdit(QWidget *parent) : QLineEdit(parent)
{
    connect(this, &QLineEdit::textChanged, this, [this] {
        const QString now = Text();
        if (now == mLastText)
            return;
        mLastText = now;
        Q_EMIT Change(this);
    });
}

QString TMaskEdit::toQtInputMask(const QString &hostMask)
{
    const ParsedMask parsed = parseHostMask(hostMask);
    if (parsed.slots.isEmpty())
        return {};
    return parsed.qtMask + u';' + parsed.blank;
}

int TMaskEdit::inputPositions(const QString &hostMask)
{
    int count = 0;
    for (const MaskSlot &slot : parseHostMask(hostMask).slots)
        count += slot.literal ? 0 : 1;
    return count;
}

QString TMaskEdit::digitCodeMaskProblem(const QString &hostMask)
{
    if (hostMask.isEmpty())
        return {};
    // The parts after the mask: the save-literals flag and the blank, nothing more.
    QStringList parts;
    QString part;
    for (qsizetype i = 0; i < hostMask.size(); ++i) {
        if (hostMask.at(i) == u'\\' && i + 1 < hostMask.size() && parts.isEmpty()) {
            part += hostMask.at(i);
            part += hostMask.at(++i);
        } else if (hostMask.at(i) == u';' && parts.size() < 2) {
            parts << part;
            part.clear();
        } else {
            part += hostMask.at(i);
        }
    }
    parts << part;
    if (parts.size() > 1 && parts.at(1) != u"0"_s && parts.at(1) != u"1"_s)
        return u"depois do primeiro ';' deve vir 0 (o código sem os separadores) ou 1 (com eles), não '%1'."_s.arg(parts.at(1));
    if (parts.size() > 2 && (parts.at(2).size() != 1 || parts.at(2).at(0).isLetterOrNumber()))
        return u"depois do segundo ';' deve vir um só caractere para as posições vazias (como '_'), não '%1'."_s.arg(parts.at(2));
    const ParsedMask parsed = parseHostMask(hostMask);
    QString letters;
    QString fixed;
    int positions = 0;
    for (const MaskSlot &slot : parsed.slots) {
        if (slot.literal) {
            if (slot.ch.isLetterOrNumber())
                fixed += slot.ch;
        } else {
            ++positions;
            if (slot.ch != u'0' && slot.ch != u'9')
                letters += slot.ch;
        }
    }
    if (positions == 0)
        return u"não tem nenhuma posição para digitar (0 ou 9): o campo não aceitaria nenhum código."_s;
    if (!letters.isEmpty())
        return u"tem posições que aceitam letras ou sinais ('%1'); os códigos são de algarismos: use 0 ou 9."_s.arg(letters);
    if (!fixed.isEmpty())
        return u"tem letras ou algarismos fixos ('%1'); entre as posições só cabem separadores como '.' ou '-'."_s.arg(fixed);
    return {};
}

void TMaskEdit::setEditMask(const QString &hostMask)
{
    mHostMask = hostMask;
    const ParsedMask parsed = parseHostMask(hostMask);
    mSaveLiterals = parsed.saveLiterals;
    setInputMask(toQtInputMask(hostMask));
}

// Without literals (flag 0): the characters typed into the input positions, blanks left out, so a
// half-typed "14:3_" gives "143". With literals (flag 1) the positions matter, so the text is the
// shown text, blanks included. Either way nothing typed gives "", which emptiness tests rely on.
QString TMaskEdit::Text() const
{
    if (inputMask().isEmpty())
        return text();
    const ParsedMask parsed = parseHostMask(mHostMask);
    const QString shown = EditText();
    QString out;
    bool typed = false;
    for (int i = 0; i < parsed.slots.size(); ++i) {
        const QChar c = i < shown.size() ? shown.at(i) : parsed.blank;
        const MaskSlot &slot = parsed.slots.at(i);
        if (slot.literal) {
            if (mSaveLiterals)
                out += slot.ch;
        } else if (c != parsed.blank) {
            out += c;
            typed = true;
        } else if (mSaveLiterals) {
            out += c;
        }
    }
    return typed ? out : QString();
}

QString TMaskEdit::maskedText(const QString &hostMask, const QString &text)
{
    const ParsedMask parsed = parseHostMask(hostMask);
    if (parsed.slots.isEmpty())
        return text;
    QString shown;
    qsizetype next = 0;
    qsizetype end = 0;
    for (const MaskSlot &slot : parsed.slots) {
        if (next >= text.size())
            break;
        if (slot.literal) {
            shown += slot.ch;
            if (text.at(next) == slot.ch)
                ++next; // a text that carries its literals
        } else {
            shown += text.at(next++);
            end = shown.size();
        }
    }
    shown.truncate(end);
    return shown + text.mid(next);
}

QString TMaskEdit::EditText() const
{
    QString shown = displayText();
    if (!shown.contains(kSemicolonShown))
        return shown;
    const ParsedMask parsed = parseHostMask(mHostMask);
    for (qsizetype i = 0; i < std::min(shown.size(), parsed.slots.size()); ++i) {
        if (parsed.slots.at(i).literal && parsed.slots.at(i).ch == u';')
            shown[i] = u';';
    }
    return shown;
}

void TMaskEdit::SetText(const QString &text)
{
    if (inputMask().isEmpty()) {
        setText(text);
        return;
    }
    const ParsedMask parsed = parseHostMask(mHostMask);
    bool shownForm = text.size() == parsed.slots.size();
    for (int i = 0; shownForm && i < parsed.slots.size(); ++i) {
        if (parsed.slots.at(i).literal && text.at(i) != parsed.slots.at(i).ch)
            shownForm = false;
    }
    QString shown;
    if (shownForm) {
        shown = text;
    } else {
        int next = 0;
        for (const MaskSlot &slot : parsed.slots) {
            if (slot.literal) {
                shown += slot.ch;
                // A partly shown text ("14:3") carries its literals along: skip them.
                if (next < text.size() && text.at(next) == slot.ch)
                    ++next;
            } else {
                shown += next < text.size() ? text.at(next++) : parsed.blank;
            }
        }
    }
    // Trailing blanks are left to the mask: Qt refuses a blank in a required position.
    while (!shown.isEmpty() && shown.back() == parsed.blank && !parsed.slots.at(shown.size() - 1).literal)
        shown.chop(1);
    bool blankInRequired = false;
    for (qsizetype i = 0; i < shown.size(); ++i) {
        const MaskSlot &slot = parsed.slots.at(i);
        if (slot.literal && slot.ch == u';')
            shown[i] = kSemicolonShown;
        else if (!slot.literal && shown.at(i) == parsed.blank && isRequiredInQt(qtMaskChar(slot.ch)))
            blankInRequired = true;
    }
    if (!blankInRequired) {
        setText(shown);
        return;
    }
    // A blank before typed characters, as typing into a later position leaves it: every typed
    // character goes in at its own position, over the cleared mask, and the change is told once.
    const QString before = displayText();
    {
        const QSignalBlocker quiet(this);
        setText(QString());
        for (qsizetype i = 0; i < shown.size(); ++i) {
            if (parsed.slots.at(i).literal || shown.at(i) == parsed.blank)
                continue;
            setCursorPosition(int(i));
            insert(QString(shown.at(i)));
        }
        setCursorPosition(0);
    }
    if (displayText() != before)
        Q_EMIT textChanged(QLineEdit::text());
}

void TMaskEdit::focusOutEvent(QFocusEvent *event)
{
    const bool exit = isExitFocusOut(this, event);
    QLineEdit::focusOutEvent(event);
    if (exit)
        runExit([this] { Q_EMIT Exit(this); });
}

// ---------------------------------------------------------------------------------------------
// TDateEditPlus

namespace {
const QString DateFormat = u"dd/MM/yyyy"_s;
const QDate DateZero(1899, 12, 30);

int weekdayNameWidth(const QFontMetrics &metrics)
{
    int width = 0;
    for (int day = 1; day <= 7; ++day)
        width = std::max(width, metrics.horizontalAdvance(TDateEditPlus::weekdayName(DateZero.addDays(day))));
    return width;
}

// The calendar's pop-up window: Escape closes it (nothing picked) even while the calendar's own
// grid has the keyboard.
class CalendarPopup : public QFrame
{
public:
    explicit CalendarPopup(QWidget *owner) : QFrame(owner, Qt::Popup)
    {
        setFrameShape(QFrame::StyledPanel);
        calendar = new QCalendarWidget(this);
        calendar->setLocale(ptBRLocale());
        calendar->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
        auto *layout = new QVBoxLayout(this);
        layout->setContentsMargins(1, 1, 1, 1);
        layout->addWidget(calendar);
        calendar->installEventFilter(this);
        for (QWidget *child : calendar->findChildren<QWidget *>())
            child->installEventFilter(this);
    }
    QCalendarWidget *calendar = nullptr;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape) {
            close();
            return true;
        }
        return QFrame::eventFilter(watched, event);
    }
};

constexpr int CalendarButtonWidth = 18;
} // namespace

TDateEditPlus::TDateEditPlus(QWidget *parent) : TMaskEdit(parent)
{
    setEditMask(u"!99/99/9999;1;_"_s);
    mCalendarButton = new QToolButton(this);
    mCalendarButton->setObjectName(u"calendarButton"_s);
    mCalendarButton->setArrowType(Qt::DownArrow);
    mCalendarButton->setAutoRaise(true);
    mCalendarButton->setCursor(Qt::ArrowCursor);
    mCalendarButton->setToolTip(u"Calendário (Alt+Seta para baixo)"_s);
    // The button never takes the focus: clicking it must not count as leaving the edit.
    mCalendarButton->setFocusPolicy(Qt::NoFocus);
    connect(mCalendarButton, &QToolButton::clicked, this, [this] { showCalendar(); });
    // Room at the right for the weekday name and the button, so the date never runs under them.
    setTextMargins(0, 0, weekdayNameWidth(fontMetrics()) + 6 + CalendarButtonWidth, 0);
    connect(this, &QLineEdit::textChanged, this, [this] {
        QPalette pal = palette();
        const QPalette base = parentWidget() ? parentWidget()->palette() : QApplication::palette(this);
        // A disabled date keeps the disabled text colour.
        for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive})
            pal.setColor(group, QPalette::Text, IsDateValid() ? QColor(Qt::blue) : base.color(group, QPalette::Text));
        setPalette(pal);
        update();
    });
}

QDate TDateEditPlus::date() const
{
    return QDate::fromString(EditText(), DateFormat);
}

bool TDateEditPlus::IsDateValid() const
{
    return date().isValid();
}

double TDateEditPlus::GetDate() const
{
    return toDateValue(date());
}

void TDateEditPlus::setDate(const QDate &date)
{
    SetText(date.isValid() ? date.toString(DateFormat) : QString());
}

QString TDateEditPlus::weekdayName() const
{
    return weekdayName(date());
}

QString TDateEditPlus::weekdayName(const QDate &date)
{
    if (!date.isValid())
        return {};
    static const QString names[] = {u"Segunda"_s, u"Terça"_s, u"Quarta"_s, u"Quinta"_s,
                                    u"Sexta"_s,   u"Sábado"_s, u"Domingo"_s};
    return names[date.dayOfWeek() - 1];
}

void TDateEditPlus::showCalendar()
{
    if (!isEnabled() || isReadOnly())
        return;
    // As before typing: the control that had the focus runs its exit first, and may keep it.
    if (!hasFocus()) {
        setFocus(Qt::MouseFocusReason);
        if (window()->isActiveWindow() && !hasFocus())
            return;
    }
    auto *popup = mCalendar ? static_cast<CalendarPopup *>(mCalendar->parentWidget()) : nullptr;
    if (!popup) {
        popup = new CalendarPopup(this); // owned by this edit
        mCalendar = popup->calendar;
        connect(mCalendar, &QCalendarWidget::clicked, this, [this](const QDate &d) { pickDate(d); });
        connect(mCalendar, &QCalendarWidget::activated, this, [this](const QDate &d) { pickDate(d); });
    }
    const QDate shown = date().isValid() ? date() : QDate::currentDate();
    mCalendar->setSelectedDate(shown);
    mCalendar->setCurrentPage(shown.year(), shown.month());
    popup->adjustSize();
    // Below the edit, or above it when the screen ends first.
    QPoint at = mapToGlobal(QPoint(0, height()));
    if (const QScreen *screen = this->screen()) {
        const QRect room = screen->availableGeometry();
        if (at.y() + popup->height() > room.bottom())
            at.setY(mapToGlobal(QPoint(0, 0)).y() - popup->height());
        at.setX(std::clamp(at.x(), room.left(), std::max(room.left(), room.right() - popup->width())));
    }
    popup->move(at);
    popup->show();
    mCalendar->setFocus(Qt::PopupFocusReason);
}

void TDateEditPlus::pickDate(const QDate &date)
{
    if (mCalendar)
        mCalendar->parentWidget()->close();
    setDate(date);
    setFocus(Qt::PopupFocusReason);
}

void TDateEditPlus::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Down && (event->modifiers() & Qt::AltModifier)) {
        showCalendar();
        return;
    }
    TMaskEdit::keyPressEvent(event);
}

void TDateEditPlus::resizeEvent(QResizeEvent *event)
{
    TMaskEdit::resizeEvent(event);
    QStyleOptionFrame option;
    initStyleOption(&option);
    const QRect area = style()->subElementRect(QStyle::SE_LineEditContents, &option, this);
    mCalendarButton->setGeometry(area.right() - CalendarButtonWidth + 1, area.top(), CalendarButtonWidth,
                                 area.height());
}

double TDateEditPlus::toDateValue(const QDate &date)
{
    return date.isValid() ? double(DateZero.daysTo(date)) : 0.0;
}

void TDateEditPlus::paintEvent(QPaintEvent *event)
{
    TMaskEdit::paintEvent(event);
    const QString name = weekdayName();
    if (name.isEmpty())
        return;
    QStyleOptionFrame option;
    initStyleOption(&option);
    const QRect area = style()->subElementRect(QStyle::SE_LineEditContents, &option, this)
                           .adjusted(0, 0, -3 - CalendarButtonWidth, 0);
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::Disabled, QPalette::Text));
    painter.drawText(area, int(Qt::AlignRight | Qt::AlignVCenter), name);
}

// ---------------------------------------------------------------------------------------------
// Buttons

TRadioButton::TRadioButton(QWidget *parent) : QRadioButton(parent)
{
    // toggled covers both the user's click and code checking it, as the host's click event does.
    connect(this, &QAbstractButton::toggled, this, [this](bool checked) {
        if (checked) {
            takeTabStop();
            Q_EMIT Click(this);
        }
    });
}

void TRadioButton::takeTabStop()
{
    // Tab stops once in a pair, on the checked radio; the arrows move between them. Qt does this
    // only once a radio of the pair has had the focus, so a walk right after opening would
    // otherwise stop on both.
    if (!autoExclusive() || !parentWidget())
        return;
    const auto siblings = parentWidget()->findChildren<QRadioButton *>(Qt::FindDirectChildrenOnly);
    for (QRadioButton *radio : siblings) {
        if (radio->autoExclusive())
            radio->setFocusPolicy(radio == this ? Qt::StrongFocus : Qt::ClickFocus);
    }
}

void TRadioButton::showEvent(QShowEvent *event)
{
    QRadioButton::showEvent(event);
    if (isChecked())
        takeTabStop();
}

TSpeedButton::TSpeedButton(QWidget *parent) : QToolButton(parent)
{
    // A button bar's button is reached by Tab, never by a click or its mnemonic: pressing it with
    // the mouse or Alt+letter does not leave the field.
    setFocusPolicy(Qt::TabFocus);
    setAutoRaise(true);
    connect(this, &QAbstractButton::clicked, this, [this] { Q_EMIT Click(this); });
}

TBtnPesquisa::TBtnPesquisa(QWidget *parent) : QToolButton(parent)
{
    // The button's own search runs statements: it ends at the boundary as a screen's handler does.
    connectHandler(this, &QAbstractButton::clicked, this, &TBtnPesquisa::onClicked);
}

void TBtnPesquisa::onClicked()
{
    if (isSignalConnected(QMetaMethod::fromSignal(&TBtnPesquisa::Click))) {
        Q_EMIT Click(this);
        return;
    }
    Pesquisa();
}

namespace {
// Through the lookups' own query: the statement's time limit, the wait box and a lost connection
// opened again hold for the search too.
void loadStatement(TDataSet &data, const QString &sql)
{
    TADOIBQuery query;
    query.setSQL({sql});
    query.Open();
    // The content keeps the field definitions: labels and visibility belong to the screen.
    data.takeContent(*query.Query());
}
} // namespace

void TBtnPesquisa::Pesquisa()
{
    bool proceed = true;
    // A before-event that fails stops the search, and an after-event that fails keeps the focus.
    EventBoundary::emitStopping([&] { Q_EMIT BeforePesq(this, proceed); });
    if (!proceed)
        return;
    TDataSet *data = mDataSource ? mDataSource->DataSet() : nullptr;
    if (!data)
        return;
    if (!mSql.trimmed().isEmpty() && qobject_cast<TClientDataSet *>(data))
        loadStatement(*data, mSql);
    if (data->IsEmpty()) {
        UiServices::current().showInfo(window(), mEmptyError.isEmpty() ? u"Nenhum registro encontrado."_s
                                                                        : mEmptyError);
        return;
    }
    QString keyField = mFieldCodigo;
    for (const TFieldDef &def : data->FieldDefs()) {
        if (!keyField.isEmpty())
            break;
        if (def.visible)
            keyField = def.name;
    }
    if (keyField.isEmpty() && !data->columns().isEmpty())
        keyField = data->columns().first();

    const std::optional<int> row = UiServices::current().search(window(), mTitle, *data, keyField);
    if (row) {
        data->setRecNo(*row);
        EventBoundary::emitStopping([this] { Q_EMIT AfterPesq(this); });
    }
    if (mAssociate)
        mAssociate->setFocus(Qt::OtherFocusReason);
}

// ---------------------------------------------------------------------------------------------

void PesquisaLista(TDataSource *source, const QString &keyField, const QString &title, bool, QString &result)
{
    TDataSet *data = source ? source->DataSet() : nullptr;
    if (!data)
        return;
    const int bar = int(title.indexOf(u'|'));
    const QString caption = bar < 0 ? title : title.left(bar);
    const QString emptyText = bar < 0 ? QString() : title.mid(bar + 1);

    const std::optional<QStringList> picked =
        UiServices::current().pickList(QApplication::activeWindow(), caption, emptyText, *data, keyField);
    if (!picked)
        return;
    QSet<QString> wanted;
    for (const QString &key : *picked)
        wanted.insert(key.trimmed());
    // Codes in the order of the list, each once.
    QStringList keys;
    const int keyColumn = data->columnIndex(keyField);
    for (int row = 0; row < data->RecordCount(); ++row) {
        const QString key = data->text(row, keyColumn).trimmed();
        if (wanted.remove(key))
            keys << key;
    }
    result = keys.join(PickDelimiter);
}
