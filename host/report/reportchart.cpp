#include "reportchart.h"

#include "reportformat.h"
#include "reportmodel.h"
#include "reportstyle.h"

#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cmath>

using namespace Qt::StringLiterals;

namespace {
constexpr qreal kChartPoints = 7; // replaced by sizes that follow the chart's height
} // namespace

void drawReportChart(QPainter *painter, const QRectF &rect, const ReportModel &model)
{
    QPainter &p = *painter;
    p.save();
    p.translate(rect.topLeft());
    p.setClipRect(QRectF(QPointF(0, 0), rect.size()), Qt::IntersectClip);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal width = rect.width();
    const qreal height = rect.height();
    const qreal unit = height / 100.0; // every measure scales with the chart

    QFont titleFont = ReportStyle::font(kChartPoints, true);
    titleFont.setPixelSize(qMax(8, qRound(unit * 5.2)));
    QFont small = ReportStyle::font(kChartPoints);
    small.setPixelSize(qMax(6, qRound(unit * 4.0)));

    const QString title = model.chartTitle.isEmpty() ? u"Vendas por intervalo"_s : model.chartTitle;
    p.setFont(titleFont);
    p.setPen(ReportStyle::kAccent);
    p.drawText(QRectF(0, 0, width, unit * 9), Qt::AlignLeft | Qt::AlignVCenter,
               QFontMetricsF(titleFont).elidedText(ReportStyle::pageText(title), Qt::ElideRight, width));

    // Several series: bars side by side in each label's slot, a legend under the title.
    const qsizetype seriesCount = model.chartSeries.size() > 1 ? model.chartSeries.size() : 1;
    auto barValue = [&model, seriesCount](qsizetype bar, qsizetype series) {
        return seriesCount > 1 ? model.chartSeries.at(series).values.value(bar) : model.chart.at(bar).second;
    };
    double maximum = 0;
    for (qsizetype i = 0; i < model.chart.size(); ++i) {
        for (qsizetype s = 0; s < seriesCount; ++s)
            maximum = std::max(maximum, barValue(i, s));
    }
    // A "nice" axis step: 1, 2 or 5 times a power of ten, about five lines.
    double step = 1;
    if (maximum > 0) {
        const double raw = maximum / 5.0;
        const double power = std::pow(10.0, std::floor(std::log10(raw)));
        const double scaled = raw / power;
        step = (scaled <= 1 ? 1 : scaled <= 2 ? 2 : scaled <= 5 ? 5 : 10) * power;
    }
    const double top = maximum > 0 ? std::ceil(maximum / step) * step : 1;
    const int decimals = step < 1 ? 2 : 0;

    p.setFont(small);
    const QFontMetricsF fm(small);
    qreal axisWidth = 0;
    for (double v = 0; v <= top + step / 2; v += step)
        axisWidth = std::max(axisWidth, fm.horizontalAdvance(ReportFormat::number(v, decimals)));
    const qreal labelHeight = fm.height() * 1.6;
    const qreal plotTop = seriesCount > 1 ? unit * 12 + fm.height() * 1.4 : unit * 12;
    const QRectF plot(axisWidth + unit * 3, plotTop, width - axisWidth - unit * 4, height - plotTop - labelHeight - unit * 2);
    if (seriesCount > 1) {
        qreal x = plot.left();
        const qreal y = unit * 10;
        for (qsizetype s = 0; s < seriesCount; ++s) {
            const qreal box = fm.ascent() * 0.8;
            p.fillRect(QRectF(x, y + (fm.height() - box) / 2, box, box), ReportStyle::seriesColour(s));
            x += box + unit * 1.2;
            p.setPen(ReportStyle::kInk);
            p.drawText(QPointF(x, y + fm.ascent()), model.chartSeries.at(s).name);
            x += fm.horizontalAdvance(model.chartSeries.at(s).name) + unit * 4;
        }
    }

    for (double v = 0; v <= top + step / 2; v += step) {
        const qreal y = plot.bottom() - plot.height() * (v / top);
        p.setPen(QPen(QColor(0xD0, 0xD0, 0xD0), std::max(1.0, unit * 0.25)));
        p.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
        p.setPen(ReportStyle::kMuted);
        p.drawText(QRectF(0, y - fm.height() / 2, axisWidth + unit, fm.height()), Qt::AlignRight | Qt::AlignVCenter,
                   ReportFormat::number(v, decimals));
    }
    if (model.chart.isEmpty()) {
        p.setPen(ReportStyle::kMuted);
        p.drawText(plot, Qt::AlignCenter, u"Sem vendas no período"_s);
        p.restore();
        return;
    }
    const qsizetype bars = model.chart.size();
    const qreal slot = plot.width() / bars;
    const qreal barWidth = slot * 0.7;
    // Labels stay level and whole: when they do not fit under every bar, every n-th bar is labelled.
    qreal widest = 0;
    for (const auto &bar : model.chart)
        widest = std::max(widest, fm.horizontalAdvance(ReportStyle::pageText(bar.first)));
    const qsizetype every = std::max<qsizetype>(1, qsizetype(std::ceil((widest + unit * 2) / slot)));
    // One bar's share of its slot; the value labels need room above a bar of their own width.
    const qreal seriesWidth = seriesCount > 1 ? slot * 0.84 / seriesCount : barWidth;
    const qreal valueRoom = seriesCount > 1 ? seriesWidth * 1.1 : slot * 1.9;
    bool valueLabels = bars * seriesCount <= 16;
    for (qsizetype i = 0; i < bars; ++i) {
        for (qsizetype s = 0; s < seriesCount; ++s)
            valueLabels = valueLabels && fm.horizontalAdvance(ReportFormat::number(barValue(i, s), 0)) < valueRoom;
    }
    for (qsizetype i = 0; i < bars; ++i) {
        const qreal groupLeft = plot.left() + slot * i + (slot - seriesWidth * seriesCount) / 2;
        for (qsizetype s = 0; s < seriesCount; ++s) {
            const double value = barValue(i, s);
            const qreal h = maximum > 0 ? plot.height() * (std::max(0.0, value) / top) : 0;
            const QRectF barRect(groupLeft + seriesWidth * s, plot.bottom() - h, seriesWidth, h);
            p.fillRect(barRect, ReportStyle::seriesColour(s));
            p.setPen(ReportStyle::kInk);
            if (valueLabels && value > 0)
                p.drawText(QRectF(barRect.center().x() - slot, barRect.top() - fm.height() * 1.1, slot * 2, fm.height()),
                           Qt::AlignHCenter | Qt::AlignBottom, ReportFormat::number(value, 0));
        }
    }
    // Each label centred under its bar, but inside the chart: the first and last ones would run
    // over its edges and be cut ("21:4"). A label moved in that way would touch its neighbour, so
    // the neighbour gives way.
    struct Label
    {
        QString text;
        qreal x, width;
    };
    QList<Label> labels;
    for (qsizetype i = 0; i < bars; i += every) {
        const QString text = ReportStyle::pageText(model.chart.at(i).first);
        const qreal w = fm.horizontalAdvance(text);
        const qreal centred = plot.left() + slot * i + slot / 2 - w / 2;
        labels.append({text, std::clamp(centred, unit * 0.5, std::max(unit * 0.5, width - w - unit * 0.5)), w});
    }
    if (labels.size() > 1 && labels.at(labels.size() - 2).x + labels.at(labels.size() - 2).width + unit > labels.last().x)
        labels.removeAt(labels.size() - 2);
    if (labels.size() > 1 && labels.at(0).x + labels.at(0).width + unit > labels.at(1).x)
        labels.removeAt(1);
    p.setPen(ReportStyle::kInk);
    for (const Label &label : std::as_const(labels))
        p.drawText(QPointF(label.x, plot.bottom() + unit + fm.ascent()), label.text);
    p.setPen(QPen(ReportStyle::kMuted, std::max(1.0, unit * 0.3)));
    p.drawLine(plot.bottomLeft(), plot.bottomRight());
    p.restore();
}

QImage renderReportChart(const ReportModel &model, int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    drawReportChart(&p, QRectF(0, 0, width, height), model);
    return image;
}
