// How every plughost command names, checks, writes and deletes files. A
// command declares the files it reads and writes before it starts work;
// check() then refuses, with one line, every output that would replace
// something it must not (one of its own inputs under another name, a folder,
// a read-only file) or that names a standard stream twice. The writers in
// formats/byte_file.h stage under names made here and write the standard
// streams named here; uninstall removes files through removeFileInFolder.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace plughost {

enum class StandardStream { none, output, error };

// The stream a file name stands for: "-", "/dev/stdout", "/dev/stderr",
// "/proc/self/fd/1" or "2" and "/dev/fd/1" or "2", also as they arrive
// through Wine's drive (Z:\dev\stdout). Under Wine a name such as
// /dev/stdout would otherwise be opened by the Wine server, whose streams
// are not ours, and the bytes would vanish. Throws for a descriptor other
// than 1 and 2 (/proc/self/fd/5), which plughost cannot reach.
StandardStream standardStreamNamed(const std::string& path);

// What a name leads to, links followed: two names with equal `volume` and
// `index` are one file (links, hard links, letter case).
struct FileIdentity {
  bool exists = false;
  bool folder = false;
  bool device = false;    // a character device or a pipe (/dev/full)
  bool readOnly = false;  // the file (not its folder) is marked read-only
  std::uint64_t volume = 0;
  std::uint64_t index = 0;
};
FileIdentity identify(const std::string& path);
bool sameFile(const FileIdentity& a, const FileIdentity& b);

// The files of one command.
class CommandFiles {
 public:
  // A file the command reads.
  void input(const std::string& path);
  // A file the command writes; `option` names it in messages ("--png").
  void output(const std::string& path, const std::string& option);
  // Throws CommandError for the first output that may not be written; then
  // claims the standard output if an output names it, so that every line of
  // text after this goes to stderr. Call before any work.
  void check() const;

 private:
  std::vector<std::string> inputs_;
  std::vector<std::pair<std::string, std::string>> outputs_;  // path, option
};

// The stream that carries a command's data written to standard output: the
// process's own stdout, whose descriptor then leads to stderr so that no
// report line can mix with the data. Binary. The same stream every call.
std::FILE* claimStandardOutput();
// stderr in binary mode, for data written to the standard error.
std::FILE* standardErrorForData();

// A name for a temporary file in the folder of `path` that no other file
// has yet and no other run will make: short, whatever the length of the
// target's name, and random, not derived from the process ID (Wine reuses
// those). Remembered, so removeTemporaryFiles can remove what is left.
std::string temporaryNameBeside(const std::string& path);
// Every name temporaryNameBeside handed out.
std::vector<std::string>& temporaryNamesHandedOut();
// Creates `path` for writing only if there is no such file yet; nullptr
// (errno set) otherwise.
std::FILE* createNewFile(const std::string& path);

// Throws unless `path`, links followed, lies in `folder` itself: a delete
// never follows a link out of the folder it was given.
void requireInFolder(const std::string& folder, const std::string& path);
// Removes `path` and checks that it is gone (a read-only file system may
// answer success and keep it); throws CommandError naming it otherwise.
void removeFileChecked(const std::string& path);

}  // namespace plughost
