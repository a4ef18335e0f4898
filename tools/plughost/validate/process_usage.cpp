#include "validate/process_usage.h"

#include <windows.h>

namespace plughost {

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
  return usage;
}

}  // namespace plughost
