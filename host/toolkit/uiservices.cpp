#include "uiservices.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QInputDialog>
#include <QFile>
#include <QMessageBox>
#include <QTextBrowser>
#include <QUrl>

namespace {
UiServices *gInstalled = nullptr;

WidgetUi &widgetUi()
{
    static WidgetUi ui;
    return ui;
}
} // namespace

UiServices::~UiServices() = default;

UiServices &UiServices::current()
{
    return gInstalled ? *gInstalled : widgetUi();
}

std::optional<QString> UiServices::saveFileNameWithCheck(QWidget *parent, const QString &caption, const QString &filters,
                                                         QString *selectedFilter, const QString &, bool *,
                                                         const QString &suggested)
{
    return saveFileName(parent, caption, filters, selectedFilter, suggested);
}

UiServices *UiServices::install(UiServices *services)
{
    UiServices *previous = gInstalled;
    gInstalled = services;
    return previous;
}

ScopedUi::ScopedUi(UiServices &services) : mPrevious(UiServices::install(&services)) {}

ScopedUi::~ScopedUi()
{
    UiServices::install(mPrevious);
}

void WidgetUi::showError(QWidget *parent, const QString &text)
{
    QMessageBox::critical(parent, QStringLiteral("Erro"), text);
}

void WidgetUi::showInfo(QWidget *parent, const QString &text)
{
    QMessageBox::information(parent, QStringLiteral("Informação"), text);
}

std::optional<QString> WidgetUi::prompt(QWidget *parent, const QString &caption, const QString &label,
                                        const QString &initial)
{
    bool ok = false;
    const QString text = QInputDialog::getText(parent, caption, label, QLineEdit::Normal, initial, &ok);
    if (!ok)
        return std::nullopt;
    return text;
}

QStringList filterSuffixes(const QString &filter)
{
    // Only the patterns inside the parentheses count: the name before them is free text.
    const qsizetype open = filter.lastIndexOf(u'(');
    const qsizetype close = filter.lastIndexOf(u')');
    const QString patterns = open >= 0 && close > open ? filter.mid(open + 1, close - open - 1) : filter;
    QStringList suffixes;
    for (const QString &pattern : patterns.split(u' ', Qt::SkipEmptyParts)) {
        if (!pattern.startsWith(QStringLiteral("*.")))
            continue;
        const QString suffix = pattern.mid(2);
        if (!suffix.isEmpty() && !suffix.contains(u'*') && !suffix.contains(u'?'))
            suffixes << suffix;
    }
    return suffixes;
}

std::optional<QString> WidgetUi::saveFileName(QWidget *parent, const QString &caption, const QString &filters,
                                              QString *selectedFilter, const QString &suggested)
{
    QString chosen;
    const QString path = QFileDialog::getSaveFileName(parent, caption, suggested, filters, &chosen);
    if (path.isEmpty())
        return std::nullopt;
    if (selectedFilter)
        *selectedFilter = chosen;
    return path;
}

std::optional<QString> WidgetUi::saveFileNameWithCheck(QWidget *parent, const QString &caption, const QString &filters,
                                                       QString *selectedFilter, const QString &checkText, bool *checked,
                                                       const QString &suggested)
{
    // Qt's own dialog: a native one takes no extra control. A suggested path opens its folder with
    // its name typed in; changing the type changes the name's extension.
    QFileDialog dialog(parent, caption, suggested, filters);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    auto *check = new QCheckBox(checkText, &dialog); // owned by the dialog
    check->setChecked(checked && *checked);
    if (auto *grid = qobject_cast<QGridLayout *>(dialog.layout()))
        grid->addWidget(check, grid->rowCount(), 0, 1, grid->columnCount());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    if (selectedFilter)
        *selectedFilter = dialog.selectedNameFilter();
    if (checked)
        *checked = check->isChecked();
    return dialog.selectedFiles().constFirst();
}

void WidgetUi::showHelp(QWidget *parent, const QString &title, const QString &pagePath)
{
    if (!QFile::exists(pagePath)) {
        showInfo(parent, QStringLiteral("A página de ajuda '%1' não foi encontrada.").arg(pagePath));
        return;
    }
    // Non-modal: the user keeps working on the screen while reading.
    auto *viewer = new QTextBrowser(parent); // owned by parent, deleted on close
    viewer->setWindowFlag(Qt::Window);
    viewer->setAttribute(Qt::WA_DeleteOnClose);
    viewer->setWindowTitle(title);
    viewer->setSource(QUrl::fromLocalFile(pagePath));
    viewer->resize(560, 480);
    viewer->show();
}
