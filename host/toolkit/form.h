#pragma once

#include "host_global.h"

#include <QPointer>
#include <QWidget>

class QMdiSubWindow;

enum class TCloseAction { caNone, caHide, caFree, caMinimize };

// A host screen. The form factory (TApplication::CreateForm) builds it and then runs FormCreate;
// each activation runs FormActivate; closing runs FormClose, whose action decides what happens.
class HOST_EXPORT TForm : public QWidget
{
    Q_OBJECT
public:
    explicit TForm(QWidget *parent = nullptr);
    ~TForm() override;

    virtual void FormCreate(QObject *sender);
    virtual void FormActivate(QObject *sender);
    virtual void FormClose(QObject *sender, TCloseAction &action);

    // Non-modal show: as an MDI child when the host has a main window, else top-level.
    void Show();
    void Activate();

    QString HelpFile;
    int HelpContext = 0;

    QMdiSubWindow *subWindow() const;

    // Called by the factory and the host's window management. Creation also makes Enter in a
    // field move on as Tab does (a button under the focus is pressed instead).
    void runCreate();
    void runActivate();

Q_SIGNALS:
    void closed();

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
};
