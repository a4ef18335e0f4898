// Program files (.fxp) holding one opaque chunk. All fields big-endian:
//   0  'CcnK'   4  byte size of everything after this field
//   8  'FPCh'  12  format version (1)  16  plug-in unique ID  20  plug-in version
//  24  parameter count  28  program name, 28 bytes NUL-padded
//  56  chunk size  60  chunk bytes
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace plughost {

constexpr std::size_t kFxpHeaderSize = 60;
constexpr std::size_t kFxpNameSize = 28;

struct FxpProgram {
  std::int32_t pluginId = 0;
  std::int32_t pluginVersion = 0;
  std::int32_t parameterCount = 0;
  std::string name;  // at most 27 characters are stored
  std::vector<std::uint8_t> chunk;
};

std::vector<std::uint8_t> encodeFxp(const FxpProgram& program);
// False with a one-line reason in `error` unless `bytes` is a complete chunk
// program file; nothing is read beyond the end of `bytes`.
bool decodeFxp(const std::vector<std::uint8_t>& bytes, FxpProgram& program, std::string& error);

bool readFxpFile(const std::string& path, FxpProgram& program, std::string& error);
bool writeFxpFile(const std::string& path, const FxpProgram& program, std::string& error);

// Bank files (.fxb) holding one opaque chunk for all programs. All fields
// big-endian:
//   0  'CcnK'   4  byte size of everything after this field
//   8  'FBCh'  12  format version (1 or 2)  16  plug-in unique ID
//  20  plug-in version  24  program count
//  28  current program (version 2; reserved in version 1)
//  32  reserved, 124 zero bytes
// 156  chunk size  160  chunk bytes
// Banks of parameter lists ('FxBk') are recognised and refused.
constexpr std::size_t kFxbHeaderSize = 160;

struct FxbBank {
  std::int32_t pluginId = 0;
  std::int32_t pluginVersion = 0;
  std::int32_t programCount = 0;
  std::int32_t currentProgram = 0;
  std::vector<std::uint8_t> chunk;
};

// Always writes format version 2.
std::vector<std::uint8_t> encodeFxb(const FxbBank& bank);
// False with a one-line reason in `error` unless `bytes` is a complete chunk
// bank file; nothing is read beyond the end of `bytes`.
bool decodeFxb(const std::vector<std::uint8_t>& bytes, FxbBank& bank, std::string& error);
bool readFxbFile(const std::string& path, FxbBank& bank, std::string& error);

}  // namespace plughost
