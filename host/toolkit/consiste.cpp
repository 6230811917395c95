#include "consiste.h"

#include "errors.h"
#include "eventboundary.h"
#include "params.h"
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
    // A calendar value: date and hour as written. Read in a time zone, an hour that summer time
    // skips (00:30 on a day it starts at midnight) would not exist.
    const QString trimmed = text.trimmed();
    const qsizetype blank = trimmed.indexOf(u' ');
    const QDate date = QDate::fromString(blank < 0 ? trimmed : trimmed.left(blank), QStringLiteral("dd/MM/yyyy"));
    const QTime time = blank < 0 ? QTime(0, 0) : QTime::fromString(trimmed.mid(blank + 1), QStringLiteral("HH:mm"));
    const QDateTime value = calendarDateTime(date, time);
    if (!value.isValid())
        throw EConvertError(QStringLiteral("'%1' não é uma data e hora válida.").arg(text));
    return value;
}
