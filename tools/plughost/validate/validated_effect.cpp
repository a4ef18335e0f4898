#include "validate/validated_effect.h"

#include <cstring>

#include "hosting/host_context.h"
#include "validate/guarded_buffers.h"
#include "validate/opcode_names.h"
#include "validate/realtime_audit.h"

namespace plughost {
namespace {

std::string opcodeText(VstInt32 opcode) {
  const char* name = opcodeName(opcode);
  return name ? name : format("opcode %d", opcode);
}

// The host calls that are about one effect: a host finds the effect by the
// pointer the call carries, which it does not know until main() returns.
bool concernsTheEffect(VstInt32 opcode) {
  switch (opcode) {
    case audioMasterAutomate:
    case audioMasterIdle:
    case audioMasterGetTime:
    case audioMasterProcessEvents:
    case audioMasterIOChanged:
    case audioMasterSizeWindow:
    case audioMasterUpdateDisplay:
    case audioMasterBeginEdit:
    case audioMasterEndEdit:
      return true;
    default:
      return false;
  }
}

// The first such call while main() runs on the opening thread (one effect
// opens at a time in a check's process).
std::atomic<bool> insideMain{false};
std::atomic<VstInt32> firstCallInsideMain{-1};

// [any thread] plughost's callback, noting calls made while main() runs.
VstIntPtr VSTCALLBACK watchingCallback(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                       VstIntPtr value, void* ptr, float opt) {
  if (insideMain.load() && concernsTheEffect(opcode)) {
    VstInt32 none = -1;
    firstCallInsideMain.compare_exchange_strong(none, opcode);
  }
  return hostCallback(effect, opcode, index, value, ptr, opt);
}

// Calls `call` and compares the calling thread's floating-point state after
// it with the state before it.
template <typename Call>
auto watched(ValidatedEffect& effect, const char* what, Call call) {
  const FloatingPointState before = readFloatingPointState();
  struct Compare {
    ValidatedEffect& effect;
    const FloatingPointState& before;
    const char* what;
    ~Compare() { effect.compareFloatingPoint(before, what); }
  } compare{effect, before, what};
  return call();
}

}  // namespace

ValidatedEffect::ValidatedEffect(CheckContext& context)
    : context_(context), openingThread_(GetCurrentThreadId()) {
  const std::string& path = context.plugin();
  context_.calling("LoadLibraryW(\"%s\")", path.c_str());
  const std::string refused = library_.load(path);
  if (!refused.empty()) throw OpenFailure(refused);
  context_.calling("main(hostCallback)");
  firstCallInsideMain = -1;
  insideMain = true;
  effect_ = watched(*this, "main()", [&] { return library_.entry()(&watchingCallback); });
  insideMain = false;
  callDuringMain_ = firstCallInsideMain.load();
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
  reportFloatingPoint();
}

void ValidatedEffect::compareFloatingPoint(const FloatingPointState& before, const char* call) {
  const FloatingPointState after = readFloatingPointState();
  if (after == before) return;
  restoreFloatingPointState(before);
  if (changeClaimed_.exchange(true)) return;
  const bool opening = GetCurrentThreadId() == openingThread_;
  change_ = std::string(call) + " changes the calling thread's floating-point control state (" +
            (opening ? "the thread that opened the effect" : "another thread") +
            "): " + describeChange(before, after);
  changeReady_ = true;
}

void ValidatedEffect::reportFloatingPoint() {
  if (!changeReady_.exchange(false)) return;
  context_.fail(change_);
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
  const char* name = opcodeName(opcode);
  return watched(*this, name ? name : "a dispatcher call", [&] {
    if (audited_ && opcode == effProcessEvents) beginAudit();
    const VstIntPtr answer = effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
    if (audited_ && opcode == effProcessEvents) endAudit();
    return answer;
  });
}

float ValidatedEffect::getParameter(VstInt32 index) {
  context_.calling("getParameter(%d)", index);
  return watched(*this, "getParameter", [&] { return effect_->getParameter(effect_, index); });
}

void ValidatedEffect::setParameter(VstInt32 index, float value) {
  context_.calling("setParameter(%d, %g)", index, static_cast<double>(value));
  watched(*this, "setParameter", [&] { effect_->setParameter(effect_, index, value); });
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
  watched(*this, replaces() ? "processReplacing" : "process", [&] {
    if (audited_) beginAudit();
    proc(effect_, inputs, outputs, frames);
    if (audited_) endAudit();
  });
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
