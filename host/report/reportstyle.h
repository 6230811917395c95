#pragma once

#include "host_global.h"

#include <QColor>
#include <QFont>
#include <QString>

// The look every output of a report shares: the page and the preview (QPainter), the HTML (CSS)
// and the XLSX (cell formats) take their colours from here.
namespace ReportStyle {

// Page units are pixels at 300 dpi; sizes in the code are given in points and millimetres.
inline constexpr int Dpi = 300;
constexpr qreal pt(qreal points)
{
    return points * Dpi / 72.0;
}
constexpr qreal mm(qreal millimetres)
{
    return millimetres * Dpi / 25.4;
}

// DejaVu Sans of `points` at the page's resolution, without ligatures ("Buffet" stays f-f in the
// PDF's text, found by a search for it).
QFont font(qreal points, bool bold = false);

// No line of a page shows more characters than this (a landscape line of the smallest type holds
// a few hundred). A longer text is cut first: measured whole, a text of millions of characters
// (a product name, a report's SQL) costs the text shaper its memory, and more than that crashes it.
inline constexpr qsizetype kPageChars = 4000;
QString pageText(const QString &text);

inline const QColor kInk{0x20, 0x20, 0x20};
inline const QColor kMuted{0x60, 0x60, 0x60};
inline const QColor kAccent{0x1F, 0x4E, 0x79}; // titles, headings' text, rules
inline const QColor kHeadingFill{0xDC, 0xE6, 0xF1};
inline const QColor kGroupFill{0xEE, 0xF2, 0xF7};
inline const QColor kStripeFill{0xF7, 0xF7, 0xF7};
inline const QColor kTotalFill{0xC9, 0xD7, 0xE8};
inline const QColor kBar{0x2E, 0x6D, 0xB4};
inline const QColor kBestFill{0xD9, 0xEE, 0xD0};
inline const QColor kWorstFill{0xF9, 0xDA, 0xDA};
inline const QColor kBestInk{0x2E, 0x6B, 0x1F};
inline const QColor kWorstInk{0xA3, 0x24, 0x24};
// Lines a report marks as over and under what they should be ("marks": more registers open than
// needed, fewer); the text of the line says so too, for CSV and grey print.
inline const QColor kOverFill{0xFF, 0xF0, 0xC2};
inline const QColor kOverInk{0x7A, 0x55, 0x00};
inline const QColor kUnderFill{0xF6, 0xD3, 0xE4};
inline const QColor kUnderInk{0x8E, 0x1B, 0x55};
// The fill and the text colour of a marked line: best, worst, over, under (ReportLine::Mark order
// without None).
HOST_EXPORT QColor markFill(int mark);
HOST_EXPORT QColor markInk(int mark);
// The two ends of a cross-tab's colour scale, also the XLSX's two-colour scale.
inline const QColor kScaleLow{0xFF, 0xF4, 0xE0};
inline const QColor kScaleHigh{0xF0, 0x7C, 0x38};

// The bars of chart series `series`: the first keeps the single chart's colour; the others stay
// apart in grey print too.
QColor seriesColour(qsizetype series);

// "#1F4E79": a colour as CSS writes it.
QString cssName(const QColor &colour);

} // namespace ReportStyle
