#include "server/transfer/Problems.h"

namespace krv::server::transfer {

void Problems::add(const std::string& file, size_t line, const std::string& column, const std::string& reason) {
    std::string text = file;
    if (line) text += ":" + std::to_string(line);
    if (!column.empty()) text += ": " + column;
    add(text + ": " + reason);
}

void Problems::add(std::string text) {
    if (++total_ <= kShown) shown_.push_back(std::move(text));
}

std::vector<std::string> Problems::lines() const {
    std::vector<std::string> out = shown_;
    if (total_ == kShown + 1) out.push_back("… e mais 1 problema");
    if (total_ > kShown + 1) out.push_back("… e mais " + std::to_string(total_ - kShown) + " problemas");
    return out;
}

}  // namespace krv::server::transfer
