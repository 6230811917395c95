#include "hostconfig.h"

#include "errors.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace {
QString resolve(const QString &baseDir, const QString &path)
{
    if (path.isEmpty() || QDir::isAbsolutePath(path) || path == u":memory:" || path.contains(u':'))
        return path; // absolute, in-memory, or "host:path" of a database server
    return QDir(baseDir).absoluteFilePath(path);
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
    if (ini.status() != QSettings::NoError)
        throw EHostError(QStringLiteral("Arquivo de configuração '%1' inválido.").arg(path));
    const QString base = QFileInfo(path).absolutePath();

    HostConfig config;
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
    config.database.name = resolve(base, ini.value(QStringLiteral("name")).toString());
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
        next.name = resolve(baseDir, db.value(u"name").toString());
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

const HostConfig::Screen *HostConfig::screen(const QString &code) const
{
    for (const Screen &s : screens) {
        if (s.code == code)
            return &s;
    }
    return nullptr;
}
