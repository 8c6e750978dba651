#include "server/service/ServiceNotify.h"

#include <systemd/sd-daemon.h>

#include <cstdlib>

namespace krv::server {

void notifyReady() { sd_notify(0, "READY=1"); }

void notifyReloading() { sd_notify(0, "RELOADING=1"); }

void notifyStatus(const std::string& line) { sd_notify(0, ("STATUS=" + line).c_str()); }

std::string logLine(LogPriority priority, const std::string& text) {
    // systemd sets JOURNAL_STREAM for a service whose standard error is the journal.
    static const bool toJournal = std::getenv("JOURNAL_STREAM") != nullptr;
    const std::string prefix = toJournal ? "<" + std::to_string(int(priority)) + ">" : std::string();
    return prefix + "krv-server: " + text;
}

LogPriority priorityOf(const std::string& text) {
    if (text.starts_with("Erro") || text.starts_with("erro")) return LogPriority::Error;
    return text.starts_with("aviso") ? LogPriority::Warning : LogPriority::Info;
}

}  // namespace krv::server
