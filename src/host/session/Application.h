#pragma once
#include <QMdiArea>
#include <QPointer>
#include <QWidget>

class QMdiSubWindow;

namespace krv::host {

// What a form's close handler may decide (its Action argument).
enum TCloseAction { caNone = 0, caHide = 1, caFree = 2 };

// Screen cursor values.
constexpr int crDefault = 0;
constexpr int crHourGlass = -11;

// The host application as the screens see it: its main window, the MDI area that holds the
// child screens, and the creation of forms.
class TApplication {
public:
    void SetMainForm(QWidget* mainForm, QMdiArea* mdiArea);
    QWidget* MainForm() const { return mainForm_; }

    // Constructs T, places it in the MDI area when T is an MDI child form (T::MdiChild) and
    // an area exists, and runs its FormCreate; an MDI child is then shown. If construction
    // or FormCreate throws, the form is deleted, `ref` becomes nullptr and the error passes on.
    template <class T>
    void CreateForm(T*& ref);

private:
    void PlaceInMdiArea(QWidget* form);
    static void Discard(QWidget* form);

    QPointer<QWidget> mainForm_;
    QPointer<QMdiArea> mdiArea_;
};

extern TApplication Application;

// The MDI frame of a child form; nullptr when it has none.
QMdiSubWindow* SubWindowOf(const QWidget* form);
// Shows a form in normal window state (a minimised or hidden MDI child comes back) and activates it.
void ShowNormal(QWidget* form);

namespace Screen {
// crHourGlass shows the wait cursor over the whole application; crDefault restores it.
void SetCursor(int cursor);
int Cursor();
}  // namespace Screen

template <class T>
void TApplication::CreateForm(T*& ref) {
    ref = nullptr;
    constexpr bool mdiChild = requires { requires T::MdiChild; };
    T* form = new T(mdiChild ? nullptr : MainForm());
    try {
        if constexpr (mdiChild) PlaceInMdiArea(form);
        form->FormCreate();
        if constexpr (mdiChild) ShowNormal(form);
    } catch (...) {
        Discard(form);
        throw;
    }
    ref = form;
}

}  // namespace krv::host
