#include "reportstyle.h"

using namespace Qt::StringLiterals;

namespace ReportStyle {

QFont font(qreal points, bool bold)
{
    QFont font(u"DejaVu Sans"_s);
    font.setStyleHint(QFont::SansSerif);
    font.setStyleStrategy(QFont::PreferNoShaping);
    font.setPixelSize(qRound(pt(points)));
    font.setBold(bold);
    return font;
}

QString pageText(const QString &text)
{
    if (text.size() <= kPageChars)
        return text;
    return text.left(text.at(kPageChars - 1).isHighSurrogate() ? kPageChars - 1 : kPageChars);
}

QColor seriesColour(qsizetype series)
{
    static const QColor colours[] = {kBar, QColor(0xA7, 0xC3, 0xE2), QColor(0xE0, 0x8A, 0x2E), QColor(0x5E, 0x5E, 0x5E)};
    return colours[series % 4];
}

QColor markFill(int mark)
{
    const QColor fills[] = {kBestFill, kWorstFill, kOverFill, kUnderFill};
    return mark >= 1 && mark <= 4 ? fills[mark - 1] : QColor();
}

QColor markInk(int mark)
{
    const QColor inks[] = {kBestInk, kWorstInk, kOverInk, kUnderInk};
    return mark >= 1 && mark <= 4 ? inks[mark - 1] : kInk;
}

QString cssName(const QColor &colour)
{
    return colour.name(QColor::HexRgb).toUpper();
}

} // namespace ReportStyle
