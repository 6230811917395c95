// The branch code edit: its key filter and its four characters hold for every way text gets in,
// also while the consolidated summary has written the five letters of "TODAS".
#include "formtest.h"
#include "testsupport.h"
#include "widgets.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QJsonArray>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <functional>

using namespace Qt::StringLiterals;

namespace {

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

struct InputWay
{
    const char *name;
    std::function<void(TEdit *, const QString &)> put;
};

const InputWay kWays[] = {
    {"typing", [](TEdit *e, const QString &t) { typeKeys(e, t); }},
    {"Ctrl+V",
     [](TEdit *e, const QString &t) {
         QGuiApplication::clipboard()->setText(t);
         QTest::keyClick(e, Qt::Key_V, Qt::ControlModifier);
     }},
    {"input method commit",
     [](TEdit *e, const QString &t) {
         QInputMethodEvent commit;
         commit.setCommitString(t);
         QApplication::sendEvent(e, &commit);
     }},
};

using formtest::ScreenTest;

// After "TODAS" the field takes nothing more, so leaving the consolidated summary still finds
// "TODAS" and brings back the last valid branch.
TEST_F(ScreenTest, TODASTakesNoMoreAndIsStillRestored)
{
    TfrmEstaticVendHora *f = create(false);
    TfrmEstaticVendHoraProbe::seedLastFilial(*f, u"0001"_s, u"Matriz"_s);
    for (const InputWay &way : kWays) {
        SCOPED_TRACE(way.name);
        choose(7); // "Resumo de Vendas - Consolidado"
        ASSERT_EQ(f->edtFilial->text(), u"TODAS"_s);
        f->edtFilial->end(false);
        way.put(f->edtFilial, u"XY1"_s);
        EXPECT_EQ(f->edtFilial->text(), u"TODAS"_s);
        choose(0);
        EXPECT_EQ(f->edtFilial->text(), u"0001"_s);
        EXPECT_EQ(f->edtNmFilial->text(), u"Matriz"_s);
    }
    EXPECT_TRUE(ui.messages.isEmpty()) << ui.messages.join(u'|').toStdString();
}

TEST_F(ScreenTest, BranchKeyFilterHoldsForEveryWayIn)
{
    struct Case
    {
        QString input;
        QString text;
    };
    const Case cases[] = {
        {u"1a2b"_s, u"12"_s},
        {u"\u00E7\u00C70 -.9"_s, u"\u00C709"_s}, // ç dropped, Ç kept
        {u"\u00C1\u00C9\u00D5\u00FC12"_s, u"12"_s},
        {u"ABCDE"_s, u"ABCD"_s},
    };
    TfrmEstaticVendHora *f = create(false);
    choose(0);
    for (const InputWay &way : kWays) {
        for (const Case &c : cases) {
            SCOPED_TRACE(std::string(way.name) + " " + c.input.toStdString());
            f->edtFilial->setText(QString());
            way.put(f->edtFilial, c.input);
            EXPECT_EQ(f->edtFilial->text(), c.text);
        }
    }
}

// The user's sequence through the real host: validated branch, consolidated summary chosen with
// the cursor in the field, keys typed after "TODAS", back to an ordinary report.
TEST(BranchScript, KeysTypedOverTODASAreDroppedAndTheBranchComesBack)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(u"filiais.sqlite"_s);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"branchscript"_s);
        db.setDatabaseName(path);
        ASSERT_TRUE(db.open());
        QSqlQuery q(db);
        ASSERT_TRUE(q.exec(u"CREATE TABLE FILIAL (CDFILIAL CHAR(4) PRIMARY KEY, NMFILIAL VARCHAR(30))"_s));
        ASSERT_TRUE(q.exec(u"INSERT INTO FILIAL VALUES ('0007', 'Filial Sete')"_s));
        db.close();
    }
    QSqlDatabase::removeDatabase(u"branchscript"_s);

    const QJsonArray steps{
        QJsonObject{{u"open"_s, u"Vnd02500"_s}},
        QJsonObject{{u"select"_s, u"Vendas por Dia"_s}},
        QJsonObject{{u"type"_s, QJsonArray{u"edtFilial"_s, u"7"_s}}},
        QJsonObject{{u"focus"_s, u"depDtHrIni"_s}}, // leaving the branch validates it
        QJsonObject{{u"focus"_s, u"edtFilial"_s}},
        // Written while the field has the focus: the cursor stands after "TODAS".
        QJsonObject{{u"select"_s, u"Resumo de Vendas - Consolidado"_s}},
        QJsonObject{{u"type"_s, QJsonArray{u"edtFilial"_s, u"XY1"_s}}},
        QJsonObject{{u"dump"_s, QJsonArray{u"edtFilial"_s}}},
        QJsonObject{{u"focus"_s, u"depDtHrIni"_s}},
        QJsonObject{{u"select"_s, u"Vendas por Dia"_s}},
        QJsonObject{{u"dump"_s, QJsonArray{u"edtFilial"_s, u"edtNmFilial"_s}}},
    };
    const QJsonObject config{{u"FiliProc"_s, u""_s},
                             {u"database"_s, QJsonObject{{u"driver"_s, u"QSQLITE"_s}, {u"name"_s, path}}}};
    const auto lines = testsupport::runScript(steps, config);
    EXPECT_TRUE(testsupport::messagesOf(lines).isEmpty()) << testsupport::messagesOf(lines).join(u'|').toStdString();
    const auto dumps = testsupport::linesOf(lines, u"dump"_s);
    ASSERT_EQ(dumps.size(), 2);
    const auto text = [&](int i, const char *control) {
        return dumps[i].value(u"dump"_s).toObject().value(QLatin1String(control)).toObject().value(u"text"_s).toString();
    };
    EXPECT_EQ(text(0, "edtFilial"), u"TODAS"_s);
    EXPECT_EQ(text(1, "edtFilial"), u"0007"_s);
    EXPECT_EQ(text(1, "edtNmFilial"), u"Filial Sete"_s);
}

} // namespace
