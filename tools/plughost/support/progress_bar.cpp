#include "support/progress_bar.h"

#include <cstdio>

#if defined(_WIN32)
#include <io.h>
#define KEL_STDERR_IS_TERMINAL() (_isatty(_fileno(stderr)) != 0)
#else
#include <unistd.h>
#define KEL_STDERR_IS_TERMINAL() (isatty(fileno(stderr)) != 0)
#endif

namespace plughost {

ProgressBar::ProgressBar(std::string label, std::size_t total)
    : label_(std::move(label)), total_(total), interactive_(KEL_STDERR_IS_TERMINAL()) {}

void ProgressBar::update(std::size_t done) {
  const int percent = total_ == 0 ? 100 : static_cast<int>(done * 100 / total_);
  if (!interactive_ || percent == shownPercent_) return;
  shownPercent_ = percent;
  constexpr int kWidth = 30;
  const int filled = percent * kWidth / 100;
  std::fprintf(stderr, "\r%s [%.*s%*s] %3d%%", label_.c_str(), filled,
               "##############################", kWidth - filled, "", percent);
  std::fflush(stderr);
}

void ProgressBar::finish() {
  if (!interactive_) return;
  update(total_);
  std::fputc('\n', stderr);
  std::fflush(stderr);
}

}  // namespace plughost
