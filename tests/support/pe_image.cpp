#include "pe_image.h"

#include <fstream>
#include <iterator>

namespace {

constexpr std::size_t kSectionHeaderSize = 40;
constexpr std::size_t kImportDescriptorSize = 20;
constexpr std::size_t kDelayDescriptorSize = 32;
constexpr std::uint32_t kExportDirectory = 0;
constexpr std::uint32_t kImportDirectory = 1;
constexpr std::uint32_t kDelayImportDirectory = 13;
constexpr std::size_t kMaxEntries = 100000;  // guards against looping tables

struct Section {
  std::uint32_t virtualAddress;
  std::uint32_t virtualSize;
  std::uint32_t rawSize;
  std::uint32_t rawOffset;
};

class Reader {
 public:
  explicit Reader(const std::vector<std::uint8_t>& image) : bytes(image) {}

  bool has(std::uint64_t offset, std::uint64_t size) const {
    return offset <= bytes.size() && size <= bytes.size() - offset;
  }
  std::uint16_t u16(std::uint64_t offset) const {
    return static_cast<std::uint16_t>(bytes[offset] | bytes[offset + 1] << 8);
  }
  std::uint32_t u32(std::uint64_t offset) const {
    return static_cast<std::uint32_t>(u16(offset)) | static_cast<std::uint32_t>(u16(offset + 2))
                                                         << 16;
  }
  // A NUL-terminated text inside the file; false when it runs off the end.
  bool text(std::uint64_t offset, std::string* out) const {
    out->clear();
    for (std::uint64_t i = offset; i < bytes.size(); ++i) {
      if (bytes[i] == 0) return true;
      out->push_back(static_cast<char>(bytes[i]));
    }
    return false;
  }

  std::vector<Section> sections;

  // File offset of a relative virtual address, or false.
  bool offsetOf(std::uint32_t rva, std::uint64_t* offset) const {
    for (const Section& s : sections) {
      const std::uint32_t span = s.virtualSize > s.rawSize ? s.virtualSize : s.rawSize;
      if (rva >= s.virtualAddress && rva - s.virtualAddress < span) {
        const std::uint32_t within = rva - s.virtualAddress;
        if (within >= s.rawSize) return false;
        *offset = static_cast<std::uint64_t>(s.rawOffset) + within;
        return has(*offset, 1);
      }
    }
    return false;
  }

  bool textAt(std::uint32_t rva, std::string* out) const {
    std::uint64_t offset = 0;
    return offsetOf(rva, &offset) && text(offset, out);
  }

 private:
  const std::vector<std::uint8_t>& bytes;
};

bool fail(std::string* error, const std::string& text) {
  if (error != nullptr) *error = text;
  return false;
}

bool readExports(const Reader& r, std::uint32_t rva, PeImage* image, std::string* error) {
  std::uint64_t dir = 0;
  if (!r.offsetOf(rva, &dir) || !r.has(dir, 40)) return fail(error, "export directory");
  const std::uint32_t count = r.u32(dir + 24);
  std::uint64_t names = 0;
  if (count > kMaxEntries) return fail(error, "export count");
  if (count == 0) return true;
  if (!r.offsetOf(r.u32(dir + 32), &names) || !r.has(names, 4ull * count)) {
    return fail(error, "export name table");
  }
  for (std::uint32_t i = 0; i < count; ++i) {
    std::string name;
    if (!r.textAt(r.u32(names + 4ull * i), &name)) return fail(error, "export name");
    image->exports.push_back(name);
  }
  return true;
}

bool readDllNames(const Reader& r, std::uint32_t rva, std::size_t descriptorSize,
                  std::size_t nameField, std::vector<std::string>* out, std::string* error) {
  std::uint64_t at = 0;
  if (!r.offsetOf(rva, &at)) return fail(error, "import directory");
  for (std::size_t i = 0; i < kMaxEntries; ++i, at += descriptorSize) {
    if (!r.has(at, descriptorSize)) return fail(error, "import descriptor");
    bool empty = true;
    for (std::size_t b = 0; b < descriptorSize; b += 4) empty = empty && r.u32(at + b) == 0;
    if (empty) return true;
    std::string name;
    if (!r.textAt(r.u32(at + nameField), &name)) return fail(error, "import name");
    out->push_back(name);
  }
  return fail(error, "import table without end");
}

}  // namespace

bool parsePeImage(const std::vector<std::uint8_t>& bytes, PeImage* image, std::string* error) {
  *image = PeImage{};
  Reader r(bytes);
  if (!r.has(0, 64) || bytes[0] != 'M' || bytes[1] != 'Z') return fail(error, "no MZ header");
  const std::uint64_t pe = r.u32(0x3C);
  if (!r.has(pe, 24) || r.u32(pe) != 0x00004550) return fail(error, "no PE signature");
  const std::uint64_t coff = pe + 4;
  image->machine = r.u16(coff);
  const std::uint16_t sectionCount = r.u16(coff + 2);
  const std::uint16_t optionalSize = r.u16(coff + 16);
  image->characteristics = r.u16(coff + 18);

  const std::uint64_t optional = coff + 20;
  if (!r.has(optional, optionalSize) || optionalSize < 2) return fail(error, "optional header");
  image->optionalMagic = r.u16(optional);
  const std::uint64_t countField = image->optionalMagic == PeImage::kMagicPe32 ? 92 : 108;
  if (optionalSize < countField + 4) return fail(error, "optional header too small");
  const std::uint32_t dirCount = r.u32(optional + countField);
  const std::uint64_t dirs = optional + countField + 4;
  if (optionalSize < countField + 4 + 8ull * dirCount) return fail(error, "data directories");

  const std::uint64_t table = optional + optionalSize;
  if (!r.has(table, kSectionHeaderSize * sectionCount)) return fail(error, "section table");
  for (std::uint16_t i = 0; i < sectionCount; ++i) {
    const std::uint64_t s = table + kSectionHeaderSize * i;
    r.sections.push_back({r.u32(s + 12), r.u32(s + 8), r.u32(s + 16), r.u32(s + 20)});
  }

  auto directory = [&](std::uint32_t index) -> std::uint32_t {
    return index < dirCount ? r.u32(dirs + 8ull * index) : 0;
  };
  if (directory(kExportDirectory) != 0 &&
      !readExports(r, directory(kExportDirectory), image, error)) {
    return false;
  }
  if (directory(kImportDirectory) != 0 &&
      !readDllNames(r, directory(kImportDirectory), kImportDescriptorSize, 12, &image->imports,
                    error)) {
    return false;
  }
  if (directory(kDelayImportDirectory) != 0 &&
      !readDllNames(r, directory(kDelayImportDirectory), kDelayDescriptorSize, 4,
                    &image->delayImports, error)) {
    return false;
  }
  return true;
}

bool readPeImage(const std::string& path, PeImage* image, std::string* error) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return fail(error, "cannot open " + path);
  const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(file)),
                                        std::istreambuf_iterator<char>());
  return parsePeImage(bytes, image, error);
}

bool writeOtherWidthCopy(const std::string& from, const std::string& to, std::string* error) {
  std::ifstream in(from, std::ios::binary);
  if (!in) return fail(error, "cannot open " + from);
  std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                  std::istreambuf_iterator<char>());
  PeImage image;
  if (!parsePeImage(bytes, &image, error)) return false;
  const std::uint16_t other =
      image.machine == PeImage::kMachineI386 ? PeImage::kMachineAmd64 : PeImage::kMachineI386;
  const std::size_t machine = Reader(bytes).u32(0x3C) + 4;
  bytes[machine] = static_cast<std::uint8_t>(other & 0xff);
  bytes[machine + 1] = static_cast<std::uint8_t>(other >> 8);
  std::ofstream out(to, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  out.close();
  return out ? true : fail(error, "cannot write " + to);
}
