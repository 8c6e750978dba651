#include "ordergen/Cli_krv52010.h"

TfrmGerarPedReq* frmGerarPedReq = nullptr;

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
