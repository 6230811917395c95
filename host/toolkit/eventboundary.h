#pragma once

#include "host_global.h"

#include <QObject>
#include <QString>
#include <concepts>
#include <exception>
#include <functional>
#include <utility>

// Where an event's handler ends. An EAbort ends it quietly (the user has been told); any other
// exception is shown to the user and the application goes on. Nothing thrown by a handler travels
// through Qt's own frames: a screen's handlers are connected with connectHandler (the catch is the
// last frame of the slot Qt calls), and a control's event function that calls code which may throw
// runs that code inside run().
class HOST_EXPORT EventBoundary
{
public:
    static void handle(std::exception_ptr error);

    // Runs a handler called from inside Qt (a paint, focus or close event) so that no exception
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

    // Emits a signal whose handler's failure also ends what the emitter is doing (a search's
    // before-event stops the search, the parameters request stops the report): a handler connected
    // with connectHandler hands its exception back, and it is thrown again here once Qt's dispatch
    // has returned. After a failed handler the signal's later handlers do not run.
    template <typename F>
    static void emitStopping(F &&emitter)
    {
        std::exception_ptr failure;
        {
            const Relay relay(&failure);
            emitter();
        }
        if (failure)
            std::rethrow_exception(failure);
    }

    // The end of a slot connected with connectHandler.
    template <typename F>
    static void runSlot(F &&handler)
    {
        // Signals the handler sets off end at their own slots, not at this emitter.
        const Relay relay(nullptr);
        std::exception_ptr *failure = relay.outer();
        if (failure && *failure)
            return;
        try {
            handler();
        } catch (...) {
            if (failure)
                *failure = std::current_exception();
            else
                handle(std::current_exception());
        }
    }

private:
    // The emitter waiting for a handler's failure, for the time of one emit or one slot.
    class HOST_EXPORT Relay
    {
    public:
        explicit Relay(std::exception_ptr *failure);
        ~Relay();
        Relay(const Relay &) = delete;
        Relay &operator=(const Relay &) = delete;
        std::exception_ptr *outer() const { return mOuter; }

    private:
        std::exception_ptr *mOuter;
    };
};

// Connects a handler of a screen (a member function of `receiver`) to a control's signal; the
// handler runs inside the event boundary. Every screen handler is connected this way.
template <typename Sender, typename Signal, typename Receiver, typename Class, typename... Args>
QMetaObject::Connection connectHandler(const Sender *sender, Signal signal, Receiver *receiver,
                                       void (Class::*handler)(Args...))
{
    return QObject::connect(sender, signal, receiver, [receiver, handler](Args... args) {
        EventBoundary::runSlot([&] { (receiver->*handler)(std::forward<Args>(args)...); });
    });
}

// The same for a handler without arguments run for `context` (a lambda naming what it acts on).
template <typename Sender, typename Signal, typename F>
    requires std::invocable<F &>
QMetaObject::Connection connectHandler(const Sender *sender, Signal signal, const QObject *context, F handler)
{
    return QObject::connect(sender, signal, context,
                            [handler = std::move(handler)]() mutable { EventBoundary::runSlot(handler); });
}

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
