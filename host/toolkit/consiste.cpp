#include "consiste.h"

#include "errors.h"
#include "eventboundary.h"
#include "uiservices.h"

#include <QApplication>
#include <QWidget>

bool EmptyString(const QString &text)
{
    for (QChar c : text) {
        if (c != u' ')
            return false;
    }
    return true;
}

QString Ajusta(const QString &text, int width)
{
    if (width <= 0)
        return {};
    const QString trimmed = text.trimmed();
    if (trimmed.size() >= width)
        return trimmed.right(width);
    return QString(width - trimmed.size(), u'0') + trimmed;
}

bool HorarioOk(const QString &text)
{
    if (text.size() != 4)
        return false;
    for (QChar c : text) {
        if (c < u'0' || c > u'9')
            return false;
    }
    const int hours = text.left(2).toInt();
    const int minutes = text.mid(2, 2).toInt();
    return hours <= 23 && minutes <= 59;
}

void MensErro(const QString &text, bool abort)
{
    UiServices::current().showError(QApplication::activeWindow(), text);
    if (abort)
        throw EAbort();
}

QString Replicate(const QString &text, int count)
{
    return count <= 0 ? QString() : text.repeated(count);
}

void SetChildEnabled(QWidget *container, bool enabled)
{
    if (!container)
        return;
    const auto children = container->findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
    for (QWidget *child : children)
        child->setEnabled(enabled);
}

QString Format(const QString &pattern, const QStringList &args)
{
    QString result;
    result.reserve(pattern.size());
    qsizetype next = 0;
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        if (pattern.at(i) == u'%' && i + 1 < pattern.size() && pattern.at(i + 1) == u's') {
            result += next < args.size() ? args.at(next) : QString();
            ++next;
            ++i;
            continue;
        }
        result += pattern.at(i);
    }
    return result;
}

void FocusControl(QWidget *control)
{
    if (!control)
        return;
    ExitGuard quiet;
    control->setFocus(Qt::OtherFocusReason);
}

QDateTime StrToDateTime(const QString &text)
{
    const QString trimmed = text.trimmed();
    QDateTime value = QDateTime::fromString(trimmed, QStringLiteral("dd/MM/yyyy HH:mm"));
    if (!value.isValid()) {
        const QDate date = QDate::fromString(trimmed, QStringLiteral("dd/MM/yyyy"));
        if (date.isValid())
            value = date.startOfDay(); // midnight may not exist where daylight saving starts then
    }
    if (!value.isValid())
        throw EConvertError(QStringLiteral("'%1' não é uma data e hora válida.").arg(text));
    return value;
}
