// The workbooks the other tests wrote (testsupport::keepWorkbook), opened by LibreOffice with every
// formula recalculated: each cell must hold what the file says it holds, and the totals a test
// asked for (its independent SQL) must be what the spreadsheet computes. One soffice call converts
// them all, a made-up workbook whose cached value is wrong among them, so that a load that did not
// recalculate cannot pass.

#include "enginetest.h"

#include <QDirIterator>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QUrl>
#include <QXmlStreamReader>
#include <iostream>
#include <xlsxwriter.h>

using namespace enginetest;
using namespace Qt::StringLiterals;

namespace {

struct Cell
{
    bool number = false;
    double value = 0;
    QString text;    // a string cell, or what an error cell says ("#REF!")
    QString formula; // as the file holds it, for the messages
};

// Row and column of "AB12", from 0.
std::pair<int, int> position(const QString &ref)
{
    int column = 0, i = 0;
    while (i < ref.size() && ref.at(i).isLetter())
        column = column * 26 + (ref.at(i++).unicode() - u'A' + 1);
    return {QStringView(ref).mid(i).toInt() - 1, column - 1};
}

QString reference(int row, int column)
{
    QString letters;
    for (int c = column + 1; c > 0; c = (c - 1) / 26)
        letters.prepend(QChar(u'A' + (c - 1) % 26));
    return letters + QString::number(row + 1);
}

using Sheet = QHash<QString, Cell>;

QString part(const QString &book, const QString &name)
{
    return tool(u"unzip"_s, {u"-p"_s, book, name});
}

// Every sheet of a workbook by name, in order, read from its parts.
QList<QPair<QString, Sheet>> readBook(const QString &book)
{
    QHash<QString, QString> targets; // relationship id -> part
    {
        QXmlStreamReader xml(part(book, u"xl/_rels/workbook.xml.rels"_s));
        while (!xml.atEnd()) {
            xml.readNext();
            if (xml.isStartElement() && xml.name() == u"Relationship") {
                const QString target = xml.attributes().value(u"Target"_s).toString();
                targets.insert(xml.attributes().value(u"Id"_s).toString(),
                               target.startsWith(u'/') ? target.mid(1) : u"xl/"_s + target);
            }
        }
    }
    QStringList shared;
    {
        QXmlStreamReader xml(part(book, u"xl/sharedStrings.xml"_s));
        while (!xml.atEnd()) {
            xml.readNext();
            if (xml.isStartElement() && xml.name() == u"si")
                shared << QString();
            else if (xml.isStartElement() && xml.name() == u"t" && !shared.isEmpty())
                shared.last() += xml.readElementText();
        }
    }
    QList<QPair<QString, Sheet>> sheets;
    QXmlStreamReader list(part(book, u"xl/workbook.xml"_s));
    while (!list.atEnd()) {
        list.readNext();
        if (!list.isStartElement() || list.name() != u"sheet")
            continue;
        QString id;
        for (const QXmlStreamAttribute &a : list.attributes()) {
            if (a.name() == u"id")
                id = a.value().toString();
        }
        Sheet cells;
        QXmlStreamReader xml(part(book, targets.value(id)));
        QString ref, type;
        while (!xml.atEnd()) {
            xml.readNext();
            if (xml.isStartElement() && xml.name() == u"c") {
                ref = xml.attributes().value(u"r"_s).toString();
                type = xml.attributes().value(u"t"_s).toString();
            } else if (xml.isStartElement() && xml.name() == u"f" && !ref.isEmpty()) {
                cells[ref].formula = xml.readElementText();
            } else if (xml.isStartElement() && (xml.name() == u"v" || xml.name() == u"t") && !ref.isEmpty()) {
                Cell &cell = cells[ref];
                const QString text = xml.readElementText();
                if (type == u"s")
                    cell.text = shared.value(text.toInt());
                else if (type == u"inlineStr" || type == u"str" || type == u"e")
                    cell.text += text;
                else {
                    cell.number = true;
                    cell.value = text.toDouble();
                }
            } else if (xml.isEndElement() && xml.name() == u"c") {
                ref.clear();
            }
        }
        sheets.append({list.attributes().value(u"name"_s).toString(), cells});
    }
    return sheets;
}

// A text as the cell holds it: OOXML writes characters XML cannot carry as "_x000D_"; a line
// break is one LF whatever the writer made of it.
QString cellText(QString text)
{
    static const QRegularExpression escaped(u"_x([0-9A-Fa-f]{4})_"_s);
    for (QRegularExpressionMatch m = escaped.match(text); m.hasMatch(); m = escaped.match(text, m.capturedStart() + 1))
        text.replace(m.capturedStart(), m.capturedLength(), QChar(m.captured(1).toUShort(nullptr, 16)));
    return text.replace(u"\r\n"_s, u"\n"_s);
}

QString shown(const Cell &cell)
{
    return cell.number ? QString::number(cell.value, 'g', 15) : u'"' + cell.text + u'"';
}

// The cells of `stored` that `recalculated` does not hold alike, one line each.
QStringList differences(const Sheet &stored, const Sheet &recalculated)
{
    QStringList lines;
    for (auto it = stored.cbegin(); it != stored.cend(); ++it) {
        const Cell &want = it.value();
        if (!want.number && want.text.isEmpty())
            continue; // a blank that only carries a format
        const Cell got = recalculated.value(it.key());
        const bool same = want.number ? got.number && std::abs(got.value - want.value) <=
                                                          1e-9 * std::max(1.0, std::abs(want.value))
                                      : !got.number && cellText(got.text) == cellText(want.text);
        if (!same)
            lines << u"%1: stored %2, recalculated %3%4"_s.arg(it.key(), shown(want), shown(got),
                                                              want.formula.isEmpty() ? QString()
                                                                                     : u" (="_s + want.formula + u')');
    }
    lines.sort();
    return lines;
}

// The cell under the heading `column` (its first one) on the first row below it whose first cell
// reads `row`; with `rowsSum`, the sum of that column's cells from the heading to the first total.
std::optional<double> lookUp(const Sheet &sheet, const QString &row, const QString &column, bool rowsSum)
{
    int headingRow = -1, col = -1, rowAt = -1, firstTotal = -1;
    for (auto it = sheet.cbegin(); it != sheet.cend(); ++it) {
        const auto [r, c] = position(it.key());
        if (!it->number && it->text == column && (headingRow < 0 || r < headingRow))
            headingRow = r, col = c;
    }
    for (auto it = sheet.cbegin(); it != sheet.cend(); ++it) {
        const auto [r, c] = position(it.key());
        if (c != 0 || it->number || r <= headingRow)
            continue;
        if (it->text == row && (rowAt < 0 || r < rowAt))
            rowAt = r;
        if (it->text.startsWith(u"Total") && (firstTotal < 0 || r < firstTotal))
            firstTotal = r;
    }
    if (col < 0)
        return std::nullopt;
    if (rowsSum) {
        double sum = 0;
        for (int r = headingRow + 1; r < firstTotal; ++r)
            sum += sheet.value(reference(r, col)).value;
        return firstTotal > headingRow ? std::optional<double>(sum) : std::nullopt;
    }
    if (rowAt < 0)
        return std::nullopt;
    const Cell cell = sheet.value(reference(rowAt, col));
    return cell.number ? std::optional<double>(cell.value) : std::nullopt;
}

// A workbook whose formula's cached value is wrong: 2 * 2 stored as 5.
void writeCanary(const QString &path)
{
    lxw_workbook *book = workbook_new(QFile::encodeName(path).constData());
    lxw_worksheet *sheet = workbook_add_worksheet(book, nullptr);
    worksheet_write_number(sheet, 0, 0, 2, nullptr);
    worksheet_write_formula_num(sheet, 1, 0, "=A1*2", nullptr, 5);
    ASSERT_EQ(workbook_close(book), LXW_NO_ERROR);
}

// LibreOffice's own settings for the run: recalculate every OOXML file on load ("always").
void writeProfile(const QString &folder)
{
    ASSERT_TRUE(QDir().mkpath(folder + u"/user"_s));
    ASSERT_TRUE(writeAll(folder + u"/user/registrymodifications.xcu"_s,
                         "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                         "<oor:items xmlns:oor=\"http://openoffice.org/2001/registry\" "
                         "xmlns:xs=\"http://www.w3.org/2001/XMLSchema\" "
                         "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">\n"
                         "<item oor:path=\"/org.openoffice.Office.Calc/Formula/Load\">"
                         "<prop oor:name=\"OOXMLRecalcMode\" oor:op=\"fuse\"><value>0</value></prop></item>\n"
                         "</oor:items>\n"));
}

TEST(XlsxRecalc, EveryWorkbookHoldsWhatItsFormulasGive)
{
    const QString folder = qEnvironmentVariable("BO_XLSX_RECALC_DIR");
    ASSERT_FALSE(folder.isEmpty()) << "BO_XLSX_RECALC_DIR names the workbooks to check (set by CTest)";
    QStringList books;
    for (QDirIterator it(folder, {u"*.xlsx"_s}, QDir::Files); it.hasNext();)
        books << it.next();
    books.sort();
    ASSERT_GE(books.size(), 5) << "too few workbooks in " << folder.toStdString() << ": the check would prove little";

    QTemporaryDir profile, work, out;
    ASSERT_TRUE(profile.isValid() && work.isValid() && out.isValid());
    writeProfile(profile.path());
    const QString canary = work.filePath(u"canary.xlsx"_s);
    writeCanary(canary);
    QElapsedTimer clock;
    clock.start();
    QProcess soffice;
    soffice.setProcessChannelMode(QProcess::MergedChannels);
    soffice.start(u"soffice"_s, QStringList{u"--headless"_s, u"--norestore"_s, u"--nolockcheck"_s,
                                            u"-env:UserInstallation="_s + QUrl::fromLocalFile(profile.path()).toString(),
                                            u"--convert-to"_s, u"xlsx"_s, u"--outdir"_s, out.path(), canary}
                                    << books);
    ASSERT_TRUE(soffice.waitForFinished(20 * 60 * 1000)) << "soffice did not finish";
    const QString log = QString::fromUtf8(soffice.readAll());
    ASSERT_EQ(soffice.exitCode(), 0) << log.toStdString();
    std::cout << "soffice converted " << books.size() + 1 << " workbooks in " << clock.elapsed() << " ms\n";
    ::testing::Test::RecordProperty("soffice_ms", int(clock.elapsed()));

    // recalculated, 2 * 2 is 4, not the 5 the canary stores
    const auto canaryBack = readBook(out.filePath(u"canary.xlsx"_s));
    ASSERT_EQ(canaryBack.size(), 1) << log.toStdString();
    EXPECT_EQ(differences(readBook(canary).first().second, canaryBack.first().second),
              QStringList{u"A2: stored 5, recalculated 4 (=A1*2)"_s});

    int cells = 0, expectations = 0;
    for (const QString &book : std::as_const(books)) {
        const QString name = QFileInfo(book).fileName();
        SCOPED_TRACE(name.toStdString());
        const auto stored = readBook(book);
        const auto recalculated = readBook(out.filePath(name));
        ASSERT_FALSE(stored.isEmpty()) << "unreadable workbook";
        ASSERT_EQ(recalculated.size(), stored.size()) << log.toStdString();
        for (qsizetype s = 0; s < stored.size(); ++s) {
            EXPECT_EQ(recalculated.at(s).first, stored.at(s).first);
            EXPECT_EQ(differences(stored.at(s).second, recalculated.at(s).second).join(u'\n'), QString())
                << "sheet " << stored.at(s).first.toStdString();
            cells += int(stored.at(s).second.size());
        }
        const QString expectedFile = book.chopped(5) + u".json"_s;
        if (!QFile::exists(expectedFile))
            continue;
        const QJsonArray expected = QJsonDocument::fromJson(readAll(expectedFile)).object().value(u"cells").toArray();
        ASSERT_FALSE(expected.isEmpty()) << expectedFile.toStdString();
        for (const QJsonValue &entry : expected) {
            const QJsonObject e = entry.toObject();
            const QString what = e.value(u"row").toString(u"sum of the lines"_s) + u" / "_s + e.value(u"column").toString();
            const std::optional<double> got = lookUp(recalculated.first().second, e.value(u"row").toString(),
                                                     e.value(u"column").toString(), e.value(u"rowsSum").toBool());
            ASSERT_TRUE(got.has_value()) << what.toStdString() << ": no such cell";
            EXPECT_NEAR(*got, e.value(u"value").toDouble(), e.value(u"tolerance").toDouble(0.005)) << what.toStdString();
            ++expectations;
        }
    }
    std::cout << cells << " cells and " << expectations << " expected totals compared\n";
    EXPECT_GT(expectations, 0) << "no test asked for a total: the SQL comparison proved nothing";
}

} // namespace
