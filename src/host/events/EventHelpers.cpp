#include "host/events/EventHelpers.h"

#include <QApplication>
#include <QFocusEvent>
#include <QGroupBox>
#include <QMdiSubWindow>

#include "core/Errors.h"
#include "host/dialogs/HostUi.h"
#include "host/session/Application.h"

namespace krv::host {

namespace {

// Exit handlers running now; focus changes they cause are not exits.
int runningExits = 0;

void showError(const QString& text) noexcept {
    try {
        HostUi::instance().messageDlg(text, MsgDlgType::Error, mbOK);
    } catch (...) {
        qWarning("erro não mostrado: %s", qPrintable(text));
    }
}

// The screen a control belongs to: its window, or its child window inside an MDI area, so
// that moving to another screen of the main window is not leaving a control either.
QWidget* formOf(QWidget* w) {
    while (!w->isWindow() && !qobject_cast<QMdiSubWindow*>(w)) w = w->parentWidget();
    return w;
}

// Is `now` a control of the same screen as `from`, outside `scope`?
bool leftFor(QWidget* now, QWidget* from, QWidget* scope) {
    return now && formOf(now) == formOf(from) && now != scope && !scope->isAncestorOf(now) &&
           !QApplication::activePopupWidget();
}

// By value: a handler may replace itself while it runs.
void runExit(std::function<void()> fn) {
    ++runningExits;
    Guard(fn);
    --runningExits;
}

// One per watched control or group, as its child; found again by type.
class ExitWatcher : public QObject {
    Q_OBJECT
public:
    ExitWatcher(QObject* target, std::function<void()> fn) : QObject(target), fn_(std::move(fn)) {}
    void setFn(std::function<void()> fn) { fn_ = std::move(fn); }
    bool attached = true;

protected:
    std::function<void()> fn_;
    bool mayRun() const { return attached && runningExits == 0 && fn_; }
};

class ControlExit : public ExitWatcher {
    Q_OBJECT
public:
    ControlExit(QWidget* w, std::function<void()> fn) : ExitWatcher(w, std::move(fn)) { w->installEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::FocusOut && mayRun()) {
            const auto reason = static_cast<QFocusEvent*>(event)->reason();
            auto* w = static_cast<QWidget*>(watched);
            if (reason == Qt::MouseFocusReason && keptByPress(w)) return true;
            // By now the application already names the control that takes the focus.
            if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason &&
                leftFor(QApplication::focusWidget(), w, w))
                runExit(fn_);
        }
        return false;
    }

private:
    // A press on what takes no focus (a flat button, the screen's background) makes Qt hand the
    // focus to the nearest container that takes it, the MDI frame. On the platform such a
    // press leaves the focus where it was, and the buttons' focus guard counts on that: the
    // field keeps the focus and is not left.
    static bool keptByPress(QWidget* w) {
        QWidget* now = QApplication::focusWidget();
        if (!now || !now->isAncestorOf(w)) return false;
        ++runningExits;  // giving it back is no exit of the container
        w->setFocus(Qt::OtherFocusReason);
        --runningExits;
        return true;
    }
};

class GroupExit : public ExitWatcher {
    Q_OBJECT
public:
    GroupExit(QGroupBox* group, std::function<void()> fn) : ExitWatcher(group, std::move(fn)) {
        connect(qApp, &QApplication::focusChanged, this, [this, group](QWidget* old, QWidget* now) {
            if (old && group->isAncestorOf(old) && mayRun() && leftFor(now, old, group)) runExit(fn_);
        });
    }
};

template <class Watcher, class Target>
void watch(Target* target, std::function<void()> fn) {
    if (auto* existing = target->template findChild<Watcher*>(QString(), Qt::FindDirectChildrenOnly))
        existing->setFn(std::move(fn));
    else
        new Watcher(target, std::move(fn));
}

}  // namespace

bool Guard(const std::function<void()>& fn) noexcept {
    try {
        fn();
        return true;
    } catch (const EAbort&) {
    } catch (const std::exception& e) {
        showError(QString::fromUtf8(e.what()));
    } catch (...) {
        showError(QStringLiteral("Erro inesperado."));
    }
    return false;
}

bool RunScreenClose(QWidget* screen, const std::function<void(int& action)>& formClose,
                    const std::function<void()>& finish) {
    int action = caHide;
    if (!Guard([&] { formClose(action); }) || action == caNone) return false;
    finish();
    if (action == caFree) {
        QMdiSubWindow* frame = SubWindowOf(screen);
        frame ? frame->deleteLater() : screen->deleteLater();
    }
    return true;
}

void OnExit(QWidget* w, std::function<void()> fn) { watch<ControlExit>(w, std::move(fn)); }

void OnGroupExit(QGroupBox* group, std::function<void()> fn) { watch<GroupExit>(group, std::move(fn)); }

void SetExitAttached(QObject* w, bool attached) {
    for (auto* watcher : w->findChildren<ExitWatcher*>(QString(), Qt::FindDirectChildrenOnly))
        watcher->attached = attached;
}

ExitDetached::ExitDetached(QObject* w) : w_(w) { SetExitAttached(w_, false); }

ExitDetached::~ExitDetached() { SetExitAttached(w_, true); }

}  // namespace krv::host

#include "EventHelpers.moc"
