// Where the save dialogs open and the names they suggest.
#include "savefolder.h"

#include <QDir>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

TEST(SaveFolder, SuggestedNamesAreOneFileOnEverySystem)
{
    const struct
    {
        QString name;
        QString safe;
    } cases[] = {
        {u"Vendas por Hora/Modalidade 01-12-2026 a 07-12-2026"_s, u"Vendas por Hora-Modalidade 01-12-2026 a 07-12-2026"_s},
        {u"a\\b:c*d?e\"f<g>h|i"_s, u"a-b-c-d-e-f-g-h-i"_s},
        {u"Ticket Médio\tpor\nDia"_s, u"Ticket MédioporDia"_s}, // control characters go
        {u" ..oculto. "_s, u"oculto"_s},  // no hidden file, no name Windows refuses
        {u"../../etc/passwd"_s, u"-..-etc-passwd"_s}, // never a way out of the folder
        {u"///"_s, u"---"_s},
        {u" . "_s, u"relatorio"_s},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        EXPECT_EQ(SaveFolder::safeName(c.name), c.safe);
        EXPECT_FALSE(SaveFolder::safeName(c.name).contains(u'/'));
    }
}

TEST(SaveFolder, OpensWhereTheLastFileWentElseInTheDocuments)
{
    SaveFolder::forget();
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const QString first = documents.isEmpty() ? QDir::homePath() : documents;
    EXPECT_EQ(SaveFolder::folder(), first);
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    SaveFolder::remember(dir.filePath(u"vendas.pdf"_s));
    EXPECT_EQ(SaveFolder::folder(), dir.path());
    EXPECT_EQ(SaveFolder::suggestion(u"Vendas por Dia"_s, u"xlsx"_s), dir.filePath(u"Vendas por Dia.xlsx"_s));
    dir.remove(); // a folder that is gone is not offered
    EXPECT_EQ(SaveFolder::folder(), first);
    SaveFolder::forget();
}

} // namespace
