#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "rpc/Endpoint.h"

using krv::rpc::formatEndpoint;
using krv::rpc::parseEndpoint;
using krv::rpc::PortZero;

namespace {

struct Case {
    const char* text;
    PortZero zero;
    const char* host;    // nullptr: refused
    unsigned port;       // when accepted
    const char* reason;  // when refused: part of the message
};

constexpr auto kClient = PortZero::Refused;
constexpr auto kListen = PortZero::AnyFreePort;

const Case kCases[] = {
    {"127.0.0.1:7420", kClient, "127.0.0.1", 7420, nullptr},
    {"servidor.local:1", kClient, "servidor.local", 1, nullptr},
    {"h:65535", kClient, "h", 65535, nullptr},
    {"h:007420", kClient, "h", 7420, nullptr},
    {"[::1]:7420", kClient, "::1", 7420, nullptr},
    {"[fe80::1%eth0]:80", kClient, "fe80::1%eth0", 80, nullptr},
    {"0.0.0.0:0", kListen, "0.0.0.0", 0, nullptr},
    {"[::]:0", kListen, "::", 0, nullptr},

    {"semporta", kClient, nullptr, 0, "falta a porta"},
    {"", kClient, nullptr, 0, "falta a porta"},
    {":7420", kClient, nullptr, 0, "falta o host"},
    {"[]:7420", kClient, nullptr, 0, "IPv6 incompleto"},
    {"[::1:7420", kClient, nullptr, 0, "IPv6 incompleto"},
    {"[[::1]]:7420", kClient, nullptr, 0, "colchetes"},
    {"h]:7420", kClient, nullptr, 0, "colchetes"},
    {"::1:7420", kClient, nullptr, 0, "entre colchetes"},
    {"meu host:7420", kClient, nullptr, 0, "espaços"},
    {" h:7420", kClient, nullptr, 0, "espaços"},
    {"h:", kClient, nullptr, 0, "de 1 a 65535"},
    {"h:0", kClient, nullptr, 0, "de 1 a 65535"},
    {"h:65536", kClient, nullptr, 0, "de 1 a 65535"},
    {"h:99999999999999999999", kClient, nullptr, 0, "de 1 a 65535"},
    {"h:-1", kListen, nullptr, 0, "de 0 (qualquer porta livre) a 65535"},
    {"h:+80", kClient, nullptr, 0, "de 1 a 65535"},
    {"h:80x", kClient, nullptr, 0, "de 1 a 65535"},
    {"h: 80", kClient, nullptr, 0, "de 1 a 65535"},
    {"h:0x50", kClient, nullptr, 0, "de 1 a 65535"},
};

TEST(Endpoint, ParsesHostAndPortByOneSetOfRules) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(std::string("'") + c.text + "'");
        if (c.host) {
            const auto parsed = parseEndpoint(c.text, c.zero);
            EXPECT_EQ(parsed.host, c.host);
            EXPECT_EQ(parsed.port, c.port);
            // What the server announces must read back the same.
            const auto again = parseEndpoint(formatEndpoint(parsed.host, parsed.port), c.zero);
            EXPECT_EQ(again.host, parsed.host);
            EXPECT_EQ(again.port, parsed.port);
            continue;
        }
        try {
            parseEndpoint(c.text, c.zero);
            ADD_FAILURE() << "accepted";
        } catch (const std::invalid_argument& e) {
            const std::string message = e.what();
            EXPECT_NE(message.find(c.reason), std::string::npos) << message;
            EXPECT_NE(message.find(std::string("'") + c.text + "'"), std::string::npos) << message;
        }
    }
}

}  // namespace

TEST(Endpoint, AServerListSetsTheFirstServerAndItsAlternatesInOrder) {
    krv::rpc::Endpoint endpoint;
    endpoint.alternates = {{"velho", 1}};
    krv::rpc::applyServerList("a:7420,[::1]:7421,c:7422", endpoint);
    EXPECT_EQ(endpoint.host, "a");
    EXPECT_EQ(endpoint.port, 7420);
    ASSERT_EQ(endpoint.alternates.size(), 2u);
    EXPECT_EQ(endpoint.alternates[0].host, "::1");
    EXPECT_EQ(endpoint.alternates[1].port, 7422);

    krv::rpc::applyServerList("tls:a:7420,tls:b:7420", endpoint);
    EXPECT_TRUE(endpoint.tls);
    EXPECT_EQ(endpoint.alternates.size(), 1u);

    const std::pair<const char*, const char*> refused[] = {
        {"a:7420,", "falta a porta"},
        {"a:7420,,b:7420", "falta a porta"},
        {"tls:a:7420,b:7420", "todos com TLS (tls:) ou todos sem"},
        {"a:7420,b:0", "de 1 a 65535"},
    };
    for (const auto& [text, reason] : refused) {
        try {
            krv::rpc::applyServerList(text, endpoint);
            ADD_FAILURE() << text << " was accepted";
        } catch (const std::invalid_argument& e) {
            EXPECT_NE(std::string(e.what()).find(reason), std::string::npos) << e.what();
        }
    }
}
