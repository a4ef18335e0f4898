// The single program, the engine state as an opaque chunk, and the answers
// that identify the plug-in to the host.
#include <cstdio>
#include <cstdlib>

#include "bridge/again.h"

void AGain::setProgramName(char* text) {
  if (text != nullptr) copyText(programName, text, sizeof programName);
}

void AGain::getProgramName(char* text) {
  copyText(text, programName);
}

// The block handed out stays ours and valid until the next getChunk or the
// effect's destruction. When the engine reports no bytes or memory runs out,
// the host gets size 0 and no block.
VstInt32 AGain::getChunk(void** data, bool) {
  std::free(chunkBuffer);
  chunkBuffer = nullptr;
  if (data == nullptr) return 0;
  *data = nullptr;
  kel::IProcessor* engine = liveProcessor();
  if (engine == nullptr) return 0;
  const std::int32_t size = engine->getChunkSize();
  if (size <= 0) return 0;
  chunkBuffer = static_cast<std::uint8_t*>(std::malloc(static_cast<std::size_t>(size)));
  if (chunkBuffer == nullptr) return 0;
  engine->getChunk(chunkBuffer);
  *data = chunkBuffer;
  return size;
}

// The host's bytes go to the engine unchanged; no bytes, no call.
VstInt32 AGain::setChunk(void* data, VstInt32 byteSize, bool) {
  kel::IProcessor* engine = liveProcessor();
  if (engine != nullptr && data != nullptr && byteSize >= 0) {
    engine->setChunk(data, byteSize);
  }
  return 0;
}

bool AGain::getOutputProperties(VstInt32 index, VstPinProperties* properties) {
  if (properties == nullptr || index < 0 || index >= cEffect.numOutputs) return false;
  const bool stereo = cEffect.numOutputs >= 2;
  properties->flags = stereo ? (kVstPinIsActive | kVstPinIsStereo) : kVstPinIsActive;
  properties->arrangementType = stereo ? kSpeakerArrStereo : kSpeakerArrMono;
  const int number = stereo ? index / 2 + 1 : index + 1;
  // Room for the whole name and number; the host's field then takes 63 of it.
  char label[sizeof name + 16];
  std::snprintf(label, sizeof label, "%s %d", name, number);
  copyText(properties->label, label, sizeof properties->label);
  return true;
}

bool AGain::getVendorString(char* text) {
  copyText(text, vendor[0] != '\0' ? vendor : kVendor);
  return true;
}

VstInt32 AGain::getVendorVersion() {
  return vendorVersion;
}

bool AGain::getProductString(char* text) {
  copyText(text, name);
  return true;
}

bool AGain::setViewPosition(VstInt32, VstInt32) {
  return false;
}
