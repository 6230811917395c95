#include "reportformat.h"

#include "ptbrlocale.h"

#include <QByteArray>
#include <QDate>
#include <cmath>

using namespace Qt::StringLiterals;

namespace ReportFormat {

QString text(const QVariant &value)
{
    return value.isNull() ? QString() : value.toString().trimmed();
}

QString number(double value, int decimals, bool thousands)
{
    // Rounded as a spreadsheet shows it: read to 15 significant digits (a sum of many doubles is
    // sure to no more; past them lies the order the engine added them in), then half away from zero.
    // R$ 51.614,82 over 604 tickets is R$ 85,46 however the 51.614,82 was added up.
    if (std::isfinite(value) && decimals >= 0 && decimals <= 9) {
        const double scale = std::pow(10.0, decimals);
        value = std::round(QByteArray::number(value * scale, 'g', 15).toDouble()) / scale;
    }
    // Avoids "-0,00" for tiny negative remainders of sums.
    if (std::abs(value) < 0.5 * std::pow(10.0, -decimals))
        value = 0.0;
    QLocale locale = ptBRLocale();
    if (!thousands)
        locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale.toString(value, 'f', decimals);
}

QDate toDate(const QVariant &value)
{
    if (value.isNull())
        return {};
    if (value.typeId() == QMetaType::QDate)
        return value.toDate();
    if (value.typeId() == QMetaType::QDateTime)
        return value.toDateTime().date();
    const QString text = value.toString().trimmed();
    QDate date = QDate::fromString(text.left(10), u"yyyy-MM-dd"_s);
    if (!date.isValid())
        date = QDate::fromString(text.left(10), u"dd/MM/yyyy"_s);
    return date;
}

QString minutes(int minutesOfDay)
{
    return u"%1:%2"_s.arg(minutesOfDay / 60, 2, 10, QChar(u'0')).arg(minutesOfDay % 60, 2, 10, QChar(u'0'));
}

QString cell(const ReportColumn &column, const QVariant &value, const QVariant &end, bool thousands)
{
    if (value.isNull() || !value.isValid())
        return {};
    switch (column.type) {
    case ReportColumn::Type::Text:
        return ReportFormat::text(value);
    case ReportColumn::Type::Date: {
        const QDate date = toDate(value);
        return date.isValid() ? date.toString(u"dd/MM/yyyy"_s) : ReportFormat::text(value);
    }
    case ReportColumn::Type::Hour: {
        const QString text = ReportFormat::text(value);
        return text.size() == 4 ? text.left(2) + u':' + text.mid(2) : text;
    }
    case ReportColumn::Type::Minutes:
        return minutes(value.toInt());
    case ReportColumn::Type::Interval:
        if (end.isNull() || !end.isValid())
            return minutes(value.toInt());
        return minutes(value.toInt()) + u" às "_s + minutes(end.toInt());
    case ReportColumn::Type::Integer:
        return number(std::round(value.toDouble()), 0, thousands);
    case ReportColumn::Type::Number:
    case ReportColumn::Type::Money:
        return number(value.toDouble(), column.decimals(), thousands);
    case ReportColumn::Type::Percent:
        return number(value.toDouble(), 2, thousands) + u" %"_s;
    }
    return ReportFormat::text(value);
}

} // namespace ReportFormat
