// One installation of the plug-in for a test, as a vendor would set it up:
// the test engine registered under its own GUID, a named copy of the plug-in
// with its .ini file, and a host that opens the effect through the plug-in's
// entry and closes it through the dispatcher.
//
// Under Windows (Wine) this writes the real registry and real files and loads
// the built DLLs; natively it drives the same bridge code in-process through
// the platform test double. Tests written against it run in both legs.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "recording_host.h"
#include "test_engine/test_engine_script.h"
#include "vst/host_text.h"
#include "vst/vst_opcodes.h"
#include "vst/vst_types.h"

// The host of the bridge tests: records every request, answers version 2400
// and, when given one, a time info record.
class BridgeTestHost : public RecordingHost {
 public:
  BridgeTestHost();
  VstTimeInfo* timeInfo = nullptr;
  // Requests with this opcode, in order.
  std::vector<HostCall> requestsWith(VstInt32 opcode) const;
};

class BridgeHarness {
 public:
  // `folder` is the folder (below the test's own temporary root) that holds
  // the plug-in copy `pluginName`.dll and its .ini file.
  explicit BridgeHarness(const std::string& pluginName = "TestEffect",
                         const std::string& folder = "plugins");
  ~BridgeHarness();
  BridgeHarness(const BridgeHarness&) = delete;
  BridgeHarness& operator=(const BridgeHarness&) = delete;

  // The engine's control block, reset when the first harness of the process
  // starts. Shared by every harness that uses the common engine library.
  testengine::Script& engine();

  // .ini content written when the effect opens; defaults: GUID of this
  // harness, Name "TestEffect", ChannelsIn 2, ChannelsOut 2, ID 1234,
  // ProcessIndex 0. An empty value removes the key.
  void setIni(const std::string& section, const std::string& key, const std::string& value);

  // Registry set-up of the product key Software\KEL\<guid>. Without any
  // of these calls, open() installs the product with the common engine.
  void installProduct();                            // key and PathName = engine path
  void installProductKeyOnly();                     // key without PathName
  void setPathNameBytes(const std::string& bytes);  // raw value, maybe unterminated
  void installProductUnterminated();                // engine path without its NUL
  void uninstallProduct();                          // no key at all
  // PathName directly under Software\KEL, where an empty GUID leads.
  void installProductAtKelRoot();
  // Registers a private copy of the engine library that the test itself
  // never loads, so its unloading can be observed.
  void usePrivateEngineCopy(const std::string& fileName);
  // Registers a library without kelMain, or a path where nothing exists.
  void useEngineWithoutEntry();
  void useMissingEngine();
  // Windows only: registers a copy of the engine whose header names the
  // other width (i386 or x86-64); false with the reason when it cannot.
  bool useEngineOfTheOtherWidth(std::string* error);
  bool privateEngineLoaded() const;
  // The engine library the product key names, or will name when the effect
  // opens: the common test engine unless a call above chose another.
  std::string enginePath() const;

  const std::string& guid() const { return productGuid; }

  // Opens the effect through the plug-in's entry with `host`; null when the
  // entry gave none.
  AEffect* open(BridgeTestHost& host);
  // The same with any callback, null included.
  AEffect* openWith(audioMasterCallback callback);
  // effClose through the dispatcher entry; answers its result.
  VstIntPtr close();
  AEffect* effect() const { return openEffect; }
  VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                     float opt = 0.0f);
  // Texts of the error boxes the plug-in showed since the harness started.
  std::vector<std::string> errorBoxes() const;
  // Registry keys the plug-in opened and has not closed, and its closes of a
  // key that was not open (or that the registry refused), since the harness
  // started.
  int registryKeysLeftOpen() const;
  int failedRegistryCloses() const;
#if defined(_WIN32)
  // Owner window, caption and style of every box, as "owner caption style"
  // with null shown as 0 and the style in hexadecimal.
  std::vector<std::string> errorBoxDetails() const;
#endif

 private:
  struct Platform;
  Platform* platformState;
  std::string plugin;
  std::string productGuid;
  std::vector<std::pair<std::string, std::pair<std::string, std::string>>> ini;
  // The configuration every installation starts from (see setIni).
  void setDefaultIni();

  AEffect* openEffect = nullptr;
  bool registryChosen = false;
  int failedClosesBefore = 0;
};
