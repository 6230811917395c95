// The XLSX writer, built as the module libbohost_xlsx.so (see xlsxmodule.h): everything that needs
// libxlsxwriter is here, so that only a process writing an XLSX loads it.
#include "ptbrlocale.h"
#include "reportdocument.h"
#include "reportformat.h"
#include "reportstyle.h"
#include "reportexport.h"
#include "reportfile.h"
#include "xlsxmodule.h"

#include <QColor>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <functional>
#include <string>
#include <type_traits>
#include <xlsxwriter.h>

using namespace Qt::StringLiterals;

using ReportExport::filterLines;
using ReportExport::Progress;

namespace {

// Every this many lines the writer tells its progress (and learns of a cancel), as the host's
// other writers do.
constexpr int kProgressLines = 2000;

void tell(const Progress &progress, qint64 done, qint64 total)
{
    if (progress)
        progress(done, total);
}

} // namespace

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

// libxlsxwriter answers its own error codes; errno then tells the cause when it is one the user
// can act on (disk full), so the message is the one every format gives. Other values may be left
// from a probe of the library's and are not trusted.
int diskError(int error)
{
    switch (error) {
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
    case EIO:
    case EROFS:
        return error;
    default:
        return 0;
    }
}

// The most characters a cell holds (the format's limit, which libxlsxwriter checks): a longer
// text is cut, and its end says so, so that the reader never takes it for the whole. Counted in
// UTF-16 units, which are never fewer than the characters the limit counts.
constexpr qsizetype kCellChars = 32767;
const QString kCutMark = u"… [texto cortado]"_s;

std::string utf8(const QString &text)
{
    if (text.size() <= kCellChars)
        return text.toStdString();
    qsizetype keep = kCellChars - kCutMark.size();
    if (text.at(keep - 1).isHighSurrogate())
        --keep;
    return (QStringView(text).left(keep).toString() + kCutMark).toStdString();
}

// A libxlsxwriter call that failed; writeWorkbook turns it into the file's message.
struct XlsxFailure
{
    lxw_error error;
    int cause = errno; // taken at once: closing the workbook on the way out sets errno again
};

void must(lxw_error error)
{
    if (error != LXW_NO_ERROR)
        throw XlsxFailure{error};
}

// What the user is told for a libxlsxwriter error, when errno does not tell more.
QString xlsxReason(lxw_error error)
{
    switch (error) {
    case LXW_ERROR_MEMORY_MALLOC_FAILED:
        return u"Não há memória suficiente para montar a planilha."_s;
    case LXW_ERROR_CREATING_XLSX_FILE:
    case LXW_ERROR_CREATING_TMPFILE:
    case LXW_ERROR_READING_TMPFILE:
        return u"Os arquivos temporários da planilha não puderam ser gravados ou lidos."_s;
    case LXW_ERROR_WORKSHEET_INDEX_OUT_OF_RANGE:
    case LXW_ERROR_WORKSHEET_MAX_NUMBER_URLS_EXCEEDED:
        return u"Uma célula ficou fora dos limites de uma planilha XLSX (1.048.576 linhas e 16.384 colunas)."_s;
    case LXW_ERROR_MAX_STRING_LENGTH_EXCEEDED:
        return u"Um texto passou de 32.767 caracteres, o máximo de uma célula XLSX."_s;
    default:
        return u"A biblioteca de planilhas falhou: %1."_s.arg(QString::fromUtf8(lxw_strerror(error)));
    }
}

// The rows a sheet of detail lines takes, from its first (the title) to its total lines.
qint64 listRows(const ReportModel &model, lxw_row_t headingRow)
{
    const qint64 details =
        std::count_if(model.lines.cbegin(), model.lines.cend(),
                      [](const ReportLine &line) { return line.kind == ReportLine::Kind::Detail; });
    const qint64 totals =
        std::count_if(model.lines.cbegin(), model.lines.cend(),
                      [](const ReportLine &line) { return line.kind == ReportLine::Kind::Total; });
    return qint64(headingRow) + 1 + details + totals; // the units' total lines and the grand total
}

// The worksheet's own temporary (constant memory: the rows written so far) failed a write: the
// library goes on without a word and would zip the part that was written as the whole sheet.
void checkRowsWritten(lxw_worksheet *sheet)
{
    if (sheet->optimize_tmpfile &&
        (std::fflush(sheet->optimize_tmpfile) != 0 || std::ferror(sheet->optimize_tmpfile)))
        throw XlsxFailure{LXW_ERROR_CREATING_TMPFILE};
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

const char *numberPattern(const ReportColumn &column)
{
    switch (column.type) {
    case ReportColumn::Type::Integer:
        return "#,##0";
    case ReportColumn::Type::Number:
        return "#,##0.000";
    case ReportColumn::Type::Percent:
        return "0.00%";
    default:
        return "#,##0.00";
    }
}

lxw_color_t xlsxColour(const QColor &colour)
{
    return lxw_color_t(colour.rgb() & 0xFFFFFF);
}

// The page's colours of the best and the worst interval.
const lxw_color_t kXlsxBestFill = xlsxColour(ReportStyle::kBestFill), kXlsxBestInk = xlsxColour(ReportStyle::kBestInk);
const lxw_color_t kXlsxWorstFill = xlsxColour(ReportStyle::kWorstFill), kXlsxWorstInk = xlsxColour(ReportStyle::kWorstInk);

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

// The cross-tab on the sheet: the values under a two-colour scale from the smallest to the largest
// cell, the row and column totals as formulas, and the counts in a second table below.
struct MatrixSheet
{
    lxw_workbook *book;
    lxw_worksheet *sheet;
    const ReportModel &model;
    lxw_format *heading, *headingRight, *totalText;
    std::function<lxw_format *(const ReportColumn &, bool)> numberFormat;

    void write(lxw_row_t top)
    {
        const ReportMatrix &m = model.matrix;
        const ReportMatrixLayout &shape = model.layout.matrix;
        must(worksheet_set_column(sheet, 0, 0, 16, nullptr));
        must(worksheet_set_column(sheet, 1, lxw_col_t(m.columns() + 1), 12, nullptr));
        if (m.empty()) {
            must(worksheet_write_string(sheet, top, 0, utf8(model.layout.emptyText).c_str(), nullptr));
            return;
        }
        const lxw_row_t after = table(top, shape.valueFormat, false);
        lxw_conditional_format scale{};
        scale.type = LXW_CONDITIONAL_2_COLOR_SCALE;
        scale.min_rule_type = LXW_CONDITIONAL_RULE_TYPE_MINIMUM;
        scale.max_rule_type = LXW_CONDITIONAL_RULE_TYPE_MAXIMUM;
        scale.min_color = xlsxColour(ReportMatrix::lowColour());
        scale.max_color = xlsxColour(ReportMatrix::highColour());
        must(worksheet_conditional_format_range(sheet, top + 1, 1, lxw_row_t(top + m.rows()),
                                                lxw_col_t(m.columns()), &scale));
        worksheet_freeze_panes(sheet, top + 1, 1);
        if (!shape.countField.isEmpty()) {
            ReportColumn counts;
            counts.type = ReportColumn::Type::Integer;
            lxw_format *caption = workbook_add_format(book);
            format_set_bold(caption);
            const QString label = shape.countLabel.isEmpty() ? shape.countField : shape.countLabel;
            must(worksheet_write_string(sheet, after + 1, 0, utf8(u"Número de "_s + label).c_str(), caption));
            table(after + 2, counts, true);
        }
    }

private:
    // One table from `top` (its heading row); answers the row after its total line.
    lxw_row_t table(lxw_row_t top, const ReportColumn &format, bool counts)
    {
        const ReportMatrix &m = model.matrix;
        const int columns = m.columns();
        auto mark = [this](int column, lxw_format *otherwise, const ReportColumn *number) {
            const ReportMatrix &mx = model.matrix;
            if (column != mx.best && column != mx.worst)
                return otherwise;
            lxw_format *f = workbook_add_format(book);
            if (number)
                format_set_num_format(f, numberPattern(*number));
            format_set_bold(f);
            format_set_align(f, LXW_ALIGN_RIGHT);
            format_set_bg_color(f, column == mx.best ? kXlsxBestFill : kXlsxWorstFill);
            format_set_font_color(f, column == mx.best ? kXlsxBestInk : kXlsxWorstInk);
            return f;
        };
        must(worksheet_write_string(sheet, top, 0, utf8(model.layout.matrix.rowLabel).c_str(), heading));
        for (int c = 0; c < columns; ++c)
            must(worksheet_write_string(sheet, top, lxw_col_t(c + 1), utf8(m.columnNames.at(c)).c_str(),
                                        mark(c, headingRight, nullptr)));
        must(worksheet_write_string(sheet, top, lxw_col_t(columns + 1), "Total do dia", headingRight));
        lxw_format *plain = numberFormat(format, false);
        lxw_format *bold = numberFormat(format, true);
        const QString last = columnName(columns);
        for (int r = 0; r < m.rows(); ++r) {
            const lxw_row_t row = top + 1 + lxw_row_t(r);
            must(worksheet_write_string(sheet, row, 0, utf8(m.rowNames.at(r)).c_str(), nullptr));
            for (int c = 0; c < columns; ++c) {
                const std::optional<double> &value = m.values.at(r).at(c);
                if (value)
                    must(worksheet_write_number(
                        sheet, row, lxw_col_t(c + 1),
                        counts ? double(m.counts.at(r).at(c)) : cellNumber(format, *value), plain));
            }
            // One arg() call: a chained .arg(row).arg(last) reads "%2%1" as "%2" then the row, and
            // "%21" (after the row 13 went in) as a placeholder of its own.
            const QString formula = u"=SUM(B%1:%2%1)"_s.arg(QString::number(row + 1), last);
            must(worksheet_write_formula_num(sheet, row, lxw_col_t(columns + 1), utf8(formula).c_str(), plain,
                                             counts ? double(m.rowCounts.at(r))
                                                    : cellNumber(format, m.rowTotals.at(r))));
        }
        const lxw_row_t totalRow = top + 1 + lxw_row_t(m.rows());
        must(worksheet_write_string(sheet, totalRow, 0, "Total", totalText));
        for (int c = 0; c <= columns; ++c) {
            const QString letter = columnName(c + 1);
            const QString formula =
                u"=SUM(%1%2:%1%3)"_s.arg(letter, QString::number(top + 2), QString::number(totalRow));
            const double value = c < columns ? (counts ? double(m.columnCounts.at(c))
                                                       : cellNumber(format, m.columnTotals.at(c)))
                                             : (counts ? double(m.count) : cellNumber(format, m.total));
            must(worksheet_write_formula_num(sheet, totalRow, lxw_col_t(c + 1), utf8(formula).c_str(),
                                             c < columns ? mark(c, bold, &format) : bold, value));
        }
        return totalRow + 1;
    }
};

void fillWorkbook(const ReportFile &file, const ReportModel &model, const Progress &progress)
{
    // libxlsxwriter opens the file by name: it writes the temporary, which commit() puts in place.
    const QByteArray temporaryName = QFile::encodeName(file.temporaryPath());
    // Its own temporaries (the rows, then each part before it is zipped) go beside it, on the disk
    // the file goes to, instead of the system's temporary folder.
    QByteArray temporaryFolder = QFile::encodeName(QFileInfo(file.temporaryPath()).absolutePath());
    const ReportLayout &layout = model.layout;
    {
        Workbook wb;
        // Constant memory: each row goes to disk when the next one starts, so a long report is
        // not held a second time as cells (strings are then written inline).
        lxw_workbook_options options{};
        options.constant_memory = LXW_TRUE;
        options.tmpdir = temporaryFolder.data();
        wb.book = workbook_new_opt(temporaryName.constData(), &options);
        if (!wb.book)
            file.fail(diskError(errno), u"Falha ao criar a planilha."_s);
        lxw_worksheet *sheet = workbook_add_worksheet(wb.book, "Relatório");
        if (!sheet)
            throw XlsxFailure{LXW_ERROR_MEMORY_MALLOC_FAILED};
        lxw_format *title = workbook_add_format(wb.book);
        format_set_bold(title);
        format_set_font_size(title, 14);
        format_set_font_color(title, xlsxColour(ReportStyle::kAccent));
        lxw_format *meta = workbook_add_format(wb.book);
        format_set_font_color(meta, xlsxColour(ReportStyle::kMuted));
        lxw_format *heading = workbook_add_format(wb.book);
        format_set_bold(heading);
        format_set_bg_color(heading, xlsxColour(ReportStyle::kHeadingFill));
        format_set_font_color(heading, xlsxColour(ReportStyle::kAccent));
        format_set_bottom(heading, LXW_BORDER_THIN);
        lxw_format *headingRight = workbook_add_format(wb.book);
        format_set_bold(headingRight);
        format_set_bg_color(headingRight, xlsxColour(ReportStyle::kHeadingFill));
        format_set_font_color(headingRight, xlsxColour(ReportStyle::kAccent));
        format_set_bottom(headingRight, LXW_BORDER_THIN);
        format_set_align(headingRight, LXW_ALIGN_RIGHT);
        lxw_format *dateFormat = workbook_add_format(wb.book);
        format_set_num_format(dateFormat, "dd/mm/yyyy");
        auto numberFormat = [&wb](const ReportColumn &column, bool bold) {
            lxw_format *f = workbook_add_format(wb.book);
            format_set_num_format(f, numberPattern(column));
            if (bold) {
                format_set_bold(f);
                format_set_bg_color(f, xlsxColour(ReportStyle::kTotalFill));
                format_set_top(f, LXW_BORDER_THIN);
            }
            return f;
        };
        lxw_format *totalText = workbook_add_format(wb.book);
        format_set_bold(totalText);
        format_set_bg_color(totalText, xlsxColour(ReportStyle::kTotalFill));
        format_set_top(totalText, LXW_BORDER_THIN);

        // The title, then one row per filter line of the page header, the issue time and the best
        // and worst hours.
        must(worksheet_write_string(sheet, 0, 0, utf8(model.title).c_str(), title));
        lxw_row_t metaRow = 1;
        for (const QString &line : filterLines(model))
            must(worksheet_write_string(sheet, metaRow++, 0, utf8(line).c_str(), meta));
        must(worksheet_write_string(
            sheet, metaRow++, 0,
            utf8(u"Emitido em "_s + model.issued.toString(u"dd/MM/yyyy HH:mm"_s)).c_str(), meta));
        if (!model.bestWorstText.isEmpty()) {
            lxw_format *note = workbook_add_format(wb.book);
            format_set_bold(note);
            must(worksheet_write_string(sheet, metaRow++, 0, utf8(model.bestWorstText).c_str(), note));
        }
        for (const QString &line : model.notes)
            must(worksheet_write_string(sheet, metaRow++, 0, utf8(line).c_str(), meta));
        // an empty row before the headings, which stay on row 5 when there are few filters
        const lxw_row_t headingRow = std::max<lxw_row_t>(4, metaRow + 1);
        if (layout.matrix.active()) {
            MatrixSheet{wb.book, sheet, model, heading, headingRight, totalText, numberFormat}.write(
                headingRow);
        } else {
            if (const qint64 rows = listRows(model, headingRow); rows > qint64(LXW_ROW_MAX))
                file.fail(
                    0,
                    u"O relatório ocupa %1 linhas, e uma planilha XLSX tem no máximo %2: ela sairia sem as "
                    u"últimas linhas e sem o total. Restrinja o período ou os filtros, ou salve em CSV."_s
                        .arg(ptBRLocale().toString(rows),
                             ptBRLocale().toString(qint64(LXW_ROW_MAX))));
            const int offset = layout.grouped() ? 1 + int(layout.groupNames.size()) : 0;
            const int columns = int(layout.columns.size()) + offset;
            QList<lxw_format *> plainFormats, totalFormats;
            QList<lxw_format *> markFormats[4]; // best, worst, over, under
            auto marked = [&wb](const ReportColumn *column, ReportLine::Mark mark) {
                lxw_format *f = workbook_add_format(wb.book);
                if (column && column->numeric())
                    format_set_num_format(f, numberPattern(*column));
                format_set_bold(f);
                format_set_bg_color(f, xlsxColour(ReportStyle::markFill(int(mark))));
                format_set_font_color(f, xlsxColour(ReportStyle::markInk(int(mark))));
                return f;
            };
            for (const ReportColumn &column : layout.columns) {
                plainFormats << (column.numeric() ? numberFormat(column, false) : nullptr);
                totalFormats << (column.numeric() ? numberFormat(column, true) : totalText);
                for (int m = 0; m < 4; ++m)
                    markFormats[m] << marked(&column, ReportLine::Mark(m + 1));
            }
            lxw_format *bestGroup = marked(nullptr, ReportLine::Mark::Best);
            lxw_format *worstGroup = marked(nullptr, ReportLine::Mark::Worst);
            // A report grouped by the interval marks a whole group (its subtotal, which the sheet does not
            // hold): the group's cell on each of its rows carries the mark.
            QList<ReportLine::Mark> groupMark(model.lines.size(), ReportLine::Mark::None);
            for (qsizetype i = 0, from = 0; i < model.lines.size(); ++i) {
                const ReportLine &line = model.lines.at(i);
                if (line.kind == ReportLine::Kind::GroupHeader)
                    from = i;
                else if (line.kind == ReportLine::Kind::Subtotal && line.mark != ReportLine::Mark::None)
                    std::fill(groupMark.begin() + from, groupMark.begin() + i, line.mark);
            }
            if (layout.grouped()) {
                must(worksheet_write_string(sheet, headingRow, 0, utf8(layout.groupLabel).c_str(), heading));
                // the code; its names beside it
                must(worksheet_set_column(sheet, 0, 0, layout.groupNames.isEmpty() ? 34 : 14, nullptr));
                for (qsizetype n = 0; n < layout.groupNames.size(); ++n) {
                    must(worksheet_write_string(sheet, headingRow, lxw_col_t(1 + n),
                                                utf8(layout.groupNames.at(n).second).c_str(), heading));
                    must(worksheet_set_column(sheet, lxw_col_t(1 + n), lxw_col_t(1 + n), 30, nullptr));
                }
            }
            for (qsizetype c = 0; c < layout.columns.size(); ++c) {
                const ReportColumn &column = layout.columns.at(c);
                const lxw_col_t col = lxw_col_t(c + offset);
                must(worksheet_write_string(sheet, headingRow, col, utf8(column.label).c_str(),
                                            column.numeric() ? headingRight : heading));
                must(worksheet_set_column(sheet, col, col, std::max(10.0, column.width * 9), nullptr));
            }
            worksheet_freeze_panes(sheet, headingRow + 1, 0);

            // What the sheet's formulas give: the sums of the numbers as written, each unit's apart,
            // and the rows of the per-unit and the grand total lines (shares refer to the latter).
            const lxw_row_t first = headingRow + 1;
            const lxw_row_t last = first + lxw_row_t(model.detailCount) - 1;
            QList<const ReportLine *> unitLines;
            for (const ReportLine &line : model.lines) {
                if (line.kind == ReportLine::Kind::Total && &line != model.totalLine())
                    unitLines << &line; // the only total lines before the grand total
            }
            const lxw_row_t totalRow = last + 1 + lxw_row_t(unitLines.size());
            QList<qsizetype> shareBase(layout.columns.size(), -1);
            qsizetype unitColumn = -1;
            for (qsizetype c = 0; c < layout.columns.size(); ++c) {
                const ReportColumn &column = layout.columns.at(c);
                for (qsizetype b = 0; b < layout.columns.size(); ++b) {
                    if (!column.shareOf.isEmpty() && layout.columns.at(b).numeric() &&
                        layout.columns.at(b).field.compare(column.shareOf, Qt::CaseInsensitive) == 0)
                        shareBase[c] = b;
                    if (!column.unitField.isEmpty() && unitColumn < 0 &&
                        layout.columns.at(b).field.compare(column.unitField, Qt::CaseInsensitive) == 0)
                        unitColumn = b;
                }
            }
            QList<double> written(layout.columns.size(), 0.0);
            QHash<QString, QList<double>> writtenPerUnit;
            auto writtenNumber = [&layout](const ReportLine &line, qsizetype c) {
                const QVariant value = line.values.value(c);
                return value.isValid() && !value.isNull() ? cellNumber(layout.columns.at(c), value.toDouble()) : 0.0;
            };
            for (const ReportLine &line : model.lines) {
                if (line.kind != ReportLine::Kind::Detail)
                    continue;
                QList<double> *unit = nullptr;
                if (unitColumn >= 0) {
                    auto it = writtenPerUnit.find(ReportFormat::text(line.values.value(unitColumn)));
                    if (it == writtenPerUnit.end())
                        it = writtenPerUnit.insert(ReportFormat::text(line.values.value(unitColumn)),
                                                   QList<double>(layout.columns.size(), 0.0));
                    unit = &it.value();
                }
                for (qsizetype c = 0; c < layout.columns.size(); ++c) {
                    if (shareBase.at(c) >= 0 || !layout.columns.at(c).numeric())
                        continue;
                    written[c] += writtenNumber(line, c);
                    if (unit)
                        (*unit)[c] += writtenNumber(line, c);
                }
            }
            // A share is its line's value over the grand total, as a formula of the written cells; the
            // grand total of the shares is their sum, 100 %.
            QList<double> shareSums(layout.columns.size(), 0.0);
            auto writeShare = [&](lxw_row_t at, qsizetype c, double part, lxw_format *format) {
                const qsizetype b = shareBase.at(c);
                const QString letter = columnName(int(b) + offset);
                const QString formula = u"=%1%2/%1$%3"_s.arg(letter).arg(at + 1).arg(totalRow + 1);
                must(worksheet_write_formula_num(sheet, at, lxw_col_t(c + offset), utf8(formula).c_str(), format,
                                                 part / written.at(b)));
                if (at <= last)
                    shareSums[c] += part / written.at(b);
            };

            lxw_row_t row = first;
            const qint64 lineCount = model.lines.size();
            for (qint64 i = 0; i < lineCount; ++i) {
                if (i % kProgressLines == 0) {
                    checkRowsWritten(sheet);
                    tell(progress, i, lineCount);
                }
                const ReportLine &line = model.lines.at(i);
                if (line.kind != ReportLine::Kind::Detail)
                    continue;
                if (layout.grouped()) {
                    const ReportLine::Mark mark =
                        groupMark.at(i) != ReportLine::Mark::None ? groupMark.at(i) : line.mark;
                    must(worksheet_write_string(sheet, row, 0, utf8(line.groupValue).c_str(),
                                                mark == ReportLine::Mark::Best    ? bestGroup
                                                : mark == ReportLine::Mark::Worst ? worstGroup
                                                                                  : nullptr));
                    for (qsizetype n = 0; n < layout.groupNames.size(); ++n)
                        must(worksheet_write_string(sheet, row, lxw_col_t(1 + n),
                                                    utf8(line.groupNames.value(n)).c_str(), nullptr));
                }
                const QList<lxw_format *> *marks =
                    line.mark == ReportLine::Mark::None ? nullptr : &markFormats[int(line.mark) - 1];
                for (qsizetype c = 0; c < layout.columns.size(); ++c) {
                    const ReportColumn &column = layout.columns.at(c);
                    const lxw_col_t col = lxw_col_t(c + offset);
                    const QVariant value = line.values.value(c);
                    if (value.isNull() || !value.isValid()) {
                        if (marks)
                            must(worksheet_write_blank(sheet, row, col, marks->at(c)));
                        continue;
                    }
                    if (shareBase.at(c) >= 0 && written.at(shareBase.at(c)) != 0) {
                        writeShare(row, c, writtenNumber(line, shareBase.at(c)), marks ? marks->at(c) : plainFormats.at(c));
                    } else if (column.numeric()) {
                        must(worksheet_write_number(sheet, row, col, cellNumber(column, value.toDouble()),
                                                    marks ? marks->at(c) : plainFormats.at(c)));
                    } else if (column.type == ReportColumn::Type::Date &&
                               ReportFormat::toDate(value).isValid()) {
                        const QDate d = ReportFormat::toDate(value);
                        lxw_datetime dt{d.year(), d.month(), d.day(), 0, 0, 0};
                        must(worksheet_write_datetime(sheet, row, col, &dt, dateFormat));
                    } else {
                        must(worksheet_write_string(
                            sheet, row, col,
                            utf8(ReportFormat::cell(column, value, line.ends.value(c))).c_str(),
                            marks ? marks->at(c) : nullptr));
                    }
                }
                ++row;
            }
            // One line per unit of measure: each Sum column over that unit's lines.
            for (const ReportLine *unitLine : std::as_const(unitLines)) {
                for (int col = 0; col < columns; ++col)
                    must(worksheet_write_blank(sheet, row, lxw_col_t(col), totalText));
                must(worksheet_write_string(sheet, row, 0, utf8(unitLine->caption).c_str(), totalText));
                QString unit = unitLine->unit;
                unit.replace(u"\""_s, u"\"\""_s);
                const QString unitLetter = columnName(int(unitColumn) + offset);
                const QList<double> sums = writtenPerUnit.value(unitLine->unit);
                for (qsizetype c = 0; c < layout.columns.size(); ++c) {
                    const ReportColumn &column = layout.columns.at(c);
                    const lxw_col_t col = lxw_col_t(c + offset);
                    const QVariant value = unitLine->values.value(c);
                    if (column.total == ReportColumn::Total::Sum && shareBase.at(c) >= 0 && written.at(shareBase.at(c)) != 0) {
                        writeShare(row, c, sums.value(shareBase.at(c)), totalFormats.at(c));
                    } else if (column.total == ReportColumn::Total::Sum && !sums.isEmpty()) {
                        const QString letter = columnName(col);
                        const QString formula = u"=SUMIF(%1%2:%1%3,\"%4\",%5%2:%5%3)"_s.arg(
                            unitLetter, QString::number(first + 1), QString::number(last + 1), unit, letter);
                        must(worksheet_write_formula_num(sheet, row, col, utf8(formula).c_str(), totalFormats.at(c),
                                                         sums.value(c)));
                    } else if (value.isValid() && !value.isNull()) {
                        must(worksheet_write_number(sheet, row, col, cellNumber(column, value.toDouble()),
                                                    totalFormats.at(c)));
                    }
                }
                ++row;
            }
            if (const ReportLine *total = model.totalLine()) {
                for (int col = 0; col < columns; ++col)
                    must(worksheet_write_blank(sheet, row, lxw_col_t(col), totalText));
                must(worksheet_write_string(sheet, row, 0, "Total geral", totalText));
                for (qsizetype c = 0; c < layout.columns.size(); ++c) {
                    const ReportColumn &column = layout.columns.at(c);
                    const lxw_col_t col = lxw_col_t(c + offset);
                    const QVariant value = total->values.value(c);
                    const bool share = shareBase.at(c) >= 0 && written.at(shareBase.at(c)) != 0;
                    if (column.total == ReportColumn::Total::Sum && (share || (value.isValid() && !value.isNull()))) {
                        // A formula, so the total follows when someone edits a value; the cached
                        // result (the sum of the cells as written) is shown by viewers that do not
                        // calculate. Lines of several units have no such total.
                        const QString letter = columnName(col);
                        const QString formula = u"=SUM(%1%2:%1%3)"_s.arg(letter).arg(first + 1).arg(last + 1);
                        must(worksheet_write_formula_num(sheet, row, col, utf8(formula).c_str(), totalFormats.at(c),
                                                         share ? shareSums.at(c) : written.at(c)));
                    } else if (column.total == ReportColumn::Total::Ratio && value.isValid() &&
                               !value.isNull()) {
                        must(worksheet_write_number(sheet, row, col, cellNumber(column, value.toDouble()),
                                                    totalFormats.at(c)));
                    }
                }
            }
            tell(progress, lineCount, lineCount);
        }
        checkRowsWritten(sheet);
        errno = 0;
        const lxw_error error = wb.close();
        if (error != LXW_NO_ERROR)
            file.fail(diskError(errno), xlsxReason(error));
        // The close does not check the writes of the parts it assembles before zipping them (a file
        // size limit, a full disk): a write that failed leaves its errno.
        if (const int cause = diskError(errno))
            file.fail(cause);
    }
}

void writeWorkbook(const ReportModel &model, const QString &path, const Progress &progress)
{
    ReportFile file(path);
    try {
        fillWorkbook(file, model, progress);
    } catch (const XlsxFailure &failure) {
        file.fail(diskError(failure.cause), xlsxReason(failure.error));
    }
    file.commit();
}

} // namespace

// The module's entry point; EHostError (a file that cannot be written) and EAbort (a cancel from
// `progress`) reach the caller through it, their type information being libbohost's.
extern "C" Q_DECL_EXPORT void boWriteXlsx(const ReportModel &model, const QString &path, const Progress &progress)
{
    writeWorkbook(model, path, progress);
}

static_assert(std::is_same_v<decltype(&boWriteXlsx), XlsxModule::WriteFunction>);
