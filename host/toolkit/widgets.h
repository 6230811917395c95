#pragma once

#include "host_global.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QStackedWidget>
#include <QToolButton>

class QCalendarWidget;
class TDataSource;

// Plain edit with the host's events: change (every text change, from code too), exit (the user
// moved the focus to another control of the screen) and key (a typed character, by reference;
// setting it to QChar(0) drops it). Text the user puts in another way (paste by key or menu, undo
// and redo, drag and drop, an input method's commit) goes through the key event character by
// character too, so a key filter holds for every way in.
class HOST_EXPORT TEdit : public QLineEdit
{
    Q_OBJECT
public:
    explicit TEdit(QWidget *parent = nullptr);

    // The most characters the user can put in (0: no limit). Code may write a longer text; while
    // the edit holds that many or more, the user's input replaces the selection, if any, and adds
    // nothing beyond the limit.
    int MaxLength() const { return mMaxLength; }
    void SetMaxLength(int length) { mMaxLength = length; }

Q_SIGNALS:
    void Change(QObject *sender);
    void Exit(QObject *sender);
    void KeyPress(QObject *sender, QChar &key);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void inputMethodEvent(QInputMethodEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    // Runs one character through the key event: what goes in (the character as the handler left
    // it, or both halves of a pair), or nothing (dropped, or the first half of a pair, then kept
    // in `high` until its second half has been through).
    QString keyThrough(QChar original, QString &high);
    // The characters of `text` that the key event keeps, control characters left out.
    QString passKeys(const QString &text);
    // How many characters may go in when `replaced` characters of the text make way for them.
    qsizetype room(qsizetype replaced) const;
    // Replaces the selection by as much of `text` as the limit leaves room for.
    void insertLimited(const QString &text);
    void pasteFrom(QClipboard::Mode mode);
    void undoRedo(bool undo);

    int mMaxLength = 0;
};

// Masked edit following the host's mask convention ("99:99;0; "): mask characters, a flag telling
// whether literals are kept in the text, and the blank character. Text() gives the typed characters
// without literals (and without blanks); EditText() what the edit shows.
class HOST_EXPORT TMaskEdit : public QLineEdit
{
    Q_OBJECT
public:
    explicit TMaskEdit(QWidget *parent = nullptr);

    void setEditMask(const QString &hostMask);
    const QString &editMask() const { return mHostMask; }

    QString Text() const;
    QString EditText() const;
    // Sets the text as code does: characters for the non-literal positions (or the whole shown
    // text, literals included); runs the change event when the text changes.
    void SetText(const QString &text);

    // A code as an edit with this host mask shows it ("99.99.999;0;_", "0102003" -> "01.02.003"),
    // for texts printed outside an edit: a partial code ends at its last character ("0102" ->
    // "01.02"), characters beyond the mask are kept as they are, no mask leaves the text as it is.
    static QString maskedText(const QString &hostMask, const QString &text);

    // The Qt input mask for a host mask ("99:99;0; " -> "00:00; ": the host's 9 is an optional digit).
    static QString toQtInputMask(const QString &hostMask);
    // Why `hostMask` cannot be the mask of a field that holds codes made of digits (the product
    // tree's "99.99.999;0;_"), in Portuguese; empty when it can. No mask at all can: the field
    // then takes the code as typed.
    static QString digitCodeMaskProblem(const QString &hostMask);
    // The positions a host mask offers for typing ("99.99.999;0;_" -> 7).
    static int inputPositions(const QString &hostMask);

Q_SIGNALS:
    void Change(QObject *sender);
    void Exit(QObject *sender);

protected:
    void focusOutEvent(QFocusEvent *event) override;

private:
    QString mHostMask;
    bool mSaveLiterals = true;
    QString mLastText;
};

// Date edit, pt-BR dd/MM/yyyy, showing the weekday name of a valid date.
class HOST_EXPORT TDateEditPlus : public TMaskEdit
{
    Q_OBJECT
public:
    explicit TDateEditPlus(QWidget *parent = nullptr);

    bool IsDateValid() const;
    // Days since 30/12/1899 (the host's date value); 0 for an empty or invalid date.
    double GetDate() const;
    QDate date() const; // invalid when the text is not a valid date
    void setDate(const QDate &date);
    QString weekdayName() const; // "" unless the date is valid

    static QString weekdayName(const QDate &date);
    static double toDateValue(const QDate &date);

    // The calendar pop-up, opened by the button at the right or Alt+Down. A picked date is written
    // as typing it would be (the change event runs, the exit event when the user leaves the edit);
    // Escape closes it without change. Opening it is not an exit of the edit.
    void showCalendar();
    QCalendarWidget *calendar() const { return mCalendar; } // null until first opened
    QToolButton *calendarButton() const { return mCalendarButton; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void pickDate(const QDate &date);

    QToolButton *mCalendarButton = nullptr;
    QCalendarWidget *mCalendar = nullptr; // inside its pop-up window, a child of this edit
};

// Radio button whose click event also runs when code checks it.
class HOST_EXPORT TRadioButton : public QRadioButton
{
    Q_OBJECT
public:
    explicit TRadioButton(QWidget *parent = nullptr);
Q_SIGNALS:
    void Click(QObject *sender);

protected:
    void showEvent(QShowEvent *event) override;

private:
    void takeTabStop();
};

class HOST_EXPORT TCheckBox : public QCheckBox
{
    Q_OBJECT
public:
    using QCheckBox::QCheckBox;
};

class HOST_EXPORT TGroupBox : public QGroupBox
{
    Q_OBJECT
public:
    using QGroupBox::QGroupBox;
};

// Notebook: pages of which one is shown.
class HOST_EXPORT TNotebook : public QStackedWidget
{
    Q_OBJECT
public:
    using QStackedWidget::QStackedWidget;
    int PageIndex() const { return currentIndex(); }
    void SetPageIndex(int index) { setCurrentIndex(index); }
};

// Flat action button of a button bar.
class HOST_EXPORT TSpeedButton : public QToolButton
{
    Q_OBJECT
public:
    explicit TSpeedButton(QWidget *parent = nullptr);
Q_SIGNALS:
    void Click(QObject *sender);
};

// Search button: lists its data source (running its search statement first, when it has one),
// lets the user pick a row and raises the after-search event with that row current. A connected
// Click replaces the button's own search.
class HOST_EXPORT TBtnPesquisa : public QToolButton
{
    Q_OBJECT
public:
    explicit TBtnPesquisa(QWidget *parent = nullptr);

    QWidget *Associate() const { return mAssociate; }
    void setAssociate(QWidget *w) { mAssociate = w; }
    QString Title() const { return mTitle; }
    void setTitle(const QString &t) { mTitle = t; }
    TDataSource *DataSource() const { return mDataSource; }
    void setDataSource(TDataSource *ds) { mDataSource = ds; }
    QString FieldCodigo() const { return mFieldCodigo; }
    void setFieldCodigo(const QString &f) { mFieldCodigo = f; }
    QString EmptyError() const { return mEmptyError; }
    void setEmptyError(const QString &t) { mEmptyError = t; }
    // Statement that fills an in-memory data source before the list opens.
    QString SQL() const { return mSql; }
    void setSQL(const QString &sql) { mSql = sql; }

    // The button's own search (what a click does when no Click handler is connected).
    void Pesquisa();

Q_SIGNALS:
    void Click(QObject *sender);
    void BeforePesq(QObject *sender, bool &proceed);
    void AfterPesq(QObject *sender);

private:
    void onClicked();

    QWidget *mAssociate = nullptr;
    QString mTitle;
    TDataSource *mDataSource = nullptr;
    QString mFieldCodigo;
    QString mEmptyError;
    QString mSql;
};

// The host's multi-select list picker. Writes the key values of the picked rows into `result`,
// joined by ","; cancelling leaves `result` as it was. A title "caption|text" shows the text after
// the bar when there are no rows. `flag` is accepted because the host's callers pass it, and
// unused: the picker offers the same list either way.
HOST_EXPORT void PesquisaLista(TDataSource *source, const QString &keyField, const QString &title, bool flag,
                               QString &result);

// Delimiter between picked codes: no code holds it, so no membership test can match across codes.
inline constexpr QChar PickDelimiter = u',';
