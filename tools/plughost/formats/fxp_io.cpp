#include "formats/fxp_io.h"

#include <algorithm>

#include "formats/byte_file.h"
#include "formats/byte_order.h"

namespace plughost {
namespace {

constexpr std::uint32_t kFormatVersion = 1;
constexpr std::uint32_t kBankFormatVersion = 2;  // adds the current program
constexpr std::size_t kFxbReservedSize = 124;

// Checks the two sizes a program or bank file states: the byte count after
// the first 8 bytes, and the chunk's, which together fill the file exactly.
// `kind` is "preset" or "bank"; false with `error` set when they do not.
bool readChunkSize(const std::vector<std::uint8_t>& bytes, std::size_t headerSize,
                   std::size_t chunkSizeOffset, const char* kind, std::uint64_t& chunkSize,
                   std::string& error) {
  const std::uint64_t byteSize = readBe32(bytes.data() + 4);
  chunkSize = readBe32(bytes.data() + chunkSizeOffset);
  if (byteSize + 8 > bytes.size() || chunkSize + headerSize > bytes.size()) {
    error = std::string(kind) + " file is truncated";
    return false;
  }
  if (byteSize != headerSize - 8 + chunkSize) {
    error = std::string(kind) + " file sizes do not agree";
    return false;
  }
  // Bytes past the stated end are no part of any file we write: a file cut
  // together from two, or one whose sizes were edited.
  if (byteSize + 8 < bytes.size()) {
    error = std::string(kind) + " file has bytes after its end (" +
            std::to_string(bytes.size() - (byteSize + 8)) + " more than its sizes state)";
    return false;
  }
  return true;
}

}  // namespace

std::vector<std::uint8_t> encodeFxp(const FxpProgram& program) {
  std::vector<std::uint8_t> out;
  out.reserve(kFxpHeaderSize + program.chunk.size());
  appendTag(out, "CcnK");
  appendBe32(out, static_cast<std::uint32_t>(kFxpHeaderSize - 8 + program.chunk.size()));
  appendTag(out, "FPCh");
  appendBe32(out, kFormatVersion);
  appendBe32(out, static_cast<std::uint32_t>(program.pluginId));
  appendBe32(out, static_cast<std::uint32_t>(program.pluginVersion));
  appendBe32(out, static_cast<std::uint32_t>(program.parameterCount));
  const std::size_t nameLength = std::min(program.name.size(), kFxpNameSize - 1);
  out.insert(out.end(), program.name.begin(), program.name.begin() + nameLength);
  out.insert(out.end(), kFxpNameSize - nameLength, 0);
  appendBe32(out, static_cast<std::uint32_t>(program.chunk.size()));
  out.insert(out.end(), program.chunk.begin(), program.chunk.end());
  return out;
}

bool decodeFxp(const std::vector<std::uint8_t>& bytes, FxpProgram& program, std::string& error) {
  const std::uint8_t* p = bytes.data();
  if (bytes.size() < 8 || !hasTag(p, "CcnK")) {
    error = "not a preset file (no 'CcnK' header)";
    return false;
  }
  if (bytes.size() < kFxpHeaderSize) {
    error = "preset file is truncated";
    return false;
  }
  if (hasTag(p + 8, "FBCh")) {
    error = "this is a bank file, not a program: render plays one of its programs with --bank";
    return false;
  }
  if (hasTag(p + 8, "FxCk") || hasTag(p + 8, "FxBk")) {
    error = "preset file holds a parameter list, not a chunk program ('FPCh')";
    return false;
  }
  if (!hasTag(p + 8, "FPCh")) {
    error = "unknown preset kind (expected 'FPCh')";
    return false;
  }
  const std::uint32_t version = readBe32(p + 12);
  if (version != kFormatVersion) {
    error = "unsupported preset format version " + std::to_string(version);
    return false;
  }
  std::uint64_t chunkSize = 0;
  if (!readChunkSize(bytes, kFxpHeaderSize, 56, "preset", chunkSize, error)) return false;
  FxpProgram result;
  result.pluginId = static_cast<std::int32_t>(readBe32(p + 16));
  result.pluginVersion = static_cast<std::int32_t>(readBe32(p + 20));
  result.parameterCount = static_cast<std::int32_t>(readBe32(p + 24));
  const std::uint8_t* name = p + 28;
  result.name.assign(name, std::find(name, name + kFxpNameSize, 0));
  result.chunk.assign(p + kFxpHeaderSize, p + kFxpHeaderSize + chunkSize);
  program = std::move(result);
  return true;
}

std::vector<std::uint8_t> encodeFxb(const FxbBank& bank) {
  std::vector<std::uint8_t> out;
  out.reserve(kFxbHeaderSize + bank.chunk.size());
  appendTag(out, "CcnK");
  appendBe32(out, static_cast<std::uint32_t>(kFxbHeaderSize - 8 + bank.chunk.size()));
  appendTag(out, "FBCh");
  appendBe32(out, kBankFormatVersion);
  appendBe32(out, static_cast<std::uint32_t>(bank.pluginId));
  appendBe32(out, static_cast<std::uint32_t>(bank.pluginVersion));
  appendBe32(out, static_cast<std::uint32_t>(bank.programCount));
  appendBe32(out, static_cast<std::uint32_t>(bank.currentProgram));
  out.insert(out.end(), kFxbReservedSize, 0);
  appendBe32(out, static_cast<std::uint32_t>(bank.chunk.size()));
  out.insert(out.end(), bank.chunk.begin(), bank.chunk.end());
  return out;
}

bool decodeFxb(const std::vector<std::uint8_t>& bytes, FxbBank& bank, std::string& error) {
  const std::uint8_t* p = bytes.data();
  if (bytes.size() < 12 || !hasTag(p, "CcnK")) {
    error = "not a bank file (no 'CcnK' header)";
    return false;
  }
  if (hasTag(p + 8, "FPCh") || hasTag(p + 8, "FxCk")) {
    error = "this is a program file, not a bank: load it with --preset";
    return false;
  }
  if (hasTag(p + 8, "FxBk")) {
    error =
        "the bank holds parameter lists ('FxBk'); only banks of one chunk ('FBCh') are "
        "supported";
    return false;
  }
  if (!hasTag(p + 8, "FBCh")) {
    error = "unknown bank kind (expected 'FBCh')";
    return false;
  }
  if (bytes.size() < kFxbHeaderSize) {
    error = "bank file is truncated";
    return false;
  }
  const std::uint32_t version = readBe32(p + 12);
  if (version != 1 && version != 2) {
    error = "unsupported bank format version " + std::to_string(version);
    return false;
  }
  std::uint64_t chunkSize = 0;
  if (!readChunkSize(bytes, kFxbHeaderSize, 156, "bank", chunkSize, error)) return false;
  FxbBank result;
  result.pluginId = static_cast<std::int32_t>(readBe32(p + 16));
  result.pluginVersion = static_cast<std::int32_t>(readBe32(p + 20));
  result.programCount = static_cast<std::int32_t>(readBe32(p + 24));
  result.currentProgram = version == 2 ? static_cast<std::int32_t>(readBe32(p + 28)) : 0;
  result.chunk.assign(p + kFxbHeaderSize, p + kFxbHeaderSize + chunkSize);
  bank = std::move(result);
  return true;
}

bool readFxbFile(const std::string& path, FxbBank& bank, std::string& error) {
  std::vector<std::uint8_t> bytes;
  if (!readFileBytes(path, bytes, error)) return false;
  if (decodeFxb(bytes, bank, error)) return true;
  error = "'" + path + "': " + error;
  return false;
}

bool readFxpFile(const std::string& path, FxpProgram& program, std::string& error) {
  std::vector<std::uint8_t> bytes;
  if (!readFileBytes(path, bytes, error)) return false;
  if (decodeFxp(bytes, program, error)) return true;
  error = "'" + path + "': " + error;
  return false;
}

bool writeFxpFile(const std::string& path, const FxpProgram& program, std::string& error) {
  return writeFileBytes(path, encodeFxp(program), error);
}

}  // namespace plughost
