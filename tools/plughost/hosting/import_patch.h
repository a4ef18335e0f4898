// Points import-table entries of the modules a plug-in brought into the
// process at stand-ins of plughost's own. The modules are every one loaded
// from outside the Windows folder (the plug-in, its engine, whatever they
// loaded), never plughost itself; only entries bound by name to the
// kernel, ntdll or a C runtime (msvcrt or the universal runtime) are
// touched. Functions a module looks up with GetProcAddress are not seen.
#pragma once

#include <windows.h>

#include <cstddef>

namespace plughost {

// Which library an import names, by the import's DLL name.
enum class ImportFamily { None, Kernel, Ntdll, Msvcrt, Ucrt };

// One function to replace: `replacement` takes the entries of `name` of
// `family`; `*original` receives the real function (from the family's
// library) for the stand-in to call.
struct ImportStandIn {
  ImportFamily family;
  const char* name;
  void* replacement;
  void** original;
};

// Fills each `original` from its family's loaded library (null when the
// library or the function is not there).
void resolveImportOriginals(const ImportStandIn* standIns, std::size_t count);

// Points `module`'s matching entries at the stand-ins whose original is
// known; answers how many.
int patchModuleImports(HMODULE module, const ImportStandIn* standIns, std::size_t count);

// True for a module that a plug-in may have brought: loaded from `path`
// outside the Windows folder, and not this program.
bool isForeignModule(HMODULE module, const wchar_t* path);

// patchModuleImports on every foreign module loaded now; answers how many
// entries were pointed.
int patchForeignModules(const ImportStandIn* standIns, std::size_t count);

}  // namespace plughost
