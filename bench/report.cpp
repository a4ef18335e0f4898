#include "report.h"

#include <cstdarg>
#include <cstdio>

namespace bench {

namespace {
constexpr int kLabelWidth = 46;
}

void heading(const char* title) {
  std::printf("\n%s\n", title);
  std::fflush(stdout);
}

void note(const char* format, ...) {
  std::va_list arguments;
  va_start(arguments, format);
  std::printf("  ");
  std::vprintf(format, arguments);
  std::printf("\n");
  va_end(arguments);
  std::fflush(stdout);
}

void figure(const char* label, double value, const char* unit) {
  std::printf("  %-*s %10.2f %s\n", kLabelWidth, label, value, unit);
  std::fflush(stdout);
}

void target(const char* label, double value, const char* unit, const char* targetText, bool met) {
  std::printf("  %-*s %10.2f %-3s  target: %-22s %s\n", kLabelWidth, label, value, unit, targetText,
              met ? "PASS" : "MISS");
  std::fflush(stdout);
}

}  // namespace bench
