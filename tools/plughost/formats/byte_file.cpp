#include "formats/byte_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "support/file_policy.h"
#include "support/utf8_path.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <filesystem>
#endif

namespace plughost {
namespace {

// errno as a reason, ": No space left on device", or "" when none is set.
std::string reason(int code) {
  return code != 0 ? std::string(": ") + std::strerror(code) : std::string();
}

// A new temporary file beside `path`, under a name no file has: its name
// and the open file, or nullptr (errno set) when none can be made.
std::FILE* createTemporary(const std::string& path, std::string& name) {
  for (int attempt = 0; attempt < 16; ++attempt) {
    name = temporaryNameBeside(path);
    errno = 0;
    std::FILE* file = createNewFile(name);
    if (file != nullptr || errno != EEXIST) return file;
  }
  return nullptr;
}

// Writes, flushes and closes `file`; false with `error` set when any step
// fails. The first failure's reason is kept: a later close reports another.
bool writeAndClose(std::FILE* file, const std::string& what, const std::vector<std::uint8_t>& bytes,
                   bool close, std::string& error) {
  errno = 0;
  bool written = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  int code = written ? 0 : errno;
  // Buffered bytes only meet a full disk here.
  if (std::fflush(file) != 0 && written) {
    written = false;
    code = errno;
  }
  if (close && std::fclose(file) != 0 && written) {
    written = false;
    code = errno;
  }
  if (!written) error = "cannot write " + what + reason(code);
  return written;
}

bool replaceFile(const std::string& from, const std::string& to) {
#if defined(_WIN32)
  return MoveFileExW(wideText(from).c_str(), wideText(to).c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
#else
  return std::rename(from.c_str(), to.c_str()) == 0;
#endif
}

bool isRegularFile(const std::string& path) {
  const FileIdentity identity = identify(path);
  return identity.exists && !identity.folder && !identity.device;
}

bool copyFile(const std::string& from, const std::string& to) {
#if defined(_WIN32)
  return CopyFileW(wideText(from).c_str(), wideText(to).c_str(), TRUE) != 0;
#else
  std::error_code error;
  return std::filesystem::copy_file(from, to, error);
#endif
}

}  // namespace

namespace {

// Files being written in pieces; the system removes no open file.
std::vector<std::FILE*>& openWriters() {
  static std::vector<std::FILE*> files;
  return files;
}

void forgetWriter(std::FILE* file) {
  auto& files = openWriters();
  files.erase(std::remove(files.begin(), files.end(), file), files.end());
}

}  // namespace

void removeTemporaryFiles() {
  for (std::FILE* file : openWriters()) std::fclose(file);
  openWriters().clear();
  for (const std::string& name : temporaryNamesHandedOut()) removeFile(name);
}

bool readFileBytes(const std::string& path, std::vector<std::uint8_t>& bytes, std::string& error) {
  const FileIdentity identity = identify(path);
  if (identity.folder) {
    error = "'" + path + "' is a folder, not a file";
    return false;
  }
  FILE* file = openFile(path, "rb");
  if (!file) {
    error = "cannot open '" + path + "'" + (identity.exists ? "" : ": there is no such file");
    return false;
  }
  bytes.clear();
  std::uint8_t chunk[65536];
  std::size_t got = 0;
  while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
    bytes.insert(bytes.end(), chunk, chunk + got);
  }
  const bool failed = std::ferror(file) != 0;
  std::fclose(file);
  if (failed) {
    error = "cannot read '" + path + "'";
    return false;
  }
  return true;
}

StagedFiles::~StagedFiles() {
  for (const Entry& entry : entries_) removeFile(entry.temporary);
}

bool StagedFiles::stage(const std::string& path, const std::vector<std::uint8_t>& bytes,
                        std::string& error) {
  const StandardStream stream = standardStreamNamed(path);
  if (stream != StandardStream::none) {
    std::FILE* file =
        stream == StandardStream::output ? claimStandardOutput() : standardErrorForData();
    const std::string name =
        stream == StandardStream::output ? "the standard output" : "the standard error";
    return writeAndClose(file, name, bytes, false, error);
  }
  if (identify(path).device) {
    errno = 0;
    std::FILE* file = openFile(path, "wb");
    if (!file) {
      error = "cannot write '" + path + "'" + reason(errno);
      return false;
    }
    return writeAndClose(file, "'" + path + "'", bytes, true, error);
  }
  std::string temporary;
  std::FILE* file = createTemporary(path, temporary);
  if (!file) {
    error = "cannot write '" + path + "'" + reason(errno);
    return false;
  }
  if (!writeAndClose(file, "'" + path + "'", bytes, true, error)) {
    removeFile(temporary);
    return false;
  }
  entries_.push_back({path, temporary});
  return true;
}

// Each existing target is copied aside before its replacement, so a rename
// that fails part-way can put back every file the commit already replaced.
bool StagedFiles::commit(std::string& error) {
  std::vector<std::string> backups;  // per replaced target; "" where none existed
  bool committed = true;
  for (const Entry& entry : entries_) {
    std::string backup;
    if (isRegularFile(entry.target)) {
      backup = temporaryNameBeside(entry.target);
      if (!copyFile(entry.target, backup)) {
        removeFile(backup);
        error = "cannot replace '" + entry.target + "': no room to keep the old file aside";
        committed = false;
        break;
      }
    }
    if (!replaceFile(entry.temporary, entry.target)) {
      removeFile(backup);
      error = "cannot replace '" + entry.target + "'";
      committed = false;
      break;
    }
    backups.push_back(backup);
  }
  for (std::size_t i = backups.size(); i-- > 0;) {
    const std::string& target = entries_[i].target;
    if (committed) {
      removeFile(backups[i]);
    } else if (backups[i].empty()) {
      removeFile(target);
    } else {
      replaceFile(backups[i], target);
    }
  }
  // Temporaries not renamed are removed by the destructor.
  entries_.erase(entries_.begin(), entries_.begin() + static_cast<std::ptrdiff_t>(backups.size()));
  return committed;
}

StagedWriter::~StagedWriter() {
  if (file_ && !stream_) {
    forgetWriter(file_);
    std::fclose(file_);
  }
  if (!temporary_.empty()) removeFile(temporary_);
}

bool StagedWriter::open(const std::string& path, std::string& error) {
  const StandardStream stream = standardStreamNamed(path);
  if (stream != StandardStream::none) {
    stream_ = true;
    standardOutput_ = stream == StandardStream::output;
    target_ = standardOutput_ ? "the standard output" : "the standard error";
    file_ = standardOutput_ ? claimStandardOutput() : standardErrorForData();
    return true;
  }
  target_ = "'" + path + "'";
  errno = 0;
  if (identify(path).device) {
    file_ = openFile(path, "wb");
  } else {
    file_ = createTemporary(path, temporary_);
    if (!file_) temporary_.clear();
  }
  if (!file_) {
    error = "cannot write " + target_ + reason(errno);
    return false;
  }
  final_ = path;
  openWriters().push_back(file_);
  return true;
}

bool StagedWriter::write(const std::uint8_t* bytes, std::size_t size, std::string& error) {
  errno = 0;
  if (size == 0 || std::fwrite(bytes, 1, size, file_) == size) return true;
  error = "cannot write " + target_ + reason(errno);
  return false;
}

bool StagedWriter::commit(std::string& error) {
  errno = 0;
  // Buffered bytes only meet a full disk here.
  bool written = std::fflush(file_) == 0;
  int code = written ? 0 : errno;
  if (!stream_) {
    forgetWriter(file_);
    if (std::fclose(file_) != 0 && written) {
      written = false;
      code = errno;
    }
  }
  file_ = nullptr;
  if (!written) {
    error = "cannot write " + target_ + reason(code);
    return false;
  }
  if (temporary_.empty()) return true;
  if (!replaceFile(temporary_, final_)) {
    error = "cannot replace " + target_;
    return false;
  }
  temporary_.clear();
  return true;
}

bool writeFileBytes(const std::string& path, const std::vector<std::uint8_t>& bytes,
                    std::string& error) {
  StagedFiles files;
  return files.stage(path, bytes, error) && files.commit(error);
}

}  // namespace plughost
