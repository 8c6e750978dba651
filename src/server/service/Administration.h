#pragma once
#include <signal.h>

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "rpc/Server.h"
#include "server/service/CommandLine.h"

// What krv-server does besides serving: check a configuration, back the database up, tell a
// running server's state; and what a running server re-reads on SIGHUP.
namespace krv::server {

// --verifica, --backup or --estado, when the command asks for one: its exit status.
// nullopt: the command is to serve.
std::optional<int> runAdministration(const ServerCommand& command, std::ostream& out, std::ostream& err);

// The limits of the command that differ from the server's defaults.
void applyLimits(const ServerCommand& command, rpc::ServerOptions& options);

// Announces the started server on standard output ("krv-server escutando em HOST:PORTA")
// and to systemd, keeps its state up to date and waits for `signals`: SIGHUP reloads (see
// reloadServer), any other returns.
void serveUntilStopped(const std::vector<std::string>& args, const ServerCommand& command, rpc::Server& server,
                       const rpc::ServerOptions& options, const sigset_t& signals);

// SIGHUP: reads the command line and its configuration file again and hands the server what
// it takes without a restart; logs what it re-read, and what only a restart changes. A
// configuration that became bad changes nothing and is logged.
void reloadServer(const std::vector<std::string>& args, const ServerCommand& running, rpc::Server& server,
                  const rpc::ServerOptions& options);

}  // namespace krv::server
