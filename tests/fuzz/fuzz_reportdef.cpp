// Report definition loader: any JSON either loads or is refused with EHostError, and what a loaded
// definition saves loads back with the same title, parameters, SQL and layout.
#include "errors.h"
#include "fuzzsupport.h"
#include "reportdefinition.h"

#include <QJsonDocument>
#include <exception>

namespace {
ReportDefinition load(const QJsonObject &object, const QByteArray &input, bool *refused)
{
    try {
        return ReportDefinition::fromJson(object);
    } catch (const EHostError &) {
        *refused = true;
    } catch (const std::exception &e) {
        fuzz::fail("fromJson: exception other than EHostError", QString::fromUtf8(e.what()) + u" in "_s + QString::fromUtf8(input));
    } catch (...) {
        fuzz::fail("fromJson: non-standard exception", QString::fromUtf8(input));
    }
    return {};
}

QString describe(const ReportDefinition &def)
{
    return QString::fromUtf8(QJsonDocument(def.toJson()).toJson(QJsonDocument::Compact));
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(bytes), qsizetype(size));
    const QJsonDocument doc = QJsonDocument::fromJson(input);
    if (!doc.isObject())
        return 0;
    bool refused = false;
    const ReportDefinition def = load(doc.object(), input, &refused);
    if (refused)
        return 0;

    fuzz::check(!def.title.isEmpty(), "loaded definition without title");
    fuzz::check(!def.sqlFor(SqlDialect::Default).trimmed().isEmpty(), "loaded definition without SQL");
    for (const QString &key : {QStringLiteral("title"), QStringLiteral("params"), QStringLiteral("sql")})
        fuzz::check(!def.layout.contains(key), "layout keeps a key the loader reads", key);
    const TParams params = def.makeParams();
    fuzz::check(params.Count() <= def.params.size(), "more parameters made than declared");

    bool again = false;
    const QJsonObject saved = def.toJson();
    const ReportDefinition back = load(saved, input, &again);
    fuzz::check(!again, "saved definition is refused", describe(def));
    fuzz::check(back.title == def.title, "title changes on save and load", describe(def));
    fuzz::check(back.params.size() == def.params.size(), "parameter count changes", describe(def));
    for (qsizetype i = 0; i < def.params.size(); ++i)
        fuzz::check(back.params.at(i).name == def.params.at(i).name && back.params.at(i).type == def.params.at(i).type,
                    "parameter changes on save and load", describe(def));
    fuzz::check(back.sql == def.sql, "SQL changes on save and load", describe(def));
    fuzz::check(back.layout == def.layout, "layout changes on save and load", describe(def));
    // The written file is read as the same object.
    const QJsonDocument reread = QJsonDocument::fromJson(QJsonDocument(saved).toJson(QJsonDocument::Indented));
    fuzz::check(reread.object() == saved, "saved JSON text reads back differently", describe(def));
    return 0;
}
