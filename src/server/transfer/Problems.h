#pragma once
#include <cstddef>
#include <string>
#include <vector>

namespace krv::server::transfer {

// What stops an import, each as "arquivo:linha: coluna: motivo". Only the first kShown are
// kept: a file with a wrong column can have a problem on every one of its many lines.
class Problems {
public:
    static constexpr size_t kShown = 100;

    void add(const std::string& file, size_t line, const std::string& column, const std::string& reason);
    void add(std::string text);

    bool empty() const { return total_ == 0; }
    size_t total() const { return total_; }
    // The kept ones and, when some were not kept, "… e mais N problemas".
    std::vector<std::string> lines() const;

private:
    std::vector<std::string> shown_;
    size_t total_ = 0;
};

}  // namespace krv::server::transfer
