#include "recordingui.h"

#include "dataset.h"

#include <QFileInfo>

namespace {
QStringList keysOf(const TDataSet &data, const QString &keyField)
{
    QStringList keys;
    const int column = data.columnIndex(keyField);
    if (column < 0)
        return keys;
    keys.reserve(data.RecordCount());
    for (int row = 0; row < data.RecordCount(); ++row)
        keys << data.text(row, column);
    return keys;
}
} // namespace

void RecordingUi::showError(QWidget *, const QString &text)
{
    messages << text;
    if (onMessage)
        onMessage(QStringLiteral("message"), text);
}

void RecordingUi::showInfo(QWidget *parent, const QString &text)
{
    showError(parent, text);
}

void RecordingUi::showUnhandled(QWidget *, const QString &text)
{
    errors << text;
    if (onMessage)
        onMessage(QStringLiteral("error"), text);
}

std::optional<QStringList> RecordingUi::pickList(QWidget *, const QString &title, const QString &,
                                                 TDataSet &data, const QString &keyField)
{
    Opened seen{QStringLiteral("picker"), title, keysOf(data, keyField)};
    opened << seen;
    if (onOpened)
        onOpened(seen);
    if (mPickerAnswers.isEmpty())
        return std::nullopt;
    // Only keys the list offers can be picked, as in the real dialog.
    QStringList picked;
    const QStringList wanted = mPickerAnswers.dequeue();
    for (const QString &key : wanted) {
        if (seen.keys.contains(key))
            picked << key;
    }
    return picked;
}

std::optional<int> RecordingUi::search(QWidget *, const QString &title, TDataSet &data, const QString &keyField)
{
    Opened seen{QStringLiteral("search"), title, keysOf(data, keyField)};
    opened << seen;
    if (onOpened)
        onOpened(seen);
    if (mSearchAnswers.isEmpty())
        return std::nullopt;
    const int row = int(seen.keys.indexOf(mSearchAnswers.dequeue()));
    if (row < 0)
        return std::nullopt;
    return row;
}

std::optional<QString> RecordingUi::prompt(QWidget *, const QString &, const QString &, const QString &)
{
    if (mPromptAnswers.isEmpty())
        return std::nullopt;
    return mPromptAnswers.dequeue();
}

std::optional<QString> RecordingUi::saveFileName(QWidget *, const QString &, const QString &filters,
                                                 QString *selectedFilter, const QString &suggested)
{
    suggestedFiles << suggested;
    if (mFileAnswers.isEmpty())
        return std::nullopt;
    const auto [file, filter, check] = mFileAnswers.dequeue();
    if (selectedFilter) {
        const QStringList entries = filters.split(QStringLiteral(";;"), Qt::SkipEmptyParts);
        QString chosen = filter;
        if (chosen.isEmpty()) {
            const QString suffix = QFileInfo(file).suffix();
            for (const QString &entry : entries) {
                if (!suffix.isEmpty() && filterSuffixes(entry).contains(suffix, Qt::CaseInsensitive)) {
                    chosen = entry;
                    break;
                }
            }
        }
        if (chosen.isEmpty() && !entries.isEmpty())
            chosen = entries.first();
        *selectedFilter = chosen;
    }
    return file;
}

std::optional<QString> RecordingUi::saveFileNameWithCheck(QWidget *parent, const QString &caption, const QString &filters,
                                                          QString *selectedFilter, const QString &, bool *checked,
                                                          const QString &suggested)
{
    if (mFileAnswers.isEmpty()) {
        suggestedFiles << suggested;
        return std::nullopt;
    }
    const std::optional<bool> check = mFileAnswers.head().check;
    const auto answer = saveFileName(parent, caption, filters, selectedFilter, suggested);
    if (answer && check && checked)
        *checked = *check;
    return answer;
}

void RecordingUi::clear()
{
    messages.clear();
    errors.clear();
    suggestedFiles.clear();
    opened.clear();
    helpPages.clear();
    mPickerAnswers.clear();
    mSearchAnswers.clear();
    mPromptAnswers.clear();
    mFileAnswers.clear();
}

void RecordingUi::showHelp(QWidget *, const QString &, const QString &pagePath)
{
    helpPages << pagePath;
    if (onMessage)
        onMessage(QStringLiteral("help"), pagePath);
}
