// The width (32 or 64 bits) of a Windows program or DLL, read from its PE
// header before anything loads it. A process loads only DLLs of its own
// width, and a 32-bit and a 64-bit process see different registry views, so
// plughost refuses files of the other width with a line naming both.
#pragma once

#include <cstdint>
#include <string>

namespace plughost {

constexpr int kOwnWidth = static_cast<int>(sizeof(void*) * 8);

constexpr std::uint16_t kMachineI386 = 0x14c;
constexpr std::uint16_t kMachineAmd64 = 0x8664;

// The machine field of a PE image's COFF header; 0 when the file is missing
// or not a PE image.
std::uint16_t peMachine(const std::string& path);

// 32 or 64 for an x86 image; 0 when the file is missing, not a PE image or
// for another processor (LoadLibrary then gives its own reason).
int peWidth(const std::string& path);

// Throws CommandError when `path` is an image of the other width; `what`
// names the file for the user, e.g. "plug-in 'C:\x.dll'".
void requireOwnWidth(const std::string& path, const std::string& what);

}  // namespace plughost
