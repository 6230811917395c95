#include "smtpmail.h"

#include "errors.h"

#include <QFileInfo>
#include <QHostAddress>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <curl/curl.h>
#include <cstring>
#include <memory>

using namespace Qt::StringLiterals;

QString MailSettings::sender() const
{
    if (!from.isEmpty())
        return from;
    if (MailMessage::addressProblem(user).isEmpty())
        return user;
    return u"backoffice@"_s + host;
}

namespace {

QByteArray base64Lines(const QByteArray &data)
{
    const QByteArray encoded = data.toBase64();
    QByteArray out;
    out.reserve(encoded.size() + encoded.size() / 76 * 2 + 2);
    for (qsizetype i = 0; i < encoded.size(); i += 76)
        out += encoded.mid(i, 76) + "\r\n";
    return out;
}

// A header value with nothing that could end the header or start another.
QString oneLine(const QString &text)
{
    QString out = text;
    out.replace(u'\r', u' ').replace(u'\n', u' ');
    return out;
}

// RFC 2047 encoded words for a header text that is not plain ASCII, each under 76 characters.
QByteArray headerText(const QString &text)
{
    const QString line = oneLine(text);
    bool ascii = true;
    for (const QChar c : line)
        ascii = ascii && c.unicode() >= 0x20 && c.unicode() < 0x7f;
    if (ascii)
        return line.toLatin1();
    QByteArray out;
    QByteArray chunk;
    auto flush = [&] {
        if (chunk.isEmpty())
            return;
        if (!out.isEmpty())
            out += "\r\n ";
        out += "=?UTF-8?B?" + chunk.toBase64() + "?=";
        chunk.clear();
    };
    // whole characters per word: 45 bytes of UTF-8 give 60 of base64
    for (qsizetype i = 0; i < line.size(); ++i) {
        const qsizetype len = line.at(i).isHighSurrogate() && i + 1 < line.size() ? 2 : 1;
        const QByteArray bytes = line.mid(i, len).toUtf8();
        if (chunk.size() + bytes.size() > 45)
            flush();
        chunk += bytes;
        i += len - 1;
    }
    flush();
    return out;
}

// filename="..." for ASCII names, RFC 2231 filename*=UTF-8''... otherwise.
QByteArray fileParameter(const char *name, const QString &file)
{
    const QString line = oneLine(file);
    bool plain = true;
    for (const QChar c : line)
        plain = plain && c.unicode() >= 0x20 && c.unicode() < 0x7f && c != u'"' && c != u'\\';
    if (plain)
        return QByteArray(name) + "=\"" + line.toLatin1() + '"';
    return QByteArray(name) + "*=UTF-8''" + line.toUtf8().toPercentEncoding();
}

struct Upload
{
    QByteArray data;
    qsizetype at = 0;
};

size_t readPayload(char *buffer, size_t size, size_t count, void *user)
{
    auto *upload = static_cast<Upload *>(user);
    const size_t room = size * count;
    const size_t left = size_t(upload->data.size() - upload->at);
    const size_t n = std::min(room, left);
    std::memcpy(buffer, upload->data.constData() + upload->at, n);
    upload->at += qsizetype(n);
    return n;
}

} // namespace

QString MailMessage::contentTypeOf(const QString &fileName)
{
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    if (suffix == u"pdf")
        return u"application/pdf"_s;
    if (suffix == u"xlsx")
        return u"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet"_s;
    if (suffix == u"csv")
        return u"text/csv; charset=UTF-8"_s;
    if (suffix == u"html")
        return u"text/html; charset=UTF-8"_s;
    return u"application/octet-stream"_s;
}

QString MailMessage::addressProblem(const QString &address)
{
    static const QRegularExpression shape(u"^[A-Za-z0-9.!#$%&'*+/=?^_`{|}~-]+@[A-Za-z0-9](?:[A-Za-z0-9.-]*[A-Za-z0-9])?$"_s);
    if (address.isEmpty())
        return u"endereço vazio"_s;
    if (!shape.match(address).hasMatch())
        return u"o endereço \"%1\" não é um endereço de e-mail (nome@domínio)"_s.arg(oneLine(address));
    return {};
}

QByteArray MailMessage::mime(const QString &from, const QDateTime &date, const QByteArray &boundary) const
{
    QByteArray m;
    m += "From: " + oneLine(from).toLatin1() + "\r\n";
    m += "To: " + oneLine(to.join(u", "_s)).toLatin1() + "\r\n";
    m += "Subject: " + headerText(subject) + "\r\n";
    m += "Date: " + date.toString(Qt::RFC2822Date).toLatin1() + "\r\n";
    m += "MIME-Version: 1.0\r\n";
    m += "Content-Type: multipart/mixed; boundary=\"" + boundary + "\"\r\n";
    m += "\r\n";
    m += "--" + boundary + "\r\n";
    m += "Content-Type: text/plain; charset=UTF-8\r\n";
    m += "Content-Transfer-Encoding: base64\r\n\r\n";
    QString text = body;
    text.replace(u"\r\n"_s, u"\n"_s).replace(u'\n', u"\r\n"_s);
    m += base64Lines(text.toUtf8());
    m += "--" + boundary + "\r\n";
    m += "Content-Type: " + oneLine(attachmentType).toLatin1() + "; " + fileParameter("name", attachmentName) + "\r\n";
    m += "Content-Disposition: attachment; " + fileParameter("filename", attachmentName) + "\r\n";
    m += "Content-Transfer-Encoding: base64\r\n\r\n";
    m += base64Lines(attachment);
    m += "--" + boundary + "--\r\n";
    return m;
}

namespace SmtpMail {

void send(const MailSettings &settings, const MailMessage &message)
{
    const QString server = u"%1:%2"_s.arg(settings.host).arg(settings.port);
    auto fail = [&](const QString &why) {
        QString text = u"O e-mail não foi enviado pelo servidor %1: %2"_s.arg(server, why);
        if (!settings.password.isEmpty())
            text.replace(settings.password, u"***"_s);
        throw EHostError(text);
    };
    if (!settings.configured())
        fail(u"falta o servidor de e-mail ([mail] host na configuração)."_s);
    const QString from = settings.sender();
    if (const QString problem = MailMessage::addressProblem(from); !problem.isEmpty())
        fail(u"remetente inválido: "_s + problem + u'.');
    // A password goes over the network only inside TLS; a relay on this machine may take it plain.
    const bool loopback = QHostAddress(settings.host).isLoopback() || settings.host.compare(u"localhost"_s, Qt::CaseInsensitive) == 0;
    if (!settings.password.isEmpty() && !settings.starttls && !loopback)
        fail(u"a senha não vai sem criptografia: ligue starttls=true em [mail] (só um servidor nesta máquina a recebe sem ela)."_s);
    if (message.to.isEmpty())
        fail(u"nenhum destinatário."_s);
    for (const QString &to : message.to) {
        if (const QString problem = MailMessage::addressProblem(to); !problem.isEmpty())
            fail(u"destinatário inválido: "_s + problem + u'.');
    }

    static const bool initialised = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    if (!initialised)
        fail(u"a biblioteca de rede (libcurl) não iniciou."_s);
    const std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> curl(curl_easy_init(), &curl_easy_cleanup);
    if (!curl)
        fail(u"a biblioteca de rede (libcurl) não iniciou."_s);
    QByteArray boundary = "=_bo_" + QByteArray::number(QRandomGenerator::global()->generate64(), 16);
    Upload upload{message.mime(from, QDateTime::currentDateTime(), boundary)};

    const QByteArray url = "smtp://" + settings.host.toUtf8() + ':' + QByteArray::number(settings.port);
    const QByteArray mailFrom = '<' + from.toLatin1() + '>';
    const QByteArray user = settings.user.toUtf8(), password = settings.password.toUtf8();
    curl_slist *recipients = nullptr;
    for (const QString &to : message.to)
        recipients = curl_slist_append(recipients, ('<' + to.toLatin1() + '>').constData());
    const std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)> recipientList(recipients, &curl_slist_free_all);
    char error[CURL_ERROR_SIZE] = {};
    CURL *c = curl.get();
    curl_easy_setopt(c, CURLOPT_URL, url.constData());
    curl_easy_setopt(c, CURLOPT_MAIL_FROM, mailFrom.constData());
    curl_easy_setopt(c, CURLOPT_MAIL_RCPT, recipients);
    curl_easy_setopt(c, CURLOPT_READFUNCTION, readPayload);
    curl_easy_setopt(c, CURLOPT_READDATA, &upload);
    curl_easy_setopt(c, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(c, CURLOPT_INFILESIZE_LARGE, curl_off_t(upload.data.size()));
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, error);
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, 20L);
    curl_easy_setopt(c, CURLOPT_TIMEOUT, 300L);
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "smtp");
    if (settings.starttls)
        curl_easy_setopt(c, CURLOPT_USE_SSL, long(CURLUSESSL_ALL));
    if (!settings.user.isEmpty()) {
        curl_easy_setopt(c, CURLOPT_USERNAME, user.constData());
        curl_easy_setopt(c, CURLOPT_PASSWORD, password.constData());
    }
    const CURLcode result = curl_easy_perform(c);
    if (result != CURLE_OK) {
        QString why = QString::fromUtf8(error).trimmed();
        if (why.isEmpty())
            why = QString::fromUtf8(curl_easy_strerror(result));
        fail(why + u'.');
    }
}

} // namespace SmtpMail
