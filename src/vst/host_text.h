// Texts handed to the host: NUL-terminated, bounded by the largest text
// buffer hosts commonly provide (kHostTextSize, the size of a pin label).
#pragma once

#include <cstddef>

#include "vst/vst_types.h"

// Copies `source` (null: the empty text) into `dest`, cut to fit `size` bytes
// including the NUL. Nothing is written when `dest` is null or `size` is 0.
inline void copyText(char* dest, const char* source, std::size_t size = kHostTextSize) {
  if (dest == nullptr || size == 0) return;
  std::size_t i = 0;
  if (source != nullptr) {
    for (; i + 1 < size && source[i] != '\0'; ++i) dest[i] = source[i];
  }
  dest[i] = '\0';
}
