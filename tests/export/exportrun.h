#pragma once

// `backoffice export` run in this process, its standard output and error read back.

#include "exportcommand.h"

#include <QString>
#include <QStringList>
#include <cstdio>

namespace exportrun {

inline QString readStream(FILE *stream)
{
    std::rewind(stream);
    QByteArray bytes;
    char buffer[4096];
    while (const size_t n = std::fread(buffer, 1, sizeof buffer, stream))
        bytes.append(buffer, qsizetype(n));
    std::fclose(stream);
    return QString::fromUtf8(bytes);
}

struct Outcome
{
    int status = -1;
    QString out;
    QString err;
};

inline Outcome run(const QStringList &arguments)
{
    FILE *out = std::tmpfile();
    FILE *err = std::tmpfile();
    Outcome o;
    o.status = ExportCommand::run(arguments, out, err);
    o.out = readStream(out);
    o.err = readStream(err);
    return o;
}

} // namespace exportrun
