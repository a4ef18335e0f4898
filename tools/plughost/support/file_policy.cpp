#include "support/file_policy.h"

#include <cerrno>
#include <cstring>
#include <random>

#include "support/command_error.h"
#include "support/utf8_path.h"

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include "platform/platform.h"
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#endif

namespace plughost {
namespace {

std::string named(const std::string& option, const std::string& path) {
  return (option.empty() ? std::string() : option + " ") + "'" + path + "'";
}

// The folder part of a path, "" for a bare name.
std::string folderOf(const std::string& path) {
  const auto slash = path.find_last_of("/\\");
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

#if defined(_WIN32)
// An open handle to what `path` leads to, without access rights: enough to
// ask what it is. Folders open too.
void openForQuery(const std::string& path, platform::Handle& handle) {
  handle.reset(CreateFileW(wideText(path).c_str(), 0,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

// The path the system holds for an open file, links resolved ("" if none).
std::string finalPath(const std::string& path) {
  platform::Handle handle;
  openForQuery(path, handle);
  if (!handle.valid()) return std::string();
  wchar_t buffer[32768];
  const DWORD length = GetFinalPathNameByHandleW(handle.get(), buffer, 32768, 0);
  if (length == 0 || length >= 32768) return std::string();
  return utf8Text(std::wstring(buffer, length));
}

bool sameText(const std::string& a, const std::string& b) {
  return CompareStringOrdinal(wideText(a).c_str(), -1, wideText(b).c_str(), -1, TRUE) == CSTR_EQUAL;
}
#else
std::string finalPath(const std::string& path) {
  char buffer[PATH_MAX];
  return realpath(path.c_str(), buffer) ? std::string(buffer) : std::string();
}

bool sameText(const std::string& a, const std::string& b) {
  return a == b;
}
#endif

// The descriptor named by "/proc/self/fd/N" or "/dev/fd/N", or -1.
int descriptorNamed(const std::string& tail) {
  for (const char* prefix : {"/proc/self/fd/", "/dev/fd/"}) {
    const std::size_t length = std::strlen(prefix);
    if (tail.compare(0, length, prefix) != 0 || tail.size() == length) continue;
    int value = 0;
    for (std::size_t i = length; i < tail.size(); ++i) {
      if (tail[i] < '0' || tail[i] > '9' || value > 100000) return -1;
      value = value * 10 + (tail[i] - '0');
    }
    return value;
  }
  return -1;
}

}  // namespace

StandardStream standardStreamNamed(const std::string& path) {
  if (path == "-") return StandardStream::output;
  // A Linux path, or the same through a drive letter (Z:\dev\stdout).
  std::string tail = path;
  if (tail.size() > 2 && tail[1] == ':' &&
      ((tail[0] >= 'A' && tail[0] <= 'Z') || (tail[0] >= 'a' && tail[0] <= 'z'))) {
    tail = tail.substr(2);
  }
  for (char& c : tail) c = c == '\\' ? '/' : c;
  if (tail == "/dev/stdout") return StandardStream::output;
  if (tail == "/dev/stderr") return StandardStream::error;
  const int descriptor = descriptorNamed(tail);
  if (descriptor == 1) return StandardStream::output;
  if (descriptor == 2) return StandardStream::error;
  if (descriptor >= 0) {
    throw CommandError("'" + path + "' names descriptor " + std::to_string(descriptor) +
                       ", which plughost cannot write: use - or /dev/stdout, or a file");
  }
  return StandardStream::none;
}

FileIdentity identify(const std::string& path) {
  FileIdentity identity;
#if defined(_WIN32)
  platform::Handle handle;
  openForQuery(path, handle);
  if (!handle.valid()) {
    // Devices such as /dev/full open only when asked for access.
    handle.reset(CreateFileW(wideText(path).c_str(), GENERIC_WRITE,
                             FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                             nullptr));
    if (!handle.valid()) return identity;
  }
  identity.exists = true;
  const DWORD type = GetFileType(handle.get());
  if (type == FILE_TYPE_CHAR || type == FILE_TYPE_PIPE) {
    identity.device = true;
    return identity;
  }
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(handle.get(), &info)) return identity;
  identity.folder = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  identity.readOnly = (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
  identity.volume = info.dwVolumeSerialNumber;
  identity.index = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
#else
  struct stat status;
  if (stat(path.c_str(), &status) != 0) return identity;
  identity.exists = true;
  identity.folder = S_ISDIR(status.st_mode);
  identity.device = !S_ISDIR(status.st_mode) && !S_ISREG(status.st_mode);
  identity.readOnly = (status.st_mode & S_IWUSR) == 0;
  identity.volume = static_cast<std::uint64_t>(status.st_dev);
  identity.index = static_cast<std::uint64_t>(status.st_ino);
#endif
  return identity;
}

bool sameFile(const FileIdentity& a, const FileIdentity& b) {
  return a.exists && b.exists && !a.device && !b.device && a.volume == b.volume &&
         a.index == b.index;
}

void CommandFiles::input(const std::string& path) {
  if (!path.empty()) inputs_.push_back(path);
}

void CommandFiles::output(const std::string& path, const std::string& option) {
  outputs_.emplace_back(path, option);
}

void CommandFiles::check() const {
  // An input that is a folder is called one, before any loader gives its
  // own reason ("Module not found", "cannot open").
  for (const std::string& in : inputs_) {
    if (identify(in).folder) throw CommandError("'" + in + "' is a folder, not a file");
  }
  std::string standardOutputBy;
  std::string standardErrorBy;
  for (std::size_t i = 0; i < outputs_.size(); ++i) {
    const std::string& path = outputs_[i].first;
    const std::string what = named(outputs_[i].second, path);
    if (path.empty()) throw CommandError(what + " is an empty file name");
    const StandardStream stream = standardStreamNamed(path);
    std::string& claimedBy = stream == StandardStream::output ? standardOutputBy : standardErrorBy;
    if (stream != StandardStream::none) {
      if (!claimedBy.empty()) {
        throw CommandError(claimedBy + " and " + what + " both name the standard " +
                           (stream == StandardStream::output ? "output" : "error"));
      }
      claimedBy = what;
      continue;
    }
    const FileIdentity identity = identify(path);
    if (identity.folder) throw CommandError(what + " is a folder, not a file: nothing written");
    if (identity.device) continue;  // written in place
    if (identity.readOnly) throw CommandError(what + " is read-only: nothing written");
    if (!identity.exists) {
      const std::string folder = folderOf(path);
      if (!folder.empty() && !identify(folder).folder) {
        throw CommandError("the folder of " + what + " does not exist: nothing written");
      }
    }
    for (const std::string& in : inputs_) {
      if (sameFile(identity, identify(in))) {
        throw CommandError(what + " is the input '" + in +
                           "' under another name: choose another output");
      }
    }
    for (std::size_t j = 0; j < i; ++j) {
      const std::string& earlier = outputs_[j].first;
      const bool same =
          sameFile(identity, identify(earlier)) || (!identity.exists && sameText(earlier, path));
      if (same) {
        throw CommandError(named(outputs_[j].second, earlier) + " and " + what +
                           " name the same file");
      }
    }
  }
  if (!standardOutputBy.empty()) claimStandardOutput();
}

std::FILE* claimStandardOutput() {
  static std::FILE* data = nullptr;
  if (data != nullptr) return data;
  std::fflush(stdout);
#if defined(_WIN32)
  const int descriptor = _dup(_fileno(stdout));
  if (descriptor < 0) return data = stdout;
  _setmode(descriptor, _O_BINARY);
  data = _fdopen(descriptor, "wb");
  if (data == nullptr) return data = stdout;
  _dup2(_fileno(stderr), _fileno(stdout));
#else
  const int descriptor = dup(fileno(stdout));
  if (descriptor < 0) return data = stdout;
  data = fdopen(descriptor, "wb");
  if (data == nullptr) return data = stdout;
  dup2(fileno(stderr), fileno(stdout));
#endif
  return data;
}

std::FILE* standardErrorForData() {
  std::fflush(stderr);
#if defined(_WIN32)
  _setmode(_fileno(stderr), _O_BINARY);
#endif
  return stderr;
}

std::vector<std::string>& temporaryNamesHandedOut() {
  static std::vector<std::string> names;
  return names;
}

std::string temporaryNameBeside(const std::string& path) {
  static std::mt19937_64 random([] {
    std::random_device device;
    return (static_cast<std::uint64_t>(device()) << 32) ^ device();
  }());
  char name[32];
  std::snprintf(name, sizeof name, "~plughost-%08llx.tmp",
                static_cast<unsigned long long>(random() & 0xFFFFFFFFu));
  const std::string temporary = folderOf(path) + name;
  temporaryNamesHandedOut().push_back(temporary);
  return temporary;
}

std::FILE* createNewFile(const std::string& path) {
#if defined(_WIN32)
  const int descriptor = _wopen(wideText(path).c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY,
                                _S_IREAD | _S_IWRITE);
  if (descriptor < 0) return nullptr;
  std::FILE* file = _fdopen(descriptor, "wb");
  if (file == nullptr) _close(descriptor);
#else
  const int descriptor = open(path.c_str(), O_CREAT | O_EXCL | O_WRONLY, 0644);
  if (descriptor < 0) return nullptr;
  std::FILE* file = fdopen(descriptor, "wb");
  if (file == nullptr) close(descriptor);
#endif
  return file;
}

void requireInFolder(const std::string& folder, const std::string& path) {
  const std::string resolved = finalPath(path);
  const std::string resolvedFolder = finalPath(folder);
  if (resolved.empty() || resolvedFolder.empty()) return;  // nothing there to follow
  const std::string where = folderOf(resolved);
  const auto trimmed = [](std::string text) {
    while (!text.empty() && (text.back() == '\\' || text.back() == '/')) text.pop_back();
    return text;
  };
  if (!sameText(trimmed(where), trimmed(resolvedFolder))) {
    throw CommandError("'" + path + "' is a link to '" + resolved + "' outside '" + folder +
                       "': nothing removed");
  }
}

void removeFileChecked(const std::string& path) {
  const bool removed = removeFile(path);
  if (!removed || identify(path).exists) {
    const std::string reason = removed ? " (still there after removal: a read-only file system?)"
                                       : " (read-only, or is a host using it?)";
    throw CommandError("cannot remove '" + path + "'" + reason);
  }
}

}  // namespace plughost
