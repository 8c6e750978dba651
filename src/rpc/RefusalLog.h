#pragma once
#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <string>

namespace krv::rpc {

// Refusals written once per burst, so that a client repeating a bad frame, a wrong token or
// a connection beyond the cap thousands of times cannot flood the log. The first refusal of
// a burst from one source is written at once; the ones after it are counted, and written as
// one line with their count once the source has stayed quiet for `quiet`, or at flushAll().
// With `quiet` 0 every refusal is written.
class RefusalLog {
public:
    using Clock = std::chrono::steady_clock;
    using Sink = std::function<void(const std::string&)>;

    RefusalLog(Sink sink, std::chrono::milliseconds quiet);

    // `source` names who is refused ("Conexões de 10.0.0.7", "Limite de conexões"); it
    // keys the burst and starts its summary line.
    void note(const std::string& source, const std::string& line);
    // A line of the server's own ("Conexão 10.0.0.7:5123 …"), summarised per address.
    void noteLine(const std::string& line);
    // Writes the summaries of the bursts that have ended.
    void flush();
    void flushAll();
    std::chrono::milliseconds quiet() const { return quiet_; }

private:
    struct Burst {
        Clock::time_point first;
        Clock::time_point last;
        size_t more = 0;
        std::string lastLine;
    };
    void flushBefore(Clock::time_point endedBy);
    void summarise(const std::pair<const std::string, Burst>& burst);

    Sink sink_;
    const std::chrono::milliseconds quiet_;
    std::mutex mutex_;
    std::map<std::string, Burst> bursts_;
};

}  // namespace krv::rpc
