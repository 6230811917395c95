#pragma once

#include "host_global.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

class QWidget;

// Field utilities shared by every screen.
HOST_EXPORT bool EmptyString(const QString &text);
// Brings a code to exactly `width` characters: blanks trimmed, padded on the left with "0",
// longer texts keep their rightmost characters.
HOST_EXPORT QString Ajusta(const QString &text, int width);
// True when the text is four digits HHMM forming a time of day (00-23, 00-59).
HOST_EXPORT bool HorarioOk(const QString &text);
// Shows the text as an error; with abort true it then throws EAbort (control never returns).
HOST_EXPORT void MensErro(const QString &text, bool abort);
HOST_EXPORT QString Replicate(const QString &text, int count);
// Enables or disables every control inside the container; the container itself keeps its state.
HOST_EXPORT void SetChildEnabled(QWidget *container, bool enabled);

// Moves the focus the way a validator does after a failure: no exit handler runs for the control
// that loses it (the user is being sent back, not moving on).
HOST_EXPORT void FocusControl(QWidget *control);

// The runtime's text-to-date-time conversion, pt-BR: "dd/MM/yyyy HH:mm" (or a date alone); throws
// EConvertError with the text when it is not a valid date and time.
HOST_EXPORT QDateTime StrToDateTime(const QString &text);

// Replaces each "%s" of the pattern, in order, by the next argument (the host's Format).
HOST_EXPORT QString Format(const QString &pattern, const QStringList &args);

template <typename T>
T iif(bool condition, const T &a, const T &b)
{
    return condition ? a : b;
}
