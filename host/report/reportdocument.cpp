#include "reportdocument.h"

#include "reportchart.h"
#include "reportformat.h"
#include "reportstyle.h"

#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPagedPaintDevice>
#include <QPainter>
#include <algorithm>
#include <cmath>

using namespace Qt::StringLiterals;

namespace {
constexpr qreal kMargin = 12;       // mm around the page
constexpr qreal kFooter = 9;        // mm for the footer line and page numbers
constexpr qreal kTitlePoints = 14;
constexpr qreal kFilterPoints = 7.5;
constexpr qreal kBodyPoints = 8;
constexpr qreal kSmallPoints = 6.5;
constexpr qreal kSmallestMatrix = 5;  // points; the smallest text of a cross-tab's hour columns
constexpr qreal kMatrixPadding = ReportStyle::pt(1); // text to the edge of a cross-tab's hour cell
const QString kContinued = u" (continuação)"_s;

qreal padding()
{
    return ReportStyle::pt(2.5);
}

// Draws `text` on one line inside `cell`, elided when it is wider, centred vertically.
void drawCellText(QPainter *painter, const QFontMetricsF &fm, const QRectF &cell, const QString &whole,
                  bool alignRight)
{
    if (whole.isEmpty())
        return;
    const QString text = ReportStyle::pageText(whole);
    const qreal room = cell.width() - 2 * padding();
    qreal advance = fm.horizontalAdvance(text);
    QString shown = text;
    if (advance > room) {
        shown = fm.elidedText(text, Qt::ElideRight, room);
        advance = fm.horizontalAdvance(shown);
    }
    const qreal x = alignRight ? cell.right() - padding() - advance : cell.left() + padding();
    const qreal baseline = cell.top() + (cell.height() - fm.height()) / 2 + fm.ascent();
    painter->drawText(QPointF(x, baseline), shown);
}

// A column heading: on one line when it fits, else on two, broken between words (a word longer
// than the column is elided on its line).
void drawHeadingText(QPainter *painter, const QFontMetricsF &fm, const QRectF &cell, const QString &whole,
                     bool alignRight)
{
    const QString text = ReportStyle::pageText(whole);
    const qreal room = cell.width() - 2 * padding();
    if (fm.horizontalAdvance(text) <= room || !text.contains(u' ')) {
        drawCellText(painter, fm, cell, whole, alignRight);
        return;
    }
    // The most words that fit on the first line; the rest on the second.
    const QStringList words = text.split(u' ', Qt::SkipEmptyParts);
    qsizetype first = 1;
    while (first < words.size() && fm.horizontalAdvance(words.mid(0, first + 1).join(u' ')) <= room)
        ++first;
    const QString lines[] = {words.mid(0, first).join(u' '), words.mid(first).join(u' ')};
    const qreal top = cell.top() + (cell.height() - 2 * fm.lineSpacing()) / 2;
    for (int i = 0; i < 2; ++i) {
        const QString shown = fm.elidedText(lines[i], Qt::ElideRight, room);
        const qreal advance = fm.horizontalAdvance(shown);
        const qreal x = alignRight ? cell.right() - padding() - advance : cell.left() + padding();
        painter->drawText(QPointF(x, top + i * fm.lineSpacing() + fm.ascent()), shown);
    }
}

// A break after line `i` leaves no group title at a page's foot and no subtotal or total at the
// top of the next without a line of its own above it.
bool breakAfter(const QList<ReportLine> &lines, qsizetype i)
{
    if (lines.at(i).kind == ReportLine::Kind::GroupHeader)
        return false;
    if (i + 1 >= lines.size())
        return true;
    const ReportLine::Kind next = lines.at(i + 1).kind;
    return next != ReportLine::Kind::Subtotal && next != ReportLine::Kind::Total;
}

QString totalCaption(const ReportLayout &layout, const ReportLine &line)
{
    // "Subtotal Loja": the group's own title is the heading above its rows
    return line.kind == ReportLine::Kind::Total || !layout.grouped() ? line.caption : u"Subtotal "_s + layout.groupLabel;
}
} // namespace

ReportDocument::ReportDocument(ReportModel model) : mModel(std::move(model))
{
    mChart = mModel.layout.hasChart() && mModel.detailCount > 0 && !mModel.layout.matrix.active();
    layOutHeader();
    layOutColumns();
    if (mModel.layout.matrix.active())
        layOutMatrix();
    else
        paginate();
}

ReportDocument::~ReportDocument() = default;

QPageLayout ReportDocument::pageLayout() const
{
    return QPageLayout(QPageSize(QPageSize::A4),
                       mModel.layout.landscape ? QPageLayout::Landscape : QPageLayout::Portrait, QMarginsF(0, 0, 0, 0),
                       QPageLayout::Millimeter);
}

ReportDocument::PageRange ReportDocument::pageRange(int page) const
{
    return page >= 0 && page < mPages.size() ? mPages.at(page) : PageRange{};
}

QImage ReportDocument::chartImage() const
{
    if (!mChart)
        return {};
    const int width = qRound(bodyRect().width());
    return renderReportChart(mModel, width, qRound(width * 0.28));
}

QRectF ReportDocument::paperRect() const
{
    const QSizeF a4 = QPageSize(QPageSize::A4).size(QPageSize::Millimeter);
    const QSizeF size = mModel.layout.landscape ? a4.transposed() : a4;
    return QRectF(0, 0, ReportStyle::mm(size.width()), ReportStyle::mm(size.height()));
}

QRectF ReportDocument::bodyRect() const
{
    const QRectF paper = paperRect();
    const qreal top = ReportStyle::mm(kMargin) + mHeaderHeight;
    return QRectF(ReportStyle::mm(kMargin), top, paper.width() - 2 * ReportStyle::mm(kMargin), paper.height() - top - ReportStyle::mm(kMargin) - ReportStyle::mm(kFooter));
}

qreal ReportDocument::chartBlockHeight() const
{
    if (!mChart)
        return 0;
    const qreal width = bodyRect().width();
    // a landscape page keeps room for rows under the chart
    return std::min(width * 0.28, bodyRect().height() * 0.45) + ReportStyle::mm(4);
}

qreal ReportDocument::noteHeight() const
{
    const qreal line = QFontMetricsF(ReportStyle::font(kBodyPoints, true)).height();
    qreal height = mModel.notes.isEmpty() ? 0 : line * mModel.notes.size() + ReportStyle::mm(2);
    if (!mModel.bestWorstText.isEmpty())
        height += line + ReportStyle::mm(3);
    return height;
}

void ReportDocument::drawNote(QPainter *painter, qreal top) const
{
    if (!mModel.bestWorstText.isEmpty()) {
        drawBestWorst(painter, top);
        top += QFontMetricsF(ReportStyle::font(kBodyPoints, true)).height() + ReportStyle::mm(3);
    }
    // The list under it: its heading in bold, one line per entry.
    const QRectF body = bodyRect();
    for (qsizetype i = 0; i < mModel.notes.size(); ++i) {
        const QFont font = ReportStyle::font(kBodyPoints, i == 0);
        const QFontMetricsF fm(font);
        painter->setFont(font);
        painter->setPen(i == 0 ? ReportStyle::kAccent : ReportStyle::kInk);
        painter->drawText(QPointF(body.left(), top + fm.ascent()),
                          fm.elidedText(ReportStyle::pageText(mModel.notes.at(i)), Qt::ElideRight, body.width()));
        top += QFontMetricsF(ReportStyle::font(kBodyPoints, true)).height();
    }
}

void ReportDocument::drawBestWorst(QPainter *painter, qreal top) const
{
    // One line, the two halves in the colours of the rows they name.
    const QRectF body = bodyRect();
    const QFont font = ReportStyle::font(kBodyPoints, true);
    const QFontMetricsF fm(font);
    const QString separator = u" · "_s;
    const qsizetype split = mModel.bestWorstText.indexOf(separator);
    const QString best = ReportStyle::pageText(split < 0 ? mModel.bestWorstText : mModel.bestWorstText.left(split));
    const QString rest = ReportStyle::pageText(split < 0 ? QString() : mModel.bestWorstText.mid(split));
    const qreal baseline = top + ReportStyle::mm(0.5) + fm.ascent();
    painter->setFont(font);
    painter->setPen(ReportStyle::kBestInk);
    const QString bestShown = fm.elidedText(best, Qt::ElideRight, body.width());
    painter->drawText(QPointF(body.left(), baseline), bestShown);
    if (!rest.isEmpty()) {
        const qreal x = body.left() + fm.horizontalAdvance(bestShown);
        painter->setPen(ReportStyle::kWorstInk);
        painter->drawText(QPointF(x, baseline),
                          fm.elidedText(rest, Qt::ElideRight, std::max<qreal>(0, body.right() - x)));
    }
}

void ReportDocument::layOutMatrix()
{
    // The whole day on one page: every row, every hour column of the window, the row names and the
    // day's total; the hour columns share what is left, and the text takes the largest size (body
    // size down to kSmallestMatrix) at which every value of an hour column fits its cell.
    const ReportMatrix &m = mModel.matrix;
    const qreal width = bodyRect().width();
    mPages.clear();
    mPages.append(PageRange{0, m.columns(), -1});
    const QFontMetricsF bold(ReportStyle::font(kBodyPoints, true));
    qreal label = bold.horizontalAdvance(mModel.layout.matrix.rowLabel);
    for (const QString &name : m.rowNames)
        label = std::max(label, bold.horizontalAdvance(name));
    mMatrixLabelWidth = std::clamp(label + 2 * padding(), ReportStyle::mm(14), ReportStyle::mm(26));
    qreal total = bold.horizontalAdvance(u"Total do dia"_s);
    for (const double value : std::as_const(m.rowTotals))
        total = std::max(total, bold.horizontalAdvance(m.totalText(value)));
    total = std::max(total, bold.horizontalAdvance(m.totalText(m.total)));
    mMatrixTotalWidth = std::max(total + 2 * padding(), ReportStyle::mm(18));
    const int columns = std::max(1, m.columns());
    mMatrixCellWidth = std::min((width - mMatrixLabelWidth - mMatrixTotalWidth) / columns, ReportStyle::mm(30));

    QStringList texts = m.columnNames; // the hour headings, the cells, the hours' totals
    for (const auto &cells : m.values) {
        for (const auto &cell : cells) {
            if (cell)
                texts << m.cellText(*cell);
        }
    }
    for (const double value : std::as_const(m.columnTotals))
        texts << m.cellText(value);
    const qreal room = mMatrixCellWidth - 2 * kMatrixPadding;
    mMatrixPixels = qRound(ReportStyle::pt(kBodyPoints));
    for (; mMatrixPixels > qRound(ReportStyle::pt(kSmallestMatrix)); --mMatrixPixels) {
        QFont font = ReportStyle::font(kBodyPoints, true);
        font.setPixelSize(mMatrixPixels);
        const QFontMetricsF fm(font);
        if (std::all_of(texts.cbegin(), texts.cend(), [&](const QString &t) { return fm.horizontalAdvance(t) <= room; }))
            break;
    }
    // rows as tall as the day's total needs, in the body size
    mMatrixRowHeight = QFontMetricsF(ReportStyle::font(kBodyPoints)).height() + QFontMetricsF(ReportStyle::font(kSmallPoints)).height() + ReportStyle::pt(5);
}

void ReportDocument::paintMatrix(QPainter *painter, const PageRange &range, qreal top) const
{
    const ReportMatrix &m = mModel.matrix;
    const ReportMatrixLayout &shape = mModel.layout.matrix;
    const QRectF body = bodyRect();
    const QFont plain = ReportStyle::font(kBodyPoints);
    const QFont bold = ReportStyle::font(kBodyPoints, true);
    const QFont small = ReportStyle::font(kSmallPoints);
    const QFontMetricsF plainMetrics(plain), boldMetrics(bold), smallMetrics(small);
    // the hour columns' text, at the size that fits their cells
    QFont cellPlain = plain, cellBold = bold, cellSmall = small;
    cellPlain.setPixelSize(mMatrixPixels);
    cellBold.setPixelSize(mMatrixPixels);
    cellSmall.setPixelSize(qMax(1, qRound(mMatrixPixels * kSmallPoints / kBodyPoints)));
    const QFontMetricsF cellPlainMetrics(cellPlain), cellBoldMetrics(cellBold), cellSmallMetrics(cellSmall);
    const qreal cellsLeft = body.left() + mMatrixLabelWidth;
    const qreal totalLeft = cellsLeft + mMatrixCellWidth * range.count;
    const qreal right = totalLeft + mMatrixTotalWidth;
    auto cellAt = [&](int slot, qreal y, qreal h) {
        return slot < range.count ? QRectF(cellsLeft + mMatrixCellWidth * slot, y, mMatrixCellWidth, h)
                                  : QRectF(totalLeft, y, mMatrixTotalWidth, h);
    };
    // The value on the upper line, the count under it, both to the right; an hour column's cell in
    // its own size and text, the day's total in the body size with the cents.
    auto valueCell = [&](const QRectF &cell, double value, std::optional<qint64> count, bool strong,
                         const QColor &ink) {
        const bool hour = cell.left() < totalLeft;
        // an hour cell is narrow: its text goes nearer the edges than drawCellText's padding
        const qreal widen = hour ? padding() - kMatrixPadding : 0;
        const QFontMetricsF &valueMetrics =
            hour ? (strong ? cellBoldMetrics : cellPlainMetrics) : (strong ? boldMetrics : plainMetrics);
        const QFontMetricsF &countMetrics = hour ? cellSmallMetrics : smallMetrics;
        const qreal upper = valueMetrics.height() + ReportStyle::pt(2);
        painter->setPen(ink);
        painter->setFont(hour ? (strong ? cellBold : cellPlain) : (strong ? bold : plain));
        drawCellText(painter, valueMetrics,
                     QRectF(cell.left() - widen, cell.top() + ReportStyle::pt(1.5), cell.width() + 2 * widen, upper),
                     hour ? m.cellText(value) : m.totalText(value), true);
        if (count && !shape.countField.isEmpty()) {
            painter->setFont(hour ? cellSmall : small);
            painter->setPen(ReportStyle::kMuted);
            // the count alone when "123 vendas" would not fit: the note under the table names it
            QString text = m.countText(*count, m.countLabels || !hour ? shape.countLabel : QString());
            if (countMetrics.horizontalAdvance(text) > cell.width() - 2 * (padding() - widen))
                text = m.countText(*count, {});
            drawCellText(painter, countMetrics,
                         QRectF(cell.left() - widen, cell.top() + ReportStyle::pt(1.5) + upper, cell.width() + 2 * widen,
                                countMetrics.height()),
                         text, true);
        }
    };
    auto columnFill = [&m](int column, const QColor &otherwise) {
        return column == m.best ? ReportStyle::kBestFill : column == m.worst ? ReportStyle::kWorstFill : otherwise;
    };

    // Headings: the rows' label, the hours of this page, the day's total.
    qreal y = top;
    painter->fillRect(QRectF(body.left(), y, right - body.left(), mHeadingHeight), ReportStyle::kHeadingFill);
    painter->setFont(bold);
    painter->setPen(ReportStyle::kAccent);
    drawCellText(painter, boldMetrics, QRectF(body.left(), y, mMatrixLabelWidth, mHeadingHeight),
                 shape.rowLabel, false);
    for (int slot = 0; slot <= range.count; ++slot) {
        const QRectF cell = cellAt(slot, y, mHeadingHeight);
        if (slot < range.count) {
            const int column = range.first + slot;
            if (column == m.best || column == m.worst)
                painter->fillRect(cell, columnFill(column, ReportStyle::kHeadingFill));
        }
        painter->setFont(slot < range.count ? cellBold : bold);
        const qreal widen = slot < range.count ? padding() - kMatrixPadding : 0;
        drawCellText(painter, slot < range.count ? cellBoldMetrics : boldMetrics, cell.adjusted(-widen, 0, widen, 0),
                     slot < range.count ? m.columnNames.at(range.first + slot) : u"Total do dia"_s, true);
    }
    y += mHeadingHeight;

    const QPen grid(Qt::white, ReportStyle::pt(0.8));
    for (int r = 0; r < m.rows(); ++r) {
        painter->setFont(bold);
        painter->setPen(ReportStyle::kInk);
        drawCellText(painter, boldMetrics, QRectF(body.left(), y, mMatrixLabelWidth, mMatrixRowHeight),
                     m.rowNames.at(r), false);
        for (int slot = 0; slot < range.count; ++slot) {
            const int column = range.first + slot;
            const QRectF cell = cellAt(slot, y, mMatrixRowHeight);
            const std::optional<double> &value = m.values.at(r).at(column);
            if (!value)
                continue;
            painter->fillRect(cell, m.shade(*value));
            painter->setPen(grid);
            painter->drawRect(cell);
            valueCell(cell, *value, m.counts.at(r).at(column), false, ReportStyle::kInk);
        }
        if (m.rowCounts.at(r) > 0 || m.rowTotals.at(r) != 0)
            valueCell(cellAt(range.count, y, mMatrixRowHeight), m.rowTotals.at(r), m.rowCounts.at(r), true,
                      ReportStyle::kInk);
        painter->setPen(QPen(QColor(0xD0, 0xD0, 0xD0), ReportStyle::pt(0.4)));
        painter->drawLine(QPointF(body.left(), y + mMatrixRowHeight), QPointF(right, y + mMatrixRowHeight));
        y += mMatrixRowHeight;
    }

    // The hours' totals; the best and the worst hour in their colours.
    const QRectF totals(body.left(), y, right - body.left(), mMatrixRowHeight);
    painter->fillRect(totals, ReportStyle::kTotalFill);
    painter->setPen(QPen(ReportStyle::kAccent, ReportStyle::pt(0.8)));
    painter->drawLine(totals.topLeft(), totals.topRight());
    painter->setFont(bold);
    painter->setPen(ReportStyle::kInk);
    drawCellText(painter, boldMetrics, QRectF(body.left(), y, mMatrixLabelWidth, mMatrixRowHeight),
                 u"Total"_s, false);
    for (int slot = 0; slot < range.count; ++slot) {
        const int column = range.first + slot;
        const QRectF cell = cellAt(slot, y, mMatrixRowHeight);
        const bool marked = column == m.best || column == m.worst;
        if (marked)
            painter->fillRect(cell, columnFill(column, ReportStyle::kTotalFill));
        valueCell(cell, m.columnTotals.at(column), m.columnCounts.at(column), true,
                  column == m.best    ? ReportStyle::kBestInk
                  : column == m.worst ? ReportStyle::kWorstInk
                                      : ReportStyle::kInk);
    }
    valueCell(cellAt(range.count, y, mMatrixRowHeight), m.total, m.count, true, ReportStyle::kInk);
    y += mMatrixRowHeight + ReportStyle::mm(3);

    // The scale: its two ends with the smallest and the largest cell.
    const qreal barWidth = ReportStyle::mm(50), barHeight = smallMetrics.height();
    painter->setFont(small);
    painter->setPen(ReportStyle::kMuted);
    const QString low = m.cellText(m.minimum);
    const QString high = m.cellText(m.maximum);
    const QString label = u"Escala de cores: "_s;
    qreal x = body.left();
    painter->drawText(QPointF(x, y + smallMetrics.ascent()), label + low);
    x += smallMetrics.horizontalAdvance(label + low) + ReportStyle::mm(2);
    QLinearGradient gradient(QPointF(x, 0), QPointF(x + barWidth, 0));
    gradient.setColorAt(0, ReportMatrix::lowColour());
    gradient.setColorAt(1, ReportMatrix::highColour());
    painter->fillRect(QRectF(x, y, barWidth, barHeight), gradient);
    x += barWidth + ReportStyle::mm(2);
    painter->drawText(QPointF(x, y + smallMetrics.ascent()), high);
    if (!m.cellNote(shape).isEmpty()) {
        x += smallMetrics.horizontalAdvance(high) + ReportStyle::mm(6);
        painter->drawText(QPointF(x, y + smallMetrics.ascent()), m.cellNote(shape));
    }
    y += barHeight + ReportStyle::mm(2);
    drawNote(painter, y);
}

void ReportDocument::layOutHeader()
{
    // The filters flow left to right as "Label: value" items and go on to another line when one
    // does not fit; a value longer than the line is elided.
    const qreal width = paperRect().width() - 2 * ReportStyle::mm(kMargin);
    const QFontMetricsF plain(ReportStyle::font(kFilterPoints));
    const QFontMetricsF bold(ReportStyle::font(kFilterPoints, true));
    const qreal gap = ReportStyle::mm(4);
    const qreal lineHeight = plain.height() * 1.25;
    qreal x = 0, y = 0;
    for (const auto &filter : std::as_const(mModel.filters)) {
        FilterSpot spot;
        spot.label = filter.first + u':';
        const qreal labelWidth = bold.horizontalAdvance(spot.label) + plain.horizontalAdvance(u' ');
        spot.value =
            plain.elidedText(ReportStyle::pageText(filter.second), Qt::ElideRight, std::max<qreal>(0, width - labelWidth));
        const qreal itemWidth = labelWidth + plain.horizontalAdvance(spot.value);
        if (x > 0 && x + itemWidth > width) {
            x = 0;
            y += lineHeight;
        }
        spot.at = QPointF(x, y);
        x += itemWidth + gap;
        mFilters.append(spot);
    }
    const qreal titleHeight = QFontMetricsF(ReportStyle::font(kTitlePoints, true)).height();
    const qreal filtersHeight = mFilters.isEmpty() ? 0 : y + lineHeight;
    mHeaderHeight = titleHeight + ReportStyle::mm(1.5) + filtersHeight + ReportStyle::mm(2.5) + ReportStyle::mm(3);
}

void ReportDocument::layOutColumns()
{
    const ReportLayout &layout = mModel.layout;
    const qreal width = bodyRect().width();
    double totalWidth = 0;
    for (const ReportColumn &column : layout.columns)
        totalWidth += column.width > 0 ? column.width : 1;
    mColumnX.clear();
    qreal x = 0;
    for (const ReportColumn &column : layout.columns) {
        mColumnX.append(x);
        x += width * (column.width > 0 ? column.width : 1) / (totalWidth > 0 ? totalWidth : 1);
    }
    mColumnX.append(width);

    // Totals print nothing in the leading text columns: their label has all of that room.
    mLabelColumns = 0;
    while (mLabelColumns < layout.columns.size() && !layout.columns.at(mLabelColumns).numeric() &&
           layout.columns.at(mLabelColumns).total == ReportColumn::Total::None)
        ++mLabelColumns;

    const QFontMetricsF body(ReportStyle::font(kBodyPoints));
    mRowHeight = body.height() + ReportStyle::pt(3);
    mHeadingHeight = mRowHeight + ReportStyle::pt(1);
    mGroupHeight = mRowHeight + ReportStyle::pt(3); // a little air above each group
    mTotalHeight = mRowHeight + ReportStyle::pt(1);

    // Headings print in the body size, never smaller: a heading wider than its column takes a
    // second line, and the heading row grows for all of them.
    mHeadingPixels = int(std::ceil(ReportStyle::pt(kBodyPoints))); // rounded up: never under the body size
    const QFontMetricsF heading(ReportStyle::font(kBodyPoints, true));
    bool twoLines = false;
    for (qsizetype c = 0; c < layout.columns.size() && !twoLines; ++c)
        twoLines = heading.horizontalAdvance(ReportStyle::pageText(layout.columns.at(c).label)) >
                   mColumnX.at(c + 1) - mColumnX.at(c) - 2 * padding();
    if (twoLines)
        mHeadingHeight += heading.lineSpacing();
}

qreal ReportDocument::lineHeight(const ReportLine &line) const
{
    switch (line.kind) {
    case ReportLine::Kind::GroupHeader:
        return mGroupHeight;
    case ReportLine::Kind::Subtotal:
    case ReportLine::Kind::Total:
        return mTotalHeight;
    case ReportLine::Kind::Detail:
        break;
    }
    return mRowHeight;
}

void ReportDocument::paginate()
{
    // One pass: fill a page line by line, then end it at the last line a page may end with. Only the
    // few lines after that break are measured twice, so the whole is linear in the lines.
    mPages.clear();
    const QList<ReportLine> &lines = mModel.lines;
    const qsizetype count = lines.size();
    if (mModel.detailCount == 0 || count == 0) {
        mPages.append(PageRange{});
        return;
    }
    const bool grouped = mModel.layout.grouped();
    const qreal height = bodyRect().height();
    int openGroup = -1; // the group header whose rows are still running
    qsizetype i = 0;
    while (i < count) {
        PageRange page;
        page.first = int(i);
        qreal room = height - mHeadingHeight - (mPages.isEmpty() ? chartBlockHeight() + noteHeight() : 0);
        if (grouped && openGroup >= 0 && lines.at(i).kind != ReportLine::Kind::GroupHeader) {
            page.continued = openGroup;
            room -= mGroupHeight;
        }
        qreal used = 0;
        qsizetype next = i;
        qsizetype lastBreak = -1;
        while (next < count) {
            const qreal h = lineHeight(lines.at(next));
            if (next > i && used + h > room + 0.01)
                break;
            used += h;
            if (breakAfter(lines, next))
                lastBreak = next;
            ++next;
        }
        // Nothing the page may end with (a page shorter than a group's title and its first row):
        // cut where it is full rather than loop.
        const qsizetype end = next >= count ? count : (lastBreak >= i ? lastBreak + 1 : next);
        page.count = int(end - i);
        for (qsizetype k = i; k < end; ++k) {
            if (lines.at(k).kind == ReportLine::Kind::GroupHeader)
                openGroup = int(k);
            else if (lines.at(k).kind != ReportLine::Kind::Detail)
                openGroup = -1;
        }
        mPages.append(page);
        i = end;
    }
}

void ReportDocument::paintPage(QPainter *painter, int page) const
{
    if (page < 0 || page >= mPages.size())
        return;
    painter->save();
    painter->scale(painter->device()->logicalDpiX() / qreal(Dpi), painter->device()->logicalDpiY() / qreal(Dpi));
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setRenderHint(QPainter::TextAntialiasing);

    const QRectF paper = paperRect();
    const qreal left = ReportStyle::mm(kMargin);
    const qreal width = paper.width() - 2 * ReportStyle::mm(kMargin);
    qreal y = ReportStyle::mm(kMargin);

    // Page header: title and issue time, the filters, a rule.
    const QFont titleFont = ReportStyle::font(kTitlePoints, true);
    const QFontMetricsF titleMetrics(titleFont);
    const qreal titleHeight = titleMetrics.height();
    const QFont filterFont = ReportStyle::font(kFilterPoints);
    const QFont filterBold = ReportStyle::font(kFilterPoints, true);
    const QFontMetricsF filterMetrics(filterFont);
    const QString issued = u"Emitido em "_s + mModel.issued.toString(u"dd/MM/yyyy HH:mm"_s);
    const qreal issuedWidth = filterMetrics.horizontalAdvance(issued);
    painter->setFont(titleFont);
    painter->setPen(ReportStyle::kAccent);
    painter->drawText(
        QPointF(left, y + titleMetrics.ascent()),
        titleMetrics.elidedText(ReportStyle::pageText(mModel.title), Qt::ElideRight, width - issuedWidth - ReportStyle::mm(4)));
    painter->setFont(filterFont);
    painter->setPen(ReportStyle::kMuted);
    painter->drawText(QPointF(left + width - issuedWidth, y + (titleHeight - filterMetrics.height()) / 2 + filterMetrics.ascent()),
                      issued);
    y += titleHeight + ReportStyle::mm(1.5);
    const qreal space = filterMetrics.horizontalAdvance(u' ');
    qreal filtersBottom = y;
    for (const FilterSpot &spot : mFilters) {
        const QPointF at(left + spot.at.x(), y + spot.at.y() + filterMetrics.ascent());
        painter->setPen(ReportStyle::kInk);
        painter->setFont(filterBold);
        painter->drawText(at, spot.label);
        painter->setFont(filterFont);
        painter->drawText(at + QPointF(QFontMetricsF(filterBold).horizontalAdvance(spot.label) + space, 0), spot.value);
        filtersBottom = std::max(filtersBottom, y + spot.at.y() + filterMetrics.height() * 1.25);
    }
    y = filtersBottom + ReportStyle::mm(2.5);
    painter->setPen(QPen(ReportStyle::kAccent, ReportStyle::pt(1.2)));
    painter->drawLine(QPointF(left, y), QPointF(left + width, y));

    // Body: the chart on the first page, the headings, then this page's lines.
    const QRectF body = bodyRect();
    const ReportLayout &layout = mModel.layout;
    const QList<ReportLine> &lines = mModel.lines;
    const PageRange range = mPages.at(page);
    y = body.top();
    if (page == 0 && mChart) {
        const qreal block = chartBlockHeight();
        drawReportChart(painter, QRectF(body.left(), y, body.width(), block - ReportStyle::mm(4)), mModel);
        y += block;
    }
    if (page == 0 && !layout.matrix.active() && mModel.detailCount > 0) {
        drawNote(painter, y);
        y += noteHeight();
    }
    const QFont plain = ReportStyle::font(kBodyPoints);
    const QFont bold = ReportStyle::font(kBodyPoints, true);
    const QFontMetricsF plainMetrics(plain);
    const QFontMetricsF boldMetrics(bold);
    if (mModel.detailCount == 0) {
        painter->setFont(bold);
        painter->setPen(ReportStyle::kInk);
        const QString text = boldMetrics.elidedText(layout.emptyText, Qt::ElideRight, body.width());
        painter->drawText(QPointF(body.center().x() - boldMetrics.horizontalAdvance(text) / 2, y + ReportStyle::pt(16) + boldMetrics.ascent()),
                          text);
    } else if (layout.matrix.active()) {
        paintMatrix(painter, range, y);
    } else {
        const qsizetype columns = layout.columns.size();
        auto cellRect = [&](qsizetype from, qsizetype to, qreal top, qreal height) {
            return QRectF(body.left() + mColumnX.at(from), top, mColumnX.at(to) - mColumnX.at(from), height);
        };
        const QRectF full(body.left(), 0, body.width(), 0);

        QFont heading = bold;
        heading.setPixelSize(mHeadingPixels);
        const QFontMetricsF headingMetrics(heading);
        painter->fillRect(QRectF(full.left(), y, full.width(), mHeadingHeight), ReportStyle::kHeadingFill);
        painter->setFont(heading);
        painter->setPen(ReportStyle::kAccent);
        for (qsizetype c = 0; c < columns; ++c)
            drawHeadingText(painter, headingMetrics, cellRect(c, c + 1, y, mHeadingHeight), layout.columns.at(c).label,
                            layout.columns.at(c).numeric());
        y += mHeadingHeight;

        auto groupTitle = [&](const QString &caption) {
            const QRectF row(full.left(), y, full.width(), mGroupHeight);
            const QRectF band(row.left(), row.bottom() - mRowHeight, row.width(), mRowHeight);
            painter->fillRect(band, ReportStyle::kGroupFill);
            painter->setFont(bold);
            painter->setPen(ReportStyle::kAccent);
            drawCellText(painter, boldMetrics, band, caption, false);
            y += mGroupHeight;
        };
        int stripe = range.first;
        if (range.continued >= 0) {
            groupTitle(lines.at(range.continued).caption + kContinued);
            stripe = range.first - range.continued - 1;
        }
        for (int i = range.first; i < range.first + range.count; ++i) {
            const ReportLine &line = lines.at(i);
            switch (line.kind) {
            case ReportLine::Kind::GroupHeader:
                groupTitle(line.caption);
                stripe = 0;
                break;
            case ReportLine::Kind::Detail: {
                const bool marked = line.mark != ReportLine::Mark::None;
                if (marked)
                    painter->fillRect(QRectF(full.left(), y, full.width(), mRowHeight), ReportStyle::markFill(int(line.mark)));
                else if (stripe % 2)
                    painter->fillRect(QRectF(full.left(), y, full.width(), mRowHeight), ReportStyle::kStripeFill);
                ++stripe;
                painter->setFont(marked ? bold : plain);
                painter->setPen(ReportStyle::markInk(int(line.mark)));
                for (qsizetype c = 0; c < columns; ++c) {
                    const ReportColumn &column = layout.columns.at(c);
                    drawCellText(painter, marked ? boldMetrics : plainMetrics,
                                 cellRect(c, c + 1, y, mRowHeight),
                                 ReportFormat::cell(column, line.values.value(c), line.ends.value(c)),
                                 column.numeric());
                }
                y += mRowHeight;
                break;
            }
            case ReportLine::Kind::Subtotal:
            case ReportLine::Kind::Total: {
                const QRectF row(full.left(), y, full.width(), mTotalHeight);
                if (line.kind == ReportLine::Kind::Total)
                    painter->fillRect(row, ReportStyle::kTotalFill);
                else if (line.mark != ReportLine::Mark::None)
                    painter->fillRect(row, ReportStyle::markFill(int(line.mark)));
                painter->setPen(QPen(ReportStyle::kAccent, ReportStyle::pt(0.8)));
                painter->drawLine(row.topLeft(), row.topRight());
                painter->setFont(bold);
                painter->setPen(line.mark == ReportLine::Mark::Best    ? ReportStyle::kBestInk
                                : line.mark == ReportLine::Mark::Worst ? ReportStyle::kWorstInk
                                                                       : ReportStyle::kInk);
                if (mLabelColumns > 0)
                    drawCellText(painter, boldMetrics, cellRect(0, mLabelColumns, y, mTotalHeight), totalCaption(layout, line),
                                 false);
                for (qsizetype c = mLabelColumns; c < columns; ++c) {
                    const ReportColumn &column = layout.columns.at(c);
                    drawCellText(painter, boldMetrics, cellRect(c, c + 1, y, mTotalHeight),
                                 ReportFormat::cell(column, line.values.value(c)), column.numeric());
                }
                y += mTotalHeight;
                break;
            }
            }
        }
    }

    // Footer: rule, report and page number.
    const qreal footerTop = paper.height() - ReportStyle::mm(kMargin) - ReportStyle::mm(kFooter) + ReportStyle::mm(3);
    painter->setPen(QPen(QColor(0xB0, 0xB0, 0xB0), ReportStyle::pt(0.5)));
    painter->drawLine(QPointF(left, footerTop), QPointF(left + width, footerTop));
    painter->setFont(filterFont);
    painter->setPen(ReportStyle::kMuted);
    const qreal baseline = footerTop + ReportStyle::mm(1) + (ReportStyle::mm(kFooter) - ReportStyle::mm(4) - filterMetrics.height()) / 2 + filterMetrics.ascent();
    const QString pages = u"Página %1 de %2"_s.arg(page + 1).arg(pageCount());
    const qreal pagesWidth = filterMetrics.horizontalAdvance(pages);
    painter->drawText(QPointF(left + width - pagesWidth, baseline), pages);
    painter->drawText(QPointF(left, baseline),
                      filterMetrics.elidedText(mModel.code.isEmpty() ? mModel.title : mModel.code + u" · "_s + mModel.title,
                                               Qt::ElideRight, width - pagesWidth - ReportStyle::mm(4)));
    painter->restore();
}

bool ReportDocument::paint(QPagedPaintDevice *device) const
{
    device->setPageLayout(pageLayout());
    QPainter painter;
    if (!painter.begin(device))
        return false;
    const int pages = pageCount();
    for (int page = 0; page < pages; ++page) {
        if (page > 0 && !device->newPage())
            return false;
        paintPage(&painter, page);
    }
    return painter.end();
}
