// The bridge effect: reads its configuration, loads the engine library,
// creates one engine processor and its view, and forwards every host request
// to them. It implements kel::IHost for the engine's calls back.
//
// Threads, as tagged below: [audio] the host's audio thread, [main] its other
// threads, [any thread] either, or an engine thread for kel::IHost. Nothing
// here locks; the parameter map is written during construction only, before
// `ready` opens parameterChanged.
// Ownership: the host owns the effect through its record; the effect owns its
// editor, its chunk buffer and the engine objects (released, never deleted);
// text buffers and arrays passed in stay the host's.
#pragma once

#include <atomic>
#include <cstdint>

#include "bridge/parameter_map.h"
#include "engine_host/engine_session.h"
#include "installation/effect_settings.h"
#include "kel/kel_interfaces.h"
#include "vst/audio_effect_x.h"
#include "vst/host_text.h"

class AGain : public AudioEffectX, public virtual kel::IHost {
 public:
  static constexpr const char* kVendor = "Velmora";
  static constexpr const char* kProgramName = "Default";

  // [main] Never fails outward: when the engine cannot be loaded, or lets an
  // exception out while it is set up, the effect keeps the base defaults
  // (1 program, 1 parameter, no editor, no flags).
  explicit AGain(audioMasterCallback host);
  ~AGain() override;

  // --- [any thread] parameters (host index; unknown ones never reach the engine)
  void setParameter(VstInt32 index, float value) override;
  float getParameter(VstInt32 index) override;

  // --- [audio] the host's arrays go to the engine unchanged, no copy ---
  void process(float** inputs, float** outputs, VstInt32 sampleFrames) override;
  void processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) override;

  // --- [main] program, texts, chunk ---
  void setProgramName(char* name) override;
  void getProgramName(char* name) override;
  void getParameterLabel(VstInt32 index, char* label) override;
  void getParameterDisplay(VstInt32 index, char* text) override;
  void getParameterName(VstInt32 index, char* text) override;
  VstInt32 getChunk(void** data, bool isPreset) override;
  VstInt32 setChunk(void* data, VstInt32 byteSize, bool isPreset) override;

  // --- [main] processing state; processEvents is [audio] ---
  void setSampleRate(float sampleRate) override;
  void setBlockSize(VstInt32 blockSize) override;
  void resume() override;
  VstInt32 processEvents(VstEvents* events) override;
  bool canParameterBeAutomated(VstInt32 index) override;
  bool getOutputProperties(VstInt32 index, VstPinProperties* properties) override;
  // The .ini file's vendor name and version when it gives them; otherwise
  // kVendor and 0.
  bool getVendorString(char* text) override;
  VstInt32 getVendorVersion() override;
  bool getProductString(char* text) override;
  bool setViewPosition(VstInt32 x, VstInt32 y) override;
  VstInt32 fxIdle() override;

  // --- [main] the bridge's own operations, during construction ---
  virtual VstInt32 buildParameterMap();
  virtual VstInt32 getHostParameterCount();
  virtual bool loadEngine();

  // --- [any thread] kel::IHost, called by the engine on any of its threads ---
  std::int32_t getVersion() override;
  void parameterChanged(std::int32_t engineIndex) override;
  double getTempo() override;
  std::int32_t getHostFlag() override;

 private:
  // Converts an engine value of a described parameter to 0..1; false when
  // the description's curve has no converter.
  static bool toNormalized(const kel::SParameterInfo& info, std::int32_t value, float* normalized);
  static bool toEngineValue(const kel::SParameterInfo& info, float normalized, std::int32_t* value);
  // The processor, read once by each operation: engine threads may call in
  // while effClose takes it down, and must then see it whole or null.
  kel::IProcessor* liveProcessor() const { return engineSession.processor(); }
  // The processor and the engine parameter behind a host index; null without
  // an engine or for an index the host does not have.
  kel::IProcessor* engineParameterOf(VstInt32 hostIndex, std::int32_t* engineIndex) const;
  // The same, with the parameter described into `info`, a freshly constructed
  // record (left alone when the answer is null).
  kel::IProcessor* describedParameterOf(VstInt32 hostIndex, std::int32_t* engineIndex,
                                        kel::SParameterInfo& info) const;

  // Loads the engine and sets the effect up around it; false when the
  // engine cannot be loaded.
  bool setUpEngine();

  bool takesMidi = false;
  char programName[kHostTextSize] = {};
  // The engine library, its module, the processor and its view. The
  // processor is cleared before its release, after deactivate and
  // terminate, so change notices are served while the engine shuts down
  // and never after.
  enginehost::EngineSession engineSession;
  char name[installation::kTextSize] = {};
  // What the .ini file asks for (outputs completed by the engine's default),
  // set by loadEngine and given to the effect record and the engine; the
  // record's counts are the ones in force afterwards.
  std::int32_t inputCount = 0;
  std::int32_t outputCount = 0;
  std::int32_t uniqueId = 0;
  char vendor[installation::kTextSize] = {};  // empty: kVendor
  std::int32_t vendorVersion = 0;
  kel::SEvent eventBuffer[kel::kMaxEventsPerCall];
  std::uint8_t* chunkBuffer = nullptr;
  std::atomic<bool> ready{false};
  bridge::ParameterMap parameterMap;
};
