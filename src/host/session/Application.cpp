#include "host/session/Application.h"

#include <QApplication>
#include <QMdiArea>
#include <QMdiSubWindow>

namespace krv::host {

TApplication Application;

void TApplication::SetMainForm(QWidget* mainForm, QMdiArea* mdiArea) {
    mainForm_ = mainForm;
    mdiArea_ = mdiArea;
}

void TApplication::PlaceInMdiArea(QWidget* form) {
    if (!mdiArea_) return;
    QMdiSubWindow* frame = mdiArea_->addSubWindow(form);
    // The form decides on close whether it is freed; the frame must not delete it behind its back.
    frame->setAttribute(Qt::WA_DeleteOnClose, false);
}

void TApplication::Discard(QWidget* form) {
    QMdiSubWindow* frame = SubWindowOf(form);
    delete form;
    delete frame;
}

QMdiSubWindow* SubWindowOf(const QWidget* form) {
    return form ? qobject_cast<QMdiSubWindow*>(form->parentWidget()) : nullptr;
}

void ShowNormal(QWidget* form) {
    if (QMdiSubWindow* frame = SubWindowOf(form)) {
        form->show();
        frame->showNormal();
        if (QMdiArea* area = frame->mdiArea()) area->setActiveSubWindow(frame);
        return;
    }
    form->showNormal();
    form->raise();
    form->activateWindow();
}

namespace Screen {

namespace {
int current = crDefault;
}

void SetCursor(int cursor) {
    if (cursor == current) return;
    if (current == crHourGlass) QApplication::restoreOverrideCursor();
    if (cursor == crHourGlass) QApplication::setOverrideCursor(Qt::WaitCursor);
    current = cursor;
}

int Cursor() { return current; }

}  // namespace Screen

}  // namespace krv::host
