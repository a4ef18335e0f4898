#include <CLI/CLI.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "analysis/sample_census.h"
#include "analysis/test_signal.h"
#include "commands/commands.h"
#include "formats/audio_buffer.h"
#include "formats/automation_csv.h"
#include "formats/note_schedule.h"
#include "formats/parameter_assignment.h"
#include "formats/wav_io.h"
#include "hosting/host_context.h"
#include "hosting/plugin_instance.h"
#include "hosting/plugin_report.h"
#include "hosting/program_file.h"
#include "support/command_error.h"
#include "support/file_policy.h"
#include "support/option_checks.h"
#include "support/progress_bar.h"

namespace plughost {
namespace {

struct RenderOptions {
  std::string plugin;
  std::string input;     // WAV file, or empty to generate
  std::string generate;  // sine, noise or silence
  std::string output;
  double seconds = 0.0;  // 0: the input file's length (generated signals need a length)
  int blockSize = 512;
  int sampleRate = 44100;  // for generated input; a WAV input keeps its own rate
  bool rateGiven = false;
  std::string format = "float";  // float, pcm16 or pcm24
  std::vector<std::string> settings;
  std::vector<std::string> notes;
  std::string preset;  // program file loaded before the settings
  std::string bank;    // or a bank file, of which program `bankProgram` plays
  int bankProgram = 0;
  std::vector<std::string> chain;  // further plug-ins after `plugin`, in order
  std::string midi;                // Standard MIDI File played from the start
  std::string automation;          // CSV of time, parameter, value
  double tempo = 120.0;            // beats per minute, for the plug-in's time info
  std::string timeSignature = "4/4";
};

// "3/4", "7/8": a numerator of 1..64 over a power of two up to 64.
void parseTimeSignature(const std::string& text, VstInt32& numerator, VstInt32& denominator) {
  int top = 0;
  int bottom = 0;
  char tail = 0;
  if (std::sscanf(text.c_str(), "%d/%d%c", &top, &bottom, &tail) != 2 || top < 1 || top > 64 ||
      bottom < 1 || bottom > 64 || (bottom & (bottom - 1)) != 0) {
    throw CommandError("bad time signature '" + text + "': expected e.g. 4/4, 3/4 or 7/8");
  }
  numerator = top;
  denominator = bottom;
}

WavSampleFormat sampleFormat(const std::string& name) {
  if (name == "pcm16") return WavSampleFormat::kPcm16;
  if (name == "pcm24") return WavSampleFormat::kPcm24;
  return WavSampleFormat::kFloat32;
}

// The frame count for `seconds` at `rate`, refused before any work when the
// output file could not hold it.
std::size_t framesFor(double seconds, int rate, int outputs, WavSampleFormat format) {
  const double frames = std::round(seconds * rate);
  const double limit = static_cast<double>(kMaxWavFileSize) / outputs;
  if (!(frames < limit) ||
      encodedWavSize(static_cast<std::size_t>(frames), outputs, format) > kMaxWavFileSize) {
    char text[160];
    std::snprintf(text, sizeof text,
                  "%.2f s at %d Hz with %d output channels is too long for a WAV file (4 GiB at "
                  "most)",
                  seconds, rate, outputs);
    throw CommandError(text);
  }
  if (frames < 1.0) {
    char text[160];
    std::snprintf(text, sizeof text, "%g s at %d Hz is less than one frame", seconds, rate);
    throw CommandError(text);
  }
  return static_cast<std::size_t>(frames);
}

// The input, block by block: a WAV file read as it plays or a generated
// signal, so a render of any length holds one block of it.
class InputSource {
 public:
  explicit InputSource(const RenderOptions& options)
      : signal_(options.generate, options.sampleRate) {
    if (options.input.empty()) {
      sampleRate_ = options.sampleRate;
      channels_ = 1;
      return;
    }
    std::string error;
    file_ = std::make_unique<WavFileReader>();
    if (!file_->open(options.input, error)) throw CommandError(error);
    sampleRate_ = file_->sampleRate();
    channels_ = file_->channels();
  }
  int sampleRate() const { return sampleRate_; }
  std::size_t channels() const { return channels_; }
  bool isFile() const { return file_ != nullptr; }
  std::uint64_t fileFrames() const { return file_ ? file_->frames() : 0; }

  // The next `n` frames into `ins`; channels the source lacks repeat its
  // last one, and a file that ends early continues as silence.
  void read(ChannelBuffers& ins, std::size_t n) {
    if (file_) {
      std::string error;
      const std::size_t got = file_->read(block_, n, error);
      if (!error.empty()) throw CommandError(error);
      for (std::size_t c = 0; c < ins.size(); ++c) {
        const std::vector<float>& from = block_[std::min(c, block_.size() - 1)];
        std::copy(from.begin(), from.begin() + got, ins[c].begin());
        std::fill(ins[c].begin() + got, ins[c].begin() + n, 0.0f);
      }
      return;
    }
    for (std::size_t i = 0; i < n; ++i) {
      const float sample = signal_.next();
      for (std::size_t c = 0; c < ins.size(); ++c) ins[c][i] = sample;
    }
  }

 private:
  TestSignal signal_;
  std::unique_ptr<WavFileReader> file_;
  std::vector<std::vector<float>> block_;
  int sampleRate_ = 0;
  std::size_t channels_ = 0;
};

// Opens the input and settles the length; warns of channels the plug-in
// does not take.
std::unique_ptr<InputSource> openInput(const RenderOptions& options, int channels, int outputs,
                                       std::size_t& frames) {
  auto input = std::make_unique<InputSource>(options);
  const WavSampleFormat format = sampleFormat(options.format);
  if (!input->isFile()) {
    frames = framesFor(options.seconds, options.sampleRate, outputs, format);
    return input;
  }
  const double seconds = options.seconds > 0.0
                             ? options.seconds
                             : static_cast<double>(input->fileFrames()) / input->sampleRate();
  if (input->fileFrames() == 0 && options.seconds <= 0.0) {
    throw CommandError("'" + options.input + "' holds no audio");
  }
  frames = framesFor(seconds, input->sampleRate(), outputs, format);
  const int given = static_cast<int>(input->channels());
  if (given > channels && channels > 0) {
    std::fprintf(stderr,
                 "plughost: warning: '%s' has %d channels, the plug-in takes %d: "
                 "channels %d..%d are left out\n",
                 options.input.c_str(), given, channels, channels + 1, given);
  } else if (given < channels) {
    std::fprintf(stderr,
                 "plughost: warning: '%s' has %d channel(s), the plug-in takes %d: "
                 "channel %d repeats in the others\n",
                 options.input.c_str(), given, channels, given);
  } else if (channels == 0) {
    std::fprintf(stderr, "plughost: warning: the plug-in takes no input: '%s' is not used\n",
                 options.input.c_str());
  }
  return input;
}

// Automation points as parameter indexes at sample frames, applied before the
// block that contains their frame.
struct ScheduledValue {
  std::int64_t frame = 0;
  VstInt32 index = 0;
  float value = 0.0f;
};

std::vector<ScheduledValue> loadAutomation(const PluginInstance& plugin, const std::string& file,
                                           int rate) {
  std::vector<ScheduledValue> schedule;
  if (file.empty()) return schedule;
  std::vector<AutomationPoint> points;
  std::string error;
  if (!readAutomationFile(file, points, error)) throw CommandError(error);
  for (const AutomationPoint& p : points) {
    int index = -1;
    if (p.parameter[0] != '#') {
      index = plugin.findParameter(p.parameter);
    } else if (!parseParameterIndex(p.parameter, index) || index >= plugin.effect()->numParams) {
      index = -1;
    }
    if (index < 0) {
      throw CommandError("automation '" + file + "': the plug-in has no parameter '" + p.parameter +
                         "'");
    }
    schedule.push_back({std::llround(p.seconds * rate), index, p.value});
  }
  return schedule;
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

// One effect of the chain with its host-owned channel buffers for a block.
struct Stage {
  explicit Stage(const std::string& path) : plugin(path) {}
  void allocate(std::size_t block) {
    ins.assign(std::max(plugin.effect()->numInputs, 0), block);
    outs.assign(plugin.effect()->numOutputs, block);
  }
  void process(const std::vector<std::pair<std::int32_t, ScheduledMidi>>& messages, std::size_t n) {
    outs.zero();
    events.send(plugin, messages);
    plugin.process(ins.pointers(), outs.pointers(), static_cast<VstInt32>(n));
  }

  PluginInstance plugin;
  ChannelBuffers ins;
  ChannelBuffers outs;
  EventSender events;
};

// "2:Cutoff=0.5" is a setting of the chain's second effect; settings without
// a position belong to the first.
std::vector<std::vector<std::string>> settingsByStage(const std::vector<std::string>& settings,
                                                      std::size_t stages) {
  std::vector<std::vector<std::string>> result(stages);
  for (const std::string& text : settings) {
    const auto colon = text.find(':');
    const auto equals = text.find('=');
    std::size_t position = 1;
    std::string setting = text;
    if (colon != std::string::npos && colon > 0 && colon <= 3 && colon < equals &&
        text.find_first_not_of("0123456789") == colon) {
      position = std::stoul(text.substr(0, colon));
      setting = text.substr(colon + 1);
      if (position < 1 || position > stages) {
        throw CommandError("bad setting '" + text + "': the chain has " + std::to_string(stages) +
                           " effect(s)");
      }
    }
    result[position - 1].push_back(setting);
  }
  return result;
}

// The rules between options that the parser's own checks do not cover,
// checked once before anything loads.
void checkRenderOptions(const RenderOptions& options) {
  if (options.input.empty() == options.generate.empty()) {
    throw CommandError("give exactly one of --in and --generate");
  }
  if (!options.input.empty() && options.rateGiven) {
    throw CommandError("--rate is for generated input; a WAV input plays at its own rate");
  }
  if (!options.generate.empty() && options.seconds <= 0.0) {
    throw CommandError("--seconds is needed with --generate");
  }
  // The output may be no input of the render under any name, and is
  // checked before a plug-in loads or a block is rendered.
  CommandFiles files;
  files.input(options.plugin);
  for (const std::string& plugin : options.chain) files.input(plugin);
  for (const std::string* input :
       {&options.input, &options.preset, &options.bank, &options.midi, &options.automation}) {
    files.input(*input);
  }
  files.output(options.output, "--out");
  files.check();
}

// Everything a render needs, set up before its first block.
struct RenderSession {
  std::vector<std::unique_ptr<Stage>> chain;  // the positional plug-in first
  std::unique_ptr<InputSource> input;
  std::size_t frames = 0;
  std::unique_ptr<NoteSchedule> schedule;
  std::vector<ScheduledValue> automation;

  PluginInstance& first() const { return chain.front()->plugin; }
  int inputCount() const { return first().effect()->numInputs; }
  int outputCount() const { return chain.back()->plugin.effect()->numOutputs; }
};

// Loads the chain, the input, the notes and the automation; hands each effect
// its rate, block size, program and settings, and resumes them.
std::unique_ptr<RenderSession> setUpRender(const RenderOptions& options) {
  std::vector<NoteSpec> notes;
  for (const std::string& text : options.notes) {
    NoteSpec spec;
    std::string error;
    if (!parseNoteSpec(text, spec, error)) throw CommandError(error);
    notes.push_back(spec);
  }

  // The chain: the positional plug-in, then each --plugin, in one process.
  auto session = std::make_unique<RenderSession>();
  auto& chain = session->chain;
  chain.push_back(std::make_unique<Stage>(options.plugin));
  for (const std::string& path : options.chain) chain.push_back(std::make_unique<Stage>(path));
  for (const auto& stage : chain) {
    if (stage->plugin.effect()->numOutputs < 1) {
      throw CommandError("'" + stage->plugin.path() + "' has no outputs");
    }
  }

  // An effect that takes no input cannot hear the one before it.
  for (std::size_t k = 1; k < chain.size(); ++k) {
    if (chain[k]->plugin.effect()->numInputs < 1) {
      std::fprintf(stderr,
                   "plughost: warning: '%s' takes no input: the output of '%s' before it is not "
                   "heard\n",
                   chain[k]->plugin.effectName().c_str(),
                   chain[k - 1]->plugin.effectName().c_str());
    }
  }
  session->input =
      openInput(options, session->inputCount(), session->outputCount(), session->frames);
  const int rate = session->input->sampleRate();
  std::vector<TimedMidi> midi;
  std::string midiError;
  if (!options.midi.empty() && !readMidiFile(options.midi, midi, midiError)) {
    throw CommandError(midiError);
  }
  session->schedule = std::make_unique<NoteSchedule>(notes, rate, midi);

  HostContext& host = hostContext();
  host.sampleRate = static_cast<float>(rate);
  host.blockSize = options.blockSize;
  host.tempo = options.tempo;
  parseTimeSignature(options.timeSignature, host.timeSigNumerator, host.timeSigDenominator);
  const std::vector<std::vector<std::string>> settings =
      settingsByStage(options.settings, chain.size());
  for (std::size_t k = 0; k < chain.size(); ++k) {
    Stage& stage = *chain[k];
    stage.plugin.dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(rate));
    stage.plugin.dispatch(effSetBlockSize, 0, options.blockSize);
    if (k == 0 && !options.preset.empty()) loadProgramFile(stage.plugin, options.preset);
    if (k == 0 && !options.bank.empty()) {
      loadBankProgram(stage.plugin, options.bank, options.bankProgram);
    }
    if (chain.size() == 1) {
      applySettings(stage.plugin, settings[k]);
    } else {
      // In a chain, a setting's error says which effect it was meant for.
      try {
        applySettings(stage.plugin, settings[k]);
      } catch (const CommandError& e) {
        throw CommandError("effect " + std::to_string(k + 1) + " of the chain (" +
                           stage.plugin.effectName() + "): " + e.what());
      }
    }
    stage.allocate(static_cast<std::size_t>(options.blockSize));
  }
  session->automation = loadAutomation(session->first(), options.automation, rate);
  for (const auto& stage : chain) stage->plugin.dispatch(effMainsChanged, 0, 1);
  return session;
}

// What a render wrote, for its report.
struct RenderResult {
  SampleCensus census;
  bool toStandardOutput = false;
};

// Plays the input through the chain block by block into the output file,
// then suspends the effects. Only one block of audio is held at a time.
RenderResult renderBlocks(RenderSession& session, const RenderOptions& options) {
  auto& chain = session.chain;
  const std::size_t frames = session.frames;
  const int outputCount = session.outputCount();
  const auto block = static_cast<std::size_t>(options.blockSize);
  std::size_t nextValue = 0;

  RenderResult result;
  std::string error;
  WavFileWriter output;
  if (!output.open(options.output, session.input->sampleRate(),
                   static_cast<std::size_t>(outputCount), frames, sampleFormat(options.format),
                   error)) {
    throw CommandError(error);
  }
  std::vector<const float*> outputs(static_cast<std::size_t>(outputCount));
  ProgressBar progress("Rendering", frames);
  HostContext& host = hostContext();
  host.processing = true;
  for (std::size_t start = 0; start < frames; start += block) {
    const std::size_t n = std::min(block, frames - start);
    host.samplePosition = static_cast<double>(start);
    session.input->read(chain.front()->ins, n);
    const auto& automation = session.automation;
    while (nextValue < automation.size() &&
           automation[nextValue].frame < static_cast<std::int64_t>(start + n)) {
      session.first().setParameter(automation[nextValue].index, automation[nextValue].value);
      ++nextValue;
    }
    const auto messages =
        session.schedule->block(static_cast<std::int64_t>(start), static_cast<std::int32_t>(n));
    for (std::size_t k = 0; k < chain.size(); ++k) {
      Stage& stage = *chain[k];
      if (k > 0) {
        const Stage& before = *chain[k - 1];
        for (std::size_t c = 0; c < stage.ins.size(); ++c) {
          const auto& source = before.outs[std::min(c, before.outs.size() - 1)];
          std::copy(source.begin(), source.begin() + n, stage.ins[c].begin());
        }
      }
      stage.process(messages, n);
    }
    for (int c = 0; c < outputCount; ++c) {
      outputs[c] = chain.back()->outs[c].data();
      countSamples(result.census, outputs[c], n);
    }
    if (!output.write(outputs.data(), n, error)) throw CommandError(error);
    progress.update(start + n);
  }
  host.processing = false;
  progress.finish();
  for (const auto& stage : chain) stage->plugin.dispatch(effMainsChanged, 0, 0);
  if (!output.commit(error)) throw CommandError(error);
  result.toStandardOutput = output.toStandardOutput();
  return result;
}

// Reports the render: a line on stdout (on stderr when the WAV went to
// stdout), warnings for samples beyond full scale, an error (status 1) for
// samples not finite.
int reportRender(const RenderOptions& options, const RenderSession& session,
                 const RenderResult& result) {
  const WavSampleFormat format = sampleFormat(options.format);
  std::string names = session.first().effectName();
  for (std::size_t k = 1; k < session.chain.size(); ++k) {
    names += " -> " + session.chain[k]->plugin.effectName();
  }
  const SampleCensus& census = result.census;
  const std::size_t total = session.frames * static_cast<std::size_t>(session.outputCount());
  // A NaN or infinite sample makes the peak not finite, however quiet the
  // rest: an output of nothing but NaN is no silence.
  char peak[32] = "silent";
  if (census.nonFinite > 0) {
    std::snprintf(peak, sizeof peak, "peak not finite");
  } else if (census.peak > 0.0f) {
    std::snprintf(peak, sizeof peak, "peak %.1f dBFS", 20.0 * std::log10(census.peak));
  }
  std::fprintf(result.toStandardOutput ? stderr : stdout,
               "Rendered %.2f s (%d Hz, %d in, %d out, block %d) through %s to %s, %s\n",
               static_cast<double>(session.frames) / session.input->sampleRate(),
               session.input->sampleRate(), session.inputCount(), session.outputCount(),
               options.blockSize, names.c_str(),
               result.toStandardOutput ? "the standard output" : options.output.c_str(), peak);
  std::fflush(stdout);
  if (census.beyondFullScale > 0) {
    std::fprintf(
        stderr, "plughost: warning: %zu of %zu samples lie beyond full scale%s\n",
        census.beyondFullScale, total,
        format == WavSampleFormat::kFloat32 ? " (kept in the float file)" : " and were clipped");
  }
  if (census.nonFinite > 0) {
    // The file is kept for inspection, but the render failed.
    std::fprintf(stderr, "plughost: error: %zu of %zu samples are not finite (NaN or infinite)%s\n",
                 census.nonFinite, total,
                 format == WavSampleFormat::kFloat32 ? "" : "; written as silence or full scale");
    return 1;
  }
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
      ->check(positiveSeconds());
  cmd->add_option("--out", render->output, "Output WAV; - for the standard output")->required();
  cmd->add_option("--block", render->blockSize, "Block size in frames")
      ->capture_default_str()
      ->check(wholeNumber())
      ->check(CLI::Range(1, 65536));
  cmd->add_option("--rate", render->sampleRate, "Sample rate of generated input")
      ->capture_default_str()
      ->check(wholeNumber())
      ->check(CLI::Range(8000, 384000))
      ->each([render](const std::string&) { render->rateGiven = true; });
  cmd->add_option("--format", render->format, "Output samples")
      ->capture_default_str()
      ->check(CLI::IsMember({"float", "pcm16", "pcm24"}));
  cmd->add_option("--set", render->settings,
                  "Parameter setting NAME=VALUE or #INDEX=VALUE: 0..1, or a display such as -6dB; "
                  "K:NAME=VALUE for the chain's K-th effect");
  cmd->add_option("--plugin", render->chain,
                  "A further plug-in after the first, fed by its output (repeatable)");
  cmd->add_option("--midi", render->midi, "Standard MIDI File (type 0 or 1) played from the start");
  cmd->add_option("--automation", render->automation,
                  "CSV of TIME,PARAMETER,VALUE (seconds, name or #index, 0..1)");
  auto* preset = cmd->add_option("--preset", render->preset,
                                 "Program file (.fxp) to load before the settings");
  auto* bank = cmd->add_option("--bank", render->bank,
                               "Bank file (.fxb) whose --program is loaded before the settings");
  bank->excludes(preset);
  cmd->add_option("--program", render->bankProgram, "Program of the --bank, counted from 0")
      ->capture_default_str()
      ->check(wholeNumber())
      ->needs(bank);
  cmd->add_option("--tempo", render->tempo, "Tempo in beats per minute, as the host's time info")
      ->capture_default_str()
      ->check(decimalNumber())
      ->check(CLI::Range(1.0, 999.0));
  cmd->add_option("--time-signature", render->timeSignature, "Time signature, e.g. 3/4")
      ->capture_default_str();
  cmd->add_option("--note", render->notes, "MIDI note NOTE[:VELOCITY]@START-END seconds");
  cmd->callback([render, &status] {
    checkRenderOptions(*render);
    const std::unique_ptr<RenderSession> session = setUpRender(*render);
    const RenderResult result = renderBlocks(*session, *render);
    status = reportRender(*render, *session, result);
  });
}

}  // namespace plughost
