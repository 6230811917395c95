// Bad input through the real screen: every kind of character typed, pasted or composed into each
// field. Each entry is dropped by the key filter or the mask, or ends in the screen's message; no
// entry crashes, and no statement text ever carries what the user entered.

#include "corvel.h"
#include "modulestate.h"
#include "reliability.h"

#include <QApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QSqlQuery>

using namespace Qt::StringLiterals;

namespace {

using reliability::ScreenTest;

// The "Vendas por Hora/Produto" report opens every filter field.
constexpr int kAllFields = 5;

const QString kHourInvalid = u" não é uma hora válida."_s;
const QString kDateInvalid = u"  não é uma data válida."_s;

QString s(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

enum class How { Keys, OneKeyEvent, Paste, Compose };

const char *howName(How how)
{
    switch (how) {
    case How::Keys: return "typed";
    case How::OneKeyEvent: return "one key event";
    case How::Paste: return "pasted";
    case How::Compose: return "composed";
    }
    return "?";
}

class BadInput : public ScreenTest
{
protected:
    void enter(QLineEdit *field, How how, const QString &text)
    {
        // As a click into the field and a select-all: the entry replaces what the field shows.
        focus(field);
        field->selectAll();
        switch (how) {
        case How::Keys:
            typeKeys(field, text);
            break;
        case How::OneKeyEvent:
            typeText(field, text);
            break;
        case How::Paste:
            paste(field, text);
            break;
        case How::Compose: {
            focus(field);
            QInputMethodEvent event;
            event.setCommitString(text);
            QCoreApplication::sendEvent(field, &event);
            break;
        }
        }
    }

    // Leaves the field for another one of the screen, so that its exit handler runs.
    void leave(QWidget *field)
    {
        QWidget *other = field == f->edtFilial ? static_cast<QWidget *>(f->depDtHrIni)
                                               : static_cast<QWidget *>(f->edtFilial);
        if (field != f->edtFilial && f->edtFilial->text() != u"0001"_s)
            f->edtFilial->setText(u"0001"_s);
        focus(other);
    }

    // No statement the screen sent holds `text` (a fragment the user entered).
    void expectNotInAnyStatement(const reliability::StatementLog &log, const QString &text, const std::string &row)
    {
        for (const QString &statement : log.statements())
            EXPECT_FALSE(statement.contains(text)) << row << ": user text inside a statement: " << statement.toStdString();
    }

    int rows(const char *table)
    {
        QSqlQuery q(TdtmDBGeral::adcGeral());
        return q.exec(u"SELECT COUNT(*) FROM "_s + QString::fromLatin1(table)) && q.next() ? q.value(0).toInt() : -1;
    }
};

// ---------------------------------------------------------------------------------------------
// Branch code: the key filter keeps 0-9, A-Z, Ç and backspace; leaving the field looks the code up.

struct BranchCase
{
    const char *label;
    How how;
    QString input;
    QString textAfterEntry; // what the edit holds before it is left
    QString textAfterExit;  // after the exit handler normalised it
    const char *message;    // nullptr: none
    QString name;           // branch name shown after the exit
};

TEST_F(BadInput, BranchCodeEveryKindOfCharacter)
{
    const char *const kNotRegistered = "Filial não cadastrada.";
    const char *const kRequired = "Filial deve ser informada.";
    const BranchCase cases[] = {
        {"digits", How::Keys, u"0002"_s, u"0002"_s, u"0002"_s, nullptr, u"Centro"_s},
        {"Ç is a code letter", How::Keys, s("00Ç1"), s("00Ç1"), s("00Ç1"), nullptr, s("Açude")},
        {"upper-case letters", How::Keys, u"ABCD"_s, u"ABCD"_s, u"ABCD"_s, kNotRegistered, {}},
        {"lower-case letters", How::Keys, u"abcd"_s, {}, {}, kRequired, {}},
        {"ç and other accented letters", How::Keys, s("çÁÉõ"), {}, {}, kRequired, {}},
        {"control characters", How::Keys, s("\x01\x02\x1b\x7f\r\t\n"), {}, {}, kRequired, {}},
        {"controls between digits", How::Keys, s("0\x01" "0\x1f" "0\x7f" "2"), u"0002"_s, u"0002"_s, nullptr, u"Centro"_s},
        {"backspace", How::Keys, u"0009\b2"_s, u"0002"_s, u"0002"_s, nullptr, u"Centro"_s},
        {"blank and punctuation", How::Keys, u" -./:;%_*"_s, {}, {}, kRequired, {}},
        {"longer than the field", How::Keys, u"000123456789"_s, u"0001"_s, u"0001"_s, nullptr, u"Matriz"_s},
        {"short code is padded", How::Keys, u"2"_s, u"2"_s, u"0002"_s, nullptr, u"Centro"_s},
        {"SQL: always-true condition", How::Keys, u"' OR '1'='1"_s, u"OR11"_s, u"OR11"_s, kNotRegistered, {}},
        {"SQL: drop table", How::Keys, u"'; DROP TABLE FILIAL; --"_s, u"DROP"_s, u"DROP"_s, kNotRegistered, {}},
        {"Windows-1252 byte read as UTF-8", How::Keys, s("00\xEF\xBF\xBD" "1"), u"001"_s, u"0001"_s, nullptr, u"Matriz"_s},
        {"UTF-8 read as Latin-1", How::Keys, s("00\xC3\x83\xC2\x87" "1"), u"001"_s, u"0001"_s, nullptr, u"Matriz"_s},
        {"UTF-8 read as Windows-1252", How::Keys, s("00\xC3\x83\xE2\x80\xA1" "1"), u"001"_s, u"0001"_s, nullptr, u"Matriz"_s},
        {"fullwidth digits", How::Keys, s("\xEF\xBC\x90\xEF\xBC\x90\xEF\xBC\x90\xEF\xBC\x91"), {}, {}, kRequired, {}},
        {"Arabic-Indic digits", How::Keys, s("\xD9\xA0\xD9\xA0\xD9\xA0\xD9\xA1"), {}, {}, kRequired, {}},
        {"emoji in one key press", How::OneKeyEvent, s("\xF0\x9F\x98\x80"), {}, {}, kRequired, {}},
        {"emoji between digits, one key press", How::OneKeyEvent, s("00\xF0\x9F\x98\x80" "2"), u"002"_s, u"0002"_s, nullptr, u"Centro"_s},
        // Pasting and composing go through the key filter character by character, as typed keys
        // do, and take at most 4 characters; the lookup, a parameter, finds nothing.
        {"pasted quote and OR", How::Paste, u"' OR"_s, u"OR"_s, u"00OR"_s, kNotRegistered, {}},
        {"pasted quote and comment", How::Paste, u"0'--"_s, u"0"_s, u"0000"_s, kNotRegistered, {}},
        {"pasted statement end", How::Paste, u"';"_s, {}, {}, kRequired, {}},
        {"pasted always-true condition, longer than the field", How::Paste, u"' OR '1'='1"_s, u"OR11"_s, u"OR11"_s, kNotRegistered, {}},
        {"pasted drop table, longer than the field", How::Paste, u"'; DROP TABLE FILIAL; --"_s, u"DROP"_s, u"DROP"_s, kNotRegistered, {}},
        {"pasted 10000 characters", How::Paste, u"0001"_s + QString(9996, u'x'), u"0001"_s, u"0001"_s, nullptr, u"Matriz"_s},
        {"pasted code with blanks around", How::Paste, u"  2 "_s, u"2"_s, u"0002"_s, nullptr, u"Centro"_s},
        {"pasted emoji", How::Paste, s("\xF0\x9F\x98\x80\xF0\x9F\x98\x80"), {}, {}, kRequired, {}},
        {"pasted control characters", How::Paste, s("\x01\x02" "01"), u"01"_s, u"0001"_s, nullptr, u"Matriz"_s},
        {"composed lower-case code", How::Compose, u"abc'"_s, {}, {}, kRequired, {}},
        {"composed SQL comment", How::Compose, u"0--"_s, u"0"_s, u"0000"_s, kNotRegistered, {}},
        {"composed, longer than the field", How::Compose, u"' OR '1'='1"_s, u"OR11"_s, u"OR11"_s, kNotRegistered, {}},
    };
    reliability::StatementLog log(TdtmDBGeral::adcGeral());
    ASSERT_TRUE(log.active()) << "the statement log is needed to prove that parameters carry the input";
    for (const BranchCase &c : cases) {
        const std::string row = std::string(c.label) + " (" + howName(c.how) + ")";
        fillValid(kAllFields);
        f->edtFilial->setText(QString());
        focus(f->edtFilial);
        ui.clear();
        log.clear();
        enter(f->edtFilial, c.how, c.input);
        EXPECT_EQ(f->edtFilial->text(), c.textAfterEntry) << row;
        EXPECT_TRUE(ui.messages.isEmpty()) << row << ": " << ui.messages.join(u'|').toStdString();
        leave(f->edtFilial);
        EXPECT_EQ(f->edtFilial->text(), c.textAfterExit) << row;
        EXPECT_EQ(ui.messages, c.message ? QStringList{s(c.message)} : QStringList()) << row;
        EXPECT_TRUE(ui.errors.isEmpty()) << row << ": " << ui.errors.join(u'|').toStdString();
        EXPECT_EQ(f->edtNmFilial->text(), c.name) << row;
        EXPECT_EQ(focusName(), c.message ? u"edtFilial"_s : u"depDtHrIni"_s) << row;
        if (!c.textAfterExit.isEmpty()) {
            // The lookup ran, with the code as a parameter.
            ASSERT_FALSE(log.statements().isEmpty()) << row;
            EXPECT_TRUE(log.statements().last().contains(u"FILIAL"_s)) << row;
            expectNotInAnyStatement(log, c.textAfterExit, row);
        }
    }
    EXPECT_EQ(rows("FILIAL"), reliability::kBranches);
    EXPECT_EQ(reliability::branchCount(databasePath()), reliability::kBranches);
}

// The key handler sees both halves of a character beyond 16 bits: an edit without a filter still
// takes an emoji whole, a filter that drops either half drops the character.
TEST(BadInputKeys, CharactersBeyond16BitsGoThroughTheKeyHandler)
{
    enum class Filter { None, DropHigh, DropLow, DropAll };
    struct Case
    {
        const char *label;
        QString text; // one key press
        Filter filter;
        QString expected;
    };
    const QString emoji = s("\xF0\x9F\x98\x80");
    const Case cases[] = {
        {"no filter, emoji", emoji, Filter::None, emoji},
        {"no filter, digit emoji digit", u"1"_s + emoji + u"2"_s, Filter::None, u"1"_s + emoji + u"2"_s},
        {"first half dropped", emoji, Filter::DropHigh, {}},
        {"second half dropped", emoji, Filter::DropLow, {}},
        {"both dropped, digits kept", u"1"_s + emoji + u"2"_s, Filter::DropAll, u"12"_s},
        {"musical symbol, no filter", s("\xF0\x9D\x84\x9E"), Filter::None, s("\xF0\x9D\x84\x9E")},
    };
    for (const Case &c : cases) {
        TEdit edit;
        int seen = 0;
        QObject::connect(&edit, &TEdit::KeyPress, &edit, [&](QObject *, QChar &key) {
            ++seen;
            if ((c.filter == Filter::DropHigh || c.filter == Filter::DropAll) && key.isHighSurrogate())
                key = QChar(0);
            if ((c.filter == Filter::DropLow || c.filter == Filter::DropAll) && key.isLowSurrogate())
                key = QChar(0);
        });
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, c.text);
        QCoreApplication::sendEvent(&edit, &press);
        EXPECT_EQ(edit.text(), c.expected) << c.label;
        EXPECT_EQ(seen, c.text.size()) << c.label << ": every UTF-16 unit reaches the handler";
    }
}

// ---------------------------------------------------------------------------------------------
// Hour fields (mask "99:99;0; "): the mask keeps digits; leaving a filled field checks the hour.

struct HourCase
{
    const char *label;
    How how;
    QString input;
    QString text;     // the field's text (digits without the colon)
    bool valid;       // false: leaving shows 'text' + " não é uma hora válida."
};

TEST_F(BadInput, HourFieldsEveryKindOfCharacter)
{
    const HourCase cases[] = {
        {"valid hour", How::Keys, u"2359"_s, u"2359"_s, true},
        {"midnight", How::Keys, u"0000"_s, u"0000"_s, true},
        {"minutes past 59", How::Keys, u"2575"_s, u"2575"_s, false},
        {"24:00 with its colon", How::Keys, u"24:00"_s, u"2400"_s, false},
        {"99:99", How::Keys, u"99:99"_s, u"9999"_s, false},
        {"letters", How::Keys, u"ab:cd"_s, {}, true},
        {"control characters", How::Keys, s("\x01\x02\x7f"), {}, true},
        {"half typed", How::Keys, u"143"_s, u"143"_s, false},
        {"pasted 2575", How::Paste, u"2575"_s, u"2575"_s, false},
        {"pasted 24:00", How::Paste, u"24:00"_s, u"2400"_s, false},
        {"pasted 99:99", How::Paste, u"99:99"_s, u"9999"_s, false},
        {"pasted longer than the field", How::Paste, u"1430 e mais 2359"_s, u"1430"_s, true},
        {"pasted always-true condition", How::Paste, u"' OR '1'='1"_s, u"11"_s, false},
        {"pasted drop table", How::Paste, u"'; DROP TABLE FILIAL; --"_s, {}, true},
        {"pasted emoji", How::Paste, s("\xF0\x9F\x98\x80"), {}, true},
        {"pasted control characters before digits", How::Paste, s("\x01\x02" "12"), u"12"_s, false},
        // The mask takes any Unicode digit; the hour check takes only 0-9.
        {"pasted Arabic-Indic digits", How::Paste, s("\xD9\xA1\xD9\xA4\xD9\xA3\xD9\xA0"), s("\xD9\xA1\xD9\xA4\xD9\xA3\xD9\xA0"), false},
        {"pasted fullwidth digits", How::Paste, s("\xEF\xBC\x91\xEF\xBC\x92\xEF\xBC\x93\xEF\xBC\x94"),
         s("\xEF\xBC\x91\xEF\xBC\x92\xEF\xBC\x93\xEF\xBC\x94"), false},
    };
    struct Field
    {
        const char *name;
        TMaskEdit *TfrmEstaticVendHora::*edit;
    };
    const Field fields[] = {{"medHoraIni", &TfrmEstaticVendHora::medHoraIni},
                            {"medHoraFin", &TfrmEstaticVendHora::medHoraFin},
                            {"medHoras", &TfrmEstaticVendHora::medHoras}};
    int checked = 0;
    for (const Field &field : fields) {
        for (const HourCase &c : cases) {
            const std::string row = std::string(field.name) + ": " + c.label;
            fillValid(kAllFields);
            TMaskEdit *edit = f.data()->*field.edit;
            ASSERT_TRUE(edit->isEnabled()) << row;
            focus(edit);
            ui.clear();
            enter(edit, c.how, c.input);
            EXPECT_EQ(edit->Text(), c.text) << row;
            leave(edit);
            const QStringList expected = c.valid ? QStringList() : QStringList{u"'"_s + c.text + u"'"_s + kHourInvalid};
            EXPECT_EQ(ui.messages, expected) << row;
            EXPECT_TRUE(ui.errors.isEmpty()) << row << ": " << ui.errors.join(u'|').toStdString();
            EXPECT_EQ(focusName(), c.valid ? u"edtFilial"_s : QString::fromLatin1(field.name)) << row;
            ++checked;
        }
    }
    EXPECT_EQ(checked, 54);
}

// ---------------------------------------------------------------------------------------------
// Dates (mask "!99/99/9999;1;_"): dates that do not exist are refused on leaving the field.

struct DateCase
{
    const char *label;
    How how;
    QString input;
    QString shown; // the edit text
    bool valid;    // false: leaving shows 'shown' + two blanks + "não é uma data válida."
};

TEST_F(BadInput, DatesThatDoNotExist)
{
    const DateCase cases[] = {
        {"31 February", How::Keys, u"31022026"_s, u"31/02/2026"_s, false},
        {"all zeros", How::Keys, u"00000000"_s, u"00/00/0000"_s, false},
        {"29 February of a common year", How::Keys, u"29022025"_s, u"29/02/2025"_s, false},
        {"29 February of a leap year", How::Keys, u"29022024"_s, u"29/02/2024"_s, true},
        {"day 32", How::Keys, u"32012026"_s, u"32/01/2026"_s, false},
        {"month 13", How::Keys, u"01132026"_s, u"01/13/2026"_s, false},
        {"year 0000", How::Keys, u"01010000"_s, u"01/01/0000"_s, false},
        {"half typed", How::Keys, u"0112"_s, u"01/12/____"_s, false},
        {"letters only", How::Keys, u"abcdefgh"_s, u"__/__/____"_s, true},
        {"pasted 31/02/2026", How::Paste, u"31/02/2026"_s, u"31/02/2026"_s, false},
        {"pasted 00/00/0000", How::Paste, u"00/00/0000"_s, u"00/00/0000"_s, false},
        {"pasted 99/99/9999", How::Paste, u"99/99/9999"_s, u"99/99/9999"_s, false},
        {"pasted always-true condition", How::Paste, u"' OR '1'='1"_s, u"11/__/____"_s, false},
        {"pasted emoji", How::Paste, s("\xF0\x9F\x98\x80"), u"__/__/____"_s, true},
        {"pasted Arabic-Indic digits", How::Paste, s("\xD9\xA0\xD9\xA1/\xD9\xA1\xD9\xA2/\xD9\xA2\xD9\xA0\xD9\xA2\xD9\xA6"),
         s("\xD9\xA0\xD9\xA1/\xD9\xA1\xD9\xA2/\xD9\xA2\xD9\xA0\xD9\xA2\xD9\xA6"), false},
        {"pasted longer than the field", How::Paste, u"01/12/2026 23:59:59"_s, u"01/12/2026"_s, true},
    };
    int checked = 0;
    for (TDateEditPlus *TfrmEstaticVendHora::*member : {&TfrmEstaticVendHora::depDtHrIni, &TfrmEstaticVendHora::depDtHrFin}) {
        for (const DateCase &c : cases) {
            fillValid(kAllFields);
            TDateEditPlus *edit = f.data()->*member;
            const std::string row = edit->objectName().toStdString() + ": " + c.label;
            edit->SetText(QString());
            focus(edit);
            ui.clear();
            enter(edit, c.how, c.input);
            EXPECT_EQ(edit->EditText(), c.shown) << row;
            leave(edit);
            const QStringList expected = c.valid ? QStringList() : QStringList{u"'"_s + c.shown + u"'"_s + kDateInvalid};
            EXPECT_EQ(ui.messages, expected) << row;
            EXPECT_TRUE(ui.errors.isEmpty()) << row << ": " << ui.errors.join(u'|').toStdString();
            EXPECT_EQ(focusName(), c.valid ? u"edtFilial"_s : edit->objectName()) << row;
            ++checked;
        }
    }
    EXPECT_EQ(checked, 32);
}

// ---------------------------------------------------------------------------------------------
// Product codes: with the host's mask digits only; without a mask any text, which the lookup
// takes as a parameter and finds nothing for.

struct ProductCase
{
    const char *label;
    QString mask;
    QString input; // pasted
    QString text;
    const char *message;
    QString name;
};

TEST_F(BadInput, ProductCodesReachTheLookupOnlyAsAParameter)
{
    const char *const kNotRegistered = "Produto não cadastrado.";
    const QString hostMask = u"99.99.999;0;_"_s;
    const ProductCase cases[] = {
        {"masked: valid code", hostMask, u"0101001"_s, u"0101001"_s, nullptr, s("Café")},
        {"masked: always-true condition", hostMask, u"' OR '1'='1"_s, u"11"_s, kNotRegistered, {}},
        {"masked: drop table", hostMask, u"'; DROP TABLE PRODUTO; --"_s, {}, nullptr, {}},
        {"masked: emoji", hostMask, s("\xF0\x9F\x98\x80"), {}, nullptr, {}},
        {"masked: longer than the field", hostMask, u"0101001999999"_s, u"0101001"_s, nullptr, s("Café")},
        {"no mask: valid code", {}, u"0101002"_s, u"0101002"_s, nullptr, s("Pão")},
        {"no mask: always-true condition", {}, u"' OR '1'='1"_s, u"' OR '1'='1"_s, kNotRegistered, {}},
        {"no mask: drop table", {}, u"'; DROP TABLE PRODUTO; --"_s, u"'; DROP TABLE PRODUTO; --"_s, kNotRegistered, {}},
        {"no mask: code and comment", {}, u"0101001' --"_s, u"0101001' --"_s, kNotRegistered, {}},
        {"no mask: LIKE wildcard", {}, u"%"_s, u"%"_s, kNotRegistered, {}},
        {"no mask: emoji", {}, s("\xF0\x9F\x98\x80"), s("\xF0\x9F\x98\x80"), kNotRegistered, {}},
        {"no mask: mis-decoded accent", {}, s("Caf\xC3\x83\xC2\xA9"), s("Caf\xC3\x83\xC2\xA9"), kNotRegistered, {}},
        {"no mask: control characters", {}, s("01\x01" "01001"), s("01\x01" "01001"), kNotRegistered, {}},
    };
    int checked = 0;
    for (const ProductCase &c : cases) {
        destroyScreen();
        HostContext context = Corvel::context();
        context.dbPictArvProd = c.mask;
        Corvel::setContext(context);
        createScreen();
        reliability::StatementLog log(TdtmDBGeral::adcGeral());
        ASSERT_TRUE(log.active());
        for (TMaskEdit *TfrmEstaticVendHora::*member : {&TfrmEstaticVendHora::medDe, &TfrmEstaticVendHora::medAte}) {
            fillValid(kAllFields);
            TMaskEdit *edit = f.data()->*member;
            TEdit *name = member == &TfrmEstaticVendHora::medDe ? f->edtDe : f->edtAte;
            const std::string row = edit->objectName().toStdString() + ": " + c.label;
            edit->SetText(QString());
            focus(edit);
            ui.clear();
            log.clear();
            paste(edit, c.input);
            EXPECT_EQ(edit->Text(), c.text) << row;
            leave(edit);
            EXPECT_EQ(ui.messages, c.message ? QStringList{s(c.message)} : QStringList()) << row;
            EXPECT_TRUE(ui.errors.isEmpty()) << row << ": " << ui.errors.join(u'|').toStdString();
            EXPECT_EQ(name->text(), c.name) << row;
            EXPECT_EQ(focusName(), c.message ? edit->objectName() : u"edtFilial"_s) << row;
            if (!c.text.isEmpty()) {
                ASSERT_FALSE(log.statements().isEmpty()) << row;
                expectNotInAnyStatement(log, c.text, row);
            }
            ++checked;
        }
    }
    EXPECT_EQ(checked, 26);
    EXPECT_EQ(rows("PRODUTO"), 2);
    EXPECT_EQ(rows("FILIAL"), reliability::kBranches);
}

// The product search is the one statement built as text: it takes the branch code only when it is
// a plain code, and refuses anything else before a statement is made.
TEST_F(BadInput, ProductSearchRefusesABranchCodeThatIsNotACode)
{
    struct Case
    {
        const char *label;
        QString branch; // written into edtFilial by code, which the key filter does not see
        bool refused;
        int products;   // offered when not refused: those sold at the branch, else all
    };
    const Case cases[] = {
        {"plain code", u"0001"_s, false, 1},
        {"code with Ç, no sales", s("00Ç1"), false, 2},
        {"quote", u"0'01"_s, true, 0},
        {"quote and OR", u"' OR"_s, true, 0},
        {"statement end and comment", u"';--"_s, true, 0},
        {"lower-case", u"abcd"_s, true, 0},
        {"emoji", s("\xF0\x9F\x98\x80"), true, 0},
        {"control character", s("00\x01" "1"), true, 0},
    };
    reliability::StatementLog log(TdtmDBGeral::adcGeral());
    ASSERT_TRUE(log.active());
    for (const Case &c : cases) {
        fillValid(kAllFields);
        f->edtFilial->setText(c.branch);
        // The search button itself, without leaving the branch field first.
        ui.clear();
        log.clear();
        f->btpDe->click();
        QCoreApplication::processEvents();
        if (c.refused) {
            ASSERT_EQ(ui.errors.size() + ui.messages.size(), 1) << c.label;
            EXPECT_TRUE(shown().constFirst().contains(u"Código de filial inválido"_s)) << c.label << ": " << shown().join(u'|').toStdString();
            EXPECT_TRUE(log.statements().isEmpty()) << c.label;
            EXPECT_TRUE(ui.opened.isEmpty()) << c.label;
        } else {
            EXPECT_TRUE(shown().isEmpty()) << c.label << ": " << shown().join(u'|').toStdString();
            ASSERT_FALSE(ui.opened.isEmpty()) << c.label;
            EXPECT_EQ(ui.opened.last().keys.size(), c.products) << c.label;
        }
        ui.opened.clear();
    }
    EXPECT_EQ(rows("FILIAL"), reliability::kBranches);
    EXPECT_EQ(rows("PRODUTO"), 2);
}

// ---------------------------------------------------------------------------------------------
// The four report actions stop at the first bad field, with its message, and run no report.

struct ActionCase
{
    const char *label;
    QString field;
    QString input; // pasted
    QString message;
};

TEST_F(BadInput, ReportActionsStopAtTheBadField)
{
    const ActionCase cases[] = {
        {"branch: pasted quote and OR", u"edtFilial"_s, u"' OR"_s, s("Filial não cadastrada.")},
        {"branch: pasted start of a drop", u"edtFilial"_s, u"'; D"_s, s("Filial não cadastrada.")},
        {"start date 31/02/2026", u"depDtHrIni"_s, u"31/02/2026"_s, u"'31/02/2026'"_s + kDateInvalid},
        {"end date 00/00/0000", u"depDtHrFin"_s, u"00/00/0000"_s, u"'00/00/0000'"_s + kDateInvalid},
        {"start hour 2575", u"medHoraIni"_s, u"2575"_s, u"'2575'"_s + kHourInvalid},
        {"end hour 24:00", u"medHoraFin"_s, u"24:00"_s, u"'2400'"_s + kHourInvalid},
        {"interval 99:99", u"medHoras"_s, u"99:99"_s, u"'9999'"_s + kHourInvalid},
        {"start product: pasted condition", u"medDe"_s, u"' OR '1'='1"_s, s("Produto não cadastrado.")},
        {"end product: pasted drop", u"medAte"_s, u"'; DROP TABLE PRODUTO; --"_s, s("Produto final deve ser informado.")},
    };
    int runs = 0;
    QObject::connect(f.data(), &TfrmDadosGerRel::reportRequested, f.data(), [&runs] { ++runs; });
    int checked = 0;
    for (const ActionCase &c : cases) {
        for (const Action action : {Action::Preview, Action::Print, Action::SaveAs, Action::Edit}) {
            const std::string row = std::string(c.label) + " / action " + std::to_string(int(action));
            fillValid(kAllFields);
            auto *field = f->findChild<QLineEdit *>(c.field);
            ASSERT_NE(field, nullptr) << row;
            if (auto *masked = qobject_cast<TMaskEdit *>(field))
                masked->SetText(QString());
            else
                field->setText(QString());
            // Pasted while the focus is there; the other hour given so that both-or-neither holds.
            enter(field, How::Paste, c.input);
            if (c.field == u"medHoraIni"_s)
                f->medHoraFin->SetText(u"2359"_s);
            if (c.field == u"medHoraFin"_s)
                f->medHoraIni->SetText(u"0000"_s);
            ui.clear();
            click(action);
            EXPECT_EQ(ui.messages, QStringList{c.message}) << row;
            EXPECT_TRUE(ui.errors.isEmpty()) << row << ": " << ui.errors.join(u'|').toStdString();
            EXPECT_EQ(focusName(), c.field) << row;
            EXPECT_EQ(runs, 0) << row;
            ++checked;
        }
    }
    EXPECT_EQ(checked, 36);
    // Still usable: with the filters made valid again, the action runs.
    fillValid(kAllFields);
    ui.answerFile(scratch(u"depois.csv"_s));
    click(Action::SaveAs);
    EXPECT_EQ(runs, 1) << shown().join(u'|').toStdString();
    EXPECT_EQ(reliability::branchCount(databasePath()), reliability::kBranches);
}

} // namespace
