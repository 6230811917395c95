// The real list picker and search dialogs, driven by keys and clicks offscreen.
#include "dataset.h"
#include "pickdialogs.h"
#include "uiservices.h"
#include "widgettest.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {
// Products: the key, a description, a hidden cost and a maker.
void fillProducts(TDataSet &data)
{
    data.FieldDefs() = {
        TFieldDef{u"CODIGO"_s, u"Código"_s, 6, true, {}, {}},
        TFieldDef{u"DESCRICAO"_s, u"Descrição"_s, 30, true, {}, {}},
        TFieldDef{u"CUSTO"_s, u"Custo"_s, 10, false, {}, {}},
        TFieldDef{u"FABRICANTE"_s, u"Fabricante"_s, 20, true, {}, {}},
    };
    data.setContent({u"CODIGO"_s, u"DESCRICAO"_s, u"CUSTO"_s, u"FABRICANTE"_s},
                    {{u"001   "_s, u"Camisa Polo"_s, 10.5, u"Malhas Sul"_s},
                     {u"002   "_s, u"Calça Jeans"_s, 40.0, u"Denim Norte"_s},
                     {u"003   "_s, u"Camiseta Básica"_s, 8.0, u"Malhas Sul"_s},
                     {u"004   "_s, u"Bermuda"_s, 25.0, u"Praia Leste"_s},
                     {u"005   "_s, u"POLO infantil"_s, 9.0, u"Kids"_s}});
}

// Runs `drive` on the modal dialog once exec() has opened it.
template <typename Dialog>
void whenOpen(std::function<void(Dialog *)> drive)
{
    QTimer::singleShot(0, qApp, [drive] {
        auto *dialog = qobject_cast<Dialog *>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        drive(dialog);
    });
}
} // namespace

TEST(DataSetTableModel, ShowsVisibleFieldsWithTheirLabels)
{
    enum Defs { All, None, WithoutCodigo };
    struct Row
    {
        QString keyField;
        Defs defs;
        QStringList labels;
    };
    const Row rows[] = {
        {u"CODIGO"_s, All, {u"Código"_s, u"Descrição"_s, u"Fabricante"_s}},
        {u"CUSTO"_s, All, {u"Código"_s, u"Descrição"_s, u"Custo"_s, u"Fabricante"_s}}, // a hidden key is shown
        {u"CODIGO"_s, WithoutCodigo, {u"CODIGO"_s, u"Descrição"_s, u"Fabricante"_s}},  // so is one left out
        {u"CODIGO"_s, None, {u"CODIGO"_s, u"DESCRICAO"_s, u"CUSTO"_s, u"FABRICANTE"_s}},
    };
    for (const Row &row : rows) {
        TDataSet data;
        fillProducts(data);
        if (row.defs == None)
            data.FieldDefs().clear();
        if (row.defs == WithoutCodigo)
            data.FieldDefs().removeFirst();
        DataSetTableModel model(data, row.keyField, false);
        QStringList labels;
        for (int c = 0; c < model.columnCount(); ++c)
            labels << model.headerData(c, Qt::Horizontal).toString();
        EXPECT_EQ(labels, row.labels) << str(row.keyField) << " " << row.defs;
    }
    TDataSet data;
    fillProducts(data);
    DataSetTableModel model(data, u"CODIGO"_s, false);
    EXPECT_EQ(model.data(model.index(0, 0)).toString(), u"001"_s) << "pad blanks are not shown";
    data.setContent({u"CODIGO"_s}, {{u"9"_s}});
    EXPECT_EQ(model.rowCount(), 1) << "follows a reload";
}

// --- SearchDialog -----------------------------------------------------------------------------

TEST(SearchDialog, FilterAsYouTypeThenEnterPicks)
{
    struct Row
    {
        QString typed;
        int shown;
        int picked; // dataset row, -1: nothing to pick
    };
    const Row rows[] = {
        {u""_s, 5, 0},         {u"polo"_s, 2, 0},  {u"POLO INF"_s, 1, 4}, {u"malhas"_s, 2, 0},
        {u"leste"_s, 1, 3},    {u"10.5"_s, 0, -1}, // the hidden cost is not searched
        {u"a p"_s, 1, 0},      // "Camisa Polo"; no match across "Bermuda" and "Praia"
        {u"zzz"_s, 0, -1},
    };
    for (const Row &row : rows) {
        TDataSet data;
        fillProducts(data);
        SearchDialog dialog(data, u"CODIGO"_s, u"Produtos"_s);
        dialog.show();
        QTest::keyClicks(dialog.filterEdit(), row.typed);
        EXPECT_EQ(dialog.shownRowCount(), row.shown) << str(row.typed);
        QTest::keyClick(dialog.filterEdit(), Qt::Key_Return);
        EXPECT_EQ(dialog.pickedRow(), row.picked) << str(row.typed);
        EXPECT_EQ(dialog.result() == QDialog::Accepted, row.picked >= 0) << str(row.typed);
    }
}

TEST(SearchDialog, CursorStartsOnTheCurrentRowAndMovesWhileTyping)
{
    TDataSet data;
    fillProducts(data);
    data.setRecNo(3);
    SearchDialog dialog(data, u"CODIGO"_s, u"Produtos"_s);
    dialog.show();
    EXPECT_EQ(dialog.currentRow(), 3);
    QTest::keyClicks(dialog.filterEdit(), u"ca"_s); // Camisa, Calça, Camiseta: the cursor moves to the first
    QTest::keyClick(dialog.filterEdit(), Qt::Key_Down);
    QTest::keyClick(dialog.filterEdit(), Qt::Key_Down);
    EXPECT_EQ(dialog.currentRow(), 2);
    QTest::keyClick(dialog.filterEdit(), Qt::Key_Up);
    EXPECT_EQ(dialog.filterEdit()->text(), u"ca"_s);

    QTableView *view = dialog.view();
    const QRect cell = view->visualRect(view->model()->index(2, 1));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, cell.center()); // a double-click's first half
    EXPECT_EQ(dialog.pickedRow(), -1);
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, cell.center());
    EXPECT_EQ(dialog.pickedRow(), 2);
}

TEST(SearchDialog, ThroughTheServices)
{
    const std::pair<std::function<void(SearchDialog *)>, std::optional<int>> rows[] = {
        {[](SearchDialog *d) {
             QTest::keyClicks(d->filterEdit(), u"bermuda"_s);
             QTest::keyClick(d->filterEdit(), Qt::Key_Return);
         },
         3},
        {[](SearchDialog *d) { QTest::keyClick(d->filterEdit(), Qt::Key_Escape); }, std::nullopt},
    };
    for (const auto &[drive, answer] : rows) {
        TDataSet data;
        fillProducts(data);
        WidgetUi ui;
        whenOpen<SearchDialog>(drive);
        EXPECT_EQ(ui.search(nullptr, u"Produtos"_s, data, u"CODIGO"_s), answer);
    }
}

TEST(SearchDialog, HundredThousandRowsStayResponsive)
{
    QList<QVariantList> rows;
    for (int i = 0; i < 100000; ++i)
        rows << QVariantList{QString::number(i).rightJustified(6, u'0'), u"Produto %1"_s.arg(i), i % 97};
    TDataSet data;
    data.setContent({u"CODIGO"_s, u"DESCRICAO"_s, u"MARCA"_s}, rows);

    QElapsedTimer timer;
    timer.start();
    SearchDialog dialog(data, u"CODIGO"_s, u"Produtos"_s);
    dialog.show();
    QApplication::processEvents();
    const qint64 opened = timer.restart();
    QTest::keyClicks(dialog.filterEdit(), u"produto 9999"_s);
    QApplication::processEvents();
    const qint64 typed = timer.elapsed();

    EXPECT_EQ(dialog.shownRowCount(), 11); // 9999 and 99990..99999
    QTest::keyClick(dialog.filterEdit(), Qt::Key_Return);
    EXPECT_EQ(dialog.pickedRow(), 9999);
    // Bounds generous enough for a slow CI machine: opening, then 12 keystrokes each filtering again.
    EXPECT_LT(opened, 2000);
    EXPECT_LT(typed, 3000);
}

// --- ListPickerDialog -------------------------------------------------------------------------

TEST(ListPickerDialog, ChecksAndMarks)
{
    const QStringList all{u"001   "_s, u"002   "_s, u"003   "_s, u"004   "_s, u"005   "_s};
    const auto boxOfRow = [](QTableView *view, int row) {
        const QRect cell = view->visualRect(view->model()->index(row, 0));
        return QPoint(cell.left() + 10, cell.center().y()); // the box sits at the left of the first cell
    };
    struct Row
    {
        const char *how;
        std::function<void(ListPickerDialog &)> act;
        QStringList keys;
    };
    const Row rows[] = {
        {"nothing", [](ListPickerDialog &) {}, {}},
        {"out of order", [](ListPickerDialog &d) { d.model()->setChecked(3, true); d.model()->setChecked(0, true); },
         {all[0], all[3]}},
        {"Marcar todos", [](ListPickerDialog &d) { QTest::mouseClick(d.checkAllButton(), Qt::LeftButton); }, all},
        {"Marcar then Desmarcar todos",
         [](ListPickerDialog &d) {
             QTest::mouseClick(d.checkAllButton(), Qt::LeftButton);
             QTest::mouseClick(d.uncheckAllButton(), Qt::LeftButton);
         },
         {}},
        {"clicking a box",
         [&](ListPickerDialog &d) { QTest::mouseClick(d.view()->viewport(), Qt::LeftButton, {}, boxOfRow(d.view(), 1)); },
         {all[1]}},
        {"space over a selection",
         [](ListPickerDialog &d) {
             QTableView *view = d.view();
             view->selectionModel()->select(QItemSelection(view->model()->index(1, 0), view->model()->index(2, 0)),
                                            QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
             QTest::keyClick(view, Qt::Key_Space);
         },
         {all[1], all[2]}},
    };
    for (const Row &row : rows) {
        TDataSet data;
        fillProducts(data);
        ListPickerDialog dialog(data, u"CODIGO"_s, u"Produtos"_s, u"Nenhum produto"_s);
        dialog.show();
        EXPECT_FALSE(dialog.emptyLabel()->isVisible());
        row.act(dialog);
        EXPECT_EQ(dialog.pickedKeys(), row.keys) << row.how;
    }
}

TEST(ListPickerDialog, ThroughTheServices)
{
    const auto checkLastThen = [](QPushButton *(ListPickerDialog::*button)() const) {
        return [button](ListPickerDialog *d) {
            d->model()->setChecked(4, true);
            QTest::mouseClick((d->*button)(), Qt::LeftButton);
        };
    };
    const std::pair<std::function<void(ListPickerDialog *)>, std::optional<QStringList>> rows[] = {
        {checkLastThen(&ListPickerDialog::okButton), QStringList{u"005   "_s}},
        {checkLastThen(&ListPickerDialog::cancelButton), std::nullopt},
        {[](ListPickerDialog *d) { QTest::keyClick(d->view(), Qt::Key_Escape); }, std::nullopt},
    };
    for (const auto &[drive, answer] : rows) {
        TDataSet data;
        fillProducts(data);
        WidgetUi ui;
        whenOpen<ListPickerDialog>(drive);
        EXPECT_EQ(ui.pickList(nullptr, u"Produtos"_s, {}, data, u"CODIGO"_s), answer);
    }

    TDataSet empty;
    empty.setContent({u"CODIGO"_s}, {});
    ListPickerDialog dialog(empty, u"CODIGO"_s, u"Produtos"_s, u"Nenhum produto"_s);
    dialog.show();
    EXPECT_EQ(dialog.emptyLabel()->text(), u"Nenhum produto"_s);
    EXPECT_TRUE(dialog.emptyLabel()->isVisible());
    EXPECT_FALSE(dialog.view()->isVisible());
    EXPECT_EQ(dialog.okButton()->text() + dialog.cancelButton()->text(), u"OKCancelar"_s);
}
