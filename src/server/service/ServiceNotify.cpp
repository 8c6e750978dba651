#include "server/service/ServiceNotify.h"

#include <sys/stat.h>
#include <systemd/sd-daemon.h>
#include <unistd.h>

#include <cstdlib>

namespace krv::server {

void notifyReady() { sd_notify(0, "READY=1"); }

void notifyReloading() { sd_notify(0, "RELOADING=1"); }

void notifyStatus(const std::string& line) { sd_notify(0, ("STATUS=" + line).c_str()); }

namespace {

// systemd sets JOURNAL_STREAM to the device and inode of the journal's stream; standard
// error is the journal only when it is still that stream (not redirected by a script).
bool standardErrorIsJournal() {
    const char* stream = std::getenv("JOURNAL_STREAM");
    struct stat status {};
    if (!stream || ::fstat(STDERR_FILENO, &status) != 0) return false;
    return std::to_string(status.st_dev) + ":" + std::to_string(status.st_ino) == stream;
}

}  // namespace

std::string logLine(LogPriority priority, const std::string& text) {
    static const bool toJournal = standardErrorIsJournal();
    return logLine(priority, text, toJournal, std::time(nullptr));
}

std::string logLine(LogPriority priority, const std::string& text, bool toJournal, std::time_t now) {
    if (toJournal) return "<" + std::to_string(int(priority)) + ">krv-server: " + text;
    std::tm local{};
    localtime_r(&now, &local);
    char when[32];
    std::strftime(when, sizeof when, "%Y-%m-%d %H:%M:%S ", &local);
    return when + ("krv-server: " + text);
}

LogPriority priorityOf(const std::string& text) {
    if (text.starts_with("Erro") || text.starts_with("erro")) return LogPriority::Error;
    return text.starts_with("aviso") ? LogPriority::Warning : LogPriority::Info;
}

}  // namespace krv::server
