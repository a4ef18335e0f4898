// editor: opens into a real window, idles, reports its size and closes,
// several times; GDI and USER objects must not grow.
#include <windows.h>

#include <algorithm>

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

// One open, idle, size, close cycle in the host's window; false after a
// failure.
bool editorCycle(CheckContext& context, ValidatedEffect& effect, HWND window, int number) {
  ERect* rect = nullptr;
  effect.dispatch(effEditGetRect, 0, 0, &rect);
  effect.dispatch(effEditOpen, 0, 0, window);
  pump(effect, kIdleMs);
  rect = nullptr;
  effect.dispatch(effEditGetRect, 0, 0, &rect);
  if (!rect || rect->right - rect->left <= 0 || rect->bottom - rect->top <= 0) {
    context.fail(format("cycle %d: effEditGetRect gives no size while the editor is open", number));
  }
  effect.dispatch(effEditClose);
  pump(effect, 0);
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
