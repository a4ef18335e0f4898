#include "hosting/import_patch.h"

#include <tlhelp32.h>

#include <cctype>
#include <cstring>
#include <cwchar>
#include <string>

#include "platform/path_size.h"
#include "platform/platform.h"

namespace plughost {
namespace {

const char* familyLibrary(ImportFamily family) {
  switch (family) {
    case ImportFamily::Kernel:
      return "kernel32.dll";
    case ImportFamily::Ntdll:
      return "ntdll.dll";
    case ImportFamily::Msvcrt:
      return "msvcrt.dll";
    case ImportFamily::Ucrt:
      return "ucrtbase.dll";
    case ImportFamily::None:
      break;
  }
  return nullptr;
}

bool startsWith(const std::string& text, const char* prefix) {
  return text.compare(0, std::strlen(prefix), prefix) == 0;
}

ImportFamily familyOf(const char* dll) {
  std::string name = dll;
  for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (name == "kernel32.dll" || name == "kernelbase.dll" || startsWith(name, "api-ms-win-core-")) {
    return ImportFamily::Kernel;
  }
  if (name == "ntdll.dll") return ImportFamily::Ntdll;
  if (name == "msvcrt.dll") return ImportFamily::Msvcrt;
  if (name == "ucrtbase.dll" || startsWith(name, "api-ms-win-crt-")) return ImportFamily::Ucrt;
  return ImportFamily::None;
}

const ImportStandIn* standInFor(const ImportStandIn* standIns, std::size_t count,
                                ImportFamily family, const char* name) {
  for (std::size_t i = 0; i < count; ++i) {
    if (standIns[i].family == family && std::strcmp(standIns[i].name, name) == 0) {
      return &standIns[i];
    }
  }
  return nullptr;
}

bool insideFolder(const wchar_t* path, const wchar_t* folder) {
  const std::size_t length = std::wcslen(folder);
  return length > 0 && _wcsnicmp(path, folder, length) == 0;
}

}  // namespace

void resolveImportOriginals(const ImportStandIn* standIns, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    HMODULE library = GetModuleHandleA(familyLibrary(standIns[i].family));
    if (library) {
      *standIns[i].original = reinterpret_cast<void*>(GetProcAddress(library, standIns[i].name));
    }
  }
}

int patchModuleImports(HMODULE module, const ImportStandIn* standIns, std::size_t count) {
  auto* base = reinterpret_cast<BYTE*>(module);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  if (dos->e_magic != IMAGE_DOS_SIGNATURE) return 0;
  const auto* headers = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  if (headers->Signature != IMAGE_NT_SIGNATURE) return 0;
  const IMAGE_DATA_DIRECTORY& imports =
      headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (imports.VirtualAddress == 0 || imports.Size == 0) return 0;
  int patched = 0;
  for (auto* library = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
       library->Name != 0; ++library) {
    const ImportFamily family = familyOf(reinterpret_cast<const char*>(base + library->Name));
    // Without the name table the entries cannot be told apart.
    if (family == ImportFamily::None || library->OriginalFirstThunk == 0) continue;
    auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + library->OriginalFirstThunk);
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + library->FirstThunk);
    for (; names->u1.AddressOfData != 0; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      const auto* byName =
          reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
      const ImportStandIn* standIn =
          standInFor(standIns, count, family, reinterpret_cast<const char*>(byName->Name));
      if (!standIn || !*standIn->original) continue;
      DWORD protection = 0;
      if (!VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, PAGE_READWRITE,
                          &protection)) {
        continue;
      }
      slots->u1.Function = reinterpret_cast<ULONG_PTR>(standIn->replacement);
      VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, protection, &protection);
      ++patched;
    }
  }
  return patched;
}

bool isForeignModule(HMODULE module, const wchar_t* path) {
  wchar_t windows[platform::kMaxPathSize] = {};
  GetWindowsDirectoryW(windows, platform::kMaxPathSize);
  return module != GetModuleHandleA(nullptr) && !insideFolder(path, windows);
}

int patchForeignModules(const ImportStandIn* standIns, std::size_t count) {
  int patched = 0;
  const platform::Handle snapshot(
      CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, GetCurrentProcessId()));
  if (!snapshot.valid()) return patched;
  MODULEENTRY32W entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = Module32FirstW(snapshot.get(), &entry); more;
       more = Module32NextW(snapshot.get(), &entry)) {
    if (!isForeignModule(entry.hModule, entry.szExePath)) continue;
    patched += patchModuleImports(entry.hModule, standIns, count);
  }
  return patched;
}

}  // namespace plughost
