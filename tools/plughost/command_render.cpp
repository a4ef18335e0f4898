#include <CLI/CLI.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "command_error.h"
#include "commands.h"
#include "host_context.h"
#include "note_schedule.h"
#include "plugin_instance.h"
#include "plugin_report.h"
#include "progress_bar.h"
#include "test_signal.h"
#include "wav_io.h"

namespace plughost {
namespace {

struct RenderOptions {
  std::string plugin;
  std::string input;     // WAV file, or empty to generate
  std::string generate;  // sine, noise or silence
  std::string output;
  double seconds = 0.0;  // 0: the input file's length (generated signals need a length)
  int blockSize = 512;
  int sampleRate = 44100;        // for generated input; a WAV input keeps its own rate
  std::string format = "float";  // float or pcm16
  std::vector<std::string> settings;
  std::vector<std::string> notes;
};

AudioBuffer loadInput(const RenderOptions& options, int channels, std::size_t& frames) {
  AudioBuffer input;
  std::string error;
  if (!options.input.empty()) {
    if (!readWavFile(options.input, input, error)) throw CommandError(error);
    frames = options.seconds > 0.0
                 ? static_cast<std::size_t>(std::llround(options.seconds * input.sampleRate))
                 : input.frames();
    return input;
  }
  if (options.seconds <= 0.0) throw CommandError("--seconds is needed with --generate");
  frames = static_cast<std::size_t>(std::llround(options.seconds * options.sampleRate));
  if (!generateTestSignal(options.generate, std::max(channels, 1), frames, options.sampleRate,
                          input)) {
    throw CommandError("unknown signal '" + options.generate + "' (use sine, noise or silence)");
  }
  return input;
}

// Sends the block's MIDI messages through effProcessEvents; the VstEvents
// block and its events live in `storage` until the next call.
class EventSender {
 public:
  void send(const PluginInstance& plugin,
            const std::vector<std::pair<std::int32_t, ScheduledMidi>>& messages) {
    if (messages.empty()) return;
    events_.assign(messages.size(), VstMidiEvent{});
    header_.assign(sizeof(VstEvents) + messages.size() * sizeof(VstEvent*), 0);
    auto* block = reinterpret_cast<VstEvents*>(header_.data());
    block->numEvents = static_cast<VstInt32>(messages.size());
    VstEvent** pointers = block->events;
    for (std::size_t i = 0; i < messages.size(); ++i) {
      VstMidiEvent& e = events_[i];
      e.type = kVstMidiType;
      e.byteSize = sizeof(VstMidiEvent);
      e.deltaFrames = messages[i].first;
      for (int b = 0; b < 4; ++b) e.midiData[b] = static_cast<char>(messages[i].second.bytes[b]);
      pointers[i] = reinterpret_cast<VstEvent*>(&e);
    }
    plugin.dispatch(effProcessEvents, 0, 0, block);
  }

 private:
  std::vector<VstMidiEvent> events_;
  std::vector<std::uint8_t> header_;
};

int runRender(const RenderOptions& options) {
  if (options.input.empty() == options.generate.empty()) {
    throw CommandError("give exactly one of --in and --generate");
  }
  if (options.blockSize < 1 || options.blockSize > 65536) {
    throw CommandError("--block must lie within 1..65536");
  }
  const WavSampleFormat format =
      options.format == "pcm16" ? WavSampleFormat::kPcm16 : WavSampleFormat::kFloat32;
  std::vector<NoteSpec> notes;
  for (const std::string& text : options.notes) {
    NoteSpec spec;
    std::string error;
    if (!parseNoteSpec(text, spec, error)) throw CommandError(error);
    notes.push_back(spec);
  }

  PluginInstance plugin(options.plugin);
  AEffect* effect = plugin.effect();
  const int inputCount = effect->numInputs;
  const int outputCount = effect->numOutputs;
  if (outputCount < 1) throw CommandError("the plug-in has no outputs");

  std::size_t frames = 0;
  const AudioBuffer input = loadInput(options, inputCount, frames);
  const int rate = input.sampleRate;
  const NoteSchedule schedule(notes, rate);

  HostContext& host = hostContext();
  host.sampleRate = static_cast<float>(rate);
  host.blockSize = options.blockSize;
  plugin.dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(rate));
  plugin.dispatch(effSetBlockSize, 0, options.blockSize);
  applySettings(plugin, options.settings);
  plugin.dispatch(effMainsChanged, 0, 1);

  // Host-owned channel buffers for one block; missing input channels repeat
  // the file's last channel.
  const auto block = static_cast<std::size_t>(options.blockSize);
  std::vector<std::vector<float>> inBlocks(std::max(inputCount, 0), std::vector<float>(block));
  std::vector<std::vector<float>> outBlocks(outputCount, std::vector<float>(block));
  std::vector<float*> inPointers;
  std::vector<float*> outPointers;
  for (auto& b : inBlocks) inPointers.push_back(b.data());
  for (auto& b : outBlocks) outPointers.push_back(b.data());

  AudioBuffer output;
  output.sampleRate = rate;
  output.resize(outputCount, frames);
  const bool replacing = effect->flags & effFlagsCanReplacing;
  EventSender events;
  ProgressBar progress("Rendering", frames);
  host.processing = true;
  for (std::size_t start = 0; start < frames; start += block) {
    const std::size_t n = std::min(block, frames - start);
    host.samplePosition = static_cast<double>(start);
    for (std::size_t c = 0; c < inBlocks.size(); ++c) {
      const auto& source = input.channels[std::min(c, input.channels.size() - 1)];
      for (std::size_t i = 0; i < n; ++i) {
        inBlocks[c][i] = start + i < source.size() ? source[start + i] : 0.0f;
      }
    }
    for (auto& b : outBlocks) std::fill(b.begin(), b.end(), 0.0f);
    events.send(plugin,
                schedule.block(static_cast<std::int64_t>(start), static_cast<std::int32_t>(n)));
    float** ins = inPointers.empty() ? nullptr : inPointers.data();
    if (replacing) {
      effect->processReplacing(effect, ins, outPointers.data(), static_cast<VstInt32>(n));
    } else {
      effect->process(effect, ins, outPointers.data(), static_cast<VstInt32>(n));
    }
    for (int c = 0; c < outputCount; ++c) {
      std::copy(outBlocks[c].begin(), outBlocks[c].begin() + n, output.channels[c].begin() + start);
    }
    progress.update(start + n);
  }
  host.processing = false;
  progress.finish();
  plugin.dispatch(effMainsChanged, 0, 0);

  std::string error;
  if (!writeWavFile(options.output, output, format, error)) throw CommandError(error);
  float peak = 0.0f;
  for (const auto& channel : output.channels) {
    for (float s : channel) peak = std::max(peak, std::fabs(s));
  }
  std::printf("Rendered %.2f s (%d Hz, %d in, %d out, block %d) through %s to %s, peak %.1f dBFS\n",
              static_cast<double>(frames) / rate, rate, inputCount, outputCount, options.blockSize,
              plugin.effectName().c_str(), options.output.c_str(),
              peak > 0.0f ? 20.0 * std::log10(peak) : -999.0);
  return 0;
}

}  // namespace

void addRenderCommand(CLI::App& app, int& status) {
  auto render = std::make_shared<RenderOptions>();
  auto* cmd = app.add_subcommand("render", "Process audio through a plug-in into a WAV file");
  cmd->add_option("dll", render->plugin, "Plug-in DLL")->required();
  auto* in = cmd->add_option("--in", render->input, "Input WAV (16/24-bit PCM or 32-bit float)");
  auto* generate = cmd->add_option("--generate", render->generate, "Generated input")
                       ->check(CLI::IsMember({"sine", "noise", "silence"}));
  in->excludes(generate);
  cmd->add_option("--seconds", render->seconds, "Length in seconds (default: the input's)")
      ->check(CLI::PositiveNumber);
  cmd->add_option("--out", render->output, "Output WAV")->required();
  cmd->add_option("--block", render->blockSize, "Block size in frames")
      ->capture_default_str()
      ->check(CLI::Range(1, 65536));
  cmd->add_option("--rate", render->sampleRate, "Sample rate of generated input")
      ->capture_default_str()
      ->check(CLI::Range(8000, 384000));
  cmd->add_option("--format", render->format, "Output samples")
      ->capture_default_str()
      ->check(CLI::IsMember({"float", "pcm16"}));
  cmd->add_option("--set", render->settings, "Parameter setting NAME=VALUE (0..1)");
  cmd->add_option("--note", render->notes, "MIDI note NOTE[:VELOCITY]@START-END seconds");
  cmd->callback([render, &status] { status = runRender(*render); });
}

}  // namespace plughost
