// Reads the facts a test checks about a Windows PE image: machine, format,
// exported names and the DLLs it imports. Every read is bounds-checked, so a
// malformed file gives an error text, never a crash.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct PeImage {
  static constexpr std::uint16_t kMachineI386 = 0x14c;
  static constexpr std::uint16_t kMachineAmd64 = 0x8664;
  static constexpr std::uint16_t kMagicPe32 = 0x10b;
  static constexpr std::uint16_t kMagicPe32Plus = 0x20b;

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

// Writes a copy of the image at `from` to `to` whose header names the other
// x86 width (i386 and x86-64 swapped): a stand-in for a build of the other
// width, which no process of this width may load.
bool writeOtherWidthCopy(const std::string& from, const std::string& to, std::string* error);
