#pragma once

// What the host's package loader learns from GetPackageInfoTable: the package's name and
// its units, each with the routines that Initialize and Finalize run.
extern "C" {

struct PackageUnitInfo {
    const char* name;
    void (*initialization)();
    void (*finalization)();
};

struct PackageInfoTable {
    const char* name;
    int unitCount;
    const PackageUnitInfo* units;
};

// Exported by every module package.
const PackageInfoTable* GetPackageInfoTable();
void Initialize();  // runs the units' initialisations in table order
void Finalize();    // runs their finalisations in reverse order
void IniProc();     // opens the module's main screen
}
