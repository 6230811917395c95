#pragma once

#include "host_global.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

// The SMTP server a report is mailed through ([mail] of the configuration).
struct HOST_EXPORT MailSettings
{
    QString host;
    int port = 25;
    bool starttls = false; // STARTTLS required before anything is sent
    QString user;          // empty: no authentication
    QString password;      // never written anywhere: not in messages, not in logs
    QString from;          // the sender; empty: the user when it is an address, else backoffice@host

    bool configured() const { return !host.isEmpty(); }
    QString sender() const;
};

// One message: a UTF-8 text body and one attached file.
struct HOST_EXPORT MailMessage
{
    QStringList to;
    QString subject;
    QString body;
    QString attachmentName; // the file name the reader sees
    QByteArray attachment;
    QString attachmentType; // "application/pdf", ...

    // The message as sent: headers (the subject in RFC 2047 words), then a multipart/mixed body of
    // the text and the file, both base64 in lines of 76 characters. `boundary` and `date` are
    // given by the caller so that a message can be compared as a whole.
    QByteArray mime(const QString &from, const QDateTime &date, const QByteArray &boundary) const;

    // The Content-Type of a report file by its extension (pdf, xlsx, csv, html).
    static QString contentTypeOf(const QString &fileName);
    // Why `address` cannot be a recipient or a sender (empty: it can): a header must not be cut by a
    // line break, and the envelope takes a plain local@domain.
    static QString addressProblem(const QString &address);
};

// Sends through libcurl's SMTP. Throws EHostError with a pt-BR message naming the server and the
// cause; the password never appears in it.
namespace SmtpMail {
HOST_EXPORT void send(const MailSettings &settings, const MailMessage &message);
}
