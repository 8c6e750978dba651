#pragma once
#include <ctime>
#include <string>

// The server as a systemd service: readiness, status and reloads through sd_notify, and log
// lines with the journal's priority prefixes. Outside systemd each call does nothing, and
// log lines go out with their local time instead.
namespace krv::server {

enum class LogPriority { Error = 3, Warning = 4, Info = 6 };

void notifyReady();
void notifyReloading();
void notifyStatus(const std::string& line);

// A log line as it goes to standard error: "<3>krv-server: ..." when standard error is the
// journal (which keeps the time itself), "AAAA-MM-DD HH:MM:SS krv-server: ..." otherwise.
std::string logLine(LogPriority priority, const std::string& text);
std::string logLine(LogPriority priority, const std::string& text, bool toJournal, std::time_t now);
// Errors begin with "Erro" (a failure inside the server), warnings with "aviso"; everything
// else the server logs (refused connections among it) is information.
LogPriority priorityOf(const std::string& text);

}  // namespace krv::server
