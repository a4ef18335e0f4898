// Whole-file reads and writes of raw bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace plughost {

// False with a one-line reason in `error` when the file cannot be read.
bool readFileBytes(const std::string& path, std::vector<std::uint8_t>& bytes, std::string& error);
// False with a one-line reason in `error` when the file cannot be written.
bool writeFileBytes(const std::string& path, const std::vector<std::uint8_t>& bytes,
                    std::string& error);

}  // namespace plughost
