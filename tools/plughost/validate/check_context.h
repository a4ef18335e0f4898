// What one check gets in its child process: the plug-in, the level, a random
// source seeded from --seed, and the channel to the validator through which
// it reports the call in progress, failures, notes and figures.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <random>
#include <string>

#include "validate/child_channel.h"

namespace plughost {

class CheckContext {
 public:
  // `channel` may be null (results then go nowhere but the counters).
  CheckContext(std::string plugin, int level, std::uint32_t seed, ChildChannel* channel);

  const std::string& plugin() const { return plugin_; }
  // --other-width's "PLUGHOST.exe,PLUGIN.dll", or "" when not given.
  const std::string& otherWidth() const { return otherWidth_; }
  void setOtherWidth(const std::string& value) { otherWidth_ = value; }
  int level() const { return level_; }
  std::mt19937& random() { return random_; }
  // A uniform float in [low, high).
  float uniform(float low, float high);

  // Records the call about to be made by the calling thread, printf-style;
  // cheap enough for every call the fuzz check makes.
  void calling(const char* format, ...) __attribute__((format(printf, 2, 3)));

  // One failure; at most kMaxFailures are kept, later ones only counted.
  void fail(const std::string& message);
  void note(const std::string& message);
  // A finding that fails only under --strict.
  void warn(const std::string& message);
  void figure(const std::string& name, double value);
  void skip(const std::string& reason);
  int failures() const { return failures_; }

  static constexpr int kMaxFailures = 8;

 private:
  void append(const char* kind, const std::string& text);

  std::string plugin_;
  std::string otherWidth_;
  int level_;
  std::mt19937 random_;
  ChildChannel* channel_;
  int failures_ = 0;
};

// printf into a std::string.
std::string format(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The calling thread's id, as the system numbers threads (never 0).
std::uint32_t currentThreadId();

// A steady clock, in seconds from an arbitrary start.
double nowSeconds();

}  // namespace plughost
