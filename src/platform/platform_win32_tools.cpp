// Win32 implementation of the platform doorway's owners that only plughost
// uses (command line, window and memory DCs, GDI objects).
// A file of its own, so the plug-in, which never calls them, links none of
// it and imports nothing more.
#include <windows.h>

#include "platform/platform.h"

// CommandLineToArgvW; after windows.h, which it needs.
#include <shellapi.h>

namespace platform {

std::vector<std::wstring> commandLineArguments() {
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::wstring> arguments;
  for (int i = 0; wide != nullptr && i < count; ++i) arguments.emplace_back(wide[i]);
  LocalFree(wide);
  return arguments;
}

WindowDc::WindowDc(void* ofWindow) : window(ofWindow), dc(GetDC(static_cast<HWND>(ofWindow))) {}

WindowDc::~WindowDc() {
  if (dc != nullptr) ReleaseDC(static_cast<HWND>(window), static_cast<HDC>(dc));
}

MemoryDc::MemoryDc(void* like) : dc(CreateCompatibleDC(static_cast<HDC>(like))) {}

MemoryDc::~MemoryDc() {
  if (dc == nullptr) return;
  if (original != nullptr) SelectObject(static_cast<HDC>(dc), original);
  DeleteDC(static_cast<HDC>(dc));
}

void MemoryDc::select(void* object) {
  if (dc == nullptr) return;
  void* previous = SelectObject(static_cast<HDC>(dc), object);
  if (original == nullptr) original = previous;
}

GdiObject::~GdiObject() {
  if (object != nullptr) DeleteObject(object);
}
}  // namespace platform
