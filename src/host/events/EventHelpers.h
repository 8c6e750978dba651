#pragma once
#include <QObject>

#include <functional>

class QGroupBox;
class QWidget;

namespace krv::host {

// Runs one event handler. EAbort ends it silently; any other exception is shown once
// through HostUi as an error; nothing propagates, so no exception crosses the event loop.
// True when `fn` ran to its end.
bool Guard(const std::function<void()>& fn) noexcept;

// Connects a signal to a handler that runs inside Guard.
template <class Sender, class Signal, class Handler>
QMetaObject::Connection ConnectGuarded(Sender* sender, Signal signal, QObject* context, Handler handler) {
    return QObject::connect(sender, signal, context, [handler](auto&&... args) { Guard([&] { handler(args...); }); });
}

// A screen's close, run the same way by every base screen: `formClose` (the screen's FormClose)
// runs inside Guard with its Action starting as caHide. When it answers caNone or fails, the
// screen stays open and the result is false. Otherwise `finish` ends the screen's showing, and
// with caFree the screen, with its MDI frame when it has one, is deleted once control is back
// in the event loop.
bool RunScreenClose(QWidget* screen, const std::function<void(int& action)>& formClose,
                    const std::function<void()>& finish);

// Runs `fn` (inside Guard) when the focus leaves `w` for another control of the same
// screen (its window, or its child window in an MDI area). Focus taken by a dialog, a popup,
// another window or another MDI child, or lost to nowhere, is not leaving; nor is a focus change made while an exit
// handler runs, so a handler that shows a message or puts the focus back does not set off another exit. Replaces an
// earlier handler.
void OnExit(QWidget* w, std::function<void()> fn);
// Runs `fn` (inside Guard) when the focus moves from a control inside `group` to a control
// outside it on the same screen. Replaces an earlier group handler.
void OnGroupExit(QGroupBox* group, std::function<void()> fn);

// Detaches or re-attaches the exit handler of `w` (a control's or a group's).
void SetExitAttached(QObject* w, bool attached);

// Keeps the exit handler of `w` detached for its own lifetime.
class ExitDetached {
public:
    explicit ExitDetached(QObject* w);
    ~ExitDetached();
    ExitDetached(const ExitDetached&) = delete;
    ExitDetached& operator=(const ExitDetached&) = delete;

private:
    QObject* w_;
};

}  // namespace krv::host
