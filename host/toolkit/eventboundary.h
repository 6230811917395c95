#pragma once

#include "host_global.h"

#include <QString>
#include <exception>
#include <functional>

// Where an event's handler ends. An EAbort ends it quietly (the user has been told); any other
// exception is shown to the user and the application goes on.
class HOST_EXPORT EventBoundary
{
public:
    static void handle(std::exception_ptr error);

    // Runs a handler called from inside Qt (a signal, a paint or focus event) so that no exception
    // travels through Qt's own frames.
    template <typename F>
    static void run(F &&handler)
    {
        try {
            handler();
        } catch (...) {
            handle(std::current_exception());
        }
    }
};

// Suppresses exit events while a handler moves the focus itself (a validator putting it back), so
// that leaving a field never runs a second exit.
class HOST_EXPORT ExitGuard
{
public:
    ExitGuard();
    ~ExitGuard();
    ExitGuard(const ExitGuard &) = delete;
    ExitGuard &operator=(const ExitGuard &) = delete;

    static bool active();
};

class QWidget;
class QFocusEvent;

// True when a focus-out of `from` is a user's exit: the focus went to another control of the same
// screen, not to another window, a popup or a message box.
HOST_EXPORT bool isExitFocusOut(QWidget *from, const QFocusEvent *event);
