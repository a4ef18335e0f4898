// Runs the built plughost.exe as a child process against a fresh installation
// of the plug-in and the demo engine, as a user would from a console.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "child_process.h"
#include "formats/byte_file.h"
#include "formats/fxp_io.h"
#include "formats/wav_io.h"
#include "pe_image.h"
#include "scratch_installation.h"

namespace {

using wine_test::binFolder;
using wine_test::ChildRun;
using wine_test::readBytes;

void writeText(const std::string& path, const std::string& text) {
  ASSERT_TRUE(wine_test::writeBytes(path, text)) << path;
}

// The ID written as four characters, first one in the most significant byte.
std::int32_t fourChars(const char (&id)[5]) {
  std::uint32_t value = 0;
  for (int i = 0; i < 4; ++i) value = (value << 8) | static_cast<unsigned char>(id[i]);
  return static_cast<std::int32_t>(value);
}

bool exists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// One installation: the demo engine under a GUID of this test alone, and named
// copies of the plug-in with their .ini files in a folder of its own.
class PlughostTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(scratch.ready()); }

  // Copies the plug-in as `name`.dll with its .ini; answers the DLL's path.
  std::string install(const std::string& name, const char (&id)[5], int processIndex,
                      int channelsIn = 2) {
    const std::string dll = scratch.addEffect(name, fourChars(id), processIndex, channelsIn);
    EXPECT_FALSE(dll.empty()) << name;
    return dll;
  }

  // Runs plughost.exe with `arguments`; its stdout and stderr go to files.
  ChildRun plughost(const std::string& arguments) {
    // Each run's output files lie in a folder of their own: the helper process
    // Wine starts for a prefix's first window (the desktop) inherits the
    // output files of the run that caused it and keeps them open, so that
    // run's files cannot be written again.
    const std::string runFolder = folder + "run" + std::to_string(++runs) + "\\";
    EXPECT_TRUE(CreateDirectoryA(runFolder.c_str(), nullptr)) << runFolder;
    const ChildRun run = wine_test::runProgram("plughost.exe", arguments, runFolder, 120000);
    EXPECT_TRUE(run.finished) << "plughost.exe " << arguments;
    return run;
  }

  static std::string quoted(const std::string& path) { return "\"" + path + "\""; }

  wine_test::ScratchInstallation scratch{"plughost-test", "kel_demo_engine.dll"};
  const std::string& guid = scratch.guid;
  const std::string& folder = scratch.folder;
  int runs = 0;
};

TEST_F(PlughostTest, InfoShowsTheConfiguredEffectAndItsParameters) {
  const ChildRun run = plughost("info " + quoted(install("DemoFilter", "DFil", 1)));
  ASSERT_EQ(0u, run.exitCode) << run.err;
  for (const char* line :
       {"Effect:     DemoFilter\n", "Vendor:     Velmora\n", "Product:    DemoFilter\n",
        "Unique ID:  1145465196 ('DFil')\n", "Inputs:     2\n", "Outputs:    2\n",
        "Flags:      57 (HasEditor CanMono CanReplacing ProgramChunks)\n", "Program:    Default\n",
        "Parameters: 3\n"}) {
    EXPECT_NE(std::string::npos, run.out.find(line)) << line << run.out;
  }
  // Name, label, display and normalised value of each parameter.
  EXPECT_NE(std::string::npos, run.out.find("Cutoff           Hz       1000")) << run.out;
  EXPECT_NE(std::string::npos, run.out.find("Type                      Lowpass        0.000000"))
      << run.out;
  EXPECT_NE(std::string::npos, run.out.find("Resonance        %        0.0            0.000000"))
      << run.out;

  const ChildRun synth = plughost("info " + quoted(install("DemoSynth", "DSyn", 2, 0)));
  ASSERT_EQ(0u, synth.exitCode) << synth.err;
  EXPECT_NE(std::string::npos, synth.out.find("Flags:      313 (HasEditor CanMono CanReplacing "
                                              "ProgramChunks IsSynth)"))
      << synth.out;
}

TEST_F(PlughostTest, RenderThroughTheGainGivesTheExpectedLevel) {
  const std::string wav = folder + "gain.wav";
  // Gain 0.25 of -60..+12 dB is -42.0 dB; the generated sine peaks at 0.5.
  const ChildRun run = plughost("render " + quoted(install("DemoGain", "DGai", 0)) +
                                " --generate sine --seconds 0.5 --rate 48000 --block 300 --set "
                                "gain=0.25 --out " +
                                quoted(wav));
  ASSERT_EQ(0u, run.exitCode) << run.err;
  EXPECT_NE(std::string::npos, run.out.find("Set Gain = 0.250000 (-42.0 dB)")) << run.out;

  plughost::AudioBuffer audio;
  std::string error;
  ASSERT_TRUE(plughost::readWavFile(wav, audio, error)) << error;
  EXPECT_EQ(48000, audio.sampleRate);
  ASSERT_EQ(2u, audio.channels.size());
  ASSERT_EQ(24000u, audio.frames());
  const double expectedPeak = 0.5 * std::pow(10.0, -42.0 / 20.0);  // 0.003972
  for (const auto& channel : audio.channels) {
    float peak = 0.0f;
    for (float s : channel) peak = std::max(peak, std::fabs(s));
    EXPECT_NEAR(expectedPeak, peak, 2e-6);
  }
  // The level holds from the first block on.
  EXPECT_NEAR(0.5 * std::sin(2 * 3.14159265358979 * 440 * 10 / 48000) * expectedPeak / 0.5,
              audio.channels[0][10], 1e-6);
}

TEST_F(PlughostTest, RenderedNotesStartAtTheirFrame) {
  const std::string wav = folder + "synth.wav";
  // Note 69 from 0.25 s (frame 11025, inside the 37th block of 300) to 0.5 s.
  const ChildRun run = plughost("render " + quoted(install("DemoSynth", "DSyn", 2, 0)) +
                                " --generate silence --seconds 0.75 --block 300 --format pcm16"
                                " --note 69@0.25-0.5 --out " +
                                quoted(wav));
  ASSERT_EQ(0u, run.exitCode) << run.err;
  plughost::AudioBuffer audio;
  std::string error;
  ASSERT_TRUE(plughost::readWavFile(wav, audio, error)) << error;
  const std::vector<float>& left = audio.channels.at(0);
  const auto first = std::find_if(left.begin(), left.end(), [](float s) { return s != 0.0f; });
  ASSERT_NE(left.end(), first);
  const auto frame = first - left.begin();
  EXPECT_GE(frame, 11025);
  EXPECT_LE(frame, 11027);  // the first samples of a rising sawtooth round to 0
  float peak = 0.0f;
  for (std::size_t i = 11025; i < 22050; ++i) peak = std::max(peak, std::fabs(left[i]));
  EXPECT_GT(peak, 0.1f);
}

TEST_F(PlughostTest, PresetRoundTripRestoresTheSettingInAFreshInstance) {
  const std::string gain = install("DemoGain", "DGai", 0);
  const std::string preset = folder + "quiet.fxp";
  const ChildRun save = plughost("preset save " + quoted(gain) + " " + quoted(preset) +
                                 " --set Gain=0.25 --set Polarity=1");
  ASSERT_EQ(0u, save.exitCode) << save.err;
  const std::string bytes = readBytes(preset);
  ASSERT_EQ(60u + 20u, bytes.size());
  EXPECT_EQ(std::string("CcnK\0\0\0\x48"
                        "FPCh\0\0\0\x01"
                        "DGai",
                        20),
            bytes.substr(0, 20));

  const ChildRun load = plughost("preset load " + quoted(gain) + " " + quoted(preset));
  ASSERT_EQ(0u, load.exitCode) << load.err;
  EXPECT_NE(std::string::npos, load.out.find("Gain             dB       -42.0          0.250000"))
      << load.out;
  EXPECT_NE(std::string::npos, load.out.find("Polarity                  Inverted       1.000000"))
      << load.out;

  const ChildRun foreign =
      plughost("preset load " + quoted(install("DemoFilter", "DFil", 1)) + " " + quoted(preset));
  EXPECT_NE(0u, foreign.exitCode);
  EXPECT_EQ(1, foreign.errLines()) << foreign.err;
  EXPECT_NE(std::string::npos, foreign.err.find("belongs to plug-in ID 1145528681 ('DGai')"))
      << foreign.err;
}

TEST_F(PlughostTest, RegisterAndInstallSetUpAWorkingEffect) {
  const std::string otherGuid = wine_test::relatedGuid(guid, 1);
  const std::string engine = binFolder() + "kel_demo_engine.dll";
  const ChildRun reg = plughost("register --guid " + otherGuid + " --engine " + quoted(engine));
  ASSERT_EQ(0u, reg.exitCode) << reg.err;
  EXPECT_EQ(engine, wine_test::enginePath(otherGuid));

  const std::string target = folder + "installed";
  const ChildRun inst = plughost("install --plugin " + quoted(binFolder() + "kelbridge.dll") +
                                 " --dir " + quoted(target) + " --name Loud --guid " + otherGuid +
                                 " --id 4242 --process-index 0 --channels-in 1 --channels-out 1");
  ASSERT_EQ(0u, inst.exitCode) << inst.err;
  EXPECT_EQ("[KEL]\r\nGUID=" + otherGuid +
                "\r\nChannelsIn=1\r\nChannelsOut=1\r\nID=4242\r\nProcessIndex=0\r\n\r\n"
                "[VST]\r\nName=Loud\r\n",
            readBytes(target + "\\Loud.ini"));
  const ChildRun info = plughost("info " + quoted(target + "\\Loud.dll"));
  EXPECT_EQ(0u, info.exitCode) << info.err;
  EXPECT_NE(std::string::npos, info.out.find("Effect:     Loud\n")) << info.out;
  EXPECT_NE(std::string::npos, info.out.find("Inputs:     1\n")) << info.out;

  RegDeleteKeyA(HKEY_LOCAL_MACHINE, wine_test::productKey(otherGuid).c_str());
  DeleteFileA((target + "\\Loud.dll").c_str());
  DeleteFileA((target + "\\Loud.ini").c_str());
  RemoveDirectoryA(target.c_str());
}

// A process loads only DLLs of its own width, and the two widths read
// different registry views: every mix is refused before anything is loaded,
// written or copied.
TEST_F(PlughostTest, FilesOfTheOtherWidthAreRefused) {
  const std::string own = std::to_string(sizeof(void*) * 8) + "-bit";
  const std::string other = sizeof(void*) == 8 ? "32-bit" : "64-bit";
  const std::string plugin = folder + "OtherPlugin.dll";
  const std::string engine = folder + "OtherEngine.dll";
  std::string error;
  ASSERT_TRUE(writeOtherWidthCopy(binFolder() + "kelbridge.dll", plugin, &error)) << error;
  ASSERT_TRUE(writeOtherWidthCopy(binFolder() + "kel_demo_engine.dll", engine, &error)) << error;
  const std::string otherGuid = wine_test::relatedGuid(guid, 2);
  ASSERT_TRUE(wine_test::setEnginePath(otherGuid, engine));
  const std::string target = folder + "never";
  const std::string installTo =
      " --dir " + quoted(target) + " --name Never --id 1 --process-index 0";

  const struct {
    std::string arguments;
    std::string message;
  } cases[] = {
      {"info " + quoted(plugin), "plug-in '" + plugin + "' is " + other},
      {"render " + quoted(plugin) + " --generate sine --seconds 1 --out " +
           quoted(folder + "never.wav"),
       "plug-in '" + plugin + "' is " + other},
      {"register --guid " + wine_test::relatedGuid(guid, 3) + " --engine " + quoted(engine),
       "engine '" + engine + "' is " + other},
      {"install --plugin " + quoted(plugin) + " --guid " + guid + installTo,
       "plug-in '" + plugin + "' is " + other},
      {"install --plugin " + quoted(binFolder() + "kelbridge.dll") + " --guid " + otherGuid +
           installTo,
       "engine '" + engine + "' registered under " + otherGuid + " is " + other},
  };
  for (const auto& c : cases) {
    const ChildRun run = plughost(c.arguments);
    EXPECT_NE(0u, run.exitCode) << c.arguments;
    EXPECT_EQ(1, run.errLines()) << c.arguments << "\n" << run.err;
    EXPECT_EQ("plughost: error: " + c.message + " but this plughost is " + own + "\n", run.err)
        << c.arguments;
  }
  EXPECT_EQ("", wine_test::enginePath(wine_test::relatedGuid(guid, 3)));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(target.c_str()));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((folder + "never.wav").c_str()));
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, wine_test::productKey(otherGuid).c_str());
}

TEST_F(PlughostTest, RenderPlaysAProgramOfABankAndRefusesOthers) {
  const std::string gain = install("DemoGain", "DGai", 0);
  ASSERT_EQ(0u, plughost("preset save " + quoted(gain) + " " + quoted(folder + "g.fxp") +
                         " --set Gain=-42dB")
                    .exitCode);
  plughost::FxpProgram program;
  std::string error;
  ASSERT_TRUE(plughost::readFxpFile(folder + "g.fxp", program, error)) << error;
  plughost::FxbBank bank;
  bank.pluginId = program.pluginId;
  bank.programCount = 1;
  bank.chunk = program.chunk;
  ASSERT_TRUE(plughost::writeFileBytes(folder + "one.fxb", plughost::encodeFxb(bank), error));
  bank.programCount = 2;  // more than the plug-in has
  ASSERT_TRUE(plughost::writeFileBytes(folder + "two.fxb", plughost::encodeFxb(bank), error));
  std::vector<std::uint8_t> lists = plughost::encodeFxb(bank);
  lists[9] = 'x', lists[10] = 'B', lists[11] = 'k';
  ASSERT_TRUE(plughost::writeFileBytes(folder + "lists.fxb", lists, error));

  const std::string wav = folder + "b.wav";
  const std::string render = "render " + quoted(gain) + " --generate sine --seconds 0.1 ";
  const ChildRun run = plughost(render + "--bank " + quoted(folder + "one.fxb") +
                                " --program 0 --out " + quoted(wav));
  ASSERT_EQ(0u, run.exitCode) << run.err;
  plughost::AudioBuffer audio;
  ASSERT_TRUE(plughost::readWavFile(wav, audio, error)) << error;
  const float expected = static_cast<float>(0.5 * std::pow(10.0, -42.0 / 20.0) *
                                            std::sin(2 * 3.14159265358979 * 440 * 10 / 44100));
  EXPECT_NEAR(expected, audio.channels[0][10], 1e-6);

  const struct {
    std::string arguments;
    const char* message;
  } cases[] = {
      {"--bank " + quoted(folder + "one.fxb") + " --program 1",
       "holds 1 program(s), numbered 0..0: there is no program 1"},
      {"--bank " + quoted(folder + "two.fxb") + " --program 1",
       "'DemoGain' did not switch to program 1 of bank"},
      {"--bank " + quoted(folder + "lists.fxb"), "only banks of one chunk ('FBCh') are supported"},
      {"--bank " + quoted(folder + "g.fxp"), "not a bank: load it with --preset"},
      {"--program 0", "--program requires --bank"},
  };
  for (const auto& c : cases) {
    const ChildRun bad = plughost(render + c.arguments + " --out " + quoted(folder + "x.wav"));
    EXPECT_NE(0u, bad.exitCode) << c.arguments;
    EXPECT_EQ(1, bad.errLines()) << bad.err;
    EXPECT_NE(std::string::npos, bad.err.find(c.message)) << bad.err;
  }
  EXPECT_FALSE(exists(folder + "x.wav"));
}

TEST_F(PlughostTest, ErrorsGiveOneLineAndAFailureStatus) {
  const std::string gain = install("DemoGain", "DGai", 0);
  const std::string garbage = folder + "garbage.wav";
  writeText(garbage, "RIFF\x10\0\0\0WAVEjunkjunkjunk");
  // A 16-bit mono header claiming 4,000,000,000 Hz.
  const std::string fastWav = folder + "fast.wav";
  writeText(fastWav, std::string("RIFF\x26\0\0\0WAVEfmt \x10\0\0\0\x01\0\x01\0\0\x28\x6b\xee"
                                 "\0\x50\xd6\xdc\x02\0\x10\0data\x02\0\0\0\0\0",
                                 46));
  writeText(folder + "junk.dll", "not a program");
  const std::string blank = folder + "Blank.dll";  // the bridge beside an .ini without [KEL]
  ASSERT_TRUE(CopyFileA((binFolder() + "kelbridge.dll").c_str(), blank.c_str(), FALSE));
  writeText(folder + "Blank.ini", "garbage\r\n");
  const struct {
    std::string arguments;
    const char* message;
  } cases[] = {
      {"info " + quoted(gain) + " --bogus", "--bogus"},
      {"info " + quoted(folder + "missing.dll"), "does not exist"},
      {"info " + quoted(binFolder() + "kel_demo_engine.dll"), "has no export \"main\""},
      {"info " + quoted(binFolder() + "kelbridge.dll"),
       "came up without its engine: it has no configuration file (.ini) beside it"},
      {"info " + quoted(blank), "Blank.ini' has no [KEL] settings\n"},
      {"info " + quoted(folder + "junk.dll"), "junk.dll': Bad EXE format for junk.dll\n"},
      {"render " + quoted(gain) + " --in " + quoted(garbage) + " --out " +
           quoted(folder + "never.wav"),
       "garbage.wav"},
      {"render " + quoted(gain) + " --in " + quoted(folder + "absent.wav") + " --out " +
           quoted(folder + "never.wav"),
       "cannot open"},
      {"render " + quoted(gain) + " --generate sine --seconds 1 --set Nope=0.5 --out " +
           quoted(folder + "never.wav"),
       "no parameter named 'Nope'"},
      {"frobnicate", "frobnicate"},
      {"render " + quoted(gain) + " --generate sine --seconds 97392.55 --out " +
           quoted(folder + "never.wav"),
       "97392.55 s at 44100 Hz with 2 output channels is too long for a WAV file"},
      {"render " + quoted(gain) + " --generate sine --seconds nan --out " +
           quoted(folder + "never.wav"),
       "--seconds: 'nan' is not a finite number\n"},
      // Numbers are decimal: no hexadecimal, no empty value, whole where whole.
      {"render " + quoted(gain) + " --generate sine --seconds 0x10 --out " +
           quoted(folder + "never.wav"),
       "--seconds: '0x10' is not a decimal number (hexadecimal is not read)\n"},
      {"render " + quoted(gain) + " --generate sine --seconds 1 --block 1e3 --out " +
           quoted(folder + "never.wav"),
       "--block: '1e3' is not written in whole digits: write 1000\n"},
      {"render " + quoted(gain) + " --generate sine --seconds 1 --rate 44100.5 --out " +
           quoted(folder + "never.wav"),
       "--rate: '44100.5' is not a whole number\n"},
      {"render " + quoted(gain) + " --generate sine --seconds 1 --rate \"\" --out " +
           quoted(folder + "never.wav"),
       "--rate: an empty value is not a number\n"},
      {"render " + quoted(gain) + " --generate sine --seconds 0 --out " +
           quoted(folder + "never.wav"),
       "--seconds: must be above 0, not 0\n"},
      {"render " + quoted(gain) + " --generate silence --seconds 1 --note 60@0-inf --out " +
           quoted(folder + "never.wav"),
       "bad note '60@0-inf'"},
      {"render " + quoted(gain) + " --in " + quoted(fastWav) + " --out " +
           quoted(folder + "never.wav"),
       "WAV sample rate 4000000000 Hz is outside 1000..1000000 Hz"},
      {"render " + quoted(gain) + " --in " + quoted(fastWav) + " --rate 48000 --out " +
           quoted(folder + "never.wav"),
       "--rate is for generated input"},
  };
  for (const auto& c : cases) {
    const ChildRun run = plughost(c.arguments);
    EXPECT_NE(0u, run.exitCode) << c.arguments;
    EXPECT_EQ(1, run.errLines()) << c.arguments << "\n" << run.err;
    EXPECT_EQ(0u, run.err.find("plughost: error: ")) << run.err;
    EXPECT_NE(std::string::npos, run.err.find(c.message)) << c.arguments << "\n" << run.err;
  }
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((folder + "never.wav").c_str()));
}

TEST_F(PlughostTest, FailedWritesReportOneErrorAndLeaveNoFile) {
  const std::string gain = install("DemoGain", "DGai", 0);
  const std::string missing = folder + "missing\\";
  const ChildRun save = plughost("preset save " + quoted(gain) + " " + quoted(missing + "p.fxp"));
  EXPECT_NE(0u, save.exitCode);
  EXPECT_EQ(1, save.errLines()) << save.err;
  // Checked before the plug-in loads.
  EXPECT_NE(std::string::npos,
            save.err.find("the folder of program file '" + missing + "p.fxp' does not exist"))
      << save.err;
  EXPECT_EQ(std::string::npos, save.out.find("Saved")) << save.out;

  // A device that is always full: written in place, and the failed flush is
  // reported rather than "Rendered".
  const ChildRun full =
      plughost("render " + quoted(gain) + " --generate sine --seconds 0.1 --out Z:\\dev\\full");
  EXPECT_NE(0u, full.exitCode);
  EXPECT_EQ(1, full.errLines()) << full.err;
  EXPECT_NE(std::string::npos, full.err.find("cannot write 'Z:\\dev\\full'")) << full.err;
  EXPECT_EQ(std::string::npos, full.out.find("Rendered")) << full.out;
}

TEST_F(PlughostTest, PresetLoadFailsWhenThePluginDoesNotTakeTheProgram) {
  const std::string gain = install("DemoGain", "DGai", 0);
  plughost::FxpProgram program;
  program.pluginId = fourChars("DGai");
  program.name = "Garbage";
  for (const std::vector<std::uint8_t>& chunk :
       {std::vector<std::uint8_t>{'n', 'o', 'p', 'e', 1, 2, 3}, std::vector<std::uint8_t>{}}) {
    program.chunk = chunk;
    std::string error;
    ASSERT_TRUE(plughost::writeFxpFile(folder + "bad.fxp", program, error)) << error;
    const ChildRun load =
        plughost("preset load " + quoted(gain) + " " + quoted(folder + "bad.fxp"));
    EXPECT_NE(0u, load.exitCode);
    EXPECT_EQ(1, load.errLines()) << load.err;
    EXPECT_NE(std::string::npos, load.err.find("'DemoGain' did not take the program")) << load.err;
    EXPECT_EQ(std::string::npos, load.out.find("Loaded")) << load.out;
  }
  // A chunk of the right size that the engine refuses: the message names the
  // first byte that differs, not two equal sizes.
  ASSERT_EQ(0u,
            plughost("preset save " + quoted(gain) + " " + quoted(folder + "real.fxp")).exitCode);
  std::string error;
  ASSERT_TRUE(plughost::readFxpFile(folder + "real.fxp", program, error)) << error;
  ASSERT_FALSE(program.chunk.empty());
  const unsigned saved = program.chunk[0];
  program.chunk[0] ^= 0xFF;
  ASSERT_TRUE(plughost::writeFxpFile(folder + "bad.fxp", program, error)) << error;
  const ChildRun load = plughost("preset load " + quoted(gain) + " " + quoted(folder + "bad.fxp"));
  EXPECT_NE(0u, load.exitCode);
  EXPECT_NE(std::string::npos, load.err.find("(the file's " + std::to_string(program.chunk.size()) +
                                             " bytes, but byte 0 is " + std::to_string(saved) +
                                             " instead of " + std::to_string(saved ^ 0xFF) + ")"))
      << load.err;
}

TEST_F(PlughostTest, RenderWarnsOfClippingAndDroppedChannelsWithCounts) {
  // Six channels of a sine at 0.5 through +12 dB into 16-bit PCM: every
  // sample beyond 0.25 of the input clips.
  plughost::AudioBuffer six;
  six.sampleRate = 8000;
  six.resize(6, 800);
  for (std::size_t i = 0; i < 800; ++i)
    six.channels[0][i] = 0.5f * static_cast<float>(std::sin(i * 0.3));
  for (std::size_t c = 1; c < 6; ++c) six.channels[c] = six.channels[0];
  std::string error;
  ASSERT_TRUE(
      plughost::writeWavFile(folder + "six.wav", six, plughost::WavSampleFormat::kFloat32, error))
      << error;
  std::size_t expectedClips = 0;
  for (float s : six.channels[0]) expectedClips += std::fabs(s * 3.98107f) > 1.0f ? 2 : 0;
  const std::string out = folder + "clipped.wav";
  const ChildRun run =
      plughost("render " + quoted(install("DemoGain", "DGai", 0)) + " --in " +
               quoted(folder + "six.wav") + " --set Gain=1 --format pcm16 --out " + quoted(out));
  ASSERT_EQ(0u, run.exitCode) << run.err;
  // No progress bar into a file: the two warnings are all.
  EXPECT_EQ(2, run.errLines()) << run.err;
  EXPECT_NE(std::string::npos, run.err.find("plughost: warning: '" + folder +
                                            "six.wav' has 6 channels, the plug-in takes 2: "
                                            "channels 3..6 are left out\n"))
      << run.err;
  const std::string clipped = " of 1600 samples lie beyond full scale and were clipped\n";
  const auto clipLine = run.err.find(clipped);
  ASSERT_NE(std::string::npos, clipLine) << run.err;
  const auto countStart = run.err.rfind("warning: ", clipLine) + 9;
  EXPECT_NEAR(static_cast<double>(expectedClips),
              std::stod(run.err.substr(countStart, clipLine - countStart)), 4.0)
      << run.err;
  plughost::AudioBuffer rendered;
  ASSERT_TRUE(plughost::readWavFile(out, rendered, error)) << error;
  EXPECT_EQ(800u, rendered.frames());
}

TEST_F(PlughostTest, EffectsWithoutTheirEngineAreNamedAsSuch) {
  const std::string gain = install("DemoGain", "DGai", 0);
  const std::string noProcessor = install("NoSuch", "NoSu", 99);
  const std::string unregistered = install("Lost", "Lost", 0);
  writeText(folder + "Lost.ini", "[KEL]\r\nGUID=hello world\r\nID=1\r\n[VST]\r\nName=Lost\r\n");
  const struct {
    std::string arguments;
    std::string message;
  } cases[] = {
      {"info " + quoted(noProcessor), "NoSuch.dll' came up without its engine: engine '" +
                                          binFolder() +
                                          "kel_demo_engine.dll' has no processor with index 99"},
      {"render " + quoted(unregistered) + " --generate sine --seconds 1 --out " +
           quoted(folder + "never.wav"),
       "Lost.dll' came up without its engine: engine GUID 'hello world' is not registered"},
  };
  for (const auto& c : cases) {
    const ChildRun run = plughost(c.arguments);
    EXPECT_NE(0u, run.exitCode) << c.arguments;
    EXPECT_EQ(1, run.errLines()) << run.err;
    EXPECT_NE(std::string::npos, run.err.find(c.message)) << run.err;
    EXPECT_EQ("", run.out);
  }
  EXPECT_FALSE(exists(folder + "never.wav"));
  (void)gain;
}

TEST_F(PlughostTest, InstallChecksEverythingBeforeItWritesAndUninstallUndoesIt) {
  const std::string target = folder + "plugins";
  const std::string base = "install --plugin " + quoted(binFolder() + "kelbridge.dll") + " --dir " +
                           quoted(target) + " --name Fx ";
  const std::string ok = " --guid " + guid + " --id 4242 --process-index 1";
  const struct {
    std::string options;
    const char* message;
  } cases[] = {
      {"--guid " + wine_test::relatedGuid(guid, 5) + " --id 4242 --process-index 0",
       "is not registered"},
      {"--guid \"hello world\" --id 4242 --process-index 0",
       "bad GUID 'hello world': is not a GUID in braces"},
      {"--guid " + guid + " --id 4242 --process-index 99", "has no processor with index 99"},
      {"--guid " + guid + " --id 4242 --process-index -1", "must not be negative"},
      {"--guid " + guid + " --id 0 --process-index 0", "ID 0 is no ID"},
      {"--guid " + guid + " --id 4242 --process-index 0 --channels-out 1000",
       "channel counts must lie within 0..64"},
      {"--guid " + guid + " --id 4242 --process-index 0 --channels-out 9",
       "does not serve 2 in / 9 out: it left 1 output channel(s) unwritten"},
  };
  for (const auto& c : cases) {
    const ChildRun run = plughost(base + c.options);
    EXPECT_NE(0u, run.exitCode) << c.options;
    EXPECT_EQ(1, run.errLines()) << c.options << "\n" << run.err;
    EXPECT_NE(std::string::npos, run.err.find(c.message)) << c.options << "\n" << run.err;
    EXPECT_FALSE(exists(target + "\\Fx.dll")) << c.options;
    EXPECT_FALSE(exists(target + "\\Fx.ini")) << c.options;
  }

  ASSERT_EQ(0u, plughost(base + ok + " --vendor \"Acme Audio\" --vendor-version 7").exitCode);
  EXPECT_TRUE(exists(target + "\\Fx.dll"));
  const ChildRun info = plughost("info " + quoted(target + "\\Fx.dll"));
  EXPECT_NE(std::string::npos, info.out.find("Vendor:     Acme Audio\n")) << info.out;
  const ChildRun removed = plughost("uninstall --dir " + quoted(target) + " --name Fx");
  EXPECT_EQ(0u, removed.exitCode) << removed.err;
  EXPECT_EQ("Uninstalled Fx: removed " + target + "\\Fx.dll and " + target + "\\Fx.ini\n",
            removed.out);
  EXPECT_FALSE(exists(target + "\\Fx.dll"));
  EXPECT_FALSE(exists(target + "\\Fx.ini"));
  // Only a pair install made is removed: a DLL without an effect .ini stays.
  EXPECT_TRUE(
      CopyFileA((binFolder() + "kelbridge.dll").c_str(), (target + "\\Other.dll").c_str(), FALSE));
  const ChildRun other = plughost("uninstall --dir " + quoted(target) + " --name Other");
  EXPECT_NE(0u, other.exitCode);
  EXPECT_NE(std::string::npos,
            other.err.find("there is no effect named 'Other' in '" + target + "' (no Other.ini)"))
      << other.err;
  EXPECT_TRUE(exists(target + "\\Other.dll"));
  DeleteFileA((target + "\\Other.dll").c_str());
  RemoveDirectoryA(target.c_str());

  const std::string extra = wine_test::relatedGuid(guid, 4);
  ASSERT_EQ(0u, plughost("register --guid " + extra + " --engine " +
                         quoted(binFolder() + "kel_demo_engine.dll"))
                    .exitCode);
  const ChildRun unregister = plughost("unregister --guid " + extra);
  EXPECT_EQ(0u, unregister.exitCode) << unregister.err;
  EXPECT_EQ("", wine_test::enginePath(extra));
  const ChildRun again = plughost("unregister --guid " + extra);
  EXPECT_NE(0u, again.exitCode);
  EXPECT_NE(std::string::npos, again.err.find("'" + extra + "' is not registered")) << again.err;
}

// The installation's rules (tests/installation) reach the command line: one
// exact line each, nothing written and nothing registered.
TEST_F(PlughostTest, NamesAndGuidsTheInstallationRulesRefuseAreRefusedWithOneLine) {
  const std::string target = folder + "refused";
  const std::string install = "install --plugin " + quoted(binFolder() + "kelbridge.dll") +
                              " --dir " + quoted(target) + " --id 4242 --process-index 0";
  const std::string shape = "is not a GUID in braces like {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}";
  const std::string bare = guid.substr(1, guid.size() - 2);
  const std::string longName(64, 'n');
  const struct {
    std::string arguments;
    std::string message;
  } cases[] = {
      {install + " --guid " + guid + " --name CON",
       "bad effect name 'CON': is a name Windows reserves for a device"},
      {install + " --guid " + guid + " --name lpt1.fx",
       "bad effect name 'lpt1.fx': is a name Windows reserves for a device"},
      {install + " --guid " + guid + " --name " + longName,
       "bad effect name '" + longName + "': is longer than 63 characters"},
      {install + " --guid " + guid + " --name Fx.",
       "bad effect name 'Fx.': ends in a dot or a space"},
      {install + " --guid " + guid + " --name \"Fx \"",
       "bad effect name 'Fx ': ends in a dot or a space"},
      {install + " --guid " + bare + " --name Fx", "bad GUID '" + bare + "': " + shape},
      {install + " --guid " + guid + " --name Fx --vendor \" Acme\"",
       "vendor ' Acme' starts or ends with a space"},
      {install + " --guid " + guid + " --name Fx --vendor Acme --vendor-version 1.2",
       "bad vendor version '1.2': give a whole number within 0..2147483647"},
      {"register --guid notaguid --engine " + quoted(binFolder() + "kel_demo_engine.dll"),
       "bad GUID 'notaguid': " + shape},
  };
  for (const auto& c : cases) {
    const ChildRun run = plughost(c.arguments);
    EXPECT_NE(0u, run.exitCode) << c.arguments;
    EXPECT_EQ("plughost: error: " + c.message + "\n", run.err) << c.arguments;
    EXPECT_EQ("", run.out) << c.arguments;
  }
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(target.c_str()));
  EXPECT_EQ("", wine_test::enginePath("notaguid"));
}

TEST_F(PlughostTest, SettingsGoByNameOrIndexInDisplayUnitsAndPresetsLoadBeforeThem) {
  const ChildRun filter = plughost("preset save " + quoted(install("DemoFilter", "DFil", 1)) + " " +
                                   quoted(folder + "f.fxp") +
                                   " --set Type=highpass --set \"Cutoff=500 Hz\" --set #2=25");
  ASSERT_EQ(0u, filter.exitCode) << filter.err;
  EXPECT_NE(std::string::npos, filter.out.find("Set Type = 0.499500 (Highpass)\n")) << filter.out;
  EXPECT_NE(std::string::npos, filter.out.find("(Highpass)\nSet Cutoff = ")) << filter.out;
  EXPECT_NE(std::string::npos, filter.out.find("(500 Hz)\nSet Resonance = 0.25")) << filter.out;
  EXPECT_NE(std::string::npos, filter.out.find("(25.0 %)\n")) << filter.out;

  // A preset of Gain -42 dB, then a setting on top: the polarity by its name.
  const std::string gain = install("DemoGain", "DGai", 0);
  ASSERT_EQ(0u, plughost("preset save " + quoted(gain) + " " + quoted(folder + "g.fxp") +
                         " --set Gain=-42dB")
                    .exitCode);
  const std::string wav = folder + "g.wav";
  const ChildRun run = plughost("render " + quoted(gain) + " --preset " + quoted(folder + "g.fxp") +
                                " --set Polarity=Inverted --tempo 90 --time-signature 7/8"
                                " --generate sine --seconds 0.1 --out " +
                                quoted(wav));
  ASSERT_EQ(0u, run.exitCode) << run.err;
  EXPECT_NE(std::string::npos, run.out.find("Set Polarity = 0.750000 (Inverted)")) << run.out;
  plughost::AudioBuffer audio;
  std::string error;
  ASSERT_TRUE(plughost::readWavFile(wav, audio, error)) << error;
  const float expected = -0.5f * static_cast<float>(std::pow(10.0, -42.0 / 20.0)) *
                         static_cast<float>(std::sin(2 * 3.14159265358979 * 440 * 10 / 44100));
  EXPECT_NEAR(expected, audio.channels[0][10], 1e-6);

  const struct {
    std::string arguments;
    const char* message;
  } cases[] = {
      {"preset save " + quoted(gain) + " " + quoted(folder + "x.fxp") + " --set Gain=13dB",
       "bad setting 'Gain=13dB': Gain has no value that shows '13dB' (the display runs from -inf "
       "dB to "
       "12.0 dB)"},
      {"preset save " + quoted(gain) + " " + quoted(folder + "x.fxp") + " --set #5=0.5",
       "bad setting '#5=0.5': the plug-in has 2 parameters (#0..#1)"},
      {"render " + quoted(gain) + " --time-signature 4/3 --generate sine --seconds 1 --out " +
           quoted(folder + "x.wav"),
       "bad time signature '4/3'"},
      {"render " + quoted(gain) + " --preset " + quoted(folder + "f.fxp") +
           " --generate sine --seconds 1 --out " + quoted(folder + "x.wav"),
       "belongs to plug-in ID 1145465196 ('DFil')"},
  };
  for (const auto& c : cases) {
    const ChildRun bad = plughost(c.arguments);
    EXPECT_NE(0u, bad.exitCode) << c.arguments;
    EXPECT_EQ(1, bad.errLines()) << bad.err;
    EXPECT_NE(std::string::npos, bad.err.find(c.message)) << bad.err;
  }
  EXPECT_FALSE(exists(folder + "x.fxp"));
  EXPECT_FALSE(exists(folder + "x.wav"));
}

TEST_F(PlughostTest, AutomationChangesAParameterAtTheBlockOfItsTime) {
  const std::string gain = install("DemoGain", "DGai", 0);
  // Gain 0 is "-inf", silence; from 0.05 s (frame 2205, in the block from
  // 2200 with blocks of 100) the gain is 0.75, -6 dB.
  writeText(folder + "gain.csv", "time,parameter,value\n0,Gain,0\n0.05,#0,0.75\n");
  const std::string wav = folder + "auto.wav";
  const ChildRun run =
      plughost("render " + quoted(gain) + " --automation " + quoted(folder + "gain.csv") +
               " --generate sine --seconds 0.1 --block 100 --out " + quoted(wav));
  ASSERT_EQ(0u, run.exitCode) << run.err;
  plughost::AudioBuffer audio;
  std::string error;
  ASSERT_TRUE(plughost::readWavFile(wav, audio, error)) << error;
  const std::vector<float>& left = audio.channels.at(0);
  const auto first = std::find_if(left.begin(), left.end(), [](float s) { return s != 0.0f; });
  EXPECT_EQ(2200, first - left.begin());

  // A bare "#" is no index, not parameter 0.
  for (const char* parameter : {"Volume", "#"}) {
    writeText(folder + "bad.csv", std::string("0,") + parameter + ",0.5\n");
    const ChildRun bad =
        plughost("render " + quoted(gain) + " --automation " + quoted(folder + "bad.csv") +
                 " --generate sine --seconds 0.1 --out " + quoted(folder + "x.wav"));
    EXPECT_NE(0u, bad.exitCode) << parameter;
    EXPECT_EQ(1, bad.errLines()) << bad.err;
    EXPECT_NE(std::string::npos,
              bad.err.find("the plug-in has no parameter '" + std::string(parameter) + "'"))
        << bad.err;
  }
  EXPECT_FALSE(exists(folder + "x.wav"));
}

TEST_F(PlughostTest, MidiFileNotesStartAtTheirTimeThroughTheTempoMap) {
  // Type 0, 96 ticks per quarter, 240 BPM: note 69 from tick 96 (0.25 s,
  // frame 11025) to tick 192.
  writeText(folder + "notes.mid", std::string("MThd\0\0\0\x06\0\0\0\x01\0\x60"
                                              "MTrk\0\0\0\x13"
                                              "\0\xFF\x51\x03\x03\xD0\x90"
                                              "\x60\x90\x45\x64"
                                              "\x60\x80\x45\0"
                                              "\0\xFF\x2F\0",
                                              41));
  const std::string wav = folder + "midi.wav";
  const ChildRun run = plughost("render " + quoted(install("DemoSynth", "DSyn", 2, 0)) +
                                " --generate silence --seconds 0.75 --block 300 --midi " +
                                quoted(folder + "notes.mid") + " --out " + quoted(wav));
  ASSERT_EQ(0u, run.exitCode) << run.err;
  plughost::AudioBuffer audio;
  std::string error;
  ASSERT_TRUE(plughost::readWavFile(wav, audio, error)) << error;
  const std::vector<float>& left = audio.channels.at(0);
  const auto first = std::find_if(left.begin(), left.end(), [](float s) { return s != 0.0f; });
  ASSERT_NE(left.end(), first);
  EXPECT_GE(first - left.begin(), 11025);
  EXPECT_LE(first - left.begin(), 11027);

  writeText(folder + "cut.mid", std::string("MThd\0\0\0\x06\0\0\0\x01\0\x60MTrk\0\0\0\x15\0", 23));
  const ChildRun bad = plughost("render " + quoted(install("DemoSynth", "DSyn", 2, 0)) +
                                " --generate silence --seconds 0.1 --midi " +
                                quoted(folder + "cut.mid") + " --out " + quoted(folder + "x.wav"));
  EXPECT_NE(0u, bad.exitCode);
  EXPECT_EQ(1, bad.errLines()) << bad.err;
  EXPECT_NE(std::string::npos, bad.err.find("cut.mid': MIDI file is truncated")) << bad.err;
  EXPECT_FALSE(exists(folder + "x.wav"));
}

TEST_F(PlughostTest, AChainFeedsEachEffectWithTheOneBefore) {
  const std::string a = install("GainA", "GaiA", 0);
  const std::string b = install("GainB", "GaiB", 0);
  const std::string wav = folder + "chain.wav";
  // -6 dB in the first, -6 dB and inverted in the second: -0.25 in all.
  const ChildRun run = plughost("render " + quoted(a) + " --plugin " + quoted(b) +
                                " --set Gain=-6dB --set 2:Gain=-6dB --set 2:Polarity=Inverted"
                                " --generate sine --seconds 0.1 --out " +
                                quoted(wav));
  ASSERT_EQ(0u, run.exitCode) << run.err;
  EXPECT_NE(std::string::npos, run.out.find("through GainA -> GainB to ")) << run.out;
  plughost::AudioBuffer audio;
  std::string error;
  ASSERT_TRUE(plughost::readWavFile(wav, audio, error)) << error;
  const double level = std::pow(10.0, -12.0 / 20.0);
  EXPECT_NEAR(-level * 0.5 * std::sin(2 * 3.14159265358979 * 440 * 10 / 44100),
              audio.channels[1][10], 1e-6);

  const ChildRun bad =
      plughost("render " + quoted(a) + " --plugin " + quoted(b) +
               " --set 3:Gain=0.5 --generate sine --seconds 0.1 --out " + quoted(folder + "x.wav"));
  EXPECT_NE(0u, bad.exitCode);
  EXPECT_EQ(1, bad.errLines()) << bad.err;
  EXPECT_NE(std::string::npos, bad.err.find("bad setting '3:Gain=0.5': the chain has 2 effect(s)"))
      << bad.err;
  EXPECT_FALSE(exists(folder + "x.wav"));
}

// The CSV's rows as numbers: frequency, then one dB value per curve.
std::vector<std::vector<double>> csvRows(const std::string& text) {
  std::vector<std::vector<double>> rows;
  std::size_t start = text.find('\n') + 1;  // past the header
  while (start < text.size()) {
    const std::size_t end = text.find('\n', start);
    std::vector<double> row;
    const std::string line = text.substr(start, end - start);
    for (const char* p = line.c_str(); *p;) {
      char* next = nullptr;
      row.push_back(std::strtod(p, &next));
      p = *next == ',' ? next + 1 : next;
      if (next == p) break;
    }
    rows.push_back(row);
    start = end == std::string::npos ? text.size() : end + 1;
  }
  return rows;
}

TEST_F(PlughostTest, AnalyzeChartsTheFilterResponseAtEachCutoff) {
  const std::string filter = install("DemoFilter", "DFil", 1);
  const std::string png = folder + "response.png";
  const std::string csv = folder + "response.csv";
  const ChildRun run = plughost("analyze " + quoted(filter) +
                                " --set Resonance=0 --compare Cutoff=200Hz,0.8 --png " +
                                quoted(png) + " --csv " + quoted(csv));
  ASSERT_EQ(0u, run.exitCode) << run.err;
  EXPECT_NE(std::string::npos, run.out.find("Cutoff 200 Hz: latency ")) << run.out;
  EXPECT_NE(std::string::npos, run.out.find("Reported initial delay: 0 samples\n")) << run.out;

  // The PNG signature, then IHDR first: 13 bytes, 960 x 600.
  const std::string image = readBytes(png);
  ASSERT_GT(image.size(), 33u);
  EXPECT_EQ(std::string("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR\0\0\x03\xc0\0\0\x02\x58", 24),
            image.substr(0, 24));

  // A Butterworth lowpass at 200 Hz, as the bilinear transform makes it:
  // flat far below, -3 dB at the cutoff, -71 dB at 10 kHz; the second curve
  // lies higher.
  const std::string text = readBytes(csv);
  EXPECT_EQ(0u, text.find("frequency_hz,\"Cutoff 200 Hz\",\"Cutoff ")) << text;
  const auto rows = csvRows(text);
  ASSERT_EQ(241u, rows.size());
  const auto at = [&](double hz) {
    return *std::min_element(rows.begin(), rows.end(), [&](const auto& a, const auto& b) {
      return std::fabs(std::log(a[0] / hz)) < std::fabs(std::log(b[0] / hz));
    });
  };
  const auto lowpass = [](double hz) {
    const double pi = 3.14159265358979;
    const double ratio = std::tan(pi * hz / 44100) / std::tan(pi * 200 / 44100);
    return -10.0 * std::log10(1.0 + std::pow(ratio, 4));
  };
  for (double hz : {20.0, 200.0, 2000.0, 10000.0}) {
    const std::vector<double> row = at(hz);
    ASSERT_EQ(3u, row.size());
    EXPECT_NEAR(lowpass(row[0]), row[1], 0.05) << row[0] << " Hz";
  }
  EXPECT_GT(at(1000.0)[2], at(1000.0)[1] + 20.0);

  const std::string bare = folder + "Bare.dll";
  ASSERT_TRUE(CopyFileA((binFolder() + "kelbridge.dll").c_str(), bare.c_str(), FALSE));
  const std::string never = " --png " + quoted(folder + "never.png");
  const struct {
    std::string arguments;
    const char* message;
  } cases[] = {
      {"analyze " + quoted(filter), "--png is required"},
      {"analyze " + quoted(filter) + " --compare Nope=1,2" + never, "no parameter named 'Nope'"},
      {"analyze " + quoted(filter) + " --compare Cutoff=1,,2" + never, "bad --compare"},
      {"analyze " + quoted(install("DemoSynth", "DSyn", 2, 0)) + never,
       "'DemoSynth' has no audio inputs"},
      {"analyze " + quoted(bare) + never, "came up without its engine"},
  };
  for (const auto& c : cases) {
    const ChildRun bad = plughost(c.arguments);
    EXPECT_NE(0u, bad.exitCode) << c.arguments;
    EXPECT_EQ(1, bad.errLines()) << bad.err;
    EXPECT_NE(std::string::npos, bad.err.find(c.message)) << bad.err;
  }
  EXPECT_FALSE(exists(folder + "never.png"));
}

}  // namespace

namespace {

// A copy of the bridge whose export directory names another library: a VST 2
// plug-in that is not ours, with the same one export "main".
void writeForeignPlugin(const std::string& path) {
  std::string image = readBytes(binFolder() + "kelbridge.dll");
  const std::string ours("kelbridge.dll\0", 14);
  std::size_t found = 0;
  for (auto at = image.find(ours); at != std::string::npos; at = image.find(ours, at + 1)) {
    image.replace(at, ours.size(), std::string("otherplug.dll\0", 14));
    ++found;
  }
  ASSERT_GT(found, 0u);
  ASSERT_TRUE(wine_test::writeBytes(path, image)) << path;
}

// Names of the files in `folder` (ending in a backslash), sorted.
std::vector<std::string> filesIn(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
  } while (FindNextFileA(search, &found));
  FindClose(search);
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace

// Whatever lies at install's target stays byte for byte unless it is an
// earlier copy of the bridge for the same effect, or --force is given.
TEST_F(PlughostTest, InstallReplacesNothingOfTheUsersWithoutForce) {
  const std::string target = folder + "vst\\";
  ASSERT_TRUE(CreateDirectoryA(target.c_str(), nullptr));
  const std::string bridge = binFolder() + "kelbridge.dll";
  const std::string foreign = folder + "Other.dll";
  writeForeignPlugin(foreign);
  const std::string effectIni =
      "[KEL]\r\nGUID=" + guid + "\r\nProcessIndex=1\r\n[VST]\r\nName=X\r\n";
  const auto installAs = [&](const std::string& name, const std::string& plugin, int index) {
    return "install --plugin " + quoted(plugin) + " --dir " + quoted(folder + "vst") + " --name " +
           name + " --guid " + guid + " --id 4242 --process-index " + std::to_string(index);
  };
  const struct {
    const char* name;
    std::string dll;  // bytes at NAME.dll before, or "" for none
    std::string ini;  // bytes at NAME.ini before, or "" for none
    std::string message;
  } cases[] = {
      {"Text", "my own notes", "more notes",
       "'" + target + "Text.dll' is not a copy of the kelbridge plug-in: not replaced"},
      {"IniOnly", "", "plain text",
       "'" + target +
           "IniOnly.ini' is not an effect configuration (it has no [KEL] section): "
           "not replaced"},
      {"Foreign", readBytes(foreign), effectIni,
       "'" + target + "Foreign.dll' is not a copy of the kelbridge plug-in: not replaced"},
      {"Alone", readBytes(bridge), "",
       "'" + target + "Alone.dll' has no effect configuration '" + target +
           "Alone.ini' beside it: not replaced"},
      {"Another", readBytes(bridge), effectIni,
       "'" + target + "Another.ini' configures another effect (engine " + guid +
           ", process index 1): not replaced"},
  };
  for (const auto& c : cases) {
    const std::string dll = target + c.name + ".dll";
    const std::string ini = target + c.name + ".ini";
    if (!c.dll.empty()) writeText(dll, c.dll);
    if (!c.ini.empty()) writeText(ini, c.ini);
    const ChildRun run = plughost(installAs(c.name, bridge, 0));
    EXPECT_NE(0u, run.exitCode) << c.name;
    EXPECT_EQ("plughost: error: " + c.message + " (--force replaces it)\n", run.err) << c.name;
    EXPECT_EQ("", run.out) << c.name;
    EXPECT_EQ(c.dll, readBytes(dll)) << c.name;
    EXPECT_EQ(c.ini, readBytes(ini)) << c.name;
  }
  // uninstall keeps to the same rule: a DLL that is not the bridge stays.
  const ChildRun keep = plughost("uninstall --dir " + quoted(folder + "vst") + " --name Foreign");
  EXPECT_NE(0u, keep.exitCode);
  EXPECT_EQ("plughost: error: '" + target +
                "Foreign.dll' is not a copy of the kelbridge plug-in: nothing removed\n",
            keep.err);
  EXPECT_EQ(effectIni, readBytes(target + "Foreign.ini"));

  // Only the bridge itself is installed.
  const ChildRun other = plughost(installAs("Fresh", foreign, 0));
  EXPECT_NE(0u, other.exitCode);
  EXPECT_EQ("plughost: error: plug-in '" + foreign +
                "' is not the kelbridge plug-in: install copies only the bridge\n",
            other.err);
  EXPECT_FALSE(exists(target + "Fresh.dll"));

  // An earlier copy of the same effect is replaced; --force replaces the rest.
  ASSERT_EQ(0u, plughost(installAs("Another", bridge, 1)).exitCode);
  const ChildRun again = plughost(installAs("Another", bridge, 1) + " --channels-out 1");
  EXPECT_EQ(0u, again.exitCode) << again.err;
  EXPECT_NE(std::string::npos, readBytes(target + "Another.ini").find("ChannelsOut=1\r\n"));
  const ChildRun forced = plughost(installAs("Text", bridge, 0) + " --force");
  EXPECT_EQ(0u, forced.exitCode) << forced.err;
  EXPECT_EQ(readBytes(bridge), readBytes(target + "Text.dll"));
}

// An effect is the same effect whatever the letter case of its GUID or
// name; a copy of the other width is not silently replaced; and only the
// bridge, known by its version resource as well as its export table, is
// installed.
TEST_F(PlughostTest, InstallKnowsAnEffectByCaseWidthAndTheBridgeByItsResource) {
  const std::string target = folder + "vst\\";
  ASSERT_TRUE(CreateDirectoryA(target.c_str(), nullptr));
  const std::string bridge = binFolder() + "kelbridge.dll";
  std::string lower = guid;
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](char c) { return static_cast<char>(std::tolower(c)); });
  const auto installAs = [&](const std::string& name, const std::string& plugin,
                             const std::string& withGuid) {
    return "install --plugin " + quoted(plugin) + " --dir " + quoted(folder + "vst") + " --name " +
           name + " --guid " + withGuid + " --id 4242 --process-index 0";
  };
  ASSERT_EQ(0u, plughost(installAs("Bar", bridge, lower)).exitCode);
  const ChildRun upper = plughost(installAs("BAR", bridge, guid));
  ASSERT_EQ(0u, upper.exitCode) << upper.err;
  // The files take the name given, which the .ini holds, and the line names
  // them as they are on disk.
  EXPECT_EQ((std::vector<std::string>{"BAR.dll", "BAR.ini"}), filesIn(target));
  EXPECT_NE(std::string::npos,
            upper.out.find(" as " + target + "BAR.dll with " + target + "BAR.ini\n"))
      << upper.out;
  EXPECT_NE(std::string::npos, readBytes(target + "BAR.ini").find("Name=BAR\r\n"));

  // A copy of the other width at the name: refused with one line unless --force.
  const std::string other = target + "Wide.dll";
  std::string error;
  ASSERT_TRUE(writeOtherWidthCopy(bridge, other, &error)) << error;
  writeText(target + "Wide.ini", readBytes(target + "BAR.ini"));
  const std::string otherBytes = readBytes(other);
  const ChildRun wide = plughost(installAs("Wide", bridge, guid));
  EXPECT_NE(0u, wide.exitCode);
  const std::string width = sizeof(void*) == 8 ? "32" : "64";
  const std::string own = sizeof(void*) == 8 ? "64" : "32";
  EXPECT_EQ("plughost: error: '" + other + "' is the " + width +
                "-bit copy of this effect, which " + own +
                "-bit hosts cannot load in its place: not replaced (--force replaces it)\n",
            wide.err);
  EXPECT_EQ(otherBytes, readBytes(other));
  EXPECT_EQ(0u, plughost(installAs("Wide", bridge, guid) + " --force").exitCode);
  EXPECT_EQ(readBytes(bridge), readBytes(other));

  // The bridge's export table without its version resource is not the bridge.
  std::string image = readBytes(bridge);
  const std::string ours("k\0e\0l\0b\0r\0i\0d\0g\0e\0", 18);
  std::size_t found = 0;
  for (auto at = image.find(ours); at != std::string::npos; at = image.find(ours, at + 1)) {
    image.replace(at, ours.size(), std::string("o\0t\0h\0e\0r\0p\0l\0u\0g\0", 18));
    ++found;
  }
  ASSERT_GT(found, 0u);
  const std::string lookalike = folder + "lookalike.dll";
  ASSERT_TRUE(wine_test::writeBytes(lookalike, image));
  const ChildRun fake = plughost(installAs("Fake", lookalike, guid));
  EXPECT_NE(0u, fake.exitCode);
  EXPECT_EQ("plughost: error: plug-in '" + lookalike +
                "' is not the kelbridge plug-in: install copies only the bridge\n",
            fake.err);
  EXPECT_FALSE(exists(target + "Fake.dll"));
}

// render holds one block: its output streams to the file (or to stdout with
// "-"), so an hour takes no more memory than ten seconds.
TEST_F(PlughostTest, RenderStreamsToAFileOrStdoutInFlatMemory) {
  const std::string gain = install("DemoGain", "DGai", 0);
  const std::string wav = folder + "short.wav";
  const std::string render = "render " + quoted(gain) + " --generate noise --rate 8000 ";
  const ChildRun file = plughost(render + "--seconds 10 --format pcm16 --out " + quoted(wav));
  ASSERT_EQ(0u, file.exitCode) << file.err;
  const ChildRun piped = plughost(render + "--seconds 10 --format pcm16 --out -");
  ASSERT_EQ(0u, piped.exitCode) << piped.err;
  EXPECT_EQ("", piped.err.substr(0, piped.err.find("Rendered 10.00 s")));
  EXPECT_NE(std::string::npos, piped.err.find(" to the standard output, peak ")) << piped.err;
  // The test reads stdout as text; WAV bytes hold no CR before LF here only
  // by chance, so compare after the same reading.
  std::string expected = readBytes(wav);
  // A stream's header says its length is unknown: the RIFF and data sizes.
  expected.replace(4, 4, 4, '\xFF');
  expected.replace(40, 4, 4, '\xFF');
  expected.erase(std::remove(expected.begin(), expected.end(), '\r'), expected.end());
  EXPECT_EQ(expected.size(), piped.out.size());
  EXPECT_TRUE(expected == piped.out);

  const std::string longWav = folder + "long.wav";
  const ChildRun hour = plughost(render + "--seconds 3600 --format pcm16 --out " + quoted(longWav));
  ASSERT_EQ(0u, hour.exitCode) << hour.err;
  HANDLE handle =
      CreateFileA(longWav.c_str(), 0, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  LARGE_INTEGER size = {};
  GetFileSizeEx(handle, &size);
  CloseHandle(handle);
  EXPECT_EQ(44 + 3600LL * 8000 * 2 * 2, size.QuadPart);
  DeleteFileA(longWav.c_str());
  ASSERT_GT(file.peakPrivateBytes, 0u);
  std::printf("peak private memory: 10 s %.1f MiB, 1 h %.1f MiB (the hour's output: %.1f MiB)\n",
              file.peakPrivateBytes / 1048576.0, hour.peakPrivateBytes / 1048576.0,
              size.QuadPart / 1048576.0);
  EXPECT_LT(hour.peakPrivateBytes, file.peakPrivateBytes + 4 * 1048576);
}

// A plug-in that faults ends plughost with one line naming the exception and
// the call, nothing on stdout, status 5 and no temporary file left.
TEST_F(PlughostTest, APluginCrashGivesOneLineAndStatusFive) {
  wine_test::ScratchInstallation tests{"plughost-crash", "kel_test_engine.dll"};
  ASSERT_TRUE(tests.ready());
  const std::string effect = tests.addEffect("Crashing", fourChars("Cras"), 0, 2);
  ASSERT_FALSE(effect.empty());
  SetEnvironmentVariableA("KEL_TEST_ENGINE_SCRIPT",
                          "standalone crash-on-one-frame crash-in-set-parameter");
  const std::string out = " --out " + quoted(folder + "crash.wav");
  const struct {
    std::string arguments;
    const char* call;
  } cases[] = {
      {"render " + quoted(effect) + " --generate sine --seconds 0.01 --block 1" + out,
       "processReplacing"},
      {"render " + quoted(effect) + " --generate sine --seconds 0.01 --set #0=0.5" + out,
       "setParameter"},
      {"preset save " + quoted(effect) + " " + quoted(folder + "crash.fxp") + " --set #0=0.5",
       "setParameter"},
  };
  for (const auto& c : cases) {
    const ChildRun run = plughost(c.arguments);
    EXPECT_EQ(5u, run.exitCode) << c.arguments;
    EXPECT_EQ(std::string("plughost: error: the plug-in crashed (exception 0xC0000005, access "
                          "violation) in ") +
                  c.call + "\n",
              run.err)
        << c.arguments;
    EXPECT_EQ("", run.out) << c.arguments;
  }
  SetEnvironmentVariableA("KEL_TEST_ENGINE_SCRIPT", nullptr);
  for (const std::string& name : filesIn(folder)) {
    EXPECT_EQ(std::string::npos, name.find(".plughost-")) << name;
  }
}

// Paths beyond the ANSI code page reach plughost whole and come back whole;
// the bridge itself reads only ANSI paths, which install says before it
// writes.
TEST_F(PlughostTest, PathsOfAnyLanguageWork) {
  const std::string gain = install("DemoGain", "DGai", 0);
  const std::string wide = folder + "\xC3\xBCn\xC3\xAF \xE2\x98\x83\\";  // "ünï ☃"
  std::wstring wideFolder(wide.size() + 1, L'\0');
  wideFolder.resize(static_cast<std::size_t>(
      MultiByteToWideChar(CP_UTF8, 0, wide.c_str(), static_cast<int>(wide.size()), &wideFolder[0],
                          static_cast<int>(wideFolder.size()))));
  ASSERT_TRUE(CreateDirectoryW(wideFolder.c_str(), nullptr));
  const std::string in = wide + "in\xE2\x98\x83.wav";
  const std::string out = wide + "\xC3\x9F\xE2\x9C\x93.wav";
  const ChildRun first =
      plughost("render " + quoted(gain) + " --generate sine --seconds 0.1 --out " + quoted(in));
  ASSERT_EQ(0u, first.exitCode) << first.err;
  EXPECT_NE(std::string::npos, first.out.find(" to " + in + ", peak")) << first.out;
  const ChildRun second =
      plughost("render " + quoted(gain) + " --in " + quoted(in) + " --out " + quoted(out));
  ASSERT_EQ(0u, second.exitCode) << second.err;
  EXPECT_NE(std::string::npos, second.out.find(" to " + out + ", peak")) << second.out;

  // A copy of the bridge there loads, but cannot read its .ini.
  const auto wideOf = [](const std::string& text) {
    std::wstring result(text.size() + 1, L'\0');
    result.resize(static_cast<std::size_t>(
        MultiByteToWideChar(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &result[0],
                            static_cast<int>(result.size()))));
    return result;
  };
  ASSERT_TRUE(CopyFileW(wideOf(gain).c_str(), wideOf(wide + "DemoGain.dll").c_str(), FALSE));
  ASSERT_TRUE(CopyFileW(wideOf(folder + "DemoGain.ini").c_str(),
                        wideOf(wide + "DemoGain.ini").c_str(), FALSE));
  const ChildRun info = plughost("info " + quoted(wide + "DemoGain.dll"));
  EXPECT_NE(0u, info.exitCode);
  EXPECT_EQ("plughost: error: '" + wide +
                "DemoGain.dll' came up without its engine: the plug-in reads its folder through "
                "the system's ANSI code page (" +
                std::to_string(GetACP()) + "), which lacks characters of this path\n",
            info.err);

  const ChildRun refused = plughost("install --plugin " + quoted(binFolder() + "kelbridge.dll") +
                                    " --dir " + quoted(wide.substr(0, wide.size() - 1)) +
                                    " --name Fx --guid " + guid + " --id 4242 --process-index 0");
  EXPECT_NE(0u, refused.exitCode);
  EXPECT_EQ(1, refused.errLines()) << refused.err;
  EXPECT_NE(std::string::npos, refused.err.find("effect '" + wide +
                                                "Fx.dll' has characters beyond the system's ANSI "
                                                "code page"))
      << refused.err;
}

TEST_F(PlughostTest, BadValuesOfNewUsersGiveOneLine) {
  const std::string gain = install("DemoGain", "DGai", 0);
  const std::string never = " --out " + quoted(folder + "never.wav");
  const std::string sine = "render " + quoted(gain) + " --generate sine ";
  writeText(folder + "still.mid", std::string("MThd\0\0\0\x06\0\0\0\x01\0\x60"
                                              "MTrk\0\0\0\x0b"
                                              "\0\xFF\x51\x03\0\0\0"
                                              "\0\xFF\x2F\0",
                                              33));
  const struct {
    std::string arguments;
    std::string message;
  } cases[] = {
      {sine + "--seconds 1 --tempo nan" + never, "--tempo: 'nan' is not a finite number"},
      {sine + "--seconds 1e-9" + never, "1e-09 s at 44100 Hz is less than one frame"},
      {sine + "--seconds 1 --midi " + quoted(folder + "still.mid") + never,
       "'" + folder + "still.mid': MIDI file sets a tempo of 0 microseconds per quarter note"},
      {"preset frob", "unknown command 'preset frob' (use preset save or load)"},
      {"preset", "'preset' needs a command: use preset save or load"},
      {"info " + quoted(folder + "box.dll"), "'" + folder + "box.dll' is a folder, not a file"},
      {"install --plugin " + quoted(binFolder() + "kelbridge.dll") + " --dir " +
           quoted(folder + "fx") + " --name X --guid " + guid +
           " --id 1 --process-index 0 --channels-in 65",
       "--channels-in 65: channel counts must lie within 0..64"},
      {"analyze " + quoted(gain) + " --png " + quoted(folder + "x.out") + " --csv " +
           quoted(folder + "X.OUT"),
       "--png '" + folder + "x.out' and --csv '" + folder + "X.OUT' name the same file"},
  };
  ASSERT_TRUE(CreateDirectoryA((folder + "box.dll").c_str(), nullptr));
  for (const auto& c : cases) {
    const ChildRun run = plughost(c.arguments);
    EXPECT_NE(0u, run.exitCode) << c.arguments;
    EXPECT_EQ("plughost: error: " + c.message + "\n", run.err) << c.arguments;
  }
  // validate's status says no check ran (4), apart from a check that failed (1).
  const ChildRun missing = plughost("validate " + quoted(folder + "absent.dll"));
  EXPECT_EQ(4u, missing.exitCode) << missing.err;
  EXPECT_EQ("plughost: error: plug-in '" + folder + "absent.dll' does not exist\n", missing.err);
  EXPECT_EQ(4u, plughost("validate " + quoted(folder + "box.dll")).exitCode);
  const ChildRun version = plughost("--version");
  EXPECT_EQ(0u, version.exitCode) << version.err;
  EXPECT_EQ(0u, version.out.find("plughost ")) << version.out;
  EXPECT_FALSE(exists(folder + "never.wav"));
  EXPECT_FALSE(exists(folder + "x.out"));

  // Silence has no peak in dBFS; a synth after an effect cannot hear it.
  const ChildRun silent = plughost(
      "render " + quoted(gain) + " --plugin " + quoted(install("DemoSynth", "DSyn", 2, 0)) +
      " --generate silence --seconds 0.1 --out " + quoted(folder + "s.wav"));
  EXPECT_EQ(0u, silent.exitCode) << silent.err;
  EXPECT_NE(std::string::npos, silent.out.find("through DemoGain -> DemoSynth to ")) << silent.out;
  EXPECT_NE(std::string::npos, silent.out.find(", silent\n")) << silent.out;
  EXPECT_EQ(
      "plughost: warning: 'DemoSynth' takes no input: the output of 'DemoGain' before it is "
      "not heard\n",
      silent.err);
}
