// editor: opens into a real window, idles, reports its size and closes,
// several times: it opens as a child of the host's window, of the size it
// reports, with no top-level window of its own, and is gone after closing;
// GDI and USER objects must not grow.
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "validate/check_list.h"
#include "validate/process_usage.h"
#include "validate/validated_effect.h"

namespace plughost {
namespace {

// Long enough for the editor to paint and take a few idle calls.
constexpr DWORD kIdleMs = 50;

const char* windowClass() {
  static const char* name = [] {
    WNDCLASSA type = {};
    type.lpfnWndProc = DefWindowProcA;
    type.hInstance = GetModuleHandleA(nullptr);
    type.lpszClassName = "plughostValidateEditor";
    RegisterClassA(&type);
    return "plughostValidateEditor";
  }();
  return name;
}

void pump(ValidatedEffect& effect, DWORD milliseconds) {
  const DWORD start = GetTickCount();
  do {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    effect.dispatch(effEditIdle);
    Sleep(10);
  } while (GetTickCount() - start < milliseconds);
}

struct WindowSearch {
  DWORD process;
  std::vector<HWND> found;
};

BOOL CALLBACK collectShown(HWND window, LPARAM argument) {
  auto* search = reinterpret_cast<WindowSearch*>(argument);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == search->process && IsWindowVisible(window)) search->found.push_back(window);
  return TRUE;
}

// The visible top-level windows of this process.
std::vector<HWND> topLevelWindows() {
  WindowSearch search{GetCurrentProcessId(), {}};
  EnumWindows(collectShown, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// A window's class and size, for messages.
std::string describe(HWND window) {
  char name[64] = {};
  GetClassNameA(window, name, sizeof name);
  RECT frame{};
  GetWindowRect(window, &frame);
  return format("class \"%s\", %ld x %ld", name, frame.right - frame.left,
                frame.bottom - frame.top);
}

// Hosts give the editor a window of theirs and size it from effEditGetRect:
// the editor must open inside it, as a child of the size it reports, and
// put no window of its own on the screen.
void checkPlacement(CheckContext& context, HWND window, const std::vector<HWND>& before,
                    const ERect& rect, int number) {
  for (HWND shown : topLevelWindows()) {
    if (std::find(before.begin(), before.end(), shown) == before.end()) {
      context.fail(
          format("cycle %d: the editor opened a top-level window of its own (%s) "
                 "instead of a child of the host's window",
                 number, describe(shown).c_str()));
      return;
    }
  }
  HWND child = GetWindow(window, GW_CHILD);
  if (!child) {
    context.fail(format("cycle %d: the editor put no window into the host's window", number));
    return;
  }
  RECT frame{};
  GetWindowRect(child, &frame);
  const long width = rect.right - rect.left;
  const long height = rect.bottom - rect.top;
  if (frame.right - frame.left != width || frame.bottom - frame.top != height) {
    context.fail(
        format("cycle %d: effEditGetRect gives %ld x %ld but the editor's window is "
               "%ld x %ld",
               number, width, height, frame.right - frame.left, frame.bottom - frame.top));
  }
}

// One open, idle, size, close cycle in the host's window; false after a
// failure.
bool editorCycle(CheckContext& context, ValidatedEffect& effect, HWND window, int number) {
  ERect* rect = nullptr;
  effect.dispatch(effEditGetRect, 0, 0, &rect);
  const std::vector<HWND> before = topLevelWindows();
  effect.dispatch(effEditOpen, 0, 0, window);
  pump(effect, kIdleMs);
  rect = nullptr;
  effect.dispatch(effEditGetRect, 0, 0, &rect);
  if (!rect || rect->right - rect->left <= 0 || rect->bottom - rect->top <= 0) {
    context.fail(format("cycle %d: effEditGetRect gives no size while the editor is open", number));
  } else {
    context.calling("(looking at the editor's windows)");
    checkPlacement(context, window, before, *rect, number);
  }
  effect.dispatch(effEditClose);
  pump(effect, 0);
  if (context.failures() == 0 && GetWindow(window, GW_CHILD)) {
    context.fail(
        format("cycle %d: the editor's window (%s) stays in the host's window after "
               "effEditClose",
               number, describe(GetWindow(window, GW_CHILD)).c_str()));
  }
  return context.failures() == 0;
}

}  // namespace

void checkEditor(CheckContext& context) {
  ValidatedEffect effect(context);
  if (!effect.hasFlag(effFlagsHasEditor)) {
    context.skip("the effect has no editor");
    return;
  }
  // One window for every cycle, as a host keeps its frame: under Wine
  // without a window manager, destroying a shown top-level window waits
  // two seconds for the manager to withdraw it. The process ends with the
  // check, so the window is never destroyed.
  HWND window = CreateWindowA(windowClass(), "validate", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                              640, 480, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  if (!window) {
    context.skip("no window can be created here (no display?)");
    return;
  }
  if (!editorCycle(context, effect, window, 0)) return;
  // A leak grows with every open; a cache the system fills once (a brush
  // for the frame, a DC) grows once, whenever a late message asks for it.
  // So the counts are taken after each half of the cycles, and only growth
  // in both halves is a leak.
  const int cycles = editorCycles(context.level());
  const int half = std::max(1, cycles / 2);
  const ProcessUsage before = currentUsage();
  ProcessUsage middle = before;
  const double start = nowSeconds();
  for (int i = 1; i <= cycles; ++i) {
    if (!editorCycle(context, effect, window, i)) return;
    if (i == half) {
      context.calling("(counting GDI and USER objects)");
      middle = currentUsage();
    }
  }
  const double seconds = nowSeconds() - start;
  context.calling("(counting GDI and USER objects)");
  const ProcessUsage after = currentUsage();
  context.figure("editor_cycles", cycles);
  context.figure("editor_cycle_seconds", seconds / cycles);
  context.figure("gdi_growth", after.gdiObjects - before.gdiObjects);
  context.figure("user_growth", after.userObjects - before.userObjects);
  const bool gdiLeak =
      middle.gdiObjects > before.gdiObjects && after.gdiObjects > middle.gdiObjects;
  const bool userLeak =
      middle.userObjects > before.userObjects && after.userObjects > middle.userObjects;
  if (gdiLeak || userLeak) {
    context.fail(
        format("%s objects grow from %.0f to %.0f to %.0f over %d and %d editor "
               "cycles%s",
               gdiLeak ? "GDI" : "USER", gdiLeak ? before.gdiObjects : before.userObjects,
               gdiLeak ? middle.gdiObjects : middle.userObjects,
               gdiLeak ? after.gdiObjects : after.userObjects, half, cycles - half,
               after.probedObjects ? " (counted by probing handle values)" : ""));
  }
}

}  // namespace plughost
