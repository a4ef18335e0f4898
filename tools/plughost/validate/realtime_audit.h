// Counts what the plug-in does on the audio thread that a real-time thread
// must not do: heap allocations and frees, waits and locks, file and console
// I/O. Every module loaded from outside the Windows folder (the plug-in, its
// engine, whatever they loaded), except plughost itself, gets its import
// table entries for those functions pointed at counting stand-ins, which
// then call the real function. Only calls made by the audited thread while
// it is inside a processing call count; everything else passes through.
//
// What it cannot see: functions found at run time with GetProcAddress, and
// work the system's own libraries do on the plug-in's behalf (msvcrt's
// malloc is counted where the plug-in calls it, not where it calls
// HeapAlloc).
#pragma once

#include <string>

namespace plughost {

enum class AuditKind { Allocation, Lock, Io };
const char* auditKindName(AuditKind kind);  // "heap allocation or free", ...

struct AuditCounts {
  long allocations = 0;
  long locks = 0;
  long io = 0;
  long total() const { return allocations + locks + io; }
};

// The first counted call.
struct AuditFinding {
  bool found = false;
  const char* function = "";  // "HeapAlloc", "malloc", ...
  AuditKind kind = AuditKind::Allocation;
  std::string module;  // file name of the module that made the call
};

// Points the import tables of every loaded module but this program's at the
// stand-ins; answers how many entries now count. Once per process; modules
// loaded later are not covered.
int installRealtimeAudit();

// [audio] From begin to end, this thread's calls count.
void beginAudit();
void endAudit();

AuditCounts auditCounts();
AuditFinding firstAuditFinding();

}  // namespace plughost
