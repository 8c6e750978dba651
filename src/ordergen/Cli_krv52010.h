#pragma once

// Unit of the order-generation screen: the module variable through which the host and the
// requisition screen reach the most recently created order-generation screen, and the
// routine that opens it.
namespace krv::ordergen {
class TfrmGerarPedReq;
}

extern "C" {
// The order-generation screen being shown; nullptr once it is freed.
extern krv::ordergen::TfrmGerarPedReq* frmGerarPedReq;
}

// Creates a new order-generation screen on every call and shows it modally; the screen frees
// itself when closed. Returns the modal result. A failure while creating propagates.
int CriaGerarPedReq();

namespace krv::ordergen {
// Unit initialisation and finalisation, run by the package's Initialize and Finalize.
// They only count how often the unit was initialised.
void Cli_krv52010_Initialization();
void Cli_krv52010_Finalization();
int Cli_krv52010_InitCount();
}  // namespace krv::ordergen
