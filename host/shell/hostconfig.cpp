#include "hostconfig.h"

#include "driverprofile.h"
#include "errors.h"
#include "widgets.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>
#include <QStringDecoder>

using namespace Qt::StringLiterals;

namespace {
QString resolve(const QString &baseDir, const QString &path)
{
    if (path.isEmpty() || QDir::isAbsolutePath(path) || path == u":memory:" || path.contains(u':'))
        return path; // absolute, in-memory, or "host:path" of a database server
    return QDir(baseDir).absoluteFilePath(path);
}

// A database name is a file, taken from the configuration's folder, only for the drivers that open
// files; a PostgreSQL database name or an ODBC connection string is passed as written.
QString resolveDatabase(const QString &baseDir, const QString &driver, const QString &name)
{
    return driverProfile(driver).fileDatabase ? resolve(baseDir, name) : name;
}

// What a key's value must be.
enum class Kind
{
    Text,
    Flag,
    Port,
    PortOrDefault,
    Count,
    Seconds,
    Rows,
    DigitCodeMask
};

// The limits a configuration may set. A time limit is kept in milliseconds as an int, so a day is
// far below where it would overflow; 0 is refused, not taken for "no limit": a limit is only
// lifted on purpose, by a large value.
constexpr qint64 kMostSeconds = 86400;
constexpr qint64 kMostRows = 10000000;

struct KeyRule
{
    const char *section;
    const char *key;
    Kind kind;
};

// Every key the host reads. A key not here is a misspelling (or belongs to another program) and is
// refused rather than ignored: a "pasword" or a "[databse]" would otherwise start the host on
// defaults nobody chose.
const KeyRule kKeys[] = {
    {"context", "ModuFili", Kind::Flag},
    {"context", "FiliProc", Kind::Text},
    {"context", "NomeFiliProc", Kind::Text},
    {"context", "WebURL", Kind::Text},
    {"context", "WebPort", Kind::Port},
    {"context", "DBPict", Kind::DigitCodeMask},
    {"database", "driver", Kind::Text},
    {"database", "name", Kind::Text},
    {"database", "host", Kind::Text},
    {"database", "port", Kind::PortOrDefault},
    {"database", "user", Kind::Text},
    {"database", "password", Kind::Text},
    {"database", "options", Kind::Text},
    {"database", "report_user", Kind::Text},
    {"database", "report_password", Kind::Text},
    {"database", "report_role", Kind::Text},
    {"database", "statement_timeout", Kind::Seconds},
    {"database", "report_timeout", Kind::Seconds},
    {"reports", "max_rows", Kind::Rows},
    {"mail", "host", Kind::Text},
    {"mail", "port", Kind::Port},
    {"mail", "starttls", Kind::Flag},
    {"mail", "user", Kind::Text},
    {"mail", "password", Kind::Text},
    {"mail", "from", Kind::Text},
    {"paths", "modules", Kind::Text},
    {"paths", "reports", Kind::Text},
    {"paths", "help", Kind::Text},
    {"screens", "size", Kind::Count},
};

const KeyRule *ruleFor(const QString &section, const QString &key)
{
    for (const KeyRule &rule : kKeys) {
        if (section == QLatin1String(rule.section) && key == QLatin1String(rule.key))
            return &rule;
    }
    // The screens' entries: "1\code", "1\module", "1\menu", ...
    static const KeyRule screenEntry{"screens", "", Kind::Text};
    static const QRegularExpression entry(u"^[0-9]+\\\\(code|module|menu)$"_s);
    if (section == u"screens" && entry.match(key).hasMatch())
        return &screenEntry;
    return nullptr;
}

// Why `value` does not do for a key of this kind; empty when it does.
QString valueProblem(Kind kind, const QString &value)
{
    const QString v = value.trimmed();
    bool isNumber = false;
    const qint64 number = v.toLongLong(&isNumber);
    switch (kind) {
    case Kind::Text:
        return {};
    case Kind::Flag:
        if (QStringList{u"true"_s, u"false"_s, u"1"_s, u"0"_s}.contains(v.toLower()))
            return {};
        return u"deve ser true ou false."_s;
    case Kind::Port:
        if (isNumber && number >= 1 && number <= 65535)
            return {};
        return u"a porta deve ser um número de 1 a 65535."_s;
    case Kind::PortOrDefault:
        if (v.isEmpty() || (isNumber && number >= 0 && number <= 65535))
            return {};
        return u"a porta deve ser um número de 1 a 65535 (ou 0, a porta padrão do servidor)."_s;
    case Kind::Count:
        if (isNumber && number >= 0)
            return {};
        return u"deve ser um número inteiro não negativo."_s;
    case Kind::Seconds:
        if (isNumber && number >= 1 && number <= kMostSeconds)
            return {};
        return u"o limite de tempo deve ser um número de segundos de 1 a %1 (um dia)."_s.arg(kMostSeconds);
    case Kind::Rows:
        if (isNumber && number >= 1 && number <= kMostRows)
            return {};
        return u"o limite de linhas deve ser um número de 1 a %1."_s.arg(kMostRows);
    case Kind::DigitCodeMask:
        if (const QString why = TMaskEdit::digitCodeMaskProblem(value); !why.isEmpty())
            return u"a máscara de códigos da árvore de produtos "_s + why;
        return {};
    }
    return {};
}

// The first ';' or ',' outside quotes in `raw` (a value as the file has it), or a null QChar. The
// INI reader takes a ';' for the start of a comment and drops the rest of the value, and a ',' for a
// list, which reads as an empty text: either way the value is lost without a word.
QChar unquotedBreak(const QString &raw)
{
    bool quoted = false;
    for (qsizetype i = 0; i < raw.size(); ++i) {
        const QChar c = raw.at(i);
        if (quoted && c == u'\\')
            ++i;
        else if (c == u'"')
            quoted = !quoted;
        else if ((c == u';' || c == u',') && !quoted)
            return c;
    }
    return {};
}

// A key that may hold a password, misspellings included ("pasword"): its value is never shown.
bool looksSecret(const QString &key)
{
    static const QRegularExpression secret(u"pa?s+w|pwd|senha|secret|token"_s, QRegularExpression::CaseInsensitiveOption);
    return secret.match(key).hasMatch();
}

QString problemLine(const QString &section, const QString &key, const QString &value, const QString &text)
{
    const QString where = section.isEmpty() ? u"(fora de uma seção)"_s : u'[' + section + u']';
    return u"%1 %2 = \"%3\": %4"_s.arg(where, key, looksSecret(key) ? u"***"_s : value, text);
}

[[noreturn]] void refuse(const QString &path, const QStringList &problems)
{
    throw EHostError(u"O arquivo de configuração '%1' não pode ser usado:\n%2\nCorrija o arquivo e abra o programa de novo."_s
                         .arg(QDir::toNativeSeparators(path), problems.join(u'\n')));
}

[[noreturn]] void refuseFile(const QString &path, const QString &why)
{
    throw EHostError(u"O arquivo de configuração '%1' %2"_s.arg(QDir::toNativeSeparators(path), why));
}

// The file as text, line by line: refused when it is not readable UTF-8 text holding sections and
// key=value lines, or when it holds keys the host does not know. QSettings alone takes any bytes
// and gives defaults for what it cannot read, so an empty or UTF-16 file would start the host on
// the built-in defaults.
void checkFile(const QString &path, QSettings &ini)
{
    const QFileInfo info(path);
    if (info.isDir())
        refuseFile(path, u"é uma pasta, não um arquivo."_s);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        refuseFile(path, u"não pôde ser lido: %1."_s.arg(file.errorString()));
    QByteArray bytes = file.readAll();
    // UTF-16 with its mark, or without it: every other byte of ASCII text is then zero.
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF") ||
        (bytes.size() >= 2 && (bytes.at(0) == '\0' || bytes.at(1) == '\0')))
        refuseFile(path, u"não está gravado como texto UTF-8 (parece UTF-16): grave-o de novo em UTF-8."_s);
    if (bytes.contains('\0'))
        refuseFile(path, u"não é um arquivo de texto."_s);
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder.decode(bytes);
    if (decoder.hasError())
        refuseFile(path, u"não está gravado como texto UTF-8: grave-o de novo em UTF-8."_s);

    QStringList problems;
    QString section;
    bool anyKey = false;
    const QStringList lines = text.split(u'\n');
    for (qsizetype n = 0; n < lines.size(); ++n) {
        const QString line = lines.at(n).trimmed();
        if (line.isEmpty() || line.startsWith(u';') || line.startsWith(u'#'))
            continue;
        if (line.startsWith(u'[')) {
            if (!line.endsWith(u']') || line.size() < 3) {
                problems << u"linha %1: \"%2\" não é um nome de seção como [database]."_s.arg(n + 1).arg(line);
                continue;
            }
            section = line.mid(1, line.size() - 2).trimmed();
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        const QString key = equals > 0 ? line.left(equals).trimmed() : QString();
        if (key.isEmpty()) {
            problems << u"linha %1: \"%2\" não é uma seção [nome] nem uma linha chave=valor."_s.arg(n + 1).arg(
                            looksSecret(line) ? u"***"_s : line);
            continue;
        }
        anyKey = true;
        const KeyRule *rule = ruleFor(section, key);
        const QString value = ini.value(section.isEmpty() ? key : section + u'/' + key).toString();
        if (!rule) {
            problems << problemLine(section, key, value, u"chave desconhecida."_s);
            continue;
        }
        if (const QChar c = unquotedBreak(line.mid(equals + 1)); !c.isNull()) {
            problems << problemLine(
                section, key, value,
                (c == u';' ? u"um ';' fora de aspas começa um comentário e cortaria o valor"_s
                           : u"uma ',' fora de aspas faria do valor uma lista, lida como vazia"_s) +
                    u": escreva o valor entre aspas (chave=\"abc;123\") e os comentários em "
                    u"linhas próprias."_s);
            continue;
        }
        if (const QString why = valueProblem(rule->kind, value); !why.isEmpty())
            problems << problemLine(section, key, value, why);
    }
    if (!anyKey && problems.isEmpty())
        refuseFile(path, u"está vazio: não tem nenhuma chave."_s);
    if (ini.status() != QSettings::NoError)
        problems << u"o arquivo não é um INI válido."_s;
    if (ini.value(u"database/name"_s).toString().trimmed().isEmpty())
        problems << problemLine(u"database"_s, u"name"_s, {}, u"falta o banco de dados a abrir."_s);
    if (!problems.isEmpty())
        refuse(path, problems);
}
} // namespace

QString HostConfig::defaultPath()
{
    return QStringLiteral(BO_SOURCE_DIR "/config/backoffice.ini");
}

HostConfig HostConfig::load(const QString &path)
{
    if (!QFileInfo::exists(path))
        throw EHostError(QStringLiteral("Arquivo de configuração '%1' não encontrado.").arg(path));
    QSettings ini(path, QSettings::IniFormat);
    checkFile(QFileInfo(path).absoluteFilePath(), ini);
    const QString base = QFileInfo(path).absolutePath();

    HostConfig config;
    config.path = QFileInfo(path).absoluteFilePath();
    ini.beginGroup(QStringLiteral("context"));
    config.context.moduFili = ini.value(QStringLiteral("ModuFili"), false).toBool();
    config.context.filiProc = ini.value(QStringLiteral("FiliProc"), config.context.filiProc).toString();
    config.context.nomeFiliProc = ini.value(QStringLiteral("NomeFiliProc")).toString();
    config.context.webUrl = ini.value(QStringLiteral("WebURL"), config.context.webUrl).toString();
    config.context.webPort = ini.value(QStringLiteral("WebPort"), config.context.webPort).toInt();
    config.context.dbPictArvProd = ini.value(QStringLiteral("DBPict"), config.context.dbPictArvProd).toString();
    ini.endGroup();

    ini.beginGroup(QStringLiteral("database"));
    config.database.driver = ini.value(QStringLiteral("driver"), config.database.driver).toString();
    config.database.name = resolveDatabase(base, config.database.driver, ini.value(QStringLiteral("name")).toString());
    config.database.host = ini.value(QStringLiteral("host")).toString();
    config.database.port = ini.value(QStringLiteral("port"), 0).toInt();
    config.database.user = ini.value(QStringLiteral("user")).toString();
    config.database.password = ini.value(QStringLiteral("password")).toString();
    config.database.options = ini.value(QStringLiteral("options")).toString();
    config.database.reportUser = ini.value(QStringLiteral("report_user"), config.database.reportUser).toString();
    config.database.reportPassword = ini.value(QStringLiteral("report_password")).toString();
    config.database.reportRole = ini.value(QStringLiteral("report_role"), config.database.reportRole).toString();
    config.database.statementTimeout =
        ini.value(QStringLiteral("statement_timeout"), config.database.statementTimeout).toInt();
    config.database.reportTimeout = ini.value(QStringLiteral("report_timeout"), config.database.reportTimeout).toInt();
    ini.endGroup();

    ini.beginGroup(QStringLiteral("reports"));
    config.reportMaxRows = ini.value(QStringLiteral("max_rows"), config.reportMaxRows).toInt();
    ini.endGroup();

    ini.beginGroup(QStringLiteral("mail"));
    config.mail.host = ini.value(QStringLiteral("host")).toString();
    config.mail.port = ini.value(QStringLiteral("port"), config.mail.port).toInt();
    config.mail.starttls = ini.value(QStringLiteral("starttls"), false).toBool();
    config.mail.user = ini.value(QStringLiteral("user")).toString();
    config.mail.password = ini.value(QStringLiteral("password")).toString();
    config.mail.from = ini.value(QStringLiteral("from")).toString();
    ini.endGroup();

    ini.beginGroup(QStringLiteral("paths"));
    config.modulesDir = resolve(base, ini.value(QStringLiteral("modules"), QStringLiteral(BO_MODULES_DIR)).toString());
    config.reportsDir = resolve(base, ini.value(QStringLiteral("reports")).toString());
    config.helpDir = resolve(base, ini.value(QStringLiteral("help")).toString());
    ini.endGroup();

    const int count = ini.beginReadArray(QStringLiteral("screens"));
    for (int i = 0; i < count; ++i) {
        ini.setArrayIndex(i);
        config.screens.append({ini.value(QStringLiteral("code")).toString(), ini.value(QStringLiteral("module")).toString(),
                               ini.value(QStringLiteral("menu")).toString()});
    }
    ini.endArray();
    return config;
}

void HostConfig::applyOverrides(const QJsonObject &o, const QString &baseDir)
{
    // The same rules as in the file, for the values a script gives, and the JSON type each must
    // have: a flag is true or false, not the text "true", and texts are strings.
    QStringList problems;
    auto check = [&problems](const QString &key, const QJsonValue &value, const KeyRule *rule) {
        const QString text = value.isDouble() ? QString::number(value.toDouble(), 'g', 17)
                             : value.isBool() ? (value.toBool() ? u"true"_s : u"false"_s)
                                              : value.toString();
        const QString shown = rule && looksSecret(QLatin1String(rule->key)) ? u"***"_s : text;
        if (!rule) {
            problems << u"config.%1: chave desconhecida."_s.arg(key);
            return;
        }
        const bool isText = rule->kind == Kind::Text || rule->kind == Kind::DigitCodeMask;
        if (rule->kind == Kind::Flag ? !value.isBool()
            : isText                 ? !value.isString()
                                     : !(value.isDouble() || value.isString()))
            problems << u"config.%1 = \"%2\": %3"_s.arg(key, shown,
                                                        rule->kind == Kind::Flag
                                                            ? u"deve ser true ou false (sem aspas)."_s
                                                        : isText ? u"deve ser um texto entre aspas."_s
                                                                 : u"deve ser um número."_s);
        else if (const QString why = valueProblem(rule->kind, text); !why.isEmpty())
            problems << u"config.%1 = \"%2\": %3"_s.arg(key, shown, why);
    };
    for (auto it = o.begin(); it != o.end(); ++it) {
        if (it.key() != u"database") {
            check(it.key(), it.value(), ruleFor(u"context"_s, it.key()));
            continue;
        }
        if (!it.value().isObject()) {
            problems << u"config.database: deve ser um objeto {\"driver\": ..., \"name\": ...}."_s;
            continue;
        }
        const QJsonObject db = it.value().toObject();
        for (auto entry = db.begin(); entry != db.end(); ++entry)
            check(u"database."_s + entry.key(), entry.value(), ruleFor(u"database"_s, entry.key()));
    }
    if (!problems.isEmpty())
        throw EHostError(u"A configuração do roteiro não pode ser usada:\n"_s + problems.join(u'\n'));

    if (o.contains(u"ModuFili"))
        context.moduFili = o.value(u"ModuFili").toBool();
    if (o.contains(u"FiliProc"))
        context.filiProc = o.value(u"FiliProc").toString();
    if (o.contains(u"NomeFiliProc"))
        context.nomeFiliProc = o.value(u"NomeFiliProc").toString();
    if (o.contains(u"WebURL"))
        context.webUrl = o.value(u"WebURL").toString();
    if (o.contains(u"WebPort"))
        context.webPort = o.value(u"WebPort").toInt();
    if (o.contains(u"DBPict"))
        context.dbPictArvProd = o.value(u"DBPict").toString();
    if (o.contains(u"database")) {
        const QJsonObject db = o.value(u"database").toObject();
        DatabaseConfig next;
        next.driver = db.value(u"driver").toString(next.driver);
        next.name = resolveDatabase(baseDir, next.driver, db.value(u"name").toString());
        next.host = db.value(u"host").toString();
        next.port = db.value(u"port").toInt();
        next.user = db.value(u"user").toString();
        next.password = db.value(u"password").toString();
        next.options = db.value(u"options").toString();
        next.reportUser = db.value(u"report_user").toString(next.reportUser);
        next.reportPassword = db.value(u"report_password").toString();
        next.reportRole = db.value(u"report_role").toString(next.reportRole);
        next.statementTimeout = db.value(u"statement_timeout").toInt(next.statementTimeout);
        next.reportTimeout = db.value(u"report_timeout").toInt(next.reportTimeout);
        database = next;
    }
}

void HostConfig::checkCodeMaskHolds(int longestCode) const
{
    const QString &mask = context.dbPictArvProd;
    const int positions = TMaskEdit::inputPositions(mask);
    if (mask.isEmpty() || positions >= longestCode)
        return;
    refuse(path, {problemLine(u"context"_s, u"DBPict"_s, mask,
                              u"a máscara de códigos da árvore de produtos tem %1 posições, e o banco de dados tem "
                              u"códigos de %2 caracteres: eles seriam cortados nos campos de produto."_s
                                  .arg(positions)
                                  .arg(longestCode))});
}

const HostConfig::Screen *HostConfig::screen(const QString &code) const
{
    for (const Screen &s : screens) {
        if (s.code == code)
            return &s;
    }
    return nullptr;
}
