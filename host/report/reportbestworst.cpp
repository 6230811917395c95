#include "reportbestworst.h"

#include "reportformat.h"

using namespace Qt::StringLiterals;

namespace ReportBestWorst {

QString markedValue(const ReportColumn *format, double value)
{
    if (!format || format->type == ReportColumn::Type::Money)
        return u"R$ "_s + ReportFormat::number(value, 2);
    return ReportFormat::cell(*format, value);
}

QString bestWorstLine(const QString &best, const QString &bestValue, const QString &worst,
                      const QString &worstValue)
{
    return u"Melhor horário: %1 (%2) · Pior horário: %3 (%4)"_s.arg(best, bestValue, worst, worstValue);
}

std::optional<std::pair<qsizetype, qsizetype>> extremes(const QList<double> &values)
{
    if (values.size() < 2)
        return std::nullopt;
    qsizetype best = 0, worst = 0;
    for (qsizetype i = 1; i < values.size(); ++i) {
        if (values.at(i) > values.at(best))
            best = i;
        if (values.at(i) < values.at(worst))
            worst = i;
    }
    if (values.at(best) == values.at(worst))
        return std::nullopt;
    return std::make_pair(best, worst);
}

// The cross-tab: rows by their index in the row names, columns by the column field's values in

} // namespace ReportBestWorst
