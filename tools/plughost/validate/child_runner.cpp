#include "validate/child_runner.h"

#include <windows.h>

#include <cstring>
#include <memory>

#include "platform/platform.h"
#include "support/utf8_path.h"
#include "validate/child_channel.h"

namespace plughost {
namespace {

// The command line in UTF-16: plug-in and report paths of any language
// reach the child as they are (its arguments are read the same way).
std::wstring commandLine(const std::vector<std::string>& arguments) {
  std::wstring self(32768, L'\0');
  self.resize(GetModuleFileNameW(nullptr, &self[0], static_cast<DWORD>(self.size())));
  std::wstring line = L"\"" + self + L"\"";
  for (const std::string& argument : arguments) line += L" \"" + wideText(argument) + L"\"";
  return line;
}

struct DialogSearch {
  DWORD process;
  std::string text;
};

// Collects the texts of a visible dialog window of the child: a box nobody
// will answer is the usual reason a plug-in hangs at load.
BOOL CALLBACK findDialog(HWND window, LPARAM argument) {
  auto* search = reinterpret_cast<DialogSearch*>(argument);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != search->process || !IsWindowVisible(window)) return TRUE;
  char name[64] = {};
  GetClassNameA(window, name, sizeof name);
  if (std::strcmp(name, "#32770") != 0) return TRUE;
  char text[512] = {};
  GetWindowTextA(window, text, sizeof text);
  search->text = text;
  for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    char part[512] = {};
    GetClassNameA(child, name, sizeof name);
    if (lstrcmpiA(name, "Static") != 0) continue;
    GetWindowTextA(child, part, sizeof part);
    if (part[0]) search->text += std::string(search->text.empty() ? "" : ": ") + part;
  }
  return FALSE;
}

}  // namespace

ChildOutcome runChild(const std::vector<std::string>& arguments, int timeoutMs) {
  ChildOutcome outcome;
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  const platform::Handle mapping(CreateFileMappingA(INVALID_HANDLE_VALUE, &inherit, PAGE_READWRITE,
                                                    0, sizeof(ChildChannel), nullptr));
  if (!mapping.valid()) {
    outcome.startError = "no shared memory, error " + std::to_string(GetLastError());
    return outcome;
  }
  const std::unique_ptr<ChildChannel, BOOL(WINAPI*)(LPCVOID)> view(
      static_cast<ChildChannel*>(
          MapViewOfFile(mapping.get(), FILE_MAP_ALL_ACCESS, 0, 0, sizeof(ChildChannel))),
      &UnmapViewOfFile);
  ChildChannel* channel = view.get();
  if (!channel) {
    outcome.startError = "no shared memory view, error " + std::to_string(GetLastError());
    return outcome;
  }
  std::memset(channel, 0, sizeof *channel);
  const platform::Handle nothing(CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE,
                                             FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                             OPEN_EXISTING, 0, nullptr));
  std::vector<std::string> all = arguments;
  all.push_back("--channel");
  all.push_back(std::to_string(reinterpret_cast<std::uintptr_t>(mapping.get())));
  std::wstring line = commandLine(all);
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = nothing.get();
  startup.hStdOutput = nothing.get();
  startup.hStdError = nothing.get();
  PROCESS_INFORMATION process = {};
  outcome.started = CreateProcessW(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                   &startup, &process) != FALSE;
  if (!outcome.started) outcome.startError = "error " + std::to_string(GetLastError());
  if (outcome.started) {
    const platform::Handle thread(process.hThread);
    const platform::Handle child(process.hProcess);
    if (WaitForSingleObject(process.hProcess, static_cast<DWORD>(timeoutMs)) == WAIT_TIMEOUT) {
      outcome.timedOut = true;
      DialogSearch search{process.dwProcessId, ""};
      EnumWindows(findDialog, reinterpret_cast<LPARAM>(&search));
      outcome.dialog = search.text;
      TerminateProcess(process.hProcess, 1);
      WaitForSingleObject(process.hProcess, 5000);
    }
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    outcome.exitCode = code;
  }
  const std::size_t length = std::min(sizeof channel->results,
                                      static_cast<std::size_t>(std::max(0, channel->resultLength)));
  outcome.results.assign(channel->results, length);
  // The crashed thread's call, or (a hang, an ending the child could not
  // tell) the call of the thread that runs the check.
  for (ChildCallSlot& slot : channel->calls) slot.call[sizeof slot.call - 1] = '\0';
  outcome.lastCall = lastCallOf(*channel, channel->endedThread);
  channel->ending[sizeof channel->ending - 1] = '\0';
  outcome.ending = channel->ending;
  return outcome;
}

}  // namespace plughost
