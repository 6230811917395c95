// The report actions on the real screen where the user decides: no report chosen, the file type
// chosen in the save dialog, and the product range as the header prints it.

#include "corvel.h"
#include "reliability.h"

#include <QDir>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace {

using reliability::readAll;
using reliability::ScreenTest;

class ReportActions : public ScreenTest
{
};

TEST_F(ReportActions, WithNoReportChosenEveryActionAsksForOneAndFocusesTheList)
{
    for (const Action action : {Action::Preview, Action::Print, Action::SaveAs, Action::Edit}) {
        fillValid(0);
        choose(-1);
        focus(f->edtFilial);
        ui.clear();
        ui.answerFile(scratch(u"nada.csv"_s));
        click(action);
        EXPECT_EQ(shown(), QStringList{u"Selecione um relatório."_s}) << int(action);
        EXPECT_EQ(focusName(), u"cbbReportNames"_s) << int(action);
    }
    EXPECT_FALSE(QFileInfo::exists(scratch(u"nada.csv"_s)));
    // Once one is chosen the same action runs.
    fillValid(0);
    ui.answerFile(scratch(u"filiais.csv"_s));
    click(Action::SaveAs);
    EXPECT_TRUE(shown().isEmpty()) << shown().join(u'|').toStdString();
    EXPECT_TRUE(QFileInfo::exists(scratch(u"filiais.csv"_s)));
}

TEST_F(ReportActions, SaveAsTakesTheChosenTypeUnlessTheNameHasAFormatOfItsOwn)
{
    const struct
    {
        QString name;
        QString filter;
        QString written;
    } cases[] = {
        {u"vendas"_s, u"Planilha Excel (*.xlsx)"_s, u"vendas.xlsx"_s},
        {u"semana 01.12.2026"_s, u"Texto separado por ponto e vírgula (*.csv)"_s, u"semana 01.12.2026.csv"_s},
        {u"pagina"_s, u"Página HTML (*.html *.htm)"_s, u"pagina.html"_s},
        {u"escolhido.CSV"_s, u"Documento PDF (*.pdf)"_s, u"escolhido.CSV"_s}, // the name's own format wins
        {u"sem_tipo"_s, QString(), u"sem_tipo.pdf"_s}, // no filter answered: the dialog's first
    };
    for (const auto &c : cases) {
        fillValid(0);
        ui.answerFile(scratch(c.name), c.filter);
        click(Action::SaveAs);
        EXPECT_TRUE(shown().isEmpty()) << c.name.toStdString() << ": " << shown().join(u'|').toStdString();
        EXPECT_TRUE(QFileInfo::exists(scratch(c.written))) << c.written.toStdString();
    }
    EXPECT_FALSE(QFileInfo::exists(scratch(u"vendas"_s)));
    EXPECT_TRUE(readAll(scratch(u"vendas.xlsx"_s)).startsWith("PK")); // a real workbook, not text
    testsupport::keepWorkbook(scratch(u"vendas.xlsx"_s));
    EXPECT_TRUE(readAll(scratch(u"sem_tipo.pdf"_s)).startsWith("%PDF"));
}

TEST_F(ReportActions, TheHeaderShowsTheProductRangeThroughTheHostsCodeMask)
{
    const struct
    {
        QString mask;
        QString expected;
    } cases[] = {
        {u"99.99.999;0;_"_s, u"01.01.001 a 01.01.002"_s},
        {u"9-999-999;0;_"_s, u"0-101-001 a 0-101-002"_s},
        {QString(), u"0101001 a 0101002"_s},
    };
    int n = 0;
    for (const auto &c : cases) {
        HostContext context;
        context.filiProc = u"0001"_s;
        context.nomeFiliProc = u"Matriz"_s;
        context.dbPictArvProd = c.mask;
        Corvel::setContext(context);
        destroyScreen();
        createScreen(); // the masks are taken at creation
        fillValid(5);
        const QString file = scratch(u"produtos%1.html"_s.arg(n++));
        ui.answerFile(file);
        click(Action::SaveAs);
        ASSERT_TRUE(shown().isEmpty()) << shown().join(u'|').toStdString();
        const QString html = QString::fromUtf8(readAll(file));
        EXPECT_TRUE(html.contains(u"<b>Produtos:</b> "_s + c.expected)) << c.mask.toStdString() << "\n"
                                                                        << html.left(2000).toStdString();
    }
}

} // namespace
