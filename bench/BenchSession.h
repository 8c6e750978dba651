#pragma once
// Who the benchmarks work as: the session their in-process calls come from, with the name
// their operator arguments carry, and the demo company's operator for calls over the wire.
#include <cstdint>

#include "rpc/Dispatcher.h"
#include "rpc/Endpoint.h"
#include "server/stores/OperatorStore.h"

namespace krv {

// The demo company's administrator, which every seeded database has, so it may do everything.
inline const rpc::Caller kBenchCaller{server::kDemoOperator, "127.0.0.1:1"};

inline rpc::Endpoint demoLogin(uint16_t port) {
    rpc::Endpoint endpoint;
    endpoint.port = port;
    endpoint.operatorName = server::kDemoOperator;
    endpoint.password = server::kDemoPassword;
    return endpoint;
}

}  // namespace krv
