// What plughost tells a plug-in about itself, and the host callback that
// answers the plug-in's requests from it. One plug-in is loaded at a time, so
// the callback serves a single process-wide context.
#pragma once

#include <windows.h>

#include "vst/vst_types.h"

namespace plughost {

struct HostContext {
  float sampleRate = 44100.0f;
  VstInt32 blockSize = 512;
  double samplePosition = 0.0;  // advanced by the render loop
  double tempo = 120.0;         // beats per minute, from --tempo
  VstInt32 timeSigNumerator = 4;
  VstInt32 timeSigDenominator = 4;
  bool processing = false;      // inside the render loop
  bool logAutomation = true;    // report audioMasterAutomate on stderr
  HWND editorWindow = nullptr;  // resized on audioMasterSizeWindow
  VstTimeInfo timeInfo{};       // answer to audioMasterGetTime
};

HostContext& hostContext();

// [any thread] The callback handed to the plug-in's main(); answers 0 to
// requests it does not know; never keeps the pointers it is given.
VstIntPtr VSTCALLBACK hostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                   VstIntPtr value, void* ptr, float opt);

}  // namespace plughost
