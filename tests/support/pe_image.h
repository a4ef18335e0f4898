// Reads the facts a test checks about a Windows PE image: machine, format,
// exported names and the DLLs it imports. Every read is bounds-checked, so a
// malformed file gives an error text, never a crash.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct PeImage {
  static constexpr std::uint16_t kMachineI386 = 0x14c;
  static constexpr std::uint16_t kMagicPe32 = 0x10b;

  std::uint16_t machine = 0;
  std::uint16_t optionalMagic = 0;  // 0x10b PE32, 0x20b PE32+
  std::uint16_t characteristics = 0;
  std::vector<std::string> exports;       // exported names, in table order
  std::vector<std::string> imports;       // DLLs of the import table
  std::vector<std::string> delayImports;  // DLLs of the delay-load table
};

// False with `error` set when the bytes are not a readable PE image.
bool parsePeImage(const std::vector<std::uint8_t>& bytes, PeImage* image, std::string* error);
bool readPeImage(const std::string& path, PeImage* image, std::string* error);
