#pragma once

#include "host_global.h"
#include "uiservices.h"

#include <QList>
#include <QQueue>
#include <QStringList>
#include <functional>
#include <optional>

// UiServices that shows nothing: it records every message and dialog and answers dialogs from
// queued answers (a dialog with no answer waiting is cancelled). Screen scripts and tests use it.
class HOST_EXPORT RecordingUi : public UiServices
{
public:
    struct Opened
    {
        QString kind;  // "picker" or "search"
        QString title;
        QStringList keys;
    };

    void showError(QWidget *parent, const QString &text) override;
    void showInfo(QWidget *parent, const QString &text) override;
    std::optional<QStringList> pickList(QWidget *parent, const QString &title, const QString &emptyText,
                                        TDataSet &data, const QString &keyField) override;
    std::optional<int> search(QWidget *parent, const QString &title, TDataSet &data,
                              const QString &keyField) override;
    std::optional<QString> prompt(QWidget *parent, const QString &caption, const QString &label,
                                  const QString &initial) override;
    // Answers the queued file with its queued filter; without one, the filter whose pattern matches
    // the file's extension, else the first filter (what the real dialog starts with).
    std::optional<QString> saveFileName(QWidget *parent, const QString &caption, const QString &filters,
                                        QString *selectedFilter = nullptr, const QString &suggested = {}) override;
    // The queued answer's check box state, when it gave one; otherwise the box stays as it was.
    std::optional<QString> saveFileNameWithCheck(QWidget *parent, const QString &caption, const QString &filters,
                                                 QString *selectedFilter, const QString &checkText, bool *checked,
                                                 const QString &suggested = {}) override;
    void showHelp(QWidget *parent, const QString &title, const QString &pagePath) override;

    // Answers for the next dialog of each kind.
    void answerPicker(const QStringList &keys) { mPickerAnswers.enqueue(keys); }
    void answerSearch(const QString &key) { mSearchAnswers.enqueue(key); }
    void answerPrompt(const QString &text) { mPromptAnswers.enqueue(text); }
    void answerFile(const QString &path, const QString &filter = {}, std::optional<bool> check = {})
    {
        mFileAnswers.enqueue({path, filter, check});
    }

    // What was shown, in order. Errors that reached the event boundary are in `errors`.
    QStringList messages;
    QStringList errors;
    QList<Opened> opened;
    QStringList helpPages;
    QStringList suggestedFiles; // what each save dialog opened with

    // Called on every message and dialog as it happens (screen scripts print them at once).
    std::function<void(const QString &kind, const QString &text)> onMessage;
    std::function<void(const Opened &)> onOpened;

    void showUnhandled(QWidget *parent, const QString &text) override;
    void clear();

private:
    QQueue<QStringList> mPickerAnswers;
    QQueue<QString> mSearchAnswers;
    QQueue<QString> mPromptAnswers;
    struct FileAnswer
    {
        QString file;
        QString filter;
        std::optional<bool> check;
    };
    QQueue<FileAnswer> mFileAnswers;
};
