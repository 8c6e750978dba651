#pragma once
#include <cstddef>
#include <iosfwd>
#include <string>

namespace krv::dados {

// A bar on the terminal while a long file is read: short files pass too quickly for one.
class ProgressBar {
public:
    static constexpr size_t kMinLines = 5000;

    explicit ProgressBar(std::ostream& terminal) : out_(terminal) {}
    void show(const std::string& file, size_t done, size_t total);

private:
    std::ostream& out_;
    int shown_ = -1;
};

}  // namespace krv::dados
