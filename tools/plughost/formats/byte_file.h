// Whole-file reads and writes of raw bytes. Writes never leave a partial file:
// the bytes go to a temporary file in the target's folder, which replaces the
// target only after a checked flush and close.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace plughost {

// False with a one-line reason in `error` when the file cannot be read.
bool readFileBytes(const std::string& path, std::vector<std::uint8_t>& bytes, std::string& error);

// Files written to temporary names first and given their real names together
// by commit(). Whatever is not committed is removed when the object goes.
class StagedFiles {
 public:
  StagedFiles() = default;
  ~StagedFiles();
  StagedFiles(const StagedFiles&) = delete;
  StagedFiles& operator=(const StagedFiles&) = delete;

  // Writes `bytes` to a temporary file beside `path`; false with a one-line
  // reason in `error` (and nothing left behind) when any step fails. A
  // standard stream's name (support/file_policy.h) and an existing device
  // (/dev/full) are written at once, in place.
  bool stage(const std::string& path, const std::vector<std::uint8_t>& bytes, std::string& error);
  // Renames every staged file to its target, replacing an existing file.
  // False with a reason when a rename fails; the targets renamed before it
  // are then put back as they were (removed where there was none).
  bool commit(std::string& error);

 private:
  struct Entry {
    std::string target;
    std::string temporary;
  };
  std::vector<Entry> entries_;
};

// One file written in pieces, as a render streams its output: to a
// temporary name beside `path`, renamed into place by commit(). Uncommitted,
// the temporary is removed when the object goes. A standard stream's name
// (support/file_policy.h) and an existing device are written in place.
class StagedWriter {
 public:
  StagedWriter() = default;
  ~StagedWriter();
  StagedWriter(const StagedWriter&) = delete;
  StagedWriter& operator=(const StagedWriter&) = delete;

  // False with a one-line reason in `error` when the file cannot be created.
  bool open(const std::string& path, std::string& error);
  // False with a reason when the bytes could not all be written.
  bool write(const std::uint8_t* bytes, std::size_t size, std::string& error);
  // Flushes, closes and renames; false with a reason when any step fails.
  bool commit(std::string& error);
  // True when the output is the standard output, which then holds no text.
  bool toStandardOutput() const { return standardOutput_; }

 private:
  std::string target_;     // for messages: "'path'" or "the standard output"
  std::string final_;      // the path the temporary becomes
  std::string temporary_;  // "" when written in place
  std::FILE* file_ = nullptr;
  bool stream_ = false;  // a standard stream: flushed, never closed
  bool standardOutput_ = false;
};

// Removes every temporary file this process staged that still exists: for a
// process that must end at once (a plug-in crashed) and leaves no
// destructor to do it.
void removeTemporaryFiles();

// One staged file committed at once.
bool writeFileBytes(const std::string& path, const std::vector<std::uint8_t>& bytes,
                    std::string& error);

}  // namespace plughost
