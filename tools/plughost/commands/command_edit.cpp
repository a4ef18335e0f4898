#include <windows.h>

#include <CLI/CLI.hpp>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include <cstdio>

#include "commands/commands.h"
#include "formats/png_writer.h"
#include "hosting/host_context.h"
#include "hosting/plugin_instance.h"
#include "hosting/window_capture.h"
#include "support/command_error.h"
#include "support/file_policy.h"
#include "support/option_checks.h"

namespace plughost {
namespace {

struct EditOptions {
  std::string plugin;
  std::string screenshot;  // PNG path, or empty
  double seconds = 0.0;    // 0: until the window is closed (2 s with a screenshot)
};

constexpr char kWindowClass[] = "PlughostEditorFrame";
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD kIdleIntervalMs = 30;
constexpr double kScreenshotDefaultSeconds = 2.0;

LRESULT CALLBACK frameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

HWND createFrame(const std::string& title, int width, int height) {
  WNDCLASSEXA wc = {};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = frameProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kWindowClass;
  RegisterClassExA(&wc);
  RECT frame{0, 0, width, height};
  AdjustWindowRect(&frame, kWindowStyle, FALSE);
  return CreateWindowExA(0, kWindowClass, title.c_str(), kWindowStyle | WS_CLIPCHILDREN,
                         CW_USEDEFAULT, CW_USEDEFAULT, frame.right - frame.left,
                         frame.bottom - frame.top, nullptr, nullptr, wc.hInstance, nullptr);
}

// Pumps messages and gives the editor idle time until the deadline passes or
// the window is closed; false when it was closed.
bool runMessageLoop(const PluginInstance& plugin, DWORD durationMs, bool untilClosed) {
  const DWORD start = GetTickCount();
  for (;;) {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) return false;
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    plugin.dispatch(effEditIdle);
    if (!untilClosed && GetTickCount() - start >= durationMs) return true;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, kIdleIntervalMs, QS_ALLINPUT);
  }
}

int runEdit(const EditOptions& options) {
  if (!options.screenshot.empty()) {
    CommandFiles files;
    files.input(options.plugin);
    files.output(options.screenshot, "--screenshot");
    files.check();
  }
  PluginInstance plugin(options.plugin);
  if (!(plugin.effect()->flags & effFlagsHasEditor)) {
    throw CommandError(plugin.effectName() + " has no editor");
  }
  ERect* rect = nullptr;
  plugin.dispatch(effEditGetRect, 0, 0, &rect);
  if (!rect || rect->right <= rect->left || rect->bottom <= rect->top) {
    throw CommandError(plugin.effectName() + " gave no editor size");
  }
  const int width = rect->right - rect->left;
  const int height = rect->bottom - rect->top;

  HWND frame = createFrame(plugin.effectName() + " - plughost", width, height);
  if (!frame) throw CommandError("cannot create the editor window");
  hostContext().editorWindow = frame;
  ShowWindow(frame, SW_SHOWNORMAL);
  plugin.dispatch(effEditOpen, 0, 0, frame);
  UpdateWindow(frame);
  std::printf("Editor of %s open (%d x %d)\n", plugin.effectName().c_str(), width, height);
  std::fflush(stdout);

  double seconds = options.seconds;
  if (seconds <= 0.0 && !options.screenshot.empty()) seconds = kScreenshotDefaultSeconds;
  // Milliseconds in a DWORD reach some 49 days: longer waits end there.
  const bool stillOpen =
      runMessageLoop(plugin, static_cast<DWORD>(std::min(seconds * 1000.0, 4e9)), seconds <= 0.0);

  std::string error;
  if (!options.screenshot.empty()) {
    if (!stillOpen) {
      error = "the window was closed before the screenshot";
    } else {
      RedrawWindow(frame, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
      RgbImage image;
      if (!captureClientArea(frame, image)) {
        error = "cannot capture the editor window";
      } else if (writePngFile(options.screenshot, image.width, image.height, image.rgb, error)) {
        std::printf("Screenshot %u x %u written to %s\n", image.width, image.height,
                    options.screenshot.c_str());
      }
    }
  }
  plugin.dispatch(effEditClose);
  hostContext().editorWindow = nullptr;
  if (stillOpen) DestroyWindow(frame);
  if (!error.empty()) throw CommandError(error);
  return 0;
}

}  // namespace

void addEditCommand(CLI::App& app, int& status) {
  auto edit = std::make_shared<EditOptions>();
  auto* cmd = app.add_subcommand("edit", "Open the plug-in's editor in a window");
  cmd->add_option("dll", edit->plugin, "Plug-in DLL")->required();
  cmd->add_option("--screenshot", edit->screenshot, "Write the window's picture to a PNG");
  cmd->add_option("--seconds", edit->seconds, "Close after this many seconds")
      ->check(positiveSeconds());
  cmd->callback([edit, &status] { status = runEdit(*edit); });
}

}  // namespace plughost
