// What this process holds: committed private memory, kernel handles, GDI and
// USER objects. Growth over open/close cycles is a leak.
#pragma once

#include <cstddef>

namespace plughost {

struct ProcessUsage {
  double privateBytes = 0;
  double handles = 0;
  double gdiObjects = 0;
  double userObjects = 0;
  // The GDI and USER counts come from probing handle values, because the
  // system's own counters answered 0 (Wine does).
  bool probedObjects = false;
};

ProcessUsage currentUsage();

}  // namespace plughost
