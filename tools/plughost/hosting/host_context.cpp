#include "hosting/host_context.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "vst/vst_opcodes.h"

namespace plughost {
namespace {

constexpr VstIntPtr kHostVstVersion = 2400;
// Time info flags: which fields of the answer hold values.
constexpr VstInt32 kTransportPlaying = 1 << 1;
constexpr VstInt32 kPpqPositionValid = 1 << 9;
constexpr VstInt32 kBarsValid = 1 << 11;
constexpr VstInt32 kTimeSignatureValid = 1 << 13;

// The host capabilities plughost answers yes to.
const char* const kHostCanDo[] = {"sendVstEvents", "sendVstMidiEvent", "sendVstTimeInfo",
                                  "sizeWindow", "supplyIdle"};

VstIntPtr timeInfo(HostContext& host) {
  VstTimeInfo& t = host.timeInfo;
  t = VstTimeInfo{};
  t.samplePos = host.samplePosition;
  t.sampleRate = host.sampleRate;
  t.tempo = host.tempo;
  t.timeSigNumerator = host.timeSigNumerator;
  t.timeSigDenominator = host.timeSigDenominator;
  // Positions in quarter notes from the start of the render, which is bar 1.
  t.ppqPos = host.samplePosition / host.sampleRate * host.tempo / 60.0;
  const double quartersPerBar = 4.0 * host.timeSigNumerator / host.timeSigDenominator;
  t.barStartPos = std::floor(t.ppqPos / quartersPerBar + 1e-9) * quartersPerBar;
  t.flags = kVstTempoValid | kPpqPositionValid | kBarsValid | kTimeSignatureValid |
            (host.processing ? kTransportPlaying : 0);
  return reinterpret_cast<VstIntPtr>(&t);
}

VstIntPtr sizeWindow(HostContext& host, VstInt32 width, VstInt32 height) {
  if (!host.editorWindow || width <= 0 || height <= 0) return 0;
  RECT frame{0, 0, width, height};
  AdjustWindowRect(&frame, static_cast<DWORD>(GetWindowLongA(host.editorWindow, GWL_STYLE)), FALSE);
  SetWindowPos(host.editorWindow, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
               SWP_NOMOVE | SWP_NOZORDER);
  return 1;
}

VstIntPtr copyText(void* ptr, const char* text) {
  if (!ptr) return 0;
  std::strcpy(static_cast<char*>(ptr), text);
  return 1;
}

}  // namespace

HostContext& hostContext() {
  static HostContext context;
  return context;
}

VstIntPtr VSTCALLBACK hostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                   VstIntPtr value, void* ptr, float opt) {
  (void)effect;
  HostContext& host = hostContext();
  switch (opcode) {
    case audioMasterAutomate:
      if (host.logAutomation) std::fprintf(stderr, "automate: parameter %d = %.6f\n", index, opt);
      return 0;
    case audioMasterVersion:
      return kHostVstVersion;
    case audioMasterIdle:
    case audioMasterWantMidi:
    case audioMasterNeedIdle:
    case audioMasterUpdateDisplay:
    case audioMasterBeginEdit:
    case audioMasterEndEdit:
      return 1;
    case audioMasterGetTime:
      return timeInfo(host);
    case audioMasterSizeWindow:
      return sizeWindow(host, index, static_cast<VstInt32>(value));
    case audioMasterGetSampleRate:
      return static_cast<VstIntPtr>(host.sampleRate);
    case audioMasterGetBlockSize:
      return host.blockSize;
    case audioMasterGetCurrentProcessLevel:
      return host.processing ? 2 : 1;  // realtime thread : user thread
    case audioMasterGetAutomationState:
      return 1;  // automation off
    case audioMasterGetVendorString:
      return copyText(ptr, "kelbridge");
    case audioMasterGetProductString:
      return copyText(ptr, "plughost");
    case audioMasterGetVendorVersion:
      return 1000;
    case audioMasterGetLanguage:
      return 1;  // English
    case audioMasterCanDo:
      if (!ptr) return 0;
      for (const char* can : kHostCanDo) {
        if (std::strcmp(static_cast<const char*>(ptr), can) == 0) return 1;
      }
      return 0;
    default:
      return 0;
  }
}

}  // namespace plughost
