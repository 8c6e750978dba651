#pragma once
#include <QDate>
#include <QObject>
#include <QString>
#include <concepts>
#include <functional>
#include <memory>
#include <vector>

#include "core/Variant.h"

namespace krv::rpc {
class Client;
}

namespace krv::host {

// One positional argument of a late-bound call: a value, or a variable of the caller that
// receives what the server left in that argument (made with Ref).
class NetArg {
public:
    NetArg(const QString& text);
    NetArg(const QDate& date);
    template <class T>
    requires std::constructible_from<Variant, T> NetArg(T&& value) : value_(Variant(std::forward<T>(value))) {}

    const Variant& Value() const { return value_; }
    void WriteBack(const Variant& after) const;

private:
    friend NetArg Ref(QString& target);
    friend NetArg Ref(Variant& target);
    friend NetArg Ref(double& target);
    NetArg() = default;

    Variant value_;
    QString* text_ = nullptr;
    Variant* variant_ = nullptr;
    double* number_ = nullptr;
};

NetArg Ref(QString& target);
NetArg Ref(Variant& target);
NetArg Ref(double& target);

// Connection to one server object of the application server, called late-bound by method
// name: net.Call("GetNrListaServ", {cdFilial, Ref(chaves), Ref(nrLista)}).
class TNetConnection : public QObject {
    Q_OBJECT
public:
    explicit TNetConnection(QObject* parent = nullptr);
    ~TNetConnection() override;

    QString ServerName;  // "KRV52000.rdmPedReq"
    QString Host;
    int Port = 0;
    bool ThrowException = true;  // false: a [false, msg] outcome is returned, not raised
    int TimeoutMs = 30000;
    QString Token;
    // Runs before every connection attempt, also the automatic ones; sets Host and Port.
    std::function<void(TNetConnection&)> BeforeConnect;

    bool Connected() const;
    // true: runs BeforeConnect, then connects (throws ENetError); false: closes.
    void SetConnected(bool on);

    // Calls ServerName.method and returns the method's raw outcome ([true, payload] or
    // [false, message]). A closed or broken connection is opened first. A transport failure
    // closes the connection and throws ENetError (the next call reconnects); a call the
    // server refused throws EServerError; with ThrowException true so does [false, message].
    Variant Call(const QString& method, const std::vector<NetArg>& args = {});

private:
    std::unique_ptr<rpc::Client> client_;
};

}  // namespace krv::host
