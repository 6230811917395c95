// Qt's own texts (standard buttons and dialogs) in Portuguese, from Qt's translations folder.
#include "application.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QPushButton>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

TEST(QtTranslations, StandardButtonsSpeakPortugueseWhenThePackageIsInstalled)
{
    const QString file =
        QDir(QLibraryInfo::path(QLibraryInfo::TranslationsPath)).filePath(u"qtbase_pt_BR.qm"_s);
    if (!QFileInfo::exists(file))
        GTEST_SKIP() << "Qt's pt-BR translations are not installed: " << file.toStdString();
    ASSERT_NE(Application(), nullptr);
    EXPECT_TRUE(Application()->qtTranslationsLoaded());
    const struct
    {
        QDialogButtonBox::StandardButton button;
        QString text;
    } rows[] = {
        {QDialogButtonBox::Cancel, u"Cancelar"_s},
        {QDialogButtonBox::Yes, u"&Sim"_s},
        {QDialogButtonBox::No, u"&Não"_s},
        {QDialogButtonBox::Save, u"Salvar"_s},
    };
    QDialogButtonBox box;
    for (const auto &row : rows)
        EXPECT_EQ(box.addButton(row.button)->text().toStdString(), row.text.toStdString());
}
