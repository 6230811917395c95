// The preview window: pages painted on its worker as they are shown, navigation and the page text.

#include "enginetest.h"
#include "reportdocument.h"
#include "reportpreview.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QLabel>
#include <QScrollArea>

using namespace enginetest;

namespace {

bool waitUntil(const std::function<bool()> &done, int ms = 30000)
{
    const QDeadlineTimer deadline(ms);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

std::shared_ptr<ReportDocument> pagedDocument(int rows)
{
    ReportTable table;
    table.columns = {QStringLiteral("DTVENDA"), QStringLiteral("VRTOTAL")};
    for (int i = 0; i < rows; ++i)
        table.rows << QVariantList{QDate(2024, 1, 1).addDays(i).toString(Qt::ISODate), 10.0 + i};
    const ReportDefinition definition = definitionFrom(R"({
        "title": "Vendas", "sql": {"default": "SELECT 1"},
        "columns": [{"field": "DTVENDA", "label": "Data", "type": "date"},
                    {"field": "VRTOTAL", "label": "Total", "type": "money", "total": true}]
    })");
    return std::make_shared<ReportDocument>(ReportModel::build(QStringLiteral("Vnd025"), definition, TParams(), table));
}

// Dark pixels of what the view shows: text and rules of a painted page, none on a blank one.
int inkOf(const ReportPreview &window)
{
    const auto *scroll = window.findChild<QScrollArea *>();
    const auto *view = scroll ? qobject_cast<const QLabel *>(scroll->widget()) : nullptr;
    if (!view)
        return -1;
    const QImage image = view->pixmap().toImage();
    int ink = 0;
    for (int y = 0; y < image.height(); y += 2) {
        for (int x = 0; x < image.width(); x += 2)
            ink += qGray(image.pixel(x, y)) < 128;
    }
    return ink;
}

TEST(ReportPreviewWindow, ShowsEachPageAsItIsAskedFor)
{
    const auto document = pagedDocument(400);
    const int pages = document->pageCount();
    ASSERT_GT(pages, 3);
    ReportPreview window(document);
    QList<int> shown;
    QObject::connect(&window, &ReportPreview::pageShown, [&shown](int page) { shown << page; });
    window.show();
    ASSERT_TRUE(waitUntil([&] { return shown.contains(0); })) << "the first page was never shown";
    EXPECT_EQ(window.pageText(), QStringLiteral("Página 1 de %1").arg(pages));
    EXPECT_GT(inkOf(window), 100);

    struct Step
    {
        int asked;
        int page; // where the window ends up
    };
    const Step steps[] = {{1, 1}, {pages - 1, pages - 1}, {pages + 5, pages - 1}, {-3, 0}, {2, 2}};
    for (const Step &s : steps) {
        window.showPage(s.asked);
        EXPECT_EQ(window.currentPage(), s.page) << "asked " << s.asked;
        EXPECT_TRUE(waitUntil([&] { return !shown.isEmpty() && shown.last() == s.page; }))
            << "page " << s.page << " was not shown";
        EXPECT_EQ(window.pageText(), QStringLiteral("Página %1 de %2").arg(s.page + 1).arg(pages));
        EXPECT_GT(inkOf(window), 100) << "page " << s.page;
    }
    // a new zoom paints the page on screen again
    shown.clear();
    window.setZoom(0.5);
    EXPECT_TRUE(waitUntil([&] { return shown.contains(2); }));
    EXPECT_FALSE(window.printRequested());
}

} // namespace
