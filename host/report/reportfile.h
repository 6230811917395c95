#pragma once

#include "host_global.h"

#include <QByteArray>
#include <QString>
#include <memory>

class QIODevice;

// The one way a report file (or a report definition, or a screenshot) reaches the disk, whatever
// the format.
//
// The target is checked first (a name too long, a folder missing, a folder in its place, a device,
// an existing file its user could not write). The path is walked one folder at a time, each held
// open, and a symbolic link is followed only when it and every folder on the way to it belong to
// this user or to root: a link another user planted (in a shared folder such as /tmp, or in a
// folder of theirs) is refused, as the kernel's protected-symlinks rule would. The bytes then go
// to a temporary file made in the held folder with the final file's mode from the start, which
// commit() flushes, syncs and renames over the target in that same folder, syncing the folder too.
// Destroyed before commit() (a failure, a cancel) it removes the temporary file, and so does
// SIGTERM, SIGHUP or SIGINT before the process ends by it (its handler is put back in front of one
// a library installed since, as libfbclient does; an ignored signal stays ignored): the target
// stays as it was. A temporary
// left by an export that was killed otherwise is removed by the next export into the same folder
// once its process is gone.
//
// Every failure throws EHostError with "Não foi possível gravar o arquivo '<target>'." and the same
// reason for the same cause in every format.
class HOST_EXPORT ReportFile
{
public:
    explicit ReportFile(const QString &path);
    ~ReportFile();
    ReportFile(const ReportFile &) = delete;
    ReportFile &operator=(const ReportFile &) = delete;

    // Buffered; a failed write throws at once.
    void append(const QByteArray &bytes);
    void append(const QString &text) { append(text.toUtf8()); }
    // Unbuffered device onto the temporary file, for a writer that wants one (QPdfWriter). A failed
    // write is kept and thrown by commit().
    QIODevice &device();
    // For a library that opens the file by name (libxlsxwriter): it writes this path, and commit()
    // puts what it wrote in place.
    QString temporaryPath() const;
    void commit();
    // Throws when a write through device() failed.
    void check() const;

    // Throws the message for this target; `error` an errno value (0: `detail` alone).
    [[noreturn]] void fail(int error, const QString &detail = {}) const;

    // The reason shown for an errno value met while writing into `folder`.
    static QString reason(int error, const QString &folder);
    // True for a temporary this class makes; `pid` gets the process that made it.
    static bool isTemporaryName(const QString &fileName, qint64 *pid = nullptr);
    // Removes the temporaries in `folder` whose process is gone; answers how many.
    static int removeStaleTemporaries(const QString &folder);

private:
    struct Private;
    std::unique_ptr<Private> d;
};
