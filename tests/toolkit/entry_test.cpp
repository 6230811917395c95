// Every way text gets into a TEdit goes through its key event and its length limit: typing,
// paste (each key binding and the context menu), drag and drop, input-method commits, undo, redo.
#include "widgettest.h"
#include "widgets.h"

#include <QAction>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDropEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMenu>
#include <QMimeData>
#include <functional>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

// Digits, A to Z and Ç; everything else dropped (a branch code's rule).
void codeKeys(QObject *, QChar &key)
{
    const char16_t c = key.unicode();
    if (!(c == 8 || (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z') || c == u'\u00C7'))
        key = QChar(0);
}

// Key events carrying each character, as a keyboard layout with accented letters sends them
// (QTest::keyClicks knows ASCII only).
void typeKeys(QWidget *w, const QString &text)
{
    for (QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(w, &press);
        QApplication::sendEvent(w, &release);
    }
}

void pressSequence(TEdit &edit, const QKeySequence &sequence)
{
    const QKeyCombination combination = sequence[0];
    QTest::keyClick(&edit, combination.key(), combination.keyboardModifiers());
}

// Opens the edit's context menu and triggers the entry of that name; false when there is none.
bool triggerMenu(TEdit &edit, const QString &entry)
{
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(2, 2), edit.mapToGlobal(QPoint(2, 2)));
    QApplication::sendEvent(&edit, &event);
    auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
    if (!menu)
        return false;
    bool found = false;
    for (QAction *action : menu->actions()) {
        if (action->objectName() == entry && action->isEnabled()) {
            action->trigger();
            found = true;
            break;
        }
    }
    menu->close();
    return found;
}

struct Way
{
    QString name;
    std::function<void(TEdit &, const QString &)> put;
    bool replacesSelection = true; // a drop goes in beside the text
};

QList<Way> ways()
{
    QList<Way> all{
        {u"typing"_s, [](TEdit &e, const QString &t) { typeKeys(&e, t); }},
        {u"context menu paste"_s,
         [](TEdit &e, const QString &t) {
             QGuiApplication::clipboard()->setText(t);
             EXPECT_TRUE(triggerMenu(e, u"edit-paste"_s));
         }},
        {u"drag and drop"_s,
         [](TEdit &e, const QString &t) {
             QMimeData data;
             data.setText(t);
             // At the right end: after the text.
             QDragEnterEvent enter(QPoint(e.width() - 2, e.height() / 2), Qt::CopyAction, &data, Qt::LeftButton,
                                   Qt::NoModifier);
             QApplication::sendEvent(&e, &enter);
             QDropEvent drop(QPointF(e.width() - 2, e.height() / 2.0), Qt::CopyAction, &data, Qt::LeftButton,
                             Qt::NoModifier);
             QApplication::sendEvent(&e, &drop);
         },
         false},
        {u"input method commit"_s,
         [](TEdit &e, const QString &t) {
             QInputMethodEvent commit;
             commit.setCommitString(t);
             QApplication::sendEvent(&e, &commit);
         }},
    };
    // Every key the platform binds to paste (Ctrl+V, Shift+Insert, ...).
    for (const QKeySequence &sequence : QKeySequence::keyBindings(QKeySequence::Paste)) {
        all.append({sequence.toString(), [sequence](TEdit &e, const QString &t) {
                        QGuiApplication::clipboard()->setText(t);
                        pressSequence(e, sequence);
                    }});
    }
    return all;
}

struct EntryCase
{
    const char *what;
    QString codeText;  // written by code first
    bool selectAll;
    QString input;
    QString expected;
};

TEST(EditEntry, EveryWayInIsFilteredAndLimited)
{
    const EntryCase cases[] = {
        {"filter then limit", u""_s, false, u"1a b-2\u00C7\u00E93X"_s, u"12\u00C73"_s},
        {"full field written by code takes nothing", u"TODAS"_s, false, u"XY1"_s, u"TODAS"_s},
        {"room left", u"12"_s, false, u"345"_s, u"1234"_s},
        {"all dropped leaves the selection", u"TODAS"_s, true, u"ab"_s, u"TODAS"_s},
        {"replacing the selection", u"TODAS"_s, true, u"0001"_s, u"0001"_s},
    };
    ShownScreen screen;
    TEdit *edit = screen.add(new TEdit);
    ASSERT_TRUE(screen.activate());
    edit->setFocus();
    edit->SetMaxLength(4);
    QString seen;
    int changes = 0;
    QObject::connect(edit, &TEdit::KeyPress, edit, [&](QObject *sender, QChar &key) {
        seen += key;
        codeKeys(sender, key);
    });
    QObject::connect(edit, &TEdit::Change, edit, [&] { ++changes; });

    const QList<Way> all = ways();
    ASSERT_GE(all.size(), 5) << "no paste key binding on this platform";
    for (const Way &way : all) {
        for (const EntryCase &c : cases) {
            if (c.selectAll && !way.replacesSelection)
                continue;
            SCOPED_TRACE(str(way.name) + ": " + c.what);
            edit->setText(c.codeText);
            if (c.selectAll)
                edit->selectAll();
            else
                edit->end(false);
            seen.clear();
            changes = 0;
            way.put(*edit, c.input);
            EXPECT_EQ(str(edit->text()), str(c.expected));
            EXPECT_EQ(str(seen), str(c.input)) << "each character goes through the key event";
            EXPECT_EQ(changes > 0, c.expected != c.codeText);
        }
    }
}

struct UndoCase
{
    const char *what;
    QString codeText;
    QString typed; // over the whole text
    QString afterUndo;
};

// What an undo or redo brings back passes the key event and the limit as typed text does.
TEST(EditEntry, UndoAndRedoBringBackOnlyWhatTypingCould)
{
    const UndoCase cases[] = {
        {"typed text goes and comes back", u""_s, u"12"_s, u""_s},
        {"filtered-out text written by code stays out", u"ab1"_s, u"2"_s, u"1"_s},
        {"a longer text written by code is cut to the limit", u"TODAS"_s, u"1"_s, u"TODA"_s},
    };
    const std::function<void(TEdit &, bool)> undoWays[] = {
        [](TEdit &e, bool undo) {
            pressSequence(e, QKeySequence::keyBindings(undo ? QKeySequence::Undo : QKeySequence::Redo).value(0));
        },
        [](TEdit &e, bool undo) { EXPECT_TRUE(triggerMenu(e, undo ? u"edit-undo"_s : u"edit-redo"_s)); },
    };
    ShownScreen screen;
    TEdit *edit = screen.add(new TEdit);
    ASSERT_TRUE(screen.activate());
    edit->setFocus();
    edit->SetMaxLength(4);
    QObject::connect(edit, &TEdit::KeyPress, edit, &codeKeys);
    QStringList changes;
    QObject::connect(edit, &TEdit::Change, edit, [&] { changes << edit->text(); });
    for (const auto &undoRedo : undoWays) {
        for (const UndoCase &c : cases) {
            SCOPED_TRACE(c.what);
            edit->setText(c.codeText);
            edit->selectAll();
            QTest::keyClicks(edit, c.typed);
            ASSERT_EQ(str(edit->text()), str(c.typed));
            changes.clear();
            undoRedo(*edit, true);
            EXPECT_EQ(str(edit->text()), str(c.afterUndo));
            // The change event sees the final text only, never what the step would have restored.
            EXPECT_EQ(changes, QStringList{c.afterUndo});
            if (c.afterUndo.isEmpty() && c.codeText.isEmpty()) {
                undoRedo(*edit, false);
                EXPECT_EQ(str(edit->text()), str(c.typed)) << "redo";
            }
        }
    }
}

} // namespace
