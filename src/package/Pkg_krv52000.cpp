// The module package: the entries the host's loader looks up by name.
#include "ordergen/Cli_krv52010.h"
#include "package/PackageInfo.h"
#include "requisition/Cli_krv52000.h"

#define KRV_EXPORT __attribute__((visibility("default")))

namespace {

const PackageUnitInfo units[] = {
    {"Cli_krv52000", krv::requisition::Cli_krv52000_Initialization, krv::requisition::Cli_krv52000_Finalization},
    {"Cli_krv52010", krv::ordergen::Cli_krv52010_Initialization, krv::ordergen::Cli_krv52010_Finalization},
};

const PackageInfoTable table = {"Pkg_krv52000", int(sizeof units / sizeof units[0]), units};

}  // namespace

extern "C" {

KRV_EXPORT const PackageInfoTable* GetPackageInfoTable() { return &table; }

KRV_EXPORT void Initialize() {
    for (const auto& unit : units) unit.initialization();
}

KRV_EXPORT void Finalize() {
    for (int i = table.unitCount - 1; i >= 0; --i) units[i].finalization();
}

KRV_EXPORT void IniProc() { CriaPedReq(); }
}
