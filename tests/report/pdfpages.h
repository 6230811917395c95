#pragma once

// Reading report pages back from a PDF as pdftotext -layout lays them out.

#include <QString>
#include <QStringList>

namespace enginetest {

// The lines of a page's body, spaces simplified: after the column headings (the line from
// `firstHeading` to `lastHeading`), before the footer ("Página n de N").
inline QStringList pdfBodyLines(const QString &pageText, const QString &firstHeading, const QString &lastHeading)
{
    QStringList body;
    bool inBody = false;
    for (const QString &line : pageText.split(u'\n')) {
        const QString text = line.simplified();
        if (text.isEmpty())
            continue;
        if (!inBody && text.startsWith(firstHeading) && text.contains(lastHeading)) {
            inBody = true;
            continue;
        }
        if (text.contains(u"Página "))
            break;
        if (inBody)
            body << text;
    }
    return body;
}

} // namespace enginetest
