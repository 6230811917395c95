// Paging a long report: model build, layout and painting single pages of a Hora/Produto-shaped
// report (a day of 2-minute intervals, 184 products each by default: 133,921 lines), with the
// process's peak memory. Run by hand (docs/benchmarks.md).

#include "reportdefinition.h"
#include "reportdocument.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QPainter>
#include <QPdfWriter>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <sys/resource.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double peakMb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const int intervals = 720;  // a day in 2-minute steps
    const int products = argc > 1 ? std::atoi(argv[1]) : 184;

    ReportDefinition def;
    def.title = QStringLiteral("Vendas por Hora/Produto");
    def.layout = QJsonDocument::fromJson(R"json({
        "group": {"field": "HRINICIO", "type": "interval", "end": "HRFIM", "title": "Horário {HRINICIO}", "label": "Horário"},
        "columns": [{"field": "CDARVPROD", "label": "Produto", "type": "text", "width": 1.3},
                    {"field": "NMPRODUTO", "label": "Descrição", "type": "text", "width": 3.2},
                    {"field": "QTPRODUTO", "label": "Quantidade", "type": "number", "total": true},
                    {"field": "QTVENDAS", "label": "Vendas", "type": "integer"},
                    {"field": "VRTOTAL", "label": "Total (R$)", "type": "money", "total": true},
                    {"field": "PCTOTAL", "label": "% do total", "type": "percent", "total": true}],
        "chart": {"label": "HRINICIO", "value": "VRTOTAL", "title": "Vendas por intervalo de horário (R$)"}})json")
                     .object();

    auto start = Clock::now();
    ReportTable table;
    table.columns = {QStringLiteral("HRINICIO"), QStringLiteral("HRFIM"), QStringLiteral("CDARVPROD"), QStringLiteral("NMPRODUTO"),
                     QStringLiteral("QTPRODUTO"), QStringLiteral("QTVENDAS"), QStringLiteral("VRTOTAL"), QStringLiteral("PCTOTAL")};
    table.rows.reserve(qsizetype(intervals) * products);
    for (int i = 0; i < intervals; ++i) {
        for (int p = 0; p < products; ++p) {
            table.rows << QVariantList{i * 2, i * 2 + 1, QStringLiteral("01.%1").arg(p, 4, 10, QChar(u'0')),
                                       QStringLiteral("Produto de teste número %1").arg(p), 1.0 + p % 5, 1 + p % 3,
                                       12.5 + p, 0.001};
        }
    }
    const double tableMs = msSince(start);
    const double tableMb = peakMb();

    start = Clock::now();
    ReportModel model = ReportModel::build(QStringLiteral("Vnd025"), def, TParams(), table);
    const double modelMs = msSince(start);
    table = {};
    const qsizetype lines = model.lines.size();

    start = Clock::now();
    const ReportDocument document(std::move(model));
    const double layoutMs = msSince(start);
    const double layoutMb = peakMb();

    // One page at a time on a 300-dpi PDF, as the preview and the export paint them.
    auto paintOne = [&document](int page) {
        QBuffer sink;
        sink.open(QIODevice::WriteOnly);
        QPdfWriter writer(&sink);
        writer.setResolution(ReportDocument::Dpi);
        writer.setPageLayout(document.pageLayout());
        QPainter painter(&writer);
        std::vector<double> times;
        for (int run = 0; run < 7; ++run) {
            const auto t = Clock::now();
            document.paintPage(&painter, page);
            times.push_back(msSince(t));
        }
        std::sort(times.begin(), times.end());
        return times.at(times.size() / 2); // the median: the machine is shared
    };
    const int pages = document.pageCount();
    const double first = paintOne(1), middle = paintOne(pages / 2), last = paintOne(pages - 1);

    std::printf("lines %lld, pages %d\n", static_cast<long long>(lines), pages);
    std::printf("table %.0f ms (peak %.0f MB), model %.0f ms, layout %.1f ms (peak %.0f MB)\n", tableMs, tableMb, modelMs,
                layoutMs, layoutMb);
    std::printf("paint page 2: %.2f ms, page %d: %.2f ms, page %d: %.2f ms; peak %.0f MB\n", first, pages / 2 + 1, middle,
                pages, last, peakMb());
    return 0;
}
