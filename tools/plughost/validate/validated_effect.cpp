#include "validate/validated_effect.h"

#include <cstring>

#include "hosting/host_context.h"
#include "hosting/plugin_instance.h"
#include "validate/guarded_buffers.h"
#include "validate/opcode_names.h"
#include "validate/realtime_audit.h"

namespace plughost {
namespace {

using PluginMain = AEffect*(VSTCALLBACK*)(audioMasterCallback host);

std::string opcodeText(VstInt32 opcode) {
  const char* name = opcodeName(opcode);
  return name ? name : format("opcode %d", opcode);
}

}  // namespace

ValidatedEffect::ValidatedEffect(CheckContext& context) : context_(context) {
  const std::string& path = context.plugin();
  context_.calling("LoadLibraryA(\"%s\")", path.c_str());
  if (!library_.load(path.c_str())) {
    throw OpenFailure("cannot load '" + path + "': " + systemMessage(GetLastError(), path));
  }
  auto entry = reinterpret_cast<PluginMain>(library_.symbol("main"));
  if (!entry) {
    library_.unload();
    throw OpenFailure("'" + path + "' is not a VST 2 plug-in: it has no export \"main\"");
  }
  context_.calling("main(hostCallback)");
  effect_ = entry(&hostCallback);
  if (!effect_ || effect_->magic != kEffectMagic || !effect_->dispatcher) {
    const bool none = !effect_;
    effect_ = nullptr;
    library_.unload();
    throw OpenFailure(none ? "main() returned no effect"
                           : "main() returned a record without the effect magic or dispatcher");
  }
  dispatch(effOpen);
}

ValidatedEffect::~ValidatedEffect() {
  if (effect_) {
    if (running_) stop();
    dispatch(effClose);
  }
  context_.calling("FreeLibrary");
  library_.unload();
  context_.calling("(between calls)");
}

bool ValidatedEffect::takesMidi() {
  char canDo[] = "receiveVstMidiEvent";
  return hasFlag(effFlagsIsSynth) || dispatch(effCanDo, 0, 0, canDo) > 0;
}

VstIntPtr ValidatedEffect::dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                    float opt) {
  context_.calling("dispatcher(%s, index %d, value %ld, ptr %p, opt %g)",
                   opcodeText(opcode).c_str(), index, static_cast<long>(value), ptr,
                   static_cast<double>(opt));
  if (audited_ && opcode == effProcessEvents) {
    beginAudit();
    const VstIntPtr answer = effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
    endAudit();
    return answer;
  }
  return effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
}

float ValidatedEffect::getParameter(VstInt32 index) {
  context_.calling("getParameter(%d)", index);
  return effect_->getParameter(effect_, index);
}

void ValidatedEffect::setParameter(VstInt32 index, float value) {
  context_.calling("setParameter(%d, %g)", index, static_cast<double>(value));
  effect_->setParameter(effect_, index, value);
}

bool ValidatedEffect::replaces() const {
  return hasFlag(effFlagsCanReplacing) && effect_->processReplacing;
}

AEffectProcessProc ValidatedEffect::processor() const {
  return replaces() ? effect_->processReplacing : effect_->process;
}

void ValidatedEffect::process(float** inputs, float** outputs, VstInt32 frames) {
  const AEffectProcessProc proc = processor();
  if (!proc) return;
  context_.calling(replaces() ? "processReplacing(%d frames)" : "process(%d frames)", frames);
  if (audited_) beginAudit();
  proc(effect_, inputs, outputs, frames);
  if (audited_) endAudit();
}

void ValidatedEffect::start(float sampleRate, VstInt32 maxBlock) {
  if (running_) stop();
  hostContext().sampleRate = sampleRate;
  hostContext().blockSize = maxBlock;
  dispatch(effSetSampleRate, 0, 0, nullptr, sampleRate);
  dispatch(effSetBlockSize, 0, maxBlock);
  dispatch(effMainsChanged, 0, 1);
  dispatch(effStartProcess);
  hostContext().processing = true;
  running_ = true;
}

void ValidatedEffect::stop() {
  hostContext().processing = false;
  dispatch(effStopProcess);
  dispatch(effMainsChanged, 0, 0);
  running_ = false;
}

std::string ValidatedEffect::text(VstInt32 opcode, VstInt32 index, const std::string& what) {
  GuardedText buffer;
  dispatch(opcode, index, 0, buffer.data());
  const std::string fault = buffer.fault();
  if (!fault.empty()) context_.fail(opcodeText(opcode) + " (" + what + ") " + fault);
  return buffer.text();
}

}  // namespace plughost
