// Runs a program of the bin folder as a child process, its stdout and stderr
// captured through files, as a user's console or CI would run it.
#pragma once

#include <windows.h>
// GetProcessMemoryInfo; after windows.h, which it needs.
#include <psapi.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace wine_test {

// True when the test runs under a display it must have (see
// under_display.sh): a check that finds no window then fails instead of
// skipping, so a broken display cannot pass for a passing editor.
inline bool displayRequired() {
  return std::getenv("KEL_REQUIRE_DISPLAY") != nullptr;
}

inline std::string binFolder() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder = path;
  return folder.substr(0, folder.find_last_of("\\/") + 1);
}

// The whole file as it is on disk; "" when it cannot be read.
inline std::string readBytes(const std::string& path) {
  std::string bytes;
  if (FILE* f = std::fopen(path.c_str(), "rb")) {
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.append(buffer, n);
    std::fclose(f);
  }
  return bytes;
}

// The whole file with "\r\n" read as "\n"; "" when it cannot be read.
inline std::string readText(const std::string& path) {
  std::string text = readBytes(path);
  text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
  return text;
}

struct ChildRun {
  bool finished = false;
  DWORD exitCode = 0;
  std::string out;
  std::string err;
  SIZE_T peakPrivateBytes = 0;  // the child's peak committed private memory
  int errLines() const { return static_cast<int>(std::count(err.begin(), err.end(), '\n')); }
};

// Runs `program` (of the bin folder) with `arguments` (UTF-8, handed over as
// UTF-16 so any path survives), waiting at most `timeoutMs`; the output
// files are written into `folder`.
inline ChildRun runProgram(const std::string& program, const std::string& arguments,
                           const std::string& folder, DWORD timeoutMs) {
  ChildRun run;
  const std::string outPath = folder + "stdout.txt";
  const std::string errPath = folder + "stderr.txt";
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE out = CreateFileA(outPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                           0, nullptr);
  HANDLE err = CreateFileA(errPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                           0, nullptr);
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = out;
  startup.hStdError = err;
  PROCESS_INFORMATION process = {};
  const std::string command = "\"" + binFolder() + program + "\" " + arguments;
  std::wstring wide(command.size() + 1, L'\0');
  wide.resize(static_cast<std::size_t>(
      MultiByteToWideChar(CP_UTF8, 0, command.c_str(), static_cast<int>(command.size()), &wide[0],
                          static_cast<int>(wide.size()))));
  wide.push_back(L'\0');
  if (CreateProcessW(nullptr, &wide[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                     &process)) {
    // The memory figure is read while the child runs (an ended process has
    // none under Wine), every 20 ms.
    const DWORD start = GetTickCount();
    for (;;) {
      PROCESS_MEMORY_COUNTERS memory = {};
      memory.cb = sizeof memory;
      if (GetProcessMemoryInfo(process.hProcess, &memory, sizeof memory)) {
        run.peakPrivateBytes =
            std::max({run.peakPrivateBytes, memory.PagefileUsage, memory.PeakPagefileUsage});
      }
      const DWORD waited = GetTickCount() - start;
      if (WaitForSingleObject(process.hProcess,
                              std::min<DWORD>(20, timeoutMs - std::min(waited, timeoutMs))) ==
          WAIT_OBJECT_0) {
        run.finished = true;
        break;
      }
      if (GetTickCount() - start >= timeoutMs) break;
    }
    if (!run.finished) TerminateProcess(process.hProcess, 1);
    GetExitCodeProcess(process.hProcess, &run.exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  CloseHandle(out);
  CloseHandle(err);
  run.out = readText(outPath);
  run.err = readText(errPath);
  return run;
}

}  // namespace wine_test
