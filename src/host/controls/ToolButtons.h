#pragma once
#include <QToolButton>

class QKeySequence;

namespace krv::host {

// A flat tool button that never takes the focus, so clicking it leaves the focus (and an
// edit being typed in) where it was.
class TButtonFlat : public QToolButton {
    Q_OBJECT
public:
    explicit TButtonFlat(QWidget* parent = nullptr);
};

// The search button beside a code edit: a magnifier, hint "Pesquisar".
class TBtnPesquisa : public TButtonFlat {
    Q_OBJECT
public:
    explicit TBtnPesquisa(QWidget* parent = nullptr);
};

// Gives `button` the key `key`, active while the focus is inside `scope` (the code edit of a
// search button, the screen of a tool button), and names the key in the button's tooltip:
// "Pesquisar (F2)". The key clicks the button as the mouse does, and only while it is enabled.
void SetShortcut(QAbstractButton* button, const QKeySequence& key, QWidget* scope);

}  // namespace krv::host
