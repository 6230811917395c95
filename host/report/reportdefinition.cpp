#include "reportdefinition.h"

#include "errors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
QString gReportsDir;

const QMap<QString, SqlDialect> &dialectKeys()
{
    static const QMap<QString, SqlDialect> keys{{QStringLiteral("default"), SqlDialect::Default},
                                                {QStringLiteral("oracle"), SqlDialect::Oracle},
                                                {QStringLiteral("mssql"), SqlDialect::MSSQL},
                                                {QStringLiteral("ib"), SqlDialect::InterBase},
                                                {QStringLiteral("postgresql"), SqlDialect::PostgreSQL}};
    return keys;
}

QString typeName(ReportParamDecl::Type type)
{
    switch (type) {
    case ReportParamDecl::Type::DateTime:
        return QStringLiteral("datetime");
    case ReportParamDecl::Type::Integer:
        return QStringLiteral("integer");
    case ReportParamDecl::Type::Text:
        break;
    }
    return QStringLiteral("string");
}

// SQL may be written as one string or as an array of lines (easier to read in the file).
QString sqlText(const QJsonValue &value)
{
    if (value.isArray()) {
        QStringList lines;
        const QJsonArray array = value.toArray();
        for (const QJsonValue &line : array)
            lines << line.toString();
        return lines.join(u'\n');
    }
    return value.toString();
}

// {"default": [...], "ib": [...]}: a statement per dialect.
QMap<SqlDialect, QString> dialectTexts(const QJsonObject &texts, const QString &title)
{
    QMap<SqlDialect, QString> result;
    for (auto it = texts.begin(); it != texts.end(); ++it) {
        const auto key = dialectKeys().constFind(it.key());
        if (key == dialectKeys().constEnd())
            throw EHostError(QStringLiteral("Dialeto '%1' desconhecido na definição '%2'.").arg(it.key(), title));
        result.insert(key.value(), sqlText(it.value()));
    }
    return result;
}

QJsonObject dialectObject(const QMap<SqlDialect, QString> &texts)
{
    QJsonObject object;
    for (auto it = dialectKeys().begin(); it != dialectKeys().end(); ++it) {
        if (texts.contains(it.value()))
            object.insert(it.key(), QJsonArray::fromStringList(texts.value(it.value()).split(u'\n')));
    }
    return object;
}

// A definition or an index is a few kilobytes: this is far more than any, and little enough to
// read whole.
constexpr qint64 kMostDefinitionBytes = 4 * 1024 * 1024;

// The bytes of a definition or an index: a plain file, read whole. Opened without blocking, so
// that a FIFO in its place does not hang the screen; a FIFO or a device (/dev/zero) is refused
// before anything is read, and so is a file too big to be a definition.
QByteArray readDefinitionFile(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT)
            throw EHostError(QStringLiteral("Arquivo '%1' não encontrado.").arg(path));
        throw EHostError(QStringLiteral("Não foi possível ler '%1': %2")
                             .arg(path, QString::fromLocal8Bit(std::strerror(errno))));
    }
    QFile file;
    file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle);
    struct stat st = {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        throw EHostError(QStringLiteral("Não foi possível ler '%1': não é um arquivo comum (é uma pasta, um "
                                        "dispositivo ou uma fila).")
                             .arg(path));
    const QByteArray bytes = file.read(kMostDefinitionBytes + 1);
    if (st.st_size > kMostDefinitionBytes || bytes.size() > kMostDefinitionBytes)
        throw EHostError(
            QStringLiteral(
                "O arquivo '%1' passa de 4 MB, e uma definição de relatório (ou o seu índice) tem só "
                "alguns kilobytes: ele não foi lido.")
                .arg(path));
    if (file.error() != QFileDevice::NoError)
        throw EHostError(QStringLiteral("Não foi possível ler '%1': %2").arg(path, file.errorString()));
    return bytes;
}

// Why the index entry `file` cannot be used, empty when it can: it must name a file inside the
// reports folder, links included, so that an index cannot make the screen load or run another
// file of the machine.
QString entryProblem(const QString &reportsDir, const QString &catalogFolder, const QString &file)
{
    const QString outside =
        QStringLiteral("fora da pasta de relatórios '%1'").arg(QDir::toNativeSeparators(reportsDir));
    if (QDir::isAbsolutePath(file))
        return QStringLiteral("é um caminho absoluto, %1").arg(outside);
    const QString root = QDir::cleanPath(QDir(reportsDir).absolutePath()) + u'/';
    const QString path = QDir::cleanPath(QDir(catalogFolder).absoluteFilePath(file));
    if (!path.startsWith(root))
        return QStringLiteral("está %1").arg(outside);
    const QString realRoot = QFileInfo(reportsDir).canonicalFilePath() + u'/';
    const QString real = QFileInfo(path).canonicalFilePath();
    if (!real.isEmpty() && !real.startsWith(realRoot))
        return QStringLiteral("é um link que leva %1, a '%2'").arg(outside, QDir::toNativeSeparators(real));
    return {};
}

QJsonObject readJsonObject(const QString &path)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(readDefinitionFile(path), &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        throw EHostError(QStringLiteral("O arquivo '%1' não é uma definição válida: %2")
                             .arg(path, error.error != QJsonParseError::NoError ? error.errorString()
                                                                                : QStringLiteral("objeto esperado")));
    return doc.object();
}
} // namespace

QString ReportDefinition::sqlFor(SqlDialect dialect) const
{
    const auto it = sql.constFind(dialect);
    return it != sql.constEnd() ? it.value() : sql.value(SqlDialect::Default);
}

QString ReportDefinition::summarySqlFor(SqlDialect dialect) const
{
    if (const auto it = summarySql.constFind(dialect); it != summarySql.constEnd())
        return it.value();
    return sql.contains(dialect) ? QString() : summarySql.value(SqlDialect::Default);
}

TParams ReportDefinition::makeParams() const
{
    TParams list;
    for (const ReportParamDecl &decl : params) {
        TParam &param = list.CreateParam(decl.name);
        if (!decl.defaultValue.isValid())
            continue;
        if (decl.type == ReportParamDecl::Type::Integer)
            param.SetAsInteger(decl.defaultValue.toLongLong());
        else
            param.SetAsString(decl.defaultValue.toString());
    }
    return list;
}

ReportDefinition ReportDefinition::fromJson(const QJsonObject &object)
{
    ReportDefinition def;
    def.title = object.value(u"title").toString();
    if (def.title.isEmpty())
        throw EHostError(QStringLiteral("A definição não tem título."));
    const QJsonArray params = object.value(u"params").toArray();
    for (const QJsonValue &value : params) {
        const QJsonObject p = value.toObject();
        ReportParamDecl decl;
        decl.name = p.value(u"name").toString();
        if (decl.name.isEmpty())
            throw EHostError(QStringLiteral("Parâmetro sem nome na definição '%1'.").arg(def.title));
        const QString type = p.value(u"type").toString(QStringLiteral("string"));
        if (type == u"datetime")
            decl.type = ReportParamDecl::Type::DateTime;
        else if (type == u"integer")
            decl.type = ReportParamDecl::Type::Integer;
        else if (type != u"string")
            throw EHostError(QStringLiteral("Tipo '%1' desconhecido no parâmetro '%2'.").arg(type, decl.name));
        if (const QJsonValue value = p.value(u"default"); !value.isUndefined() && !value.isNull()) {
            if (decl.type == ReportParamDecl::Type::DateTime ||
                (decl.type == ReportParamDecl::Type::Integer && !value.isDouble()))
                throw EHostError(QStringLiteral("O valor padrão do parâmetro '%1' não é do seu tipo.").arg(decl.name));
            decl.defaultValue = value.toVariant();
        }
        def.params << decl;
    }
    def.sql = dialectTexts(object.value(u"sql").toObject(), def.title);
    if (def.sql.value(SqlDialect::Default).trimmed().isEmpty())
        throw EHostError(QStringLiteral("A definição '%1' não tem SQL.").arg(def.title));
    QJsonObject summary = object.value(u"summary").toObject();
    def.summaryTable = summary.take(u"table").toString();
    def.summarySql = dialectTexts(summary, def.title);
    if (def.summaryTable.isEmpty() != def.summarySql.isEmpty())
        throw EHostError(QStringLiteral("O resumo da definição '%1' precisa da tabela e do SQL.").arg(def.title));
    def.layout = object;
    def.layout.remove(u"title");
    def.layout.remove(u"params");
    def.layout.remove(u"sql");
    def.layout.remove(u"summary");
    return def;
}

QJsonObject ReportDefinition::toJson() const
{
    QJsonObject object = layout;
    object.insert(u"title", title);
    QJsonArray paramArray;
    for (const ReportParamDecl &decl : params) {
        QJsonObject param{{QStringLiteral("name"), decl.name}, {QStringLiteral("type"), typeName(decl.type)}};
        if (decl.defaultValue.isValid())
            param.insert(QStringLiteral("default"), QJsonValue::fromVariant(decl.defaultValue));
        paramArray.append(param);
    }
    object.insert(u"params", paramArray);
    object.insert(u"sql", dialectObject(sql));
    if (!summarySql.isEmpty()) {
        QJsonObject summary = dialectObject(summarySql);
        summary.insert(u"table", summaryTable);
        object.insert(u"summary", summary);
    }
    return object;
}

ReportDefinition ReportDefinition::load(const QString &path)
{
    return fromJson(readJsonObject(path));
}

ReportCatalog ReportCatalog::load(const QString &reportsDir, const QString &reportCode)
{
    ReportCatalog catalog;
    catalog.mFolder = QDir(reportsDir).filePath(reportCode);
    const QJsonObject index = readJsonObject(QDir(catalog.mFolder).filePath(QStringLiteral("index.json")));
    const QJsonArray reports = index.value(u"reports").toArray();
    for (const QJsonValue &value : reports) {
        const QJsonObject r = value.toObject();
        catalog.mEntries.append({r.value(u"title").toString(), r.value(u"file").toString()});
        const Entry &entry = catalog.mEntries.last();
        if (const QString why = entryProblem(reportsDir, catalog.mFolder, entry.file); !why.isEmpty())
            throw EHostError(
                QStringLiteral(
                    "O índice de relatórios '%1' não foi usado: o arquivo '%2' do relatório \"%3\" %4.")
                    .arg(QDir::toNativeSeparators(
                             QDir(catalog.mFolder).filePath(QStringLiteral("index.json"))),
                         entry.file, entry.title, why));
    }
    return catalog;
}

QString ReportCatalog::pathOf(int index) const
{
    if (index < 0 || index >= mEntries.size())
        return {};
    return QDir(mFolder).filePath(mEntries.at(index).file);
}

QString reportsDirectory()
{
    return gReportsDir.isEmpty() ? QStringLiteral(BO_SOURCE_DIR "/reports") : gReportsDir;
}

void setReportsDirectory(const QString &dir)
{
    gReportsDir = dir;
}
