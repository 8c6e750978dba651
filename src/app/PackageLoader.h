#pragma once
#include <QString>

namespace krv::app {

// A module package loaded with dlopen: its Initialize runs on load, its Finalize on unload,
// and IniProc opens the module's main screen.
class PackageLoader {
public:
    PackageLoader() = default;
    ~PackageLoader();  // leaves the library loaded: its screens may still exist
    PackageLoader(const PackageLoader&) = delete;
    PackageLoader& operator=(const PackageLoader&) = delete;

    // Loads `path` once (later calls only check it is loaded). False with a Portuguese
    // explanation including dlerror's text when the library or one of its entries is missing.
    bool load(const QString& path, QString& error);
    bool loaded() const { return handle_ != nullptr; }

    // Calls IniProc. An exception from the module reaches the caller.
    void iniProc();

    // Runs Finalize and closes the library; only once no widget of the module is left.
    void unload();

    void* symbol(const char* name) const;

    // "libPkg_<code lower case>.so" in `binDir`, for a module code such as "KRV52000".
    static QString PackagePath(const QString& binDir, const QString& moduleCode);

private:
    void* handle_ = nullptr;
    void (*iniProc_)() = nullptr;
    void (*finalize_)() = nullptr;
};

}  // namespace krv::app
