#pragma once

// Unit of the requisition screen: the module variables the host and the order-generation
// screen reach by name, and the routine that opens the screen.
namespace krv::requisition {
class TfrmPedReq;
}

extern "C" {
// The requisition screen; set by the first CriaPedReq. The screen lives as long as the
// module; only its deletion, when the host tears down, clears the variable.
extern krv::requisition::TfrmPedReq* frmPedReq;
// The screen has been created, so later calls only show it again; reset with frmPedReq.
extern bool boIdCriado;
}

// Creates the requisition screen on the first call; every call then shows it in normal
// window state. A failure while creating propagates and leaves boIdCriado false, so the
// next call tries again.
void CriaPedReq();

namespace krv::requisition {
// Unit initialisation and finalisation, run by the package's Initialize and Finalize.
// They only count how often the unit was initialised.
void Cli_krv52000_Initialization();
void Cli_krv52000_Finalization();
int Cli_krv52000_InitCount();
}  // namespace krv::requisition
