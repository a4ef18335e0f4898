#include "formats/byte_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "support/utf8_path.h"

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <windows.h>
#define KEL_PROCESS_ID() _getpid()
#else
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#define KEL_PROCESS_ID() getpid()
#endif

namespace plughost {
namespace {

std::string reason() {
  const int code = errno;
  return code != 0 ? std::string(": ") + std::strerror(code) : std::string();
}

// "folder/.name.plughost-<pid>-<n>": in the target's folder, so the final
// rename never crosses file systems.
// Every name handed out, so a process that must end at once can remove
// whichever of them still exist.
std::vector<std::string>& namesHandedOut() {
  static std::vector<std::string> names;
  return names;
}

std::string temporaryName(const std::string& path) {
  static unsigned counter = 0;
  const auto slash = path.find_last_of("/\\");
  const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  std::string name = path.substr(0, nameStart) + "." + path.substr(nameStart) + ".plughost-" +
                     std::to_string(KEL_PROCESS_ID()) + "-" + std::to_string(++counter);
  namesHandedOut().push_back(name);
  return name;
}

// True for an existing target that is a device or a pipe (/dev/stdout,
// /dev/full): those are written in place, as renaming over them would replace
// the device itself.
bool isSpecialFile(const std::string& path) {
#if defined(_WIN32)
  HANDLE handle =
      CreateFileW(wideText(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  const DWORD type = GetFileType(handle);
  CloseHandle(handle);
  return type == FILE_TYPE_CHAR || type == FILE_TYPE_PIPE;
#else
  struct stat status;
  return stat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode) && !S_ISDIR(status.st_mode);
#endif
}

// Writes, flushes and closes; false with `error` set when any step fails.
bool writeWhole(const std::string& name, const std::string& target,
                const std::vector<std::uint8_t>& bytes, std::string& error) {
  errno = 0;
  FILE* file = openFile(name, "wb");
  if (!file) {
    error = "cannot write '" + target + "'" + reason();
    return false;
  }
  errno = 0;
  bool written = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  // Buffered bytes only meet a full disk here.
  written = std::fflush(file) == 0 && written;
  written = std::fclose(file) == 0 && written;
  if (!written) error = "cannot write '" + target + "'" + reason();
  return written;
}

// "/dev/stdout" as a Linux path or through Wine's drive (Z:\dev\stdout):
// Wine opens it in its server, whose output is not ours, so the bytes would
// vanish; it is taken as "-".
bool namesStandardOutput(const std::string& path) {
  std::string tail = path.size() >= 11 ? path.substr(path.size() - 11) : path;
  for (char& c : tail) c = c == '\\' ? '/' : c;
  return tail == "/dev/stdout" && (path.size() == 11 || path[path.size() - 12] == ':');
}

bool replaceFile(const std::string& from, const std::string& to) {
#if defined(_WIN32)
  return MoveFileExW(wideText(from).c_str(), wideText(to).c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
#else
  return std::rename(from.c_str(), to.c_str()) == 0;
#endif
}

bool isRegularFile(const std::string& path) {
#if defined(_WIN32)
  const DWORD attributes = GetFileAttributesW(wideText(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY) &&
         !isSpecialFile(path);
#else
  struct stat status;
  return stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
#endif
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
  for (const std::string& name : namesHandedOut()) removeFile(name);
}

bool readFileBytes(const std::string& path, std::vector<std::uint8_t>& bytes, std::string& error) {
  FILE* file = openFile(path, "rb");
  if (!file) {
    error = "cannot open '" + path + "'";
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
  if (isSpecialFile(path)) return writeWhole(path, path, bytes, error);
  const std::string temporary = temporaryName(path);
  if (!writeWhole(temporary, path, bytes, error)) {
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
      backup = temporaryName(entry.target);
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
  if (file_ && !standardOutput_) {
    forgetWriter(file_);
    std::fclose(file_);
  }
  if (!temporary_.empty()) removeFile(temporary_);
}

bool StagedWriter::open(const std::string& path, std::string& error) {
  target_ = path;
  errno = 0;
  if (path == "-" || namesStandardOutput(path)) {
    standardOutput_ = true;
    file_ = stdout;
#if defined(_WIN32)
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    return true;
  }
  if (!isSpecialFile(path)) temporary_ = temporaryName(path);
  file_ = openFile(temporary_.empty() ? path : temporary_, "wb");
  if (!file_) {
    error = "cannot write '" + path + "'" + reason();
    temporary_.clear();
    return false;
  }
  openWriters().push_back(file_);
  return true;
}

bool StagedWriter::write(const std::uint8_t* bytes, std::size_t size, std::string& error) {
  errno = 0;
  if (size == 0 || std::fwrite(bytes, 1, size, file_) == size) return true;
  error = "cannot write '" + target_ + "'" + reason();
  return false;
}

bool StagedWriter::commit(std::string& error) {
  errno = 0;
  // Buffered bytes only meet a full disk here.
  bool written = std::fflush(file_) == 0;
  if (!standardOutput_) {
    forgetWriter(file_);
    written = std::fclose(file_) == 0 && written;
  }
  file_ = nullptr;
  if (!written) {
    error = "cannot write '" + target_ + "'" + reason();
    return false;
  }
  if (temporary_.empty()) return true;
  if (!replaceFile(temporary_, target_)) {
    error = "cannot replace '" + target_ + "'";
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
