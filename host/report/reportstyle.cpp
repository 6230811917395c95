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

QString cssName(const QColor &colour)
{
    return colour.name(QColor::HexRgb).toUpper();
}

} // namespace ReportStyle
