// The real save dialog with its check box: what the user ticks (or leaves) comes back with the file
// and the chosen type; a cancel leaves the caller's state alone.

#include "uiservices.h"
#include "widgettest.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

TEST(SaveDialog, CheckBoxComesBackWithTheFile)
{
    const QString text = u"Incluir título e filtros no início do arquivo CSV"_s;
    const QString filters = u"Documento PDF (*.pdf);;Texto separado por ponto e vírgula (*.csv)"_s;
    QTemporaryDir dir;
    const struct
    {
        bool tick;   // the user's click on the box (from unticked)
        bool accept; // Salvar, or Cancelar
        bool expected;
    } cases[] = {{true, true, true}, {false, true, false}, {true, false, false /* a cancel keeps what was given */}};
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.tick ? "ticked" : "left") + (c.accept ? ", saved" : ", cancelled"));
        const QString file = dir.filePath(u"vendas.csv"_s);
        bool seen = false;
        QTimer::singleShot(0, qApp, [&] {
            auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            auto *box = dialog->findChild<QCheckBox *>();
            ASSERT_NE(box, nullptr);
            seen = box->text() == text && box->isVisibleTo(dialog) && !box->isChecked();
            if (c.tick)
                box->click();
            if (c.accept) {
                dialog->selectNameFilter(dialog->nameFilters().at(1));
                dialog->selectFile(file);
                QMetaObject::invokeMethod(dialog, "accept"); // the Save button's slot
            } else {
                dialog->reject();
            }
        });
        WidgetUi ui;
        QString filter;
        bool checked = false;
        const auto answer = ui.saveFileNameWithCheck(nullptr, u"Salvar relatório como"_s, filters, &filter, text, &checked);
        EXPECT_TRUE(seen) << "the box was not shown unticked under the dialog";
        EXPECT_EQ(answer.has_value(), c.accept);
        EXPECT_EQ(checked, c.expected);
        if (c.accept) {
            EXPECT_EQ(*answer, file);
            EXPECT_EQ(filter, u"Texto separado por ponto e vírgula (*.csv)"_s);
        }
    }
}

TEST(SaveDialog, OpensOnTheSuggestedFolderWithTheNameTypedIn)
{
    QTemporaryDir dir;
    const QString suggested = dir.filePath(u"Vendas por Dia 01-12-2026 a 07-12-2026.pdf"_s);
    const QString filters = u"Documento PDF (*.pdf);;Planilha Excel (*.xlsx)"_s;
    QString typed, folder, afterType;
    QTimer::singleShot(0, qApp, [&] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        auto *name = dialog->findChild<QLineEdit *>(u"fileNameEdit"_s);
        ASSERT_NE(name, nullptr);
        typed = name->text();
        folder = dialog->directory().absolutePath();
        // Another type: the name follows it.
        dialog->selectNameFilter(dialog->nameFilters().at(1));
        afterType = name->text();
        dialog->reject();
    });
    WidgetUi ui;
    bool checked = false;
    EXPECT_FALSE(ui.saveFileNameWithCheck(nullptr, u"Salvar relatório como"_s, filters, nullptr, u"x"_s, &checked, suggested));
    EXPECT_EQ(typed, u"Vendas por Dia 01-12-2026 a 07-12-2026.pdf"_s);
    EXPECT_EQ(folder, QDir(dir.path()).absolutePath());
    EXPECT_EQ(afterType, u"Vendas por Dia 01-12-2026 a 07-12-2026.xlsx"_s);
}
