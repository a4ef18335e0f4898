// The memory a check's child process shares with the validator: the call the
// child is making (left behind when it crashes or hangs) and the result
// lines it has written so far. The validator creates it as an inheritable
// file mapping and hands its handle to the child on the command line.
#pragma once

#include <cstdint>

namespace plughost {

struct ChildChannel {
  char lastCall[512];         // NUL-terminated; rewritten before each call
  std::int32_t resultLength;  // bytes used in `results`
  char results[64 * 1024 -
               516];  // "FAIL text\n", "NOTE text\n", "FIGURE name value\n", "SKIP text\n"
};
static_assert(sizeof(ChildChannel) == 64 * 1024, "ChildChannel size");

}  // namespace plughost
