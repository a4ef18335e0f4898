// validate --engine: a throwaway installation of one engine build, made for
// one run and removed after it. The engine is registered under a GUID made
// fresh for the run, and a copy of the bridge with its .ini lies in a folder
// of the run's own under the user's Temp folder, so two builds of one engine
// validate side by side in one Wine prefix and no other installation is ever
// read or changed. The checks run in child processes; this object lives in
// the parent, which removes everything even when a child crashed.
#pragma once

#include <cstdint>
#include <string>

namespace plughost {

struct ScratchRequest {
  std::string engine;  // the engine DLL as the user named it
  std::string bridge;  // the bridge DLL to copy; "" for kelbridge.dll beside plughost
  std::int32_t processIndex = 0;
  std::int32_t channelsIn = 2;
  std::int32_t channelsOut = 2;
};

class ScratchEffect {
 public:
  // [main] Checks the engine and the bridge (own width, their exports), then
  // registers and installs. Throws CommandError with one line; whatever it
  // made before the failure is removed again.
  explicit ScratchEffect(const ScratchRequest& request);
  // Removes the effect's files, its folder and the registration.
  ~ScratchEffect();
  ScratchEffect(const ScratchEffect&) = delete;
  ScratchEffect& operator=(const ScratchEffect&) = delete;

  const std::string& plugin() const { return dll; }
  const std::string& guid() const { return productGuid; }

 private:
  void remove();

  std::string productGuid;
  std::string folder;  // ends in a backslash once made
  std::string dll;
  std::string ini;
  bool registered = false;
};

}  // namespace plughost
