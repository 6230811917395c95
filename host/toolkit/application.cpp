#include "application.h"

#include "datamodule.h"

#include "errors.h"
#include "eventboundary.h"
#include "ptbrlocale.h"
#include "uiservices.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLibraryInfo>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QStyle>
#include <vector>

namespace {
// Screens shown without a main window (tests, scripts without MDI) are owned here.
std::vector<QPointer<TForm>> &topLevelForms()
{
    static std::vector<QPointer<TForm>> forms;
    return forms;
}
int gCursor = TScreen::crDefault;
} // namespace

TApplication::TApplication(int &argc, char **argv) : QApplication(argc, argv)
{
    mHelpDir = QStringLiteral(BO_SOURCE_DIR "/help");
    // Lookups that wait on the database show it, and can be given up.
    TdtmDBGeral::setWatcher(&mWaitWatcher);
    // Every standard dialog speaks the users' language and writes its numbers and dates as they do;
    // without the translations file the buttons stay in English.
    QLocale::setDefault(ptBRLocale());
    auto *translator = new QTranslator(this);
    if (translator->load(QStringLiteral("qtbase_pt_BR"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)) &&
        installTranslator(translator)) {
        mQtTranslations = translator;
    } else {
        delete translator;
    }
}

TApplication::~TApplication()
{
    TdtmDBGeral::setWatcher(nullptr);
    for (auto &form : topLevelForms())
        delete form.data();
    topLevelForms().clear();
}

bool TApplication::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        EventBoundary::handle(std::current_exception());
        return true;
    }
}

void TApplication::setMdiArea(QMdiArea *area)
{
    mMdiArea = area;
    if (area)
        connect(area, &QMdiArea::subWindowActivated, this, &TApplication::onSubWindowActivated);
}

void TApplication::onSubWindowActivated(QMdiSubWindow *sub)
{
    // The area also reports activation when the host's own window comes back from another
    // application or a message box; only a change of the active screen is an activation.
    if (!sub || sub == mLastActive)
        return;
    mLastActive = sub;
    if (auto *form = qobject_cast<TForm *>(sub->widget()))
        form->runActivate();
}

void TApplication::deactivateScreens()
{
    mLastActive = nullptr;
    if (mMdiArea)
        mMdiArea->setActiveSubWindow(nullptr);
}

void TApplication::adopt(TForm *form)
{
    if (mMdiArea) {
        QMdiSubWindow *sub = mMdiArea->addSubWindow(form, Qt::SubWindow | Qt::WindowTitleHint |
                                                              Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                                                              Qt::WindowCloseButtonHint);
        sub->setAttribute(Qt::WA_DeleteOnClose);
        sub->setWindowTitle(form->windowTitle());
        // One icon object for every child window: the style's default, which each child window would
        // otherwise make anew, puts a new scaled pixmap in Qt's pixmap cache at every screen opened.
        QIcon icon = form->windowIcon();
        if (icon.isNull()) {
            if (mSubWindowIcon.isNull())
                mSubWindowIcon = sub->style()->standardIcon(QStyle::SP_TitleBarMenuButton, nullptr, sub);
            icon = mSubWindowIcon;
        }
        sub->setWindowIcon(icon);
        // A fixed single border: the child window keeps the screen's size.
        sub->adjustSize();
        sub->setFixedSize(sub->sizeHint());
        return;
    }
    form->setAttribute(Qt::WA_DeleteOnClose);
    auto &forms = topLevelForms();
    std::erase_if(forms, [](const QPointer<TForm> &f) { return f.isNull(); });
    forms.emplace_back(form);
}

void TApplication::discard(TForm *form)
{
    if (QMdiSubWindow *sub = form->subWindow()) {
        delete sub; // deletes the form with it
        return;
    }
    std::erase_if(topLevelForms(), [form](const QPointer<TForm> &f) { return f.isNull() || f == form; });
    delete form;
}

QString TApplication::helpPagePath(const QString &helpFile, int context) const
{
    const QString base = QFileInfo(helpFile).completeBaseName();
    return QDir(mHelpDir).filePath(base + u'/' + QString::number(context) + QStringLiteral(".html"));
}

void TApplication::showHelp(const QString &helpFile, int context)
{
    UiServices::current().showHelp(activeWindow(), QStringLiteral("Ajuda"), helpPagePath(helpFile, context));
}

TApplication *Application()
{
    return qobject_cast<TApplication *>(QCoreApplication::instance());
}

int TScreen::Cursor()
{
    return gCursor;
}

void TScreen::SetCursor(int cursor)
{
    if (cursor == gCursor)
        return;
    if (gCursor != crDefault)
        QGuiApplication::restoreOverrideCursor();
    gCursor = cursor;
    if (cursor == crHourGlass)
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    else if (cursor != crDefault)
        QGuiApplication::setOverrideCursor(Qt::ArrowCursor);
}
