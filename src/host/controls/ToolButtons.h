#pragma once
#include <QToolButton>

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

}  // namespace krv::host
