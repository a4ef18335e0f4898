#include "validate/process_usage.h"

#include <windows.h>

namespace plughost {
namespace {

// GDI handles keep their table index in the low 16 bits; a handle value
// with the index alone names the live object in that slot, whatever its
// generation. Probing every index counts the objects where GetGuiResources
// answers 0 (Wine); stock objects are counted too, but they never change,
// so growth stays exact.
constexpr ULONG_PTR kHandleIndices = 0x10000;

double probedGdiObjects() {
  double count = 0;
  for (ULONG_PTR index = 1; index < kHandleIndices; ++index) {
    count += GetObjectType(reinterpret_cast<HGDIOBJ>(index)) != 0;
  }
  return count;
}

// Windows, the USER objects an editor makes: every window of this process,
// top-level, child or message-only (a probe of handle values, as for GDI,
// costs a server call per value under Wine).
BOOL CALLBACK countWindow(HWND window, LPARAM argument) {
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == GetCurrentProcessId()) ++*reinterpret_cast<double*>(argument);
  return TRUE;
}

BOOL CALLBACK countWindowTree(HWND window, LPARAM argument) {
  countWindow(window, argument);
  EnumChildWindows(window, countWindow, argument);
  return TRUE;
}

double countedWindows() {
  double count = 0;
  EnumWindows(countWindowTree, reinterpret_cast<LPARAM>(&count));
  for (HWND window = FindWindowExA(HWND_MESSAGE, nullptr, nullptr, nullptr); window;
       window = FindWindowExA(HWND_MESSAGE, window, nullptr, nullptr)) {
    countWindowTree(window, reinterpret_cast<LPARAM>(&count));
  }
  return count;
}

}  // namespace

// Walks the address space rather than asking for counters, which not every
// Windows (or Wine) version keeps.
ProcessUsage currentUsage() {
  ProcessUsage usage;
  MEMORY_BASIC_INFORMATION region;
  const char* address = nullptr;
  while (VirtualQuery(address, &region, sizeof region) == sizeof region) {
    if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) {
      usage.privateBytes += static_cast<double>(region.RegionSize);
    }
    const char* next = static_cast<const char*>(region.BaseAddress) + region.RegionSize;
    if (next <= address) break;
    address = next;
  }
  DWORD handles = 0;
  if (GetProcessHandleCount(GetCurrentProcess(), &handles)) usage.handles = handles;
  usage.gdiObjects = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  usage.userObjects = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
  if (usage.gdiObjects == 0 || usage.userObjects == 0) {
    usage.probedObjects = true;
    usage.gdiObjects = probedGdiObjects();
    usage.userObjects = countedWindows();
  }
  return usage;
}

}  // namespace plughost
