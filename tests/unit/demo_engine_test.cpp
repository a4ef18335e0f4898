// Drives the demo engine's processors in-process through the kel interfaces,
// as the bridge does: state chunks, gain level, filter response, MIDI notes.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "demo_module.h"
#include "filter_processor.h"
#include "gain_processor.h"
#include "parameter_scale.h"
#include "processor_factory.h"
#include "synth_processor.h"
#include "value_text.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

struct Release {
  void operator()(kel::IProcessor* p) const { p->release(); }
};
using ProcessorPtr = std::unique_ptr<demo::DemoProcessor, Release>;

// A processor set up as the bridge sets it up: counts, rate, activation.
ProcessorPtr makeProcessor(std::int32_t index, float rate = 44100.0f, std::int32_t inputs = 2) {
  ProcessorPtr p(demo::createProcessor(index));
  p->setInputCount(inputs);
  p->setOutputCount(2);
  p->initialize();
  p->setSampleRate(rate);
  p->activate();
  return p;
}

// Runs `input` (mono, fed to both inputs) through the processor in blocks and
// returns output channel 0.
std::vector<float> run(demo::DemoProcessor& p, const std::vector<float>& input,
                       std::int32_t block = 512) {
  std::vector<float> out0(input.size()), out1(input.size());
  std::vector<float> in(input);
  for (std::size_t start = 0; start < input.size(); start += block) {
    const auto n = static_cast<std::int32_t>(std::min<std::size_t>(block, input.size() - start));
    float* ins[2] = {in.data() + start, in.data() + start};
    float* outs[2] = {out0.data() + start, out1.data() + start};
    std::int32_t zero = 0;
    p.process(outs, ins, n, &zero);
    EXPECT_EQ(0, std::memcmp(out0.data() + start, out1.data() + start, n * sizeof(float)));
  }
  return out0;
}

std::vector<float> sine(double hz, double rate, std::size_t frames, double amplitude = 0.5) {
  std::vector<float> s(frames);
  for (std::size_t i = 0; i < frames; ++i) {
    s[i] = static_cast<float>(amplitude * std::sin(2.0 * kPi * hz * i / rate));
  }
  return s;
}

double rms(const std::vector<float>& s, std::size_t from) {
  double sum = 0.0;
  for (std::size_t i = from; i < s.size(); ++i) sum += double(s[i]) * s[i];
  return std::sqrt(sum / double(s.size() - from));
}

std::vector<std::uint8_t> chunkOf(demo::DemoProcessor& p) {
  std::vector<std::uint8_t> chunk(static_cast<std::size_t>(p.getChunkSize()));
  p.getChunk(chunk.data());
  return chunk;
}

std::vector<std::int32_t> valuesOf(demo::DemoProcessor& p) {
  std::vector<std::int32_t> values;
  for (std::int32_t i = 0; i < p.getParameterCount(); ++i) values.push_back(p.getParameter(i));
  return values;
}

// --- state chunks -------------------------------------------------------------

TEST(DemoEngineChunk, RestoresEveryParameterOfEveryProcessor) {
  for (std::int32_t index = 0; index < demo::kProcessorCount; ++index) {
    SCOPED_TRACE(index);
    ProcessorPtr source = makeProcessor(index);
    // Move every parameter off its default to a distinct in-range value.
    for (std::int32_t i = 0; i < source->getParameterCount(); ++i) {
      kel::SParameterInfo info;
      source->getParameterInfo(i, &info);
      const std::int32_t value = info.maximum - (i % 2);
      source->setParameter(i, value);
      ASSERT_EQ(value, source->getParameter(i));
    }
    const std::vector<std::uint8_t> chunk = chunkOf(*source);

    ProcessorPtr target = makeProcessor(index);
    ASSERT_NE(valuesOf(*source), valuesOf(*target));
    target->setChunk(const_cast<std::uint8_t*>(chunk.data()),
                     static_cast<std::int32_t>(chunk.size()));
    EXPECT_EQ(valuesOf(*source), valuesOf(*target));
  }
}

TEST(DemoEngineChunk, LayoutIsVersionedLittleEndian) {
  ProcessorPtr gain = makeProcessor(0);
  gain->setParameter(demo::GainProcessor::kGain, -61);  // 0xFFFFFFC3
  gain->setParameter(demo::GainProcessor::kPolarity, 1);
  const std::vector<std::uint8_t> expected = {'K', 'D', 'M',  'O',  1,    0,    0, 0, 2, 0,
                                              0,   0,   0xC3, 0xFF, 0xFF, 0xFF, 1, 0, 0, 0};
  EXPECT_EQ(expected, chunkOf(*gain));
}

TEST(DemoEngineChunk, BadChunksAreIgnoredWhole) {
  ProcessorPtr filter = makeProcessor(1);
  filter->setParameter(demo::FilterProcessor::kCutoff, 5000);
  const std::vector<std::uint8_t> good = chunkOf(*filter);
  filter->setParameter(demo::FilterProcessor::kCutoff, 300);
  const std::vector<std::int32_t> before = valuesOf(*filter);

  auto rejected = [&](std::vector<std::uint8_t> bytes) {
    filter->setChunk(bytes.empty() ? nullptr : bytes.data(),
                     static_cast<std::int32_t>(bytes.size()));
    return valuesOf(*filter) == before;
  };
  auto changed = [&](std::size_t offset, std::uint8_t value) {
    std::vector<std::uint8_t> b = good;
    b[offset] = value;
    return b;
  };
  EXPECT_TRUE(rejected(changed(0, 'X')));  // magic
  EXPECT_TRUE(rejected(changed(4, 2)));    // version
  EXPECT_TRUE(rejected(changed(6, 0)));    // a gain processor's chunk
  EXPECT_TRUE(rejected(changed(8, 2)));    // parameter count
  // Cutoff 30000 Hz lies above its maximum: nothing is applied, not even Type.
  std::vector<std::uint8_t> outOfRange = changed(12, 0x30);
  outOfRange[13] = 0x75;
  outOfRange[16] = 1;
  EXPECT_TRUE(rejected(outOfRange));
  EXPECT_TRUE(rejected(std::vector<std::uint8_t>(good.begin(), good.end() - 1)));
  std::vector<std::uint8_t> longer = good;
  longer.push_back(0);
  EXPECT_TRUE(rejected(longer));
  EXPECT_TRUE(rejected({}));
  filter->setChunk(const_cast<std::uint8_t*>(good.data()), -5);
  EXPECT_EQ(before, valuesOf(*filter));

  ProcessorPtr gain = makeProcessor(0);
  const std::vector<std::int32_t> gainBefore = valuesOf(*gain);
  gain->setChunk(const_cast<std::uint8_t*>(good.data()), static_cast<std::int32_t>(good.size()));
  EXPECT_EQ(gainBefore, valuesOf(*gain));

  // The unchanged chunk still applies after all that.
  filter->setChunk(const_cast<std::uint8_t*>(good.data()), static_cast<std::int32_t>(good.size()));
  EXPECT_EQ(5000, filter->getParameter(demo::FilterProcessor::kCutoff));
}

// --- gain -------------------------------------------------------------------

TEST(DemoEngineGain, KnownSettingGivesExpectedLevelFromTheFirstFrame) {
  ProcessorPtr gain = makeProcessor(0);
  gain->setParameter(demo::GainProcessor::kGain, -60);  // -6.0 dB
  const std::vector<float> out = run(*gain, std::vector<float>(1000, 0.5f));
  const float expected = static_cast<float>(0.5 * std::pow(10.0, -6.0 / 20.0));  // 0.250594
  for (float s : out) ASSERT_NEAR(expected, s, 1e-6);
}

TEST(DemoEngineGain, MinimumIsSilenceAndPolarityInverts) {
  ProcessorPtr gain = makeProcessor(0);
  gain->setParameter(demo::GainProcessor::kGain, -600);
  for (float s : run(*gain, sine(440, 44100, 600))) ASSERT_EQ(0.0f, s);

  ProcessorPtr inverted = makeProcessor(0);
  inverted->setParameter(demo::GainProcessor::kGain, 60);  // +6.0 dB
  inverted->setParameter(demo::GainProcessor::kPolarity, 1);
  const std::vector<float> out = run(*inverted, std::vector<float>(100, 0.25f));
  EXPECT_NEAR(-0.25 * std::pow(10.0, 0.3), out.back(), 1e-6);
}

TEST(DemoEngineGain, ChangeWhilePlayingRampsOverOneBlock) {
  ProcessorPtr gain = makeProcessor(0);
  run(*gain, std::vector<float>(256, 1.0f), 256);        // unity, now playing
  gain->setParameter(demo::GainProcessor::kGain, -200);  // -20 dB: factor 0.1
  const std::vector<float> out = run(*gain, std::vector<float>(512, 1.0f), 256);
  EXPECT_GT(out[0], 0.99f);  // starts near the old factor, no jump
  for (std::size_t i = 1; i < 256; ++i) ASSERT_LT(out[i], out[i - 1]);
  EXPECT_NEAR(0.1, out[255], 1e-6);
  EXPECT_NEAR(0.1, out[511], 1e-6);
}

// --- filter -------------------------------------------------------------------

TEST(DemoEngineFilter, LowpassAttenuatesAboveCutoffAtAnyRate) {
  for (float rate : {44100.0f, 96000.0f}) {
    SCOPED_TRACE(rate);
    auto response = [rate](double hz) {
      ProcessorPtr filter = makeProcessor(1, rate);
      filter->setParameter(demo::FilterProcessor::kCutoff, 1000);
      const std::vector<float> in = sine(hz, rate, static_cast<std::size_t>(rate / 2));
      return rms(run(*filter, in), in.size() / 2) / rms(in, in.size() / 2);
    };
    EXPECT_GT(response(100.0), 0.97);            // passband
    EXPECT_NEAR(0.707, response(1000.0), 0.02);  // -3 dB at the cutoff (resonance 0 %)
    EXPECT_LT(response(10000.0), 0.012);         // two poles: about -40 dB a decade up
  }
}

TEST(DemoEngineFilter, HighpassAndBandpassSelectTheirBands) {
  auto response = [](std::int32_t type, double hz) {
    ProcessorPtr filter = makeProcessor(1);
    filter->setParameter(demo::FilterProcessor::kCutoff, 1000);
    filter->setParameter(demo::FilterProcessor::kType, type);
    const std::vector<float> in = sine(hz, 44100, 22050);
    return rms(run(*filter, in), 11025) / rms(in, 11025);
  };
  EXPECT_LT(response(1, 100.0), 0.012);
  EXPECT_GT(response(1, 10000.0), 0.97);
  EXPECT_NEAR(1.0, response(2, 1000.0), 0.02);
  EXPECT_LT(response(2, 100.0), 0.15);
  EXPECT_LT(response(2, 10000.0), 0.15);
}

// --- synth --------------------------------------------------------------------

std::vector<float> playSynth(demo::DemoProcessor& synth, std::vector<kel::SEvent> events,
                             std::int32_t frames) {
  synth.processEvents(events.data(), static_cast<std::int32_t>(events.size()));
  std::vector<float> out0(frames), out1(frames);
  float* outs[2] = {out0.data(), out1.data()};
  std::int32_t zero = 0;
  synth.process(outs, nullptr, frames, &zero);
  return out0;
}

TEST(DemoEngineSynth, TakesMidiAndOtherProcessorsDoNot) {
  EXPECT_EQ(kel::kProcessorTakesMidi, makeProcessor(2, 44100.0f, 0)->getFlags());
  EXPECT_EQ(0, makeProcessor(0)->getFlags());
  EXPECT_EQ(0, makeProcessor(1)->getFlags());
  EXPECT_EQ(nullptr, demo::createProcessor(3));
  EXPECT_EQ(nullptr, demo::createProcessor(-1));
}

TEST(DemoEngineSynth, NoteStartsAtItsDeltaFrameWithItsPitch) {
  ProcessorPtr synth = makeProcessor(2, 48000.0f, 0);
  synth->setParameter(demo::SynthProcessor::kWaveform, 0);  // sine
  const std::vector<float> out = playSynth(*synth, {{300, {0x90, 69, 127, 0}}}, 48000);
  for (std::size_t i = 0; i <= 300; ++i) ASSERT_EQ(0.0f, out[i]) << i;  // sine starts at 0
  EXPECT_NE(0.0f, out[301]);
  int rising = 0;
  for (std::size_t i = 4801; i < out.size(); ++i) rising += out[i - 1] < 0.0f && out[i] >= 0.0f;
  EXPECT_NEAR(440 * 0.9, rising, 1);  // 440 Hz over the last 0.9 s
  EXPECT_EQ(1, static_cast<demo::SynthProcessor&>(*synth).activeVoiceCount());
}

TEST(DemoEngineSynth, NoteOffFadesToSilenceWithinTheReleaseTime) {
  ProcessorPtr synth = makeProcessor(2, 44100.0f, 0);
  synth->setParameter(demo::SynthProcessor::kRelease, 50);  // 50 ms
  playSynth(*synth, {{0, {0x90, 60, 100, 0}}, {10, {0x90, 64, 100, 0}}}, 4410);
  EXPECT_EQ(2, static_cast<demo::SynthProcessor&>(*synth).activeVoiceCount());
  // A note-on with velocity 0 is a note-off, as is 0x80.
  const std::vector<float> out =
      playSynth(*synth, {{0, {0x80, 60, 0, 0}}, {0, {0x90, 64, 0, 0}}}, 4410);
  EXPECT_NE(0.0f, out[0]);
  const std::size_t releaseEnd = 2205 + 10;  // 50 ms at 44.1 kHz, plus margin
  for (std::size_t i = releaseEnd; i < out.size(); ++i) ASSERT_EQ(0.0f, out[i]) << i;
  EXPECT_EQ(0, static_cast<demo::SynthProcessor&>(*synth).activeVoiceCount());
}

TEST(DemoEngineSynth, MoreNotesThanVoicesStealTheOldest) {
  ProcessorPtr synth = makeProcessor(2, 44100.0f, 0);
  std::vector<kel::SEvent> events;
  for (int n = 0; n < 12; ++n) {
    events.push_back({n, {0x90, static_cast<std::uint8_t>(48 + n), 100, 0}});
  }
  playSynth(*synth, events, 64);
  EXPECT_EQ(demo::SynthProcessor::kVoiceCount,
            static_cast<demo::SynthProcessor&>(*synth).activeVoiceCount());
  // All notes off (controller 123) releases every voice; all sound off (120) stops them.
  playSynth(*synth, {{0, {0xB0, 120, 0, 0}}}, 64);
  EXPECT_EQ(0, static_cast<demo::SynthProcessor&>(*synth).activeVoiceCount());
}

// Largest magnitude of a rendered block; infinity when any sample is not finite.
float peakOf(const std::vector<float>& samples) {
  float peak = 0.0f;
  for (float v : samples) peak = std::isfinite(v) ? std::max(peak, std::fabs(v)) : INFINITY;
  return peak;
}

TEST(DemoEngineSynth, EveryNoteAtEveryRateAndWaveformStaysBelowFullScale) {
  for (float rate : {8000.0f, 11025.0f, 44100.0f, 192000.0f}) {
    for (std::int32_t waveform = 0; waveform < 4; ++waveform) {
      ProcessorPtr synth = makeProcessor(2, rate, 0);
      synth->setParameter(demo::SynthProcessor::kWaveform, waveform);
      synth->setParameter(demo::SynthProcessor::kVolume, 0);  // 0 dB, the loudest
      for (std::uint8_t note = 0; note < 128; ++note) {
        playSynth(*synth, {{0, {0x90, note, 127, 0}}}, 16);
        const float peak = peakOf(playSynth(*synth, {{0, {0x80, note, 0, 0}}}, 400));
        ASSERT_LE(peak, 1.0f) << "note " << int(note) << " at " << rate << " Hz, waveform "
                              << waveform;
      }
    }
  }
}

TEST(DemoEngineSynth, TenLoudNotesTogetherDoNotClipAndOneNoteIsUntouched) {
  ProcessorPtr synth = makeProcessor(2, 44100.0f, 0);
  synth->setParameter(demo::SynthProcessor::kWaveform, 1);  // saw, the loudest sum
  std::vector<kel::SEvent> chord;
  for (int n = 0; n < 10; ++n)
    chord.push_back({0, {0x90, static_cast<std::uint8_t>(48 + 3 * n), 127, 0}});
  EXPECT_LE(peakOf(playSynth(*synth, chord, 44100)), 1.0f);

  // One note at the default volume (-12 dB) stays below the limiter's knee:
  // a sine of amplitude 0.25.
  ProcessorPtr single = makeProcessor(2, 44100.0f, 0);
  single->setParameter(demo::SynthProcessor::kWaveform, 0);
  EXPECT_NEAR(0.25f, peakOf(playSynth(*single, {{0, {0x90, 69, 127, 0}}}, 44100)), 0.01f);
}

TEST(DemoEngineSynth, RatesItCannotServeKeepTheLastSaneRate) {
  for (float bad : {1e-40f, 1.0f, 999.0f, -44100.0f, 1e9f, NAN, INFINITY}) {
    ProcessorPtr synth = makeProcessor(2, 48000.0f, 0);
    synth->setParameter(demo::SynthProcessor::kWaveform, 0);
    synth->setSampleRate(bad);
    const std::vector<float> out = playSynth(*synth, {{0, {0x90, 69, 127, 0}}}, 48000);
    ASSERT_LE(peakOf(out), 1.0f) << bad;
    int rising = 0;
    for (std::size_t i = 4801; i < out.size(); ++i) rising += out[i - 1] < 0.0f && out[i] >= 0.0f;
    EXPECT_NEAR(440 * 0.9, rising, 1) << "still at 48 kHz after " << bad;
  }
}

TEST(DemoEngineFilter, RecoversAfterNonFiniteInput) {
  for (float poison : {NAN, INFINITY, -INFINITY}) {
    for (std::int32_t type = 0; type < 3; ++type) {
      ProcessorPtr filter = makeProcessor(1);
      filter->setParameter(demo::FilterProcessor::kType, type);
      std::vector<float> input = sine(440.0, 44100.0, 4410);
      input[100] = poison;
      const std::vector<float> out = run(*filter, input);
      for (std::size_t i = 101; i < out.size(); ++i) {
        ASSERT_TRUE(std::isfinite(out[i]))
            << "sample " << i << " after " << poison << ", type " << type;
      }
      EXPECT_GT(rms(out, 2205), 0.01);  // and it filters again
    }
  }
}

// --- module, display and editor scale -------------------------------------------

TEST(DemoEngineModule, CreatesProcessorsAndViewsOnlyThroughItsFactory) {
  static demo::DemoProcessor* seen = nullptr;
  demo::ViewFactory factory = [](demo::DemoProcessor* p, kel::IHost*) -> kel::IView* {
    seen = p;
    return nullptr;
  };
  auto* module = new demo::DemoModule(nullptr, factory);
  kel::IProcessor* processor = module->createProcessor(1);
  ASSERT_NE(nullptr, processor);
  EXPECT_EQ(3, processor->getParameterCount());
  module->createView(processor);
  EXPECT_EQ(processor, static_cast<kel::IProcessor*>(seen));
  EXPECT_EQ(nullptr, module->createView(nullptr));
  processor->release();
  module->release();
}

TEST(DemoEngineDisplay, TextsMatchWhatTheHostShows) {
  ProcessorPtr gain = makeProcessor(0);
  ProcessorPtr filter = makeProcessor(1);
  auto text = [](demo::DemoProcessor& p, std::int32_t index, std::int32_t value) {
    char buffer[32];
    demo::formatValue(*p.parameters().definition(index), value, buffer, sizeof buffer);
    return std::string(buffer);
  };
  EXPECT_EQ("-inf", text(*gain, 0, -600));
  EXPECT_EQ("-59.9", text(*gain, 0, -599));
  EXPECT_EQ("12.0", text(*gain, 0, 120));
  EXPECT_EQ("Inverted", text(*gain, 1, 1));
  EXPECT_EQ("Bandpass", text(*filter, 1, 2));
  EXPECT_EQ("20000", text(*filter, 0, 20000));
}

TEST(DemoEngineDisplay, EditorBarFollowsTheLogarithmicCurve) {
  ProcessorPtr filter = makeProcessor(1);
  const demo::ParameterDefinition& cutoff = *filter->parameters().definition(0);
  EXPECT_EQ(20, demo::positionToValue(cutoff, 0.0));
  EXPECT_EQ(20000, demo::positionToValue(cutoff, 1.0));
  EXPECT_EQ(20000, demo::positionToValue(cutoff, 7.0));
  // With base 1000 over 20..20000 Hz the middle of the bar is about 20 * sqrt(1000).
  EXPECT_NEAR(632, demo::positionToValue(cutoff, 0.5), 2);
  for (std::int32_t hz : {20, 100, 1000, 5000, 20000}) {
    EXPECT_EQ(hz, demo::positionToValue(cutoff, demo::valueToPosition(cutoff, hz)));
  }
}

}  // namespace
