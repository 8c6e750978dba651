#include "LoginAcceptor.h"

#include "core/Codec.h"
#include "rpc/Frame.h"
#include "rpc/Message.h"

namespace krv::rpc::test {

using asio::ip::tcp;


struct LoginAcceptor::Connection {
    explicit Connection(asio::io_context& io) : socket(io) {}
    tcp::socket socket;
    frame::Header header{};
    std::string body;
    std::string answer;
};

LoginAcceptor::LoginAcceptor(std::function<bool(const Variant&)> accepts)
    : accepts_(std::move(accepts)), acceptor_(io_, tcp::endpoint(asio::ip::make_address("127.0.0.1"), 0)) {
    port_ = acceptor_.local_endpoint().port();
    acceptNext();
    thread_ = std::thread([this] { io_.run(); });
}

LoginAcceptor::~LoginAcceptor() {
    io_.stop();
    thread_.join();
}

std::vector<Variant> LoginAcceptor::firstFrames() const {
    std::lock_guard lock(mutex_);
    return frames_;
}

void LoginAcceptor::acceptNext() {
    auto connection = std::make_shared<Connection>(io_);
    acceptor_.async_accept(connection->socket, [this, connection](std::error_code error) {
        if (error) return;
        serve(connection);
        acceptNext();
    });
}

void LoginAcceptor::serve(std::shared_ptr<Connection> c) {
    asio::async_read(c->socket, asio::buffer(c->header), [this, c](std::error_code error, size_t) {
        if (error) return;
        c->body.resize(frame::bodyLength(c->header));
        asio::async_read(c->socket, asio::buffer(c->body), [this, c](std::error_code error, size_t) {
            if (error) return;
            const Variant frame = codec::decode(c->body);
            {
                std::lock_guard lock(mutex_);
                frames_.push_back(frame);
            }
            c->answer = authAnswerFrame(accepts_(frame));
            asio::async_write(c->socket, asio::buffer(c->answer), [c](std::error_code error, size_t) {
                if (!error) refuseRequests(c);
            });
        });
    });
}

// Only the pending operation holds the connection, so one the io_context drops when it stops
// frees it too.
void LoginAcceptor::refuseRequests(std::shared_ptr<Connection> c) {
    asio::async_read(c->socket, asio::buffer(c->header), [c](std::error_code error, size_t) {
        if (error) return;
        c->body.resize(frame::bodyLength(c->header));
        asio::async_read(c->socket, asio::buffer(c->body), [c](std::error_code error, size_t) {
            if (error) return;
            const Request request = readRequest(codec::decode(c->body));
            c->answer = responseFrame(request.id, Outcome{false, "Objeto desconhecido: " + request.object, {}});
            asio::async_write(c->socket, asio::buffer(c->answer), [c](std::error_code error, size_t) {
                if (!error) refuseRequests(c);
            });
        });
    });
}

std::function<bool(const Variant&)> acceptsOperator(std::string operatorName, std::string password) {
    return [expected = Variant(Variant::Array{"auth", std::move(operatorName), std::move(password)})](
               const Variant& frame) { return frame == expected; };
}

}  // namespace krv::rpc::test
