#pragma once

#include "host_global.h"

#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

class QWidget;
class TDataSet;

// Every dialog the host shows goes through this interface, so that screen scripts and tests can
// capture messages and answer dialogs instead of a person.
class HOST_EXPORT UiServices
{
public:
    virtual ~UiServices();

    virtual void showError(QWidget *parent, const QString &text) = 0;
    virtual void showInfo(QWidget *parent, const QString &text) = 0;
    // An error that reached the event boundary (not a validation message); shown as an error box.
    virtual void showUnhandled(QWidget *parent, const QString &text) { showError(parent, text); }

    // Multi-select list picker over the rows of `data`; answers the key values of the picked rows,
    // or nothing when the user cancels. `emptyText` is shown when there are no rows.
    virtual std::optional<QStringList> pickList(QWidget *parent, const QString &title, const QString &emptyText,
                                                TDataSet &data, const QString &keyField) = 0;
    // Single-row search over `data` (filter as you type, Enter picks); answers the picked row index.
    virtual std::optional<int> search(QWidget *parent, const QString &title, TDataSet &data,
                                      const QString &keyField) = 0;
    virtual std::optional<QString> prompt(QWidget *parent, const QString &caption, const QString &label,
                                          const QString &initial) = 0;
    // File name to write to; `filters` is a QFileDialog filter list. `selectedFilter`, when given,
    // receives the filter the user left chosen (one entry of `filters`), so that a name typed
    // without an extension can take the chosen type's. `suggested`: the path the dialog opens
    // with (its folder shown, its name typed in), none for the current folder.
    virtual std::optional<QString> saveFileName(QWidget *parent, const QString &caption, const QString &filters,
                                                QString *selectedFilter = nullptr, const QString &suggested = {}) = 0;
    // The same dialog with a check box under the file types: `checkText` its caption, `*checked` its
    // state in and out (left as it was when the dialog is cancelled). Without an override of its own
    // the dialog shows no check box and `*checked` stays as given.
    virtual std::optional<QString> saveFileNameWithCheck(QWidget *parent, const QString &caption, const QString &filters,
                                                         QString *selectedFilter, const QString &checkText, bool *checked,
                                                         const QString &suggested = {});

    // Shows a help page (an HTML file); no page is a message, not a failure.
    virtual void showHelp(QWidget *parent, const QString &title, const QString &pagePath) = 0;

    // The services in use; real dialogs unless something installed others.
    static UiServices &current();
    // Installs `services` (not owned); nullptr restores the real dialogs. Answers the previous one.
    static UiServices *install(UiServices *services);
};

// The extensions one entry of a file dialog's filter list names, without the dot, in order
// ("Planilha Excel (*.xlsx)" -> {"xlsx"}); "*" and "*.*" name none.
HOST_EXPORT QStringList filterSuffixes(const QString &filter);

// Real, modal Qt dialogs.
class HOST_EXPORT WidgetUi : public UiServices
{
public:
    void showError(QWidget *parent, const QString &text) override;
    void showInfo(QWidget *parent, const QString &text) override;
    std::optional<QStringList> pickList(QWidget *parent, const QString &title, const QString &emptyText,
                                        TDataSet &data, const QString &keyField) override;
    std::optional<int> search(QWidget *parent, const QString &title, TDataSet &data,
                              const QString &keyField) override;
    std::optional<QString> prompt(QWidget *parent, const QString &caption, const QString &label,
                                  const QString &initial) override;
    std::optional<QString> saveFileName(QWidget *parent, const QString &caption, const QString &filters,
                                        QString *selectedFilter = nullptr, const QString &suggested = {}) override;
    std::optional<QString> saveFileNameWithCheck(QWidget *parent, const QString &caption, const QString &filters,
                                                 QString *selectedFilter, const QString &checkText, bool *checked,
                                                 const QString &suggested = {}) override;
    void showHelp(QWidget *parent, const QString &title, const QString &pagePath) override;
};

// Installs a UiServices for a scope (tests, screen scripts).
class HOST_EXPORT ScopedUi
{
public:
    explicit ScopedUi(UiServices &services);
    ~ScopedUi();
    ScopedUi(const ScopedUi &) = delete;
    ScopedUi &operator=(const ScopedUi &) = delete;

private:
    UiServices *mPrevious;
};
