#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/Variant.h"
#include "rpc/Dispatcher.h"
#include "rpc/Server.h"

namespace krv::test {

// An application server on 127.0.0.1 whose methods the test scripts, recording every call in
// the order it arrived. A handler gets the arguments by reference (what it leaves in them
// goes back to the caller) and returns the payload of [true, payload]; throwing
// rpc::MethodFailure("msg") gives [false, "msg"].
class RecordingServer {
public:
    struct Call {
        std::string object;
        std::string method;
        std::vector<Variant> args;  // as received, before the handler ran
    };

    RecordingServer();
    ~RecordingServer();

    // Declares a method taking `argCount` arguments of any type. New methods must be declared
    // before start(); a declared method's handler may be replaced at any time.
    void on(const std::string& object, const std::string& method, int argCount, rpc::Method handler);

    void start(const std::string& token = {});  // on a free port the first time
    void stop();
    void restart();  // stop, then start on the same port
    uint16_t port() const { return port_; }

    std::vector<Call> calls() const;
    std::vector<std::string> methods() const;  // "method" of each call, in order
    void clearCalls();

private:
    Variant invoke(const std::string& key, const std::string& object, const std::string& method,
                   std::vector<Variant>& args);

    rpc::Dispatcher dispatcher_;
    std::unique_ptr<rpc::Server> server_;
    uint16_t port_ = 0;
    std::string token_;
    mutable std::mutex mutex_;
    std::map<std::string, rpc::Method> handlers_;
    std::vector<Call> calls_;
};

}  // namespace krv::test
