// editor: opens into a real window, idles, reports its size and closes,
// several times; GDI and USER objects must not grow.
#include <windows.h>

#include "validate/check_list.h"
#include "validate/process_usage.h"
#include "validate/validated_effect.h"

namespace plughost {
namespace {

constexpr DWORD kIdleMs = 100;

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
  while (GetTickCount() - start < milliseconds) {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    effect.dispatch(effEditIdle);
    Sleep(10);
  }
}

// One open, idle, size, close cycle; false after a failure.
bool editorCycle(CheckContext& context, ValidatedEffect& effect, int number) {
  HWND window = CreateWindowA(windowClass(), "validate", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                              640, 480, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  if (!window) {
    context.skip("no window can be created here (no display?)");
    return false;
  }
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
  DestroyWindow(window);
  pump(effect, 10);
  return context.failures() == 0;
}

}  // namespace

void checkEditor(CheckContext& context) {
  ValidatedEffect effect(context);
  if (!effect.hasFlag(effFlagsHasEditor)) {
    context.skip("the effect has no editor");
    return;
  }
  if (!editorCycle(context, effect, 0)) return;
  const ProcessUsage before = currentUsage();
  const int cycles = editorCycles(context.level());
  for (int i = 1; i <= cycles; ++i) {
    if (!editorCycle(context, effect, i)) return;
  }
  const ProcessUsage after = currentUsage();
  context.figure("editor_cycles", cycles);
  context.figure("gdi_growth", after.gdiObjects - before.gdiObjects);
  context.figure("user_growth", after.userObjects - before.userObjects);
  if (after.gdiObjects > before.gdiObjects || after.userObjects > before.userObjects) {
    context.fail(
        format("GDI objects grow from %.0f to %.0f and USER objects from %.0f to %.0f "
               "over %d editor cycles",
               before.gdiObjects, after.gdiObjects, before.userObjects, after.userObjects, cycles));
  }
}

}  // namespace plughost
