// The screen by keyboard alone: real key events through QTest, from choosing the report to the
// saved file; the way Tab takes for every report of the list; what Enter and the mnemonics do.

#include "reliability.h"
#include "savefolder.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QStandardPaths>
#include <QTimer>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

using reliability::readAll;

class Keyboard : public reliability::ScreenTest
{
protected:
    void SetUp() override
    {
        SaveFolder::forget();
        reliability::ScreenTest::SetUp();
    }
    void TearDown() override
    {
        SaveFolder::forget();
        reliability::ScreenTest::TearDown();
    }

    // One key pressed and released where the focus is, as the keyboard sends it.
    static void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QWidget *target = QApplication::focusWidget();
        ASSERT_NE(target, nullptr);
        QTest::keyClick(target, key, modifiers);
        testsupport::flushDeletes();
    }
    static void type(const QString &text)
    {
        testsupport::typeKeys(QApplication::focusWidget(), text);
        testsupport::flushDeletes();
    }
    // The controls Tab stops at from the report list until it comes back to it.
    QStringList tabWalk()
    {
        focus(f->cbbReportNames);
        QStringList stops;
        for (int i = 0; i < 40; ++i) {
            press(Qt::Key_Tab);
            if (focusName() == u"cbbReportNames")
                return stops;
            stops << focusName();
        }
        ADD_FAILURE() << "Tab never came back to the report list: " << stops.join(u' ').toStdString();
        return stops;
    }
};

TEST_F(Keyboard, AWholeReportFromChoosingItToTheSavedFile)
{
    // Alt+R: the report list; Down four times from none chosen: the fourth report.
    press(Qt::Key_R, Qt::AltModifier);
    ASSERT_EQ(focusName(), u"cbbReportNames"_s);
    for (int i = 0; i < 4; ++i)
        press(Qt::Key_Down);
    ASSERT_EQ(f->cbbReportNames->currentText(), u"Vendas por Hora/Caixa"_s);

    press(Qt::Key_Tab);
    ASSERT_EQ(focusName(), u"edtFilial"_s);
    press(Qt::Key_Backspace);
    press(Qt::Key_Backspace);
    press(Qt::Key_Backspace);
    press(Qt::Key_Backspace);
    type(u"2"_s);
    press(Qt::Key_Return); // moves on, and leaving the field looks the branch up
    EXPECT_EQ(focusName(), u"btnPesqFilial"_s);
    EXPECT_EQ(f->edtFilial->text(), u"0002"_s);
    EXPECT_EQ(f->edtNmFilial->text(), u"Centro"_s);

    press(Qt::Key_Tab);
    EXPECT_EQ(focusName(), u"rbtTodasLoja"_s);
    press(Qt::Key_Tab);
    EXPECT_EQ(focusName(), u"rbtTodosCaixa"_s);
    press(Qt::Key_Tab);
    ASSERT_EQ(focusName(), u"depDtHrIni"_s);
    type(u"01122026"_s);
    press(Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(focusName(), u"medHoraIni"_s);
    press(Qt::Key_Return);
    ASSERT_EQ(focusName(), u"depDtHrFin"_s);
    type(u"07122026"_s);
    press(Qt::Key_Tab);
    EXPECT_EQ(focusName(), u"medHoraFin"_s);
    EXPECT_TRUE(shown().isEmpty()) << shown().join(u'|').toStdString();

    const QString file = scratch(u"por teclado.csv"_s);
    ui.answerFile(file);
    press(Qt::Key_S, Qt::AltModifier);
    // The mnemonic presses the button as a click does, a moment later.
    for (int i = 0; i < 50 && !QFileInfo::exists(file); ++i)
        QTest::qWait(20);
    ASSERT_TRUE(QFileInfo::exists(file)) << shown().join(u'|').toStdString();
    EXPECT_TRUE(shown().isEmpty()) << shown().join(u'|').toStdString();
    EXPECT_EQ(readAll(file).count('\n'), 1 + reliability::kBranches);
    // The dialog opened on the documents folder the first time, the run's name typed in.
    ASSERT_EQ(ui.suggestedFiles.size(), 1);
    EXPECT_EQ(QFileInfo(ui.suggestedFiles.first()).fileName(), u"Vendas por Hora-Caixa 01-12-2026 a 07-12-2026.pdf"_s);
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    EXPECT_EQ(QFileInfo(ui.suggestedFiles.first()).absolutePath(), documents.isEmpty() ? QDir::homePath() : documents);
    // The next one opens where this file went.
    EXPECT_EQ(QFileInfo(SaveFolder::folder()).canonicalFilePath(), QFileInfo(file).canonicalPath());
}

TEST_F(Keyboard, TabStopsAtEveryOpenFieldOfEachReportThenAtTheActions)
{
    const QString branch = u"edtFilial btnPesqFilial "_s;
    const QString period = u"depDtHrIni medHoraIni depDtHrFin medHoraFin btnPeriodo "_s;
    const QString actions = u"sbtPreview sbtPrint sbtSalvarComo sbtReportEdit"_s;
    const struct
    {
        int position;
        QString stops; // between the branch and the actions
    } cases[] = {
        {-1, u"rbtTodasLoja "_s + period},
        {0, u"rbtTodasLoja rbtTodosCaixa "_s + period},                               // Vendas por Dia
        {1, u"rbtTodasLoja rbtTodosCaixa "_s + period},                               // Dia/Caixa
        {2, u"rbtTodasLoja "_s + period + u"medHoras "_s},                            // Hora
        {3, u"rbtTodasLoja rbtTodosCaixa "_s + period + u"medHoras "_s},              // Hora/Caixa
        {4, u"rbtTodasLoja rbtTodosCaixa "_s + period + u"medHoras "_s},              // Hora/Loja
        {5, u"rbtTodasLoja rbtTodosCaixa "_s + period + u"medHoras medDe btpDe medAte btpAte "_s},
        {6, u"rbtTodasLoja rbtTodosCaixa "_s + period + u"medHoras medDe btpDe medAte btpAte "_s},
        {7, period + u"chbConsideraServico "_s},                                      // consolidated: no stores
        {8, u"rbtTodasLoja "_s + period},                                             // Resumo por Dia
        {10, u"rbtTodasLoja "_s + period},                                            // Ticket Médio
        {11, u"rbtTodasLoja "_s + period},                                            // Mapa de Calor
        {12, u"rbtTodasLoja "_s + period},                                            // Comparativo
        {13, u"rbtTodasLoja "_s + period},                                            // Caixas por Hora
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.position);
        choose(c.position);
        EXPECT_EQ(tabWalk().join(u' '), branch + c.stops + actions);
    }
    // Hora/Modalidade: the branch list's page in place of the code, a list button once it is chosen.
    choose(9);
    EXPECT_EQ(tabWalk().join(u' '), u"rbtTodosFil rbtTodasLoja "_s + period + u"medHoras "_s + actions);
    f->rbtListaFil->setChecked(true);
    f->rbtListaLoja->setChecked(true);
    EXPECT_EQ(tabWalk().join(u' '), u"rbtListaFil btnListaFil rbtListaLoja btnLoja "_s + period + u"medHoras "_s + actions);
    // Shift+Tab walks back.
    focus(f->sbtPreview);
    press(Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(focusName(), u"medHoras"_s);
}

TEST_F(Keyboard, KeysOfTheActionsAndOfTheFields)
{
    fillValid(0);
    focus(f->depDtHrIni);
    const struct
    {
        const char *what;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        QString saved; // the file the action writes; empty: what it shows instead
        QString focusAfter;
    } cases[] = {
        {"Ctrl+P prints (to a PDF without a printer)", Qt::Key_P, Qt::ControlModifier, u"impresso.pdf"_s, u"depDtHrIni"_s},
        {"Alt+I prints", Qt::Key_I, Qt::AltModifier, u"alt-i.pdf"_s, u"depDtHrIni"_s},
        {"Alt+S saves", Qt::Key_S, Qt::AltModifier, u"alt-s.csv"_s, u"depDtHrIni"_s},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        ui.clear();
        ui.answerFile(scratch(c.saved));
        press(c.key, c.modifiers);
        for (int i = 0; i < 50 && !QFileInfo::exists(scratch(c.saved)); ++i)
            QTest::qWait(20);
        EXPECT_TRUE(QFileInfo::exists(scratch(c.saved))) << shown().join(u'|').toStdString();
        // The action's key is no exit of the field: the focus stays where the user typed.
        EXPECT_EQ(focusName(), c.focusAfter);
    }
    // A failing gate from the keyboard puts the focus where the fault is, as a click does.
    f->depDtHrFin->SetText(QString());
    ui.clear();
    press(Qt::Key_V, Qt::AltModifier);
    for (int i = 0; i < 50 && shown().isEmpty(); ++i)
        QTest::qWait(20);
    EXPECT_EQ(shown(), QStringList{u"Data final do período deve ser informada."_s});
    EXPECT_EQ(focusName(), u"depDtHrFin"_s);
    // Enter on a focused button presses it: the period menu opens.
    focus(f->btnPeriodo);
    QTimer::singleShot(0, qApp, [] {
        if (auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget()))
            menu->close();
    });
    bool opened = false;
    QObject::connect(f->btnPeriodo->menu(), &QMenu::aboutToShow, f, [&opened] { opened = true; });
    press(Qt::Key_Return);
    EXPECT_TRUE(opened);
}

} // namespace
