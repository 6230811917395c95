#include "reportexport.h"

#include "errors.h"
#include "reportdocument.h"
#include "uiservices.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QUuid>
#include <algorithm>
#include <cmath>
#include <filesystem>

#ifdef BO_HAVE_XLSXWRITER
#include <xlsxwriter.h>
#endif

using namespace Qt::StringLiterals;

namespace {

QString shown(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

[[noreturn]] void failWrite(const QString &path, const QString &reason)
{
    throw EHostError(u"Não foi possível gravar o arquivo '%1'.\n%2\nO arquivo anterior, se existia, não foi alterado."_s
                         .arg(shown(path), reason));
}

// A file written in pieces under a temporary name: the target is replaced only by commit(). Destroyed
// before that (a failure, a cancel) it removes the temporary file and the target stays as it was.
class StreamedFile
{
public:
    explicit StreamedFile(const QString &path) : mPath(path), mFile(path)
    {
        if (!mFile.open(QIODevice::WriteOnly))
            failWrite(mPath, mFile.errorString());
    }
    void append(const QByteArray &bytes)
    {
        mBuffer += bytes;
        if (mBuffer.size() >= (1 << 16))
            writeBuffer();
    }
    void append(const QString &text) { append(text.toUtf8()); }
    void commit()
    {
        writeBuffer();
        // The explicit flush matters: QSaveFile::commit() does not notice a failure of the final
        // buffered write (disk full), and would put a truncated file in place of the old one.
        if (!mFile.flush())
            fail();
        if (!mFile.commit())
            failWrite(mPath, mFile.errorString());
    }

private:
    void writeBuffer()
    {
        if (mFile.write(mBuffer) != mBuffer.size())
            fail();
        mBuffer.clear();
    }
    [[noreturn]] void fail()
    {
        const QString reason = mFile.errorString();
        mFile.cancelWriting();
        failWrite(mPath, reason);
    }

    QString mPath;
    QSaveFile mFile;
    QByteArray mBuffer;
};

// Every this many lines the writers tell their progress (and learn of a cancel).
constexpr int kProgressLines = 2000;

void tell(const ReportExport::Progress &progress, qint64 done, qint64 total)
{
    if (progress)
        progress(done, total);
}

} // namespace

namespace ReportExport {

void replaceFile(const QString &path, const QByteArray &bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        failWrite(path, file.errorString());
    // The explicit flush matters: QSaveFile::commit() does not notice a failure of the final
    // buffered write (disk full), and would put a truncated file in place of the old one.
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        failWrite(path, reason);
    }
    if (!file.commit())
        failWrite(path, file.errorString());
}

} // namespace ReportExport

namespace {

QString csvField(const QString &text)
{
    if (!text.contains(u';') && !text.contains(u'"') && !text.contains(u'\r') && !text.contains(u'\n'))
        return text;
    QString quoted = text;
    quoted.replace(u"\""_s, u"\"\""_s);
    return u'"' + quoted + u'"';
}

QString htmlCell(const QString &tag, const QString &text, bool right, const QString &cls = {})
{
    QString attrs;
    if (right || !cls.isEmpty()) {
        QStringList classes;
        if (right)
            classes << u"n"_s;
        if (!cls.isEmpty())
            classes << cls;
        attrs = u" class=\"%1\""_s.arg(classes.join(u' '));
    }
    return u"<%1%2>%3</%1>"_s.arg(tag, attrs, text.toHtmlEscaped());
}

} // namespace

namespace ReportExport {

std::optional<Format> formatOf(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == u"pdf")
        return Format::Pdf;
    if (suffix == u"xlsx")
        return Format::Xlsx;
    if (suffix == u"csv")
        return Format::Csv;
    if (suffix == u"html" || suffix == u"htm")
        return Format::Html;
    return std::nullopt;
}

QString fileFilters()
{
    return u"Documento PDF (*.pdf);;Planilha Excel (*.xlsx);;Texto separado por ponto e vírgula (*.csv);;"
           u"Página HTML (*.html *.htm)"_s;
}

QString fileNameFor(const QString &name, const QString &filter)
{
    if (formatOf(name))
        return name;
    QString base = name;
    while (base.endsWith(u'.'))
        base.chop(1); // "vendas." means no extension, not an empty one
    for (const QString &suffix : filterSuffixes(filter)) {
        const QString withSuffix = base + u'.' + suffix;
        if (formatOf(withSuffix))
            return withSuffix;
    }
    return {};
}


namespace {

// The leading lines of a CSV asked with its filters: the title alone, "Label;value" per filter and
// the issue time, then an empty line, so a reader (or a program skipping to the first empty line)
// finds the headings after it.
QString csvFilterLines(const ReportModel &model)
{
    QString text = csvField(model.title) + u"\r\n"_s;
    for (const auto &filter : model.filters)
        text += csvField(filter.first) + u';' + csvField(filter.second) + u"\r\n"_s;
    text += u"Emitido em;"_s + model.issued.toString(u"dd/MM/yyyy HH:mm"_s) + u"\r\n\r\n"_s;
    return text;
}

QString csvHeading(const ReportLayout &layout)
{
    QStringList heading;
    if (layout.grouped())
        heading << csvField(layout.groupLabel);
    for (const ReportColumn &column : layout.columns)
        heading << csvField(column.label);
    return heading.join(u';') + u"\r\n"_s;
}

QString csvLine(const ReportLayout &layout, const ReportLine &line)
{
    QStringList fields;
    if (layout.grouped())
        fields << csvField(line.groupValue);
    for (qsizetype c = 0; c < layout.columns.size(); ++c)
        fields << csvField(ReportFormat::cell(layout.columns.at(c), line.values.value(c), line.ends.value(c), false));
    return fields.join(u';') + u"\r\n"_s;
}

// A4 body width at the page layout's 300 dpi: the chart is drawn as wide as on paper.
QSize chartSize(const ReportModel &model)
{
    const QSizeF a4 = QPageSize(QPageSize::A4).size(QPageSize::Millimeter);
    const qreal paperMm = model.layout.landscape ? a4.height() : a4.width();
    const int width = qRound((paperMm - 24) * ReportDocument::Dpi / 25.4);
    return {width, qRound(width * 0.28)};
}

QString htmlHead(const ReportModel &model)
{
    QString html;
    html += u"<!DOCTYPE html>\n<html lang=\"pt-BR\">\n<head>\n<meta charset=\"utf-8\">\n<title>"_s +
            model.title.toHtmlEscaped() + u"</title>\n"_s;
    html += u"<style>\nbody{font-family:'DejaVu Sans',Arial,sans-serif;font-size:10pt;color:#202020;margin:24px}\n"
            u"h1{font-size:16pt;color:#1F4E79;margin:0 0 4px}\n.meta{color:#606060;font-size:8.5pt;margin-bottom:10px}\n"
            u"table{border-collapse:collapse;width:100%}\nth{background:#DCE6F1;color:#1F4E79;text-align:left;padding:3px 6px}\n"
            u"td{padding:3px 6px}\n.meta .f{margin:1px 0}\n.n{text-align:right}\ntr.g td{background:#EEF2F7;color:#1F4E79;font-weight:bold}\n"
            u"tr.s td{font-weight:bold;border-top:1px solid #1F4E79}\ntr.t td{font-weight:bold;background:#C9D7E8;"
            u"border-top:1px solid #1F4E79}\ntbody tr.d:nth-child(even) td{background:#F7F7F7}\nimg{max-width:100%}\n"
            u"</style>\n</head>\n<body>\n"_s;
    // One line per filter, as filterLines() gives them (the derived periods of a comparison included).
    html += u"<h1>"_s + model.title.toHtmlEscaped() + u"</h1>\n<div class=\"meta\">\n"_s;
    for (const auto &filter : model.filters)
        html += u"<div class=\"f\"><b>%1:</b> %2</div>\n"_s.arg(filter.first.toHtmlEscaped(), filter.second.toHtmlEscaped());
    html += u"<div class=\"f\">Emitido em "_s + model.issued.toString(u"dd/MM/yyyy HH:mm"_s) + u"</div>\n</div>\n"_s;
    if (model.layout.hasChart() && model.detailCount > 0) {
        const QSize size = chartSize(model);
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        renderReportChart(model, size.width(), size.height()).save(&buffer, "PNG");
        html += u"<p><img alt=\"Gráfico\" src=\"data:image/png;base64,"_s + QString::fromLatin1(png.toBase64()) +
                u"\"></p>\n"_s;
    }
    if (model.detailCount == 0) {
        html += u"<p><b>"_s + model.layout.emptyText.toHtmlEscaped() + u"</b></p>\n"_s;
    } else {
        html += u"<table>\n<thead><tr>"_s;
        for (const ReportColumn &column : model.layout.columns)
            html += htmlCell(u"th"_s, column.label, column.numeric());
        html += u"</tr></thead>\n<tbody>\n"_s;
    }
    return html;
}

QString htmlLine(const ReportLayout &layout, const ReportLine &line)
{
    const int columns = int(layout.columns.size());
    QString html;
    switch (line.kind) {
    case ReportLine::Kind::GroupHeader:
        html += u"<tr class=\"g\"><td colspan=\"%1\">%2</td></tr>\n"_s.arg(columns).arg(line.caption.toHtmlEscaped());
        break;
    case ReportLine::Kind::Detail:
        html += u"<tr class=\"d\">"_s;
        for (int c = 0; c < columns; ++c)
            html += htmlCell(u"td"_s, ReportFormat::cell(layout.columns.at(c), line.values.value(c), line.ends.value(c)),
                             layout.columns.at(c).numeric());
        html += u"</tr>\n"_s;
        break;
    case ReportLine::Kind::Subtotal:
    case ReportLine::Kind::Total:
        html += line.kind == ReportLine::Kind::Total ? u"<tr class=\"t\">"_s : u"<tr class=\"s\">"_s;
        for (int c = 0; c < columns; ++c) {
            const ReportColumn &column = layout.columns.at(c);
            html += htmlCell(u"td"_s,
                             c == 0 && !column.numeric()
                                 ? (line.kind == ReportLine::Kind::Total ? line.caption : u"Subtotal "_s + layout.groupLabel)
                                 : ReportFormat::cell(column, line.values.value(c)),
                             column.numeric());
        }
        html += u"</tr>\n"_s;
        break;
    }
    return html;
}

QString htmlTail(const ReportModel &model)
{
    return (model.detailCount == 0 ? QString() : u"</tbody>\n</table>\n"_s) + u"</body>\n</html>\n"_s;
}

} // namespace

QString csvFiltersCheckText()
{
    return u"Incluir título e filtros no início do arquivo CSV"_s;
}

QStringList filterLines(const ReportModel &model)
{
    QStringList lines;
    for (const auto &filter : model.filters)
        lines << filter.first + u": "_s + filter.second;
    return lines;
}

QByteArray csvBytes(const ReportModel &model, const Options &options)
{
    QByteArray bytes("\xEF\xBB\xBF"); // Excel reads UTF-8 only with the BOM
    if (options.csvFilters)
        bytes += csvFilterLines(model).toUtf8();
    bytes += csvHeading(model.layout).toUtf8();
    for (const ReportLine &line : model.lines) {
        if (line.kind == ReportLine::Kind::Detail)
            bytes += csvLine(model.layout, line).toUtf8();
    }
    return bytes;
}

QByteArray htmlBytes(const ReportModel &model)
{
    QByteArray bytes = htmlHead(model).toUtf8();
    if (model.detailCount > 0) {
        for (const ReportLine &line : model.lines)
            bytes += htmlLine(model.layout, line).toUtf8();
    }
    bytes += htmlTail(model).toUtf8();
    return bytes;
}

QByteArray htmlBytes(const ReportDocument &document)
{
    return htmlBytes(document.model());
}

void writePdf(const ReportDocument &document, const QString &path, const Progress &progress)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        failWrite(path, file.errorString());
    // Page by page rather than paint(): a cancel between pages ends the writer, and QSaveFile's
    // destructor then drops the temporary file.
    const int pages = document.pageCount();
    bool painted = false;
    {
        QPdfWriter writer(&file);
        writer.setResolution(ReportDocument::Dpi);
        writer.setTitle(document.model().title);
        writer.setCreator(u"Retaguarda"_s);
        writer.setPageLayout(document.pageLayout());
        QPainter painter;
        painted = painter.begin(&writer);
        for (int page = 0; painted && page < pages; ++page) {
            tell(progress, page, pages);
            if (page > 0 && !writer.newPage())
                painted = false;
            else
                document.paintPage(&painter, page);
        }
        if (painted)
            painted = painter.end();
    }
    if (!painted || !file.flush()) {
        const QString reason = painted ? file.errorString() : u"Falha ao gerar o PDF."_s;
        file.cancelWriting();
        failWrite(path, reason);
    }
    tell(progress, pages, pages);
    if (!file.commit())
        failWrite(path, file.errorString());
}

void writeCsv(const ReportModel &model, const QString &path, const Progress &progress, const Options &options)
{
    StreamedFile file(path);
    file.append(QByteArray("\xEF\xBB\xBF"));
    if (options.csvFilters)
        file.append(csvFilterLines(model));
    file.append(csvHeading(model.layout));
    const qint64 total = model.lines.size();
    for (qint64 i = 0; i < total; ++i) {
        if (i % kProgressLines == 0)
            tell(progress, i, total);
        const ReportLine &line = model.lines.at(i);
        if (line.kind == ReportLine::Kind::Detail)
            file.append(csvLine(model.layout, line));
    }
    tell(progress, total, total);
    file.commit();
}

void writeHtml(const ReportModel &model, const QString &path, const Progress &progress)
{
    StreamedFile file(path);
    file.append(htmlHead(model));
    const qint64 total = model.detailCount > 0 ? model.lines.size() : 0;
    for (qint64 i = 0; i < total; ++i) {
        if (i % kProgressLines == 0)
            tell(progress, i, total);
        file.append(htmlLine(model.layout, model.lines.at(i)));
    }
    file.append(htmlTail(model));
    tell(progress, total, total);
    file.commit();
}

#ifdef BO_HAVE_XLSXWRITER
namespace {

// Owns the workbook until it is closed, so that every error path frees it.
struct Workbook
{
    lxw_workbook *book = nullptr;
    ~Workbook()
    {
        if (book)
            workbook_close(book);
    }
    lxw_error close()
    {
        lxw_workbook *b = book;
        book = nullptr;
        return workbook_close(b);
    }
};

std::string utf8(const QString &text)
{
    return text.toStdString();
}

QString columnName(int column)
{
    QString name;
    ++column;
    while (column > 0) {
        const int rest = (column - 1) % 26;
        name.prepend(QChar(u'A' + rest));
        column = (column - 1) / 26;
    }
    return name;
}

// The temporary workbook is removed unless it was put in place: a cancel or a failure midway
// leaves no file behind.
struct TemporaryFile
{
    QString path;
    bool kept = false;
    ~TemporaryFile()
    {
        if (!kept)
            QFile::remove(path);
    }
};

// The value a cell holds: rounded as the report prints it, so that the sheet sums what the reader
// sees; percentages as fractions, for the spreadsheet's percentage format.
double cellNumber(const ReportColumn &column, double value)
{
    switch (column.type) {
    case ReportColumn::Type::Integer:
        return std::round(value);
    case ReportColumn::Type::Percent:
        return std::round(value * 100.0) / 10000.0;
    default: {
        const double scale = std::pow(10.0, column.decimals());
        return std::round(value * scale) / scale;
    }
    }
}

} // namespace

void writeXlsx(const ReportModel &model, const QString &path, const Progress &progress)
{
    const QFileInfo target(path);
    TemporaryFile temporary{target.absoluteDir().filePath(
        u".%1.%2.xlsx"_s.arg(target.completeBaseName(), QUuid::createUuid().toString(QUuid::Id128).left(8)))};
    const std::string temporaryName = QFile::encodeName(temporary.path).toStdString();
    const ReportLayout &layout = model.layout;
    {
        Workbook wb;
        // Constant memory: each row goes to disk when the next one starts, so a long report is
        // not held a second time as cells (strings are then written inline).
        lxw_workbook_options options{};
        options.constant_memory = LXW_TRUE;
        wb.book = workbook_new_opt(temporaryName.c_str(), &options);
        if (!wb.book)
            failWrite(path, u"Falha ao criar a planilha."_s);
        lxw_worksheet *sheet = workbook_add_worksheet(wb.book, "Relatório");
        lxw_format *title = workbook_add_format(wb.book);
        format_set_bold(title);
        format_set_font_size(title, 14);
        format_set_font_color(title, 0x1F4E79);
        lxw_format *meta = workbook_add_format(wb.book);
        format_set_font_color(meta, 0x606060);
        lxw_format *heading = workbook_add_format(wb.book);
        format_set_bold(heading);
        format_set_bg_color(heading, 0xDCE6F1);
        format_set_font_color(heading, 0x1F4E79);
        format_set_bottom(heading, LXW_BORDER_THIN);
        lxw_format *headingRight = workbook_add_format(wb.book);
        format_set_bold(headingRight);
        format_set_bg_color(headingRight, 0xDCE6F1);
        format_set_font_color(headingRight, 0x1F4E79);
        format_set_bottom(headingRight, LXW_BORDER_THIN);
        format_set_align(headingRight, LXW_ALIGN_RIGHT);
        lxw_format *dateFormat = workbook_add_format(wb.book);
        format_set_num_format(dateFormat, "dd/mm/yyyy");
        auto numberFormat = [&wb](const ReportColumn &column, bool bold) {
            lxw_format *f = workbook_add_format(wb.book);
            switch (column.type) {
            case ReportColumn::Type::Integer:
                format_set_num_format(f, "#,##0");
                break;
            case ReportColumn::Type::Number:
                format_set_num_format(f, "#,##0.000");
                break;
            case ReportColumn::Type::Percent:
                format_set_num_format(f, "0.00%");
                break;
            default:
                format_set_num_format(f, "#,##0.00");
                break;
            }
            if (bold) {
                format_set_bold(f);
                format_set_bg_color(f, 0xC9D7E8);
                format_set_top(f, LXW_BORDER_THIN);
            }
            return f;
        };
        lxw_format *totalText = workbook_add_format(wb.book);
        format_set_bold(totalText);
        format_set_bg_color(totalText, 0xC9D7E8);
        format_set_top(totalText, LXW_BORDER_THIN);

        const int offset = layout.grouped() ? 1 : 0;
        const int columns = int(layout.columns.size()) + offset;
        QList<lxw_format *> plainFormats, totalFormats;
        for (const ReportColumn &column : layout.columns) {
            plainFormats << (column.numeric() ? numberFormat(column, false) : nullptr);
            totalFormats << (column.numeric() ? numberFormat(column, true) : totalText);
        }

        // The title, then one row per filter line of the page header and the issue time.
        worksheet_write_string(sheet, 0, 0, utf8(model.title).c_str(), title);
        lxw_row_t metaRow = 1;
        for (const QString &line : filterLines(model))
            worksheet_write_string(sheet, metaRow++, 0, utf8(line).c_str(), meta);
        worksheet_write_string(sheet, metaRow++,
                               0, utf8(u"Emitido em "_s + model.issued.toString(u"dd/MM/yyyy HH:mm"_s)).c_str(), meta);
        // an empty row before the headings, which stay on row 5 when there are few filters
        const lxw_row_t headingRow = std::max<lxw_row_t>(4, metaRow + 1);
        if (layout.grouped()) {
            worksheet_write_string(sheet, headingRow, 0, utf8(layout.groupLabel).c_str(), heading);
            worksheet_set_column(sheet, 0, 0, 34, nullptr);
        }
        for (qsizetype c = 0; c < layout.columns.size(); ++c) {
            const ReportColumn &column = layout.columns.at(c);
            const lxw_col_t col = lxw_col_t(c + offset);
            worksheet_write_string(sheet, headingRow, col, utf8(column.label).c_str(),
                                   column.numeric() ? headingRight : heading);
            worksheet_set_column(sheet, col, col, std::max(10.0, column.width * 9), nullptr);
        }
        worksheet_freeze_panes(sheet, headingRow + 1, 0);

        lxw_row_t row = headingRow + 1;
        const qint64 lineCount = model.lines.size();
        for (qint64 i = 0; i < lineCount; ++i) {
            if (i % kProgressLines == 0)
                tell(progress, i, lineCount);
            const ReportLine &line = model.lines.at(i);
            if (line.kind != ReportLine::Kind::Detail)
                continue;
            if (layout.grouped())
                worksheet_write_string(sheet, row, 0, utf8(line.groupValue).c_str(), nullptr);
            for (qsizetype c = 0; c < layout.columns.size(); ++c) {
                const ReportColumn &column = layout.columns.at(c);
                const lxw_col_t col = lxw_col_t(c + offset);
                const QVariant value = line.values.value(c);
                if (value.isNull() || !value.isValid())
                    continue;
                if (column.numeric()) {
                    worksheet_write_number(sheet, row, col, cellNumber(column, value.toDouble()), plainFormats.at(c));
                } else if (column.type == ReportColumn::Type::Date && ReportFormat::toDate(value).isValid()) {
                    const QDate d = ReportFormat::toDate(value);
                    lxw_datetime dt{d.year(), d.month(), d.day(), 0, 0, 0};
                    worksheet_write_datetime(sheet, row, col, &dt, dateFormat);
                } else {
                    worksheet_write_string(sheet, row, col, utf8(ReportFormat::cell(column, value, line.ends.value(c))).c_str(),
                                           nullptr);
                }
            }
            ++row;
        }
        if (const ReportLine *total = model.totalLine()) {
            const lxw_row_t first = headingRow + 1;
            const lxw_row_t last = row - 1;
            for (int col = 0; col < columns; ++col)
                worksheet_write_blank(sheet, row, lxw_col_t(col), totalText);
            worksheet_write_string(sheet, row, 0, "Total geral", totalText);
            for (qsizetype c = 0; c < layout.columns.size(); ++c) {
                const ReportColumn &column = layout.columns.at(c);
                const lxw_col_t col = lxw_col_t(c + offset);
                const QVariant value = total->values.value(c);
                if (column.total == ReportColumn::Total::Sum) {
                    // A formula, so the total follows when someone edits a value; the cached
                    // result is shown by viewers that do not calculate.
                    const QString letter = columnName(col);
                    const QString formula = u"=SUM(%1%2:%1%3)"_s.arg(letter).arg(first + 1).arg(last + 1);
                    worksheet_write_formula_num(sheet, row, col, utf8(formula).c_str(), totalFormats.at(c),
                                                cellNumber(column, value.toDouble()));
                } else if (column.total == ReportColumn::Total::Ratio && value.isValid() && !value.isNull()) {
                    worksheet_write_number(sheet, row, col, cellNumber(column, value.toDouble()), totalFormats.at(c));
                }
            }
        }
        tell(progress, lineCount, lineCount);
        const lxw_error error = wb.close();
        if (error != LXW_NO_ERROR)
            failWrite(path, QString::fromUtf8(lxw_strerror(error)));
    }
    std::error_code ec;
    std::filesystem::rename(std::filesystem::path(temporaryName), std::filesystem::path(QFile::encodeName(path).toStdString()),
                            ec);
    if (ec)
        failWrite(path, QString::fromLocal8Bit(ec.message().c_str()));
    temporary.kept = true;
}
#else
void writeXlsx(const ReportModel &, const QString &path, const Progress &)
{
    failWrite(path, u"Esta instalação não grava planilhas XLSX."_s);
}
#endif

bool needsPages(Format format)
{
    return format == Format::Pdf;
}

namespace {

Format formatFor(const QString &path)
{
    const auto format = formatOf(path);
    if (!format)
        throw EHostError(u"Formato de arquivo não suportado: '%1'. Use .pdf, .xlsx, .csv ou .html."_s.arg(shown(path)));
    return *format;
}

} // namespace

void write(const ReportDocument &document, const QString &path, const Progress &progress, const Options &options)
{
    if (formatFor(path) == Format::Pdf)
        writePdf(document, path, progress);
    else
        write(document.model(), path, progress, options);
}

void write(const ReportModel &model, const QString &path, const Progress &progress, const Options &options)
{
    switch (formatFor(path)) {
    case Format::Pdf:
        throw EHostError(u"O PDF é gravado a partir das páginas do relatório."_s);
    case Format::Xlsx:
        writeXlsx(model, path, progress);
        break;
    case Format::Csv:
        writeCsv(model, path, progress, options);
        break;
    case Format::Html:
        writeHtml(model, path, progress);
        break;
    }
}

} // namespace ReportExport
