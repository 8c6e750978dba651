#pragma once

// What a server answers for: its database. A client that connects again, to the same server
// restarted or to another of its list, compares it with what its first connection was told,
// and does not go on with a database that is not the one its screen was showing. Asked after
// the login (and the compression) with [1, id, "rpc", "Identidade", []], answered
// [id, true, "<identity>", []]; a server without the method refuses it, and nothing is compared.
namespace krv::rpc::identity {

inline constexpr const char* kMethod = "Identidade";

}  // namespace krv::rpc::identity
