#include "host/dialogs/HostUi.h"

#include "host/dialogs/QtHostUi.h"

namespace krv::host {

namespace {

HostUi* installed = nullptr;
int busyDepth = 0;

HostUi& qtHostUi() {
    static QtHostUi ui;
    return ui;
}

}  // namespace

HostUi& HostUi::instance() { return installed ? *installed : qtHostUi(); }

void HostUi::install(HostUi* ui) { installed = ui; }

void ActiveShowAvi(QWidget*, int) {
    // The indicator is shown once for the outermost call; nested calls only count.
    if (++busyDepth > 1) return;
    try {
        HostUi::instance().showBusy(true);
    } catch (...) {
        // The caller's paired DeactiveShowAvi never runs when this throws.
        busyDepth = 0;
        throw;
    }
}

void DeactiveShowAvi() {
    // An unpaired call must not drive the count negative: the next ActiveShowAvi would
    // then leave the indicator off for a whole action.
    if (busyDepth == 0) return;
    if (--busyDepth == 0) HostUi::instance().showBusy(false);
}

int BusyDepth() { return busyDepth; }

}  // namespace krv::host
