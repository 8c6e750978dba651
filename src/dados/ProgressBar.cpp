#include "dados/ProgressBar.h"

#include <ostream>

namespace krv::dados {

void ProgressBar::show(const std::string& file, size_t done, size_t total) {
    if (total < kMinLines) return;
    constexpr int kWidth = 30;
    const int percent = int(done * 100 / total);
    if (percent == shown_) return;
    shown_ = percent;
    const int filled = percent * kWidth / 100;
    out_ << "\r" << file << " [" << std::string(size_t(filled), '#') << std::string(size_t(kWidth - filled), '.')
         << "] " << percent << "%";
    if (done >= total) {
        out_ << "\n";
        shown_ = -1;
    }
    out_.flush();
}

}  // namespace krv::dados
