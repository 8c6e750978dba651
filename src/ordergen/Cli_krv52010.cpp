#include "ordergen/Cli_krv52010.h"

#include "host/session/Application.h"
#include "ordergen/TfrmGerarPedReq.h"

krv::ordergen::TfrmGerarPedReq* frmGerarPedReq = nullptr;

int CriaGerarPedReq() {
    using namespace krv::host;
    {
        // The default cursor comes back also when the creation fails.
        struct CursorBack {
            ~CursorBack() { Screen::SetCursor(crDefault); }
        };
        Screen::SetCursor(crHourGlass);
        CursorBack back;
        Application.CreateForm(frmGerarPedReq);
    }
    return frmGerarPedReq->exec();
}

namespace krv::ordergen {

namespace {
int initCount = 0;
}

void Cli_krv52010_Initialization() { ++initCount; }
void Cli_krv52010_Finalization() {
    if (initCount > 0) --initCount;
}
int Cli_krv52010_InitCount() { return initCount; }

}  // namespace krv::ordergen
