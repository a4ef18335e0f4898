#include "validate/check_context.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#endif

namespace plughost {

std::string format(const char* format, ...) {
  char buffer[1024];
  va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(buffer, sizeof buffer, format, arguments);
  va_end(arguments);
  return buffer;
}

std::uint32_t currentThreadId() {
#ifdef _WIN32
  return GetCurrentThreadId();
#else
  return static_cast<std::uint32_t>(std::hash<std::thread::id>{}(std::this_thread::get_id())) | 1u;
#endif
}

double nowSeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

CheckContext::CheckContext(std::string plugin, int level, std::uint32_t seed, ChildChannel* channel)
    : plugin_(std::move(plugin)), level_(level), random_(seed), channel_(channel) {}

float CheckContext::uniform(float low, float high) {
  return std::uniform_real_distribution<float>(low, high)(random_);
}

// Each thread writes its own slot, so a crash names the call of the thread
// that crashed, not the last call of any thread.
void CheckContext::calling(const char* format, ...) {
  if (!channel_) return;
  ChildCallSlot* slot = callSlotOf(*channel_, currentThreadId());
  if (!slot) return;
  va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(slot->call, sizeof slot->call, format, arguments);
  va_end(arguments);
}

void CheckContext::fail(const std::string& message) {
  if (++failures_ <= kMaxFailures) append("FAIL", message);
}

void CheckContext::note(const std::string& message) {
  append("NOTE", message);
}

void CheckContext::warn(const std::string& message) {
  append("WARN", message);
}

void CheckContext::figure(const std::string& name, double value) {
  append("FIGURE", format("%s %.6g", name.c_str(), value));
}

void CheckContext::skip(const std::string& reason) {
  append("SKIP", reason);
}

// One line per result; newlines inside a text would split it, so they become
// spaces. A full channel drops the line rather than cut it.
void CheckContext::append(const char* kind, const std::string& text) {
  if (!channel_) return;
  std::string line = std::string(kind) + " " + text + "\n";
  for (std::size_t i = 0; i + 1 < line.size(); ++i) {
    if (line[i] == '\n' || line[i] == '\r') line[i] = ' ';
  }
  const std::size_t used = static_cast<std::size_t>(channel_->resultLength);
  if (used + line.size() > sizeof channel_->results) return;
  std::memcpy(channel_->results + used, line.data(), line.size());
  channel_->resultLength = static_cast<std::int32_t>(used + line.size());
}

}  // namespace plughost
