#include <gtest/gtest.h>

#include <functional>
#include <thread>

#include <asio.hpp>

#include "core/Codec.h"
#include "core/Errors.h"
#include "rpc/Client.h"
#include "rpc/Frame.h"
#include "rpc/Message.h"

using namespace krv;
using namespace krv::rpc;
using asio::ip::tcp;

namespace {

// A peer that reads one request and answers it with whatever bytes the test makes of it. The
// protocol's own requests after connecting get the refusal of a server that does not know them.
class ScriptedPeer {
public:
    explicit ScriptedPeer(std::function<std::string(const Request&)> reply) {
        acceptor_.listen();
        thread_ = std::thread([this, reply = std::move(reply)] {
            tcp::socket socket = acceptor_.accept();
            frame::Header header;
            Request request;
            do {
                if (!request.object.empty())
                    asio::write(socket, asio::buffer(responseFrame(request.id, Outcome{false, "desconhecido", {}})));
                asio::read(socket, asio::buffer(header));
                std::string body(frame::bodyLength(header), '\0');
                asio::read(socket, asio::buffer(body));
                request = readRequest(codec::decode(body));
            } while (request.object == "rpc");
            asio::write(socket, asio::buffer(reply(request)));
            std::error_code ignored;
            asio::read(socket, asio::buffer(header), ignored);  // until the client gives up
        });
    }
    ~ScriptedPeer() { thread_.join(); }

    Endpoint endpoint() const {
        Endpoint endpoint;
        endpoint.port = acceptor_.local_endpoint().port();
        endpoint.timeout = std::chrono::seconds(10);
        return endpoint;
    }

private:
    asio::io_context io_;
    tcp::acceptor acceptor_{io_, {asio::ip::make_address("127.0.0.1"), 0}};
    std::thread thread_;
};

std::string failureOf(std::function<std::string(const Request&)> reply) {
    ScriptedPeer peer(std::move(reply));
    Client client;
    client.connect(peer.endpoint());
    std::vector<Variant> args{"original", 1};
    try {
        client.call("Teste", "Eco", args);
    } catch (const ENetError& error) {
        EXPECT_FALSE(client.connected());
        EXPECT_EQ(args, (std::vector<Variant>{"original", 1}));
        const std::string text = error.what();
        const std::string prefix =
            "Resposta inválida do servidor 127.0.0.1:" + std::to_string(peer.endpoint().port) + ": ";
        return text.starts_with(prefix) ? text.substr(prefix.size()) : text;
    }
    return "accepted";
}

std::string answer(int64_t id, std::vector<Variant> args) {
    return responseFrame(id, Outcome{true, Variant::Array{true, "pronto"}, std::move(args)});
}

}  // namespace

TEST(BadAnswer, ClientRefusesAnswersThatDoNotMatchItsRequest) {
    EXPECT_EQ(failureOf([](const Request& r) { return answer(r.id + 1, r.args); }),
              "resposta 3 recebida para o pedido 2");  // the first request asked who the server is
    EXPECT_EQ(failureOf([](const Request& r) { return answer(r.id, {"só um"}); }),
              "1 argumentos devolvidos para 2 enviados");
    EXPECT_EQ(failureOf([](const Request& r) { return answer(r.id, r.args) + "sobra"; }),
              "dados além do fim da resposta");
    EXPECT_TRUE(failureOf([](const Request&) {
                    return std::string("\x00\x00\x00\x02\xc1\xc1", 6);
                }).starts_with("Dados inválidos:"));
    EXPECT_EQ(failureOf([](const Request& r) { return requestFrame(r.id, "isto", "não é resposta", {}); }),
              "a resposta deve ser uma lista de 4 elementos");
}
