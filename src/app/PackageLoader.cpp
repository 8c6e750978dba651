#include "app/PackageLoader.h"

#include <dlfcn.h>

#include <QDir>
#include <QFile>

namespace krv::app {

namespace {
QString LastDlError() {
    const char* text = dlerror();
    return text ? QString::fromLocal8Bit(text) : QString("erro desconhecido");
}
}  // namespace

PackageLoader::~PackageLoader() = default;

QString PackageLoader::PackagePath(const QString& binDir, const QString& moduleCode) {
    const QString file = "libPkg_" + moduleCode.toLower() + ".so";
    // Beside the program in the build tree; in lib/krv beside bin/ once installed.
    const QString beside = QDir(binDir).filePath(file);
    const QString installed = QDir::cleanPath(QDir(binDir).filePath("../lib/krv/" + file));
    return QFile::exists(beside) || !QFile::exists(installed) ? beside : installed;
}

bool PackageLoader::load(const QString& path, QString& error) {
    if (handle_) return true;
    dlerror();
    void* handle = dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        error = QString("Não foi possível carregar o módulo %1: %2").arg(path, LastDlError());
        return false;
    }
    auto entry = [&](const char* name) -> void* {
        dlerror();
        void* p = dlsym(handle, name);
        if (!p && error.isEmpty())
            error = QString("O módulo %1 não exporta %2: %3").arg(path, QString::fromLatin1(name), LastDlError());
        return p;
    };
    error.clear();
    auto* ini = reinterpret_cast<void (*)()>(entry("IniProc"));
    auto* initialize = reinterpret_cast<void (*)()>(entry("Initialize"));
    auto* finalize = reinterpret_cast<void (*)()>(entry("Finalize"));
    if (!error.isEmpty()) {
        dlclose(handle);
        return false;
    }
    handle_ = handle;
    iniProc_ = ini;
    finalize_ = finalize;
    initialize();
    return true;
}

void PackageLoader::iniProc() {
    if (iniProc_) iniProc_();
}

void* PackageLoader::symbol(const char* name) const { return handle_ ? dlsym(handle_, name) : nullptr; }

void PackageLoader::unload() {
    if (!handle_) return;
    finalize_();
    dlclose(handle_);
    handle_ = nullptr;
    iniProc_ = nullptr;
    finalize_ = nullptr;
}

}  // namespace krv::app
