// plughost analyze: the magnitude response of an effect, measured with a unit
// impulse, with its latency and THD+N at 1 kHz, for one or more settings,
// drawn into a PNG chart and optionally written as CSV.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "analysis/frequency_response.h"
#include "analysis/response_chart.h"
#include "commands/commands.h"
#include "formats/audio_buffer.h"
#include "formats/byte_file.h"
#include "formats/png_writer.h"
#include "hosting/host_context.h"
#include "hosting/plugin_instance.h"
#include "hosting/plugin_report.h"
#include "install/file_checks.h"
#include "support/command_error.h"
#include "support/file_policy.h"
#include "support/option_checks.h"

namespace plughost {
namespace {

constexpr double kLowestHz = 10.0;
constexpr int kFrequencyCount = 241;
constexpr double kImpulseSeconds = 1.5;   // room for a 10 Hz period and a slow decay
constexpr double kPrerollSeconds = 0.25;  // silence first: smoothed parameters settle
constexpr double kSineHz = 1000.0;
constexpr double kSineAmplitude = 0.5;  // -6 dBFS
constexpr double kSineSeconds = 1.0;    // of which the second half is measured
constexpr VstInt32 kBlockSize = 512;

struct AnalyzeOptions {
  std::string plugin;
  std::vector<std::string> settings;
  int sampleRate = 44100;
  std::string compare;  // NAME=v1,v2,...
  std::string png;
  std::string csv;
};

// "Cutoff=200Hz,1kHz" as the settings "Cutoff=200Hz" and "Cutoff=1kHz".
std::vector<std::string> compareSettings(const std::string& text) {
  const auto equals = text.find('=');
  std::vector<std::string> result;
  if (equals != std::string::npos && equals > 0) {
    std::size_t start = equals + 1;
    while (start <= text.size()) {
      const auto comma = std::min(text.find(',', start), text.size());
      if (comma == start) break;  // an empty value
      result.push_back(text.substr(0, equals + 1) + text.substr(start, comma - start));
      start = comma + 1;
    }
    if (start <= text.size()) result.clear();
  }
  if (result.empty()) {
    throw CommandError("bad --compare '" + text + "': expected NAME=VALUE,VALUE,...");
  }
  return result;
}

// Runs signals through the effect from a fresh start: suspended and resumed,
// then a stretch of silence, then the signal; answers the first output
// channel's response to the signal alone. The effect has its sample rate and
// block size already.
class Measurer {
 public:
  Measurer(const PluginInstance& plugin, int rate) : plugin_(plugin), rate_(rate) {
    ins_.assign(plugin.effect()->numInputs, kBlockSize);
    outs_.assign(plugin.effect()->numOutputs, kBlockSize);
  }

  std::vector<float> respond(const std::vector<float>& signal) {
    plugin_.dispatch(effMainsChanged, 0, 0);
    plugin_.dispatch(effMainsChanged, 0, 1);
    const auto preroll = static_cast<std::size_t>(kPrerollSeconds * rate_);
    std::vector<float> input(preroll, 0.0f);
    input.insert(input.end(), signal.begin(), signal.end());
    std::vector<float> output(input.size());
    HostContext& host = hostContext();
    host.processing = true;
    for (std::size_t start = 0; start < input.size(); start += kBlockSize) {
      const std::size_t n = std::min<std::size_t>(kBlockSize, input.size() - start);
      host.samplePosition = static_cast<double>(start);
      for (std::size_t c = 0; c < ins_.size(); ++c) {
        std::copy(input.begin() + start, input.begin() + start + n, ins_[c].begin());
      }
      outs_.zero();
      plugin_.process(ins_.pointers(), outs_.pointers(), static_cast<VstInt32>(n));
      std::copy(outs_[0].begin(), outs_[0].begin() + n, output.begin() + start);
    }
    host.processing = false;
    plugin_.dispatch(effMainsChanged, 0, 0);
    output.erase(output.begin(), output.begin() + preroll);
    // A response of NaN or infinite samples has no magnitude to chart.
    if (!std::all_of(output.begin(), output.end(), [](float v) { return std::isfinite(v); })) {
      throw CommandError("'" + plugin_.effectName() +
                         "' gave samples that are not finite (NaN or infinite) while being "
                         "measured");
    }
    return output;
  }

 private:
  const PluginInstance& plugin_;
  int rate_;
  ChannelBuffers ins_;
  ChannelBuffers outs_;
};

// The impulse response without its silent tail: a shorter sum, same result.
std::vector<float> trimmed(std::vector<float> response) {
  const auto last = std::find_if(response.rbegin(), response.rend(),
                                 [](float v) { return std::fabs(v) > 1e-12f; });
  response.erase(last.base(), response.end());
  return response;
}

std::string settingLabel(const PluginInstance& plugin, VstInt32 index) {
  std::string label = plugin.parameterName(index) + " " + plugin.parameterDisplay(index);
  const std::string unit = plugin.parameterLabel(index);
  return unit.empty() ? label : label + " " + unit;
}

int runAnalyze(const AnalyzeOptions& options) {
  CommandFiles outputs;
  outputs.input(options.plugin);
  outputs.output(options.png, "--png");
  if (!options.csv.empty()) outputs.output(options.csv, "--csv");
  outputs.check();
  const std::vector<std::string> compared =
      options.compare.empty() ? std::vector<std::string>() : compareSettings(options.compare);
  PluginInstance plugin(options.plugin);
  const AEffect* effect = plugin.effect();
  if (effect->numInputs < 1) {
    throw CommandError("'" + plugin.effectName() +
                       "' has no audio inputs: analyze measures an effect's response to a signal, "
                       "and an instrument takes none");
  }
  if (effect->numOutputs < 1) throw CommandError("'" + plugin.effectName() + "' has no outputs");
  HostContext& host = hostContext();
  host.sampleRate = static_cast<float>(options.sampleRate);
  host.blockSize = kBlockSize;
  plugin.dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(options.sampleRate));
  plugin.dispatch(effSetBlockSize, 0, kBlockSize);
  applySettings(plugin, options.settings);

  const double rate = options.sampleRate;
  ResponseChart chart;
  chart.title =
      plugin.effectName() + ": magnitude response at " + std::to_string(options.sampleRate) + " Hz";
  chart.frequencies = logFrequencies(kLowestHz, rate / 2.0, kFrequencyCount);
  std::vector<float> impulse(static_cast<std::size_t>(kImpulseSeconds * rate), 0.0f);
  impulse[0] = 1.0f;
  std::vector<float> sine(static_cast<std::size_t>(kSineSeconds * rate));
  for (std::size_t n = 0; n < sine.size(); ++n) {
    sine[n] = static_cast<float>(kSineAmplitude * std::sin(2.0 * 3.14159265358979323846 * kSineHz *
                                                           static_cast<double>(n) / rate));
  }

  Measurer measurer(plugin, options.sampleRate);
  std::vector<std::string> steps = compared;
  if (steps.empty()) steps.push_back("");
  for (const std::string& setting : steps) {
    std::string label = plugin.effectName();
    if (!setting.empty()) label = settingLabel(plugin, applySetting(plugin, setting));
    const std::vector<float> response = measurer.respond(impulse);
    chart.curves.push_back(
        {label, magnitudeResponseDb(trimmed(response), rate, chart.frequencies)});
    const std::vector<float> tone = measurer.respond(sine);
    const std::vector<float> settled(tone.begin() + tone.size() / 2, tone.end());
    const SineFit fit = fitSine(settled, kSineHz, rate);
    const double percent = 100.0 * std::pow(10.0, fit.thdPlusNoiseDb / 20.0);
    std::printf(
        "%s: latency %zu samples (impulse response peak), THD+N at 1 kHz %.1f dB (%.5f %%), "
        "1 kHz gain %.1f dB\n",
        label.c_str(), impulsePeak(response), fit.thdPlusNoiseDb, percent,
        fit.amplitude > 0.0 ? 20.0 * std::log10(fit.amplitude / kSineAmplitude) : kSilentDb);
  }
  std::printf("Reported initial delay: %d samples\n", static_cast<int>(effect->initialDelay));

  RgbImage image;
  std::string error;
  if (!drawResponseChart(chart, image, error)) throw CommandError(error);
  const std::vector<std::uint8_t> png = encodePng(image.width, image.height, image.rgb);
  if (png.empty()) throw CommandError("cannot encode the chart as PNG");
  StagedFiles files;
  if (!files.stage(options.png, png, error)) throw CommandError(error);
  if (!options.csv.empty()) {
    const std::string csv = responseCsv(chart);
    if (!files.stage(options.csv, std::vector<std::uint8_t>(csv.begin(), csv.end()), error)) {
      throw CommandError(error);
    }
  }
  if (!files.commit(error)) throw CommandError(error);
  std::printf("Wrote the response chart (%ux%u PNG, %zu curve(s), %g..%g Hz) to %s%s%s\n",
              image.width, image.height, chart.curves.size(), chart.frequencies.front(),
              chart.frequencies.back(), options.png.c_str(),
              options.csv.empty() ? "" : " and its values to ", options.csv.c_str());
  return 0;
}

}  // namespace

void addAnalyzeCommand(CLI::App& app, int& status) {
  auto options = std::make_shared<AnalyzeOptions>();
  auto* cmd = app.add_subcommand(
      "analyze", "Measure an effect's magnitude response, latency and THD+N into a chart");
  cmd->add_option("dll", options->plugin, "Plug-in DLL")->required();
  cmd->add_option("--set", options->settings,
                  "Parameter setting NAME=VALUE or #INDEX=VALUE applied first: 0..1, or a display "
                  "such as -6dB");
  cmd->add_option("--rate", options->sampleRate, "Sample rate")
      ->capture_default_str()
      ->check(wholeNumber())
      ->check(CLI::Range(8000, 384000));
  cmd->add_option("--compare", options->compare,
                  "One curve per value: NAME=VALUE,VALUE,... (0..1 or displays such as 1kHz)");
  cmd->add_option("--png", options->png, "Chart to write (PNG)")->required();
  cmd->add_option("--csv", options->csv, "Frequencies and one column of dB per curve (CSV)");
  cmd->callback([options, &status] { status = runAnalyze(*options); });
}

}  // namespace plughost
