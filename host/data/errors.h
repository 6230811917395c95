#pragma once

#include "host_global.h"

#include <QString>
#include <exception>

// Silent abort: ends the running event without a further message (the user has already been told).
class HOST_EXPORT EAbort : public std::exception
{
public:
    const char *what() const noexcept override { return "Operation aborted"; }
};

// Base of the host's reportable errors; the event boundary shows message() to the user.
class HOST_EXPORT EHostError : public std::exception
{
public:
    explicit EHostError(QString message);
    const QString &message() const noexcept { return mMessage; }
    const char *what() const noexcept override { return mUtf8.constData(); }

private:
    QString mMessage;
    QByteArray mUtf8;
};

// A failure reported by the database layer (connection, statement, parameter or field).
class HOST_EXPORT EDatabaseError : public EHostError
{
public:
    using EHostError::EHostError;
};

// A text that cannot be converted (dates, numbers).
class HOST_EXPORT EConvertError : public EHostError
{
public:
    using EHostError::EHostError;
};

// Turns any exception into the text the event boundary shows.
HOST_EXPORT QString describeException(const std::exception &e);

// `text` as a terminal may show it: control characters other than line breaks and tabs (a bell, an
// escape sequence that would move the cursor or retitle the window, a direction override that
// would reorder what follows) written as \xNN or U+NNNN, so that a message quoting what a user
// typed or a file held shows it instead of acting on the terminal.
HOST_EXPORT QString terminalText(const QString &text);
