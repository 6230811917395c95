#pragma once

#include "host_global.h"
#include "corvel.h"
#include "datamodule.h"
#include "reportrunner.h"

#include <QJsonObject>
#include <QList>
#include <QString>

// The host's configuration file (INI): host context, shared database, modules and their screens.
struct HOST_EXPORT HostConfig
{
    struct Screen
    {
        QString code;   // "Vnd02500"
        QString module; // "Pkg_Vnd02500"
        QString menu;   // "Relatórios/Vendas por Dia\/Hora": menu path, "\/" keeps a slash in a caption
    };

    HostContext context;
    DatabaseConfig database;
    QString modulesDir;
    QString reportsDir;
    QString helpDir;
    QList<Screen> screens;
    // [reports] max_rows: the most rows one report may read; 0 for no limit.
    int reportMaxRows = ReportQuery::DefaultMaxRows;

    // Relative paths are taken from the file's folder. Throws EHostError when the file is missing.
    static HostConfig load(const QString &path);
    // The project's default configuration (config/backoffice.ini of the source tree).
    static QString defaultPath();

    // Screen-script "config" overrides: ModuFili, FiliProc, NomeFiliProc, WebURL, WebPort, DBPict,
    // database {driver, name, host, port, user, password}.
    void applyOverrides(const QJsonObject &overrides, const QString &baseDir);

    const Screen *screen(const QString &code) const;
};
