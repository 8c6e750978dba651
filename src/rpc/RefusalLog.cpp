#include "rpc/RefusalLog.h"

namespace krv::rpc {
namespace {

// Beyond this many sources at once (addresses spread over a whole network, say) the rest
// share one burst, so the bookkeeping itself stays small.
constexpr size_t kMaxSources = 4096;
constexpr const char* kOtherSources = "Outras origens";

// "Conexão 10.0.0.7:5123 recusada: …" comes from the address 10.0.0.7, whatever its port.
std::string sourceOf(const std::string& line) {
    const std::string prefix = "Conexão ";
    if (line.rfind(prefix, 0) != 0) return line;
    const size_t end = line.find(' ', prefix.size());
    const std::string peer = line.substr(prefix.size(), end == std::string::npos ? end : end - prefix.size());
    const size_t colon = peer.rfind(':');
    return "Conexões de " + (colon == std::string::npos ? peer : peer.substr(0, colon));
}

}  // namespace

RefusalLog::RefusalLog(Sink sink, std::chrono::milliseconds quiet) : sink_(std::move(sink)), quiet_(quiet) {}

void RefusalLog::note(const std::string& source, const std::string& line) {
    if (!sink_) return;
    const auto now = Clock::now();
    std::lock_guard lock(mutex_);
    auto found = bursts_.find(source);
    if (found == bursts_.end() && bursts_.size() >= kMaxSources) found = bursts_.find(kOtherSources);
    if (found != bursts_.end() && now - found->second.last >= quiet_) {
        summarise(*found);
        bursts_.erase(found);
        found = bursts_.end();
    }
    if (found != bursts_.end()) {
        found->second.last = now;
        found->second.lastLine = line;
        ++found->second.more;
        return;
    }
    bursts_.emplace(bursts_.size() >= kMaxSources ? kOtherSources : source, Burst{now, now, 0, {}});
    sink_(line);
}

void RefusalLog::noteLine(const std::string& line) { note(sourceOf(line), line); }

void RefusalLog::flush() { flushBefore(Clock::now() - quiet_); }

void RefusalLog::flushAll() { flushBefore(Clock::time_point::max()); }

void RefusalLog::summarise(const std::pair<const std::string, Burst>& burst) {
    const auto& [source, counted] = burst;
    if (counted.more == 0) return;
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(counted.last - counted.first);
    sink_(source + ": mais " + std::to_string(counted.more) + " recusa(s) em " + std::to_string(took.count()) +
          " ms; a última: " + counted.lastLine);
}

void RefusalLog::flushBefore(Clock::time_point endedBy) {
    std::lock_guard lock(mutex_);
    for (auto it = bursts_.begin(); it != bursts_.end();) {
        const Burst& burst = it->second;
        if (burst.last > endedBy) {
            ++it;
            continue;
        }
        summarise(*it);
        it = bursts_.erase(it);
    }
}

}  // namespace krv::rpc
