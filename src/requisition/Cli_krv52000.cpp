#include "requisition/Cli_krv52000.h"

#include "host/session/Application.h"
#include "requisition/TfrmPedReq.h"

krv::requisition::TfrmPedReq* frmPedReq = nullptr;
bool boIdCriado = false;

void CriaPedReq() {
    using namespace krv::host;
    // The default cursor comes back also when the creation fails.
    struct CursorBack {
        ~CursorBack() { Screen::SetCursor(crDefault); }
    };
    Screen::SetCursor(crHourGlass);
    CursorBack back;
    if (!boIdCriado) {
        Application.CreateForm(frmPedReq);
        boIdCriado = true;
    }
    ShowNormal(frmPedReq);
}

namespace krv::requisition {

namespace {
int initCount = 0;
}

void Cli_krv52000_Initialization() { ++initCount; }
void Cli_krv52000_Finalization() {
    if (initCount > 0) --initCount;
}
int Cli_krv52000_InitCount() { return initCount; }

}  // namespace krv::requisition
