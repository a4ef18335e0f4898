// Runs a program of the bin folder as a child process, its stdout and stderr
// captured through files, as a user's console or CI would run it.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>

namespace wine_test {

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
  int errLines() const { return static_cast<int>(std::count(err.begin(), err.end(), '\n')); }
};

// Runs `program` (of the bin folder) with `arguments`, waiting at most
// `timeoutMs`; the output files are written into `folder`.
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
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = out;
  startup.hStdError = err;
  PROCESS_INFORMATION process = {};
  std::string command = "\"" + binFolder() + program + "\" " + arguments;
  if (CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                     &process)) {
    run.finished = WaitForSingleObject(process.hProcess, timeoutMs) == WAIT_OBJECT_0;
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
