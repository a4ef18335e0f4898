#include "formats/pe_exports.h"

#include <cstdint>
#include <cstdio>
#include <memory>

#include "formats/byte_order.h"
#include "support/utf8_path.h"

namespace plughost {
namespace {

constexpr long kPeOffsetField = 0x3c;
constexpr std::uint16_t kMagicPe32 = 0x10b;
constexpr std::uint16_t kMagicPe32Plus = 0x20b;
// More names than any plug-in exports; a damaged count must not run for ever.
constexpr std::uint32_t kMaxNames = 4096;
constexpr std::size_t kMaxNameLength = 256;

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

class ImageReader {
 public:
  explicit ImageReader(const std::string& path) : file_(openFile(path, "rb")) {}
  bool open() const { return file_ != nullptr; }

  bool read(std::uint32_t offset, void* to, std::size_t size) {
    return std::fseek(file_.get(), static_cast<long>(offset), SEEK_SET) == 0 &&
           std::fread(to, 1, size, file_.get()) == size;
  }
  bool le32(std::uint32_t offset, std::uint32_t& value) {
    std::uint8_t bytes[4];
    if (!read(offset, bytes, 4)) return false;
    value = readLe32(bytes);
    return true;
  }
  // A NUL-terminated name of at most kMaxNameLength bytes.
  bool name(std::uint32_t offset, std::string& text) {
    text.clear();
    if (std::fseek(file_.get(), static_cast<long>(offset), SEEK_SET) != 0) return false;
    for (std::size_t i = 0; i < kMaxNameLength; ++i) {
      const int c = std::fgetc(file_.get());
      if (c == EOF) return false;
      if (c == 0) return true;
      text.push_back(static_cast<char>(c));
    }
    return false;
  }

 private:
  std::unique_ptr<std::FILE, FileCloser> file_;
};

struct Section {
  std::uint32_t address = 0;
  std::uint32_t size = 0;
  std::uint32_t fileOffset = 0;
};

// The file offset of a relative virtual address, or 0 outside every section.
std::uint32_t fileOffset(const std::vector<Section>& sections, std::uint32_t rva) {
  for (const Section& s : sections) {
    if (rva >= s.address && rva - s.address < s.size) return s.fileOffset + (rva - s.address);
  }
  return 0;
}

}  // namespace

bool readPeExports(const std::string& path, PeExports& exports) {
  exports = PeExports{};
  ImageReader image(path);
  std::uint8_t dos[2];
  std::uint32_t pe = 0;
  std::uint32_t signature = 0;
  if (!image.open() || !image.read(0, dos, 2) || dos[0] != 'M' || dos[1] != 'Z' ||
      !image.le32(kPeOffsetField, pe) || !image.le32(pe, signature) || signature != 0x4550) {
    return false;
  }
  std::uint8_t coff[20];
  if (!image.read(pe + 4, coff, sizeof coff)) return false;
  const std::uint16_t sectionCount = readLe16(coff + 2);
  const std::uint16_t optionalSize = readLe16(coff + 16);
  const std::uint32_t optional = pe + 24;
  std::uint8_t magic[2];
  if (!image.read(optional, magic, 2)) return false;
  // The data directories follow the fixed fields, whose size depends on the width.
  const std::uint16_t kind = readLe16(magic);
  if (kind != kMagicPe32 && kind != kMagicPe32Plus) return false;
  const std::uint32_t directories = optional + (kind == kMagicPe32 ? 96 : 112);
  std::uint32_t exportRva = 0;
  if (!image.le32(directories, exportRva)) return false;

  std::vector<Section> sections;
  for (std::uint16_t i = 0; i < sectionCount; ++i) {
    std::uint8_t header[40];
    if (!image.read(optional + optionalSize + 40u * i, header, sizeof header)) return false;
    const std::uint32_t virtualSize = readLe32(header + 8);
    const std::uint32_t rawSize = readLe32(header + 16);
    sections.push_back({readLe32(header + 12), virtualSize > rawSize ? virtualSize : rawSize,
                        readLe32(header + 20)});
  }
  if (exportRva == 0) return true;
  const std::uint32_t directory = fileOffset(sections, exportRva);
  std::uint8_t table[40];
  if (directory == 0 || !image.read(directory, table, sizeof table)) return false;
  const std::uint32_t nameOffset = fileOffset(sections, readLe32(table + 12));
  if (nameOffset == 0 || !image.name(nameOffset, exports.libraryName)) return false;
  const std::uint32_t count = readLe32(table + 24);
  const std::uint32_t namePointers = fileOffset(sections, readLe32(table + 32));
  if (count > kMaxNames || (count > 0 && namePointers == 0)) return false;
  for (std::uint32_t i = 0; i < count; ++i) {
    std::uint32_t rva = 0;
    std::string name;
    if (!image.le32(namePointers + 4 * i, rva)) return false;
    const std::uint32_t offset = fileOffset(sections, rva);
    if (offset == 0 || !image.name(offset, name)) return false;
    exports.names.push_back(name);
  }
  return true;
}

}  // namespace plughost
