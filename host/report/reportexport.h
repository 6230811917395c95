#pragma once

#include "host_global.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class ReportDocument;
struct ReportModel;

// Writing a report to a file. Every writer builds the whole file under a temporary name in the
// target's folder and only then puts it in place, so a failure (folder read-only, disk full) leaves
// an existing file untouched; failures throw EHostError with a message for the user.
namespace ReportExport {

enum class Format { Pdf, Xlsx, Csv, Html };

// By extension, case-insensitive; nothing for an unknown one.
HOST_EXPORT std::optional<Format> formatOf(const QString &path);
// The save dialog's filter list.
HOST_EXPORT QString fileFilters();
// The file to write for a name given in the save dialog with `filter` chosen there: a name whose
// extension is one of the formats stays as it is; any other name takes the filter's extension (so
// "vendas 01.12" becomes "vendas 01.12.xlsx"). Empty when neither names a format.
HOST_EXPORT QString fileNameFor(const QString &name, const QString &filter);
// The refusal of a file name that names none of the formats, for the user.
HOST_EXPORT QString unsupportedFormat(const QString &path);

// Told how far a writer got (lines or pages written, of `total`) between lines and pages; it throws
// EAbort to stop, and the writer then discards its temporary file: the target stays as it was.
using Progress = std::function<void(qint64 done, qint64 total)>;

// What the user chose beside the file name.
struct Options
{
    // CSV: the title, the filters and the issue time as leading lines (one "Label;value" each) and an
    // empty line before the headings. Off by default: a plain CSV is the headings and the rows.
    bool csvFilters = false;
};

// The save dialog's check box that sets Options::csvFilters.
HOST_EXPORT QString csvFiltersCheckText();

// The page header's filters, one "Label: value" a line, in the header's order; XLSX and HTML start
// with them (under the title), and so does a CSV when asked.
HOST_EXPORT QStringList filterLines(const ReportModel &model);

// The CSV bytes: UTF-8 with BOM, ';' separated, decimal comma, RFC 4180 quoting, CRLF line ends.
// One line per detail row (the group's value first when the report is grouped); no subtotal lines,
// so the file sums correctly in a spreadsheet.
HOST_EXPORT QByteArray csvBytes(const ReportModel &model, const Options &options = {});
HOST_EXPORT QByteArray htmlBytes(const ReportModel &model);

// PDF paints the laid-out pages; CSV, XLSX and HTML are written line by line from the model, so
// they need no page layout and hold no second copy of the report in memory.
HOST_EXPORT void writePdf(const ReportDocument &document, const QString &path, const Progress &progress = {});
HOST_EXPORT void writeCsv(const ReportModel &model, const QString &path, const Progress &progress = {},
                          const Options &options = {});
HOST_EXPORT void writeHtml(const ReportModel &model, const QString &path, const Progress &progress = {});
HOST_EXPORT void writeXlsx(const ReportModel &model, const QString &path, const Progress &progress = {});
// Replaces `path` with `bytes` through a temporary file in the same folder; throws EHostError.
HOST_EXPORT void replaceFile(const QString &path, const QByteArray &bytes);
// True for the formats written from the laid-out pages (PDF).
HOST_EXPORT bool needsPages(Format format);
// By the path's extension; throws EHostError for an unknown one.
HOST_EXPORT void write(const ReportDocument &document, const QString &path, const Progress &progress = {},
                       const Options &options = {});
// The same for the formats written from the model alone; throws EHostError for PDF.
HOST_EXPORT void write(const ReportModel &model, const QString &path, const Progress &progress = {},
                       const Options &options = {});

} // namespace ReportExport
