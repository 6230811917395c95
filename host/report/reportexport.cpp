#include "reportexport.h"

#include "errors.h"
#include "reportchart.h"
#include "reportdocument.h"
#include "reportformat.h"
#include "reportstyle.h"
#include "reportfile.h"
#include "uiservices.h"
#include "xlsxmodule.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QRegularExpression>
#include <algorithm>
#include <cmath>
#include <functional>

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
    ReportFile file(path);
    file.append(bytes);
    file.commit();
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

// A text cell that a spreadsheet would run as a formula ("=HYPERLINK(...)" as a product's name)
// gets the usual leading apostrophe, so that it is read as the text it is. Numbers do not come
// through here: a negative value stays a number. A text that reads as a number (the code 0101001)
// is quoted: a program reads the digits as they are, and a spreadsheet told to take quoted fields
// as text (docs/export.md) keeps its leading zeros.
QString csvText(const QString &text)
{
    static const QString formulaStarts = u"=+-@\t\r"_s;
    static const QRegularExpression numberLike(u"^[0-9][0-9.,]*$"_s);
    if (!text.isEmpty() && formulaStarts.contains(text.front()))
        return csvField(u'\'' + text);
    if (numberLike.match(text).hasMatch())
        return u'"' + text + u'"';
    return csvField(text);
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
    QString text = csvText(model.title) + u"\r\n"_s;
    for (const auto &filter : model.filters)
        text += csvText(filter.first) + u';' + csvText(filter.second) + u"\r\n"_s;
    text += u"Emitido em;"_s + model.issued.toString(u"dd/MM/yyyy HH:mm"_s) + u"\r\n\r\n"_s;
    return text;
}

QString csvHeading(const ReportLayout &layout)
{
    QStringList heading;
    if (layout.grouped())
        heading << csvText(layout.groupLabel);
    for (const auto &name : layout.groupNames)
        heading << csvText(name.second);
    for (const ReportColumn &column : layout.columns)
        heading << csvText(column.label);
    return heading.join(u';') + u"\r\n"_s;
}

QString csvLine(const ReportLayout &layout, const ReportLine &line)
{
    QStringList fields;
    if (layout.grouped())
        fields << csvText(line.groupValue);
    for (qsizetype n = 0; n < layout.groupNames.size(); ++n)
        fields << csvText(line.groupNames.value(n));
    for (qsizetype c = 0; c < layout.columns.size(); ++c) {
        const ReportColumn &column = layout.columns.at(c);
        const QString cell = ReportFormat::cell(column, line.values.value(c), line.ends.value(c), false);
        fields << (column.numeric() ? csvField(cell) : csvText(cell));
    }
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

// "Melhor horário: … · Pior horário: …", each half in the colour of the row it names.
QString htmlBestWorst(const ReportModel &model)
{
    if (model.bestWorstText.isEmpty())
        return {};
    const QString separator = u" · "_s;
    const qsizetype split = model.bestWorstText.indexOf(separator);
    if (split < 0)
        return u"<p class=\"bw\">"_s + model.bestWorstText.toHtmlEscaped() + u"</p>\n"_s;
    return u"<p class=\"bw\"><span class=\"b\">%1</span> · <span class=\"w\">%2</span></p>\n"_s.arg(
        model.bestWorstText.left(split).toHtmlEscaped(),
        model.bestWorstText.mid(split + separator.size()).toHtmlEscaped());
}

// The list under the chart: its heading, then one item per entry.
QString htmlNotes(const ReportModel &model)
{
    if (model.notes.isEmpty())
        return {};
    QString html = u"<p><b>"_s + model.notes.first().toHtmlEscaped() + u"</b></p>\n<ul>\n"_s;
    for (qsizetype i = 1; i < model.notes.size(); ++i)
        html += u"<li>"_s + model.notes.at(i).toHtmlEscaped() + u"</li>\n"_s;
    return html + u"</ul>\n"_s;
}

// The cross-tab as one table: each cell shaded on the scale, its count under the value.
QString htmlMatrix(const ReportModel &model)
{
    const ReportMatrix &m = model.matrix;
    const ReportMatrixLayout &shape = model.layout.matrix;
    // the count's label only where the hours are few (the note under the table says it otherwise)
    auto count = [&shape, &m](qint64 n, bool labelled) {
        if (shape.countField.isEmpty())
            return QString();
        const QString text = m.countText(n, labelled ? shape.countLabel : QString());
        return u"<br><small>"_s + text.toHtmlEscaped() + u"</small>"_s;
    };
    auto markOf = [&m](int column) {
        return column == m.best ? u" best"_s : column == m.worst ? u" worst"_s : QString();
    };
    // The size at which the hour columns' widest value (an hour's total, in bold: about 0.68 em a
    // character) fits the share of a 1280 px window the row names, the day's total, the padding and
    // a scroll bar leave: 8 pt at most, 6 pt at least (a year of a large branch may scroll).
    qsizetype widest = 1;
    for (int c = 0; c < m.columns(); ++c)
        widest = std::max(widest, m.cellText(m.columnTotals.at(c)).size());
    const double room = (1280.0 - 2 * 24 - 17 - 160 - (m.columns() + 2) * 5) / std::max(1, m.columns());
    const double points = std::clamp(std::floor(room / (double(widest) * 0.68) * 0.75 * 2) / 2, 6.0, 8.0);
    QString html = u"<table class=\"m\" style=\"font-size:%1pt\">\n<thead><tr>"_s.arg(points) +
                   htmlCell(u"th"_s, shape.rowLabel, false);
    for (int c = 0; c < m.columns(); ++c)
        html += u"<th class=\"n%1\">%2</th>"_s.arg(markOf(c), m.columnNames.at(c).toHtmlEscaped());
    html += htmlCell(u"th"_s, u"Total do dia"_s, true) + u"</tr></thead>\n<tbody>\n"_s;
    for (int r = 0; r < m.rows(); ++r) {
        html += u"<tr><th>"_s + m.rowNames.at(r).toHtmlEscaped() + u"</th>"_s;
        for (int c = 0; c < m.columns(); ++c) {
            const std::optional<double> &value = m.values.at(r).at(c);
            if (!value) {
                html += u"<td></td>"_s;
                continue;
            }
            html += u"<td class=\"n\" style=\"background:%1\">%2%3</td>"_s.arg(
                ReportStyle::cssName(m.shade(*value)), m.cellText(*value).toHtmlEscaped(),
                count(m.counts.at(r).at(c), m.countLabels));
        }
        const bool any = m.rowCounts.at(r) > 0 || m.rowTotals.at(r) != 0;
        html += u"<td class=\"n\"><b>%1</b>%2</td></tr>\n"_s.arg(
            any ? m.totalText(m.rowTotals.at(r)).toHtmlEscaped() : QString(),
            any ? count(m.rowCounts.at(r), true) : QString());
    }
    html += u"<tr class=\"t\"><td>Total</td>"_s;
    for (int c = 0; c < m.columns(); ++c)
        html += u"<td class=\"n%1\">%2%3</td>"_s.arg(markOf(c), m.cellText(m.columnTotals.at(c)).toHtmlEscaped(),
                                                      count(m.columnCounts.at(c), m.countLabels));
    html += u"<td class=\"n\">%1%2</td></tr>\n</tbody>\n</table>\n"_s.arg(m.totalText(m.total).toHtmlEscaped(),
                                                                           count(m.count, true));
    html +=
        u"<p class=\"scale\">Escala de cores: %1 <span style=\"display:inline-block;width:160px;height:10px;"
        u"background:linear-gradient(to right,%2,%3)\"></span> %4%5</p>\n"_s.arg(
            m.cellText(m.minimum).toHtmlEscaped(), ReportStyle::cssName(ReportMatrix::lowColour()),
            ReportStyle::cssName(ReportMatrix::highColour()), m.cellText(m.maximum).toHtmlEscaped(),
            m.cellNote(shape).isEmpty() ? QString() : u" · "_s + m.cellNote(shape).toHtmlEscaped());
    return html;
}

QString htmlHead(const ReportModel &model)
{
    QString html;
    html += u"<!DOCTYPE html>\n<html lang=\"pt-BR\">\n<head>\n<meta charset=\"utf-8\">\n<title>"_s +
            model.title.toHtmlEscaped() + u"</title>\n"_s;
    QString style = u"<style>\nbody{font-family:'DejaVu "
            u"Sans',Arial,sans-serif;font-size:10pt;color:{ink};margin:24px}\n"
            u"h1{font-size:16pt;color:{accent};margin:0 0 "
            u"4px}\n.meta{color:{muted};font-size:8.5pt;margin-bottom:10px}\n"
            u"table{border-collapse:collapse;width:100%}\nth{background:{heading};color:{accent};text-align:"
            u"left;padding:3px 6px}\n"
            u"td{padding:3px 6px}\n.meta .f{margin:1px 0}\n.n{text-align:right}\ntr.g "
            u"td{background:{group};color:{accent};font-weight:bold}\n"
            u"tr.s td{font-weight:bold;border-top:1px solid {accent}}\ntr.t "
            u"td{font-weight:bold;background:{total};"
            u"border-top:1px solid {accent}}\ntbody tr.d:nth-child(even) "
            u"td{background:{stripe}}\nimg{max-width:100%}\n"
            u"tr.best td,th.best,td.best{background:{bestFill} !important;color:{bestInk};font-weight:bold}\n"
            u"tr.worst td,th.worst,td.worst{background:{worstFill} !important;color:{worstInk};font-weight:bold}\n"
            u"tr.over td{background:{overFill} !important;color:{overInk};font-weight:bold}\n"
            u"tr.under td{background:{underFill} !important;color:{underInk};font-weight:bold}\n"
            u".bw{font-weight:bold}\n.bw .b{color:{bestInk}}\n.bw .w{color:{worstInk}}\n"
            // the whole day within a 1280 px window (the table's own size: htmlMatrix)
            u"table.m td,table.m th{border:1px solid #FFFFFF;padding:2px;white-space:nowrap}\ntable.m "
            u"small{color:{muted}}\n.scale{color:{muted};font-size:8.5pt}\n"
            u"</style>\n</head>\n<body>\n"_s;
    // The page's colours, named once in ReportStyle.
    const std::pair<const char16_t *, QColor> colours[] = {
        {u"{ink}", ReportStyle::kInk},           {u"{accent}", ReportStyle::kAccent},
        {u"{muted}", ReportStyle::kMuted},       {u"{heading}", ReportStyle::kHeadingFill},
        {u"{group}", ReportStyle::kGroupFill},   {u"{total}", ReportStyle::kTotalFill},
        {u"{stripe}", ReportStyle::kStripeFill}, {u"{bestFill}", ReportStyle::kBestFill},
        {u"{bestInk}", ReportStyle::kBestInk},   {u"{worstFill}", ReportStyle::kWorstFill},
        {u"{worstInk}", ReportStyle::kWorstInk}, {u"{overFill}", ReportStyle::kOverFill},
        {u"{overInk}", ReportStyle::kOverInk},   {u"{underFill}", ReportStyle::kUnderFill},
        {u"{underInk}", ReportStyle::kUnderInk}};
    for (const auto &[token, colour] : colours)
        style.replace(QString::fromUtf16(token), ReportStyle::cssName(colour));
    html += style;
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
    const bool matrix = model.layout.matrix.active();
    if (!matrix && model.detailCount > 0)
        html += htmlBestWorst(model) + htmlNotes(model);
    if (model.detailCount == 0) {
        html += u"<p><b>"_s + model.layout.emptyText.toHtmlEscaped() + u"</b></p>\n"_s;
    } else if (matrix) {
        html += htmlMatrix(model) + htmlBestWorst(model);
    } else {
        html += u"<table>\n<thead><tr>"_s;
        for (const ReportColumn &column : model.layout.columns)
            html += htmlCell(u"th"_s, column.label, column.numeric());
        html += u"</tr></thead>\n<tbody>\n"_s;
    }
    return html;
}

QString markClass(const ReportLine &line)
{
    switch (line.mark) {
    case ReportLine::Mark::Best:
        return u" best"_s;
    case ReportLine::Mark::Worst:
        return u" worst"_s;
    case ReportLine::Mark::Over:
        return u" over"_s;
    case ReportLine::Mark::Under:
        return u" under"_s;
    case ReportLine::Mark::None:
        break;
    }
    return {};
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
        html += u"<tr class=\"d%1\">"_s.arg(markClass(line));
        for (int c = 0; c < columns; ++c)
            html += htmlCell(u"td"_s, ReportFormat::cell(layout.columns.at(c), line.values.value(c), line.ends.value(c)),
                             layout.columns.at(c).numeric());
        html += u"</tr>\n"_s;
        break;
    case ReportLine::Kind::Subtotal:
    case ReportLine::Kind::Total:
        html += line.kind == ReportLine::Kind::Total ? u"<tr class=\"t\">"_s
                                                     : u"<tr class=\"s%1\">"_s.arg(markClass(line));
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
    return (model.detailCount == 0 || model.layout.matrix.active() ? QString() : u"</tbody>\n</table>\n"_s) +
           u"</body>\n</html>\n"_s;
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
    if (model.detailCount > 0 && !model.layout.matrix.active()) {
        for (const ReportLine &line : model.lines)
            bytes += htmlLine(model.layout, line).toUtf8();
    }
    bytes += htmlTail(model).toUtf8();
    return bytes;
}

void writePdf(const ReportDocument &document, const QString &path, const Progress &progress)
{
    ReportFile file(path);
    // Page by page rather than paint(): a cancel between pages ends the writer, and the file's
    // destructor then drops the temporary.
    const int pages = document.pageCount();
    bool painted = false;
    {
        QPdfWriter writer(&file.device());
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
    tell(progress, pages, pages);
    // A failed write is the file's to report (disk full); a painter that failed on its own, ours.
    if (!painted) {
        file.check();
        file.fail(0, u"Falha ao gerar o PDF."_s);
    }
    file.commit();
}

void writeCsv(const ReportModel &model, const QString &path, const Progress &progress, const Options &options)
{
    ReportFile file(path);
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
    ReportFile file(path);
    file.append(htmlHead(model));
    const qint64 total = model.detailCount > 0 && !model.layout.matrix.active() ? model.lines.size() : 0;
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
void writeXlsx(const ReportModel &model, const QString &path, const Progress &progress)
{
    // Loaded before the target is looked at: a module that cannot be loaded touches no file.
    QString reason;
    const XlsxModule::WriteFunction write = XlsxModule::writer(&reason);
    if (!write)
        failWrite(path, reason);
    write(model, path, progress);
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

QString unsupportedFormat(const QString &path)
{
    return u"Formato de arquivo não suportado: '%1'. Use .pdf, .xlsx, .csv ou .html."_s.arg(shown(path));
}

namespace {

Format formatFor(const QString &path)
{
    const auto format = formatOf(path);
    if (!format)
        throw EHostError(unsupportedFormat(path));
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
