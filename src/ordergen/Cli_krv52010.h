#pragma once

// Unit of the order-generation screen. The screen itself is built on top of this unit;
// for now the unit holds the module variable through which the host and the requisition
// screen reach the most recently created order-generation screen.
class TfrmGerarPedReq;

extern "C" {
extern TfrmGerarPedReq* frmGerarPedReq;
}

namespace krv::ordergen {
// Unit initialisation and finalisation, run by the package's Initialize and Finalize.
// They only count how often the unit was initialised.
void Cli_krv52010_Initialization();
void Cli_krv52010_Finalization();
int Cli_krv52010_InitCount();
}  // namespace krv::ordergen
