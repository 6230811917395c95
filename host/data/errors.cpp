#include "errors.h"

EHostError::EHostError(QString message) : mMessage(std::move(message)), mUtf8(mMessage.toUtf8()) {}

QString describeException(const std::exception &e)
{
    if (auto *hostError = dynamic_cast<const EHostError *>(&e))
        return hostError->message();
    return QString::fromUtf8(e.what());
}

QString terminalText(const QString &text)
{
    QString shown;
    shown.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        const bool control = c.category() == QChar::Other_Control || u == 0x2028 || u == 0x2029 ||
                             (u >= 0x202A && u <= 0x202E) || (u >= 0x2066 && u <= 0x2069);
        if (!control || u == u'\n' || u == u'\t')
            shown += c;
        else if (u < 0x100)
            shown += QStringLiteral("\\x%1").arg(uint(u), 2, 16, QLatin1Char('0'));
        else
            shown += QStringLiteral("U+%1").arg(uint(u), 4, 16, QLatin1Char('0')).toUpper();
    }
    return shown;
}
