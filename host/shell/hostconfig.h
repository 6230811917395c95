#pragma once

#include "host_global.h"
#include "corvel.h"
#include "datamodule.h"
#include "reportquery.h"
#include "smtpmail.h"

#include <QJsonObject>
#include <QList>
#include <QString>

// The host's configuration file (INI): host context, shared database, modules and their screens.
struct HOST_EXPORT HostConfig
{
    struct Screen
    {
        QString code;   // the screen's code, as the menu, scripts and the export open it
        QString module; // the module (shared library) whose IniProc opens it
        QString menu;   // "Relatórios/Entradas\/Saídas": menu path, "\/" keeps a slash in a caption
    };

    QString path; // the file it was read from; empty for one made in code
    HostContext context;
    DatabaseConfig database;
    QString modulesDir;
    QString reportsDir;
    QString helpDir;
    QList<Screen> screens;
    // [reports] max_rows: the most rows one report may read, 1 to 10000000 in a file.
    int reportMaxRows = ReportQuery::DefaultMaxRows;
    // [mail] host, port, starttls, user, password, from: the server `backoffice export --mail-to`
    // sends through.
    MailSettings mail;

    // Relative paths are taken from the file's folder. Throws EHostError naming the file, and each
    // section, key and value that cannot be trusted, when the file is missing, unreadable, empty,
    // not UTF-8 text or not an INI file, or holds an unknown key, a port that is not a number from
    // 1 to 65535, a flag that is not true or false, a limit out of its range (time limits 1 to 86400
    // seconds, max_rows 1 to 10000000: 0 would lift the limit), a value a ';' or ',' outside quotes
    // would cut or empty, or a code mask fields cannot use.
    static HostConfig load(const QString &path);
    // The project's default configuration (config/backoffice.ini of the source tree).
    static QString defaultPath();

    // Screen-script "config" overrides: ModuFili, FiliProc, NomeFiliProc, WebURL, WebPort, DBPict,
    // database {driver, name, host, port, user, password}.
    // Values are checked as in a file, and each must have its JSON type (a flag true or false, texts
    // strings); an unknown key is refused. Throws EHostError naming the "config" key.
    void applyOverrides(const QJsonObject &overrides, const QString &baseDir);

    // Throws EHostError, naming the file and DBPict, when the product-tree code mask has fewer
    // positions than `longestCode` (the longest code in the database): every longer code would be
    // cut in the product fields, and a report would run on another range than the one picked.
    void checkCodeMaskHolds(int longestCode) const;

    const Screen *screen(const QString &code) const;
};
