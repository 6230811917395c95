#pragma once

#include "host_global.h"
#include "form.h"
#include "waitwatcher.h"

#include <QApplication>
#include <QIcon>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QTranslator>

// The host application: the event-dispatch boundary, the main window's MDI area and the form
// factory.
class HOST_EXPORT TApplication : public QApplication
{
    Q_OBJECT
public:
    TApplication(int &argc, char **argv);
    ~TApplication() override;

    // Qt's own texts (file, print and message dialogs, standard buttons) in Portuguese: loads
    // qtbase_pt_BR from Qt's translations folder. False when that file is not installed.
    bool qtTranslationsLoaded() const { return mQtTranslations != nullptr; }

    // Ends an EAbort quietly and shows any other exception; an event handler never ends the process.
    bool notify(QObject *receiver, QEvent *event) override;

    // Where screens open as child windows; null while the host has no main window (tests).
    void setMdiArea(QMdiArea *area);
    QMdiArea *mdiArea() const { return mMdiArea; }
    // Deactivates the active screen so that the next Show() activates it again.
    void deactivateScreens();

    // Form factory: builds the screen, owned by the host (its MDI child window, or the application
    // while there is no main window), then runs its FormCreate. A failure leaves `ref` untouched.
    template <typename T>
    void CreateForm(QPointer<T> &ref)
    {
        T *form = new T(nullptr); // owned by adopt() below, or deleted if creation throws
        try {
            adopt(form);
            form->runCreate();
        } catch (...) {
            discard(form);
            throw;
        }
        ref = form;
    }

    // Opens the help page of a screen (help file and context).
    void showHelp(const QString &helpFile, int context);
    // Help pages folder; defaults to the project's help/ folder.
    void setHelpDir(const QString &dir) { mHelpDir = dir; }
    QString helpPagePath(const QString &helpFile, int context) const;

private:
    void adopt(TForm *form);
    void discard(TForm *form);

    void onSubWindowActivated(QMdiSubWindow *sub);

    QPointer<QMdiArea> mMdiArea;
    QPointer<QMdiSubWindow> mLastActive;
    QString mHelpDir;
    QIcon mSubWindowIcon; // the one default icon of every child window
    QTranslator *mQtTranslations = nullptr;
    WaitWatcher mWaitWatcher;
};

HOST_EXPORT TApplication *Application();

// The screen cursor: -11 the hourglass, 0 the default.
class HOST_EXPORT TScreen
{
public:
    static constexpr int crDefault = 0;
    static constexpr int crHourGlass = -11;
    static int Cursor();
    static void SetCursor(int cursor);
};
