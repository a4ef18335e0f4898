// widths: with --other-width PLUGHOST.exe,PLUGIN.dll (the other width's
// plughost and the same effect built for it), a state saved by either width
// restores in the other with the same parameters and the same sound. Each
// side runs as its own plughost would for a user: `preset save` with the
// same random values, then `preset load` and `render` of each saved file on
// both sides, compared line for line and sample for sample (within what two
// builds of one engine may differ by in the last bits).
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "formats/byte_file.h"
#include "formats/pe_width.h"
#include "formats/wav_io.h"
#include "platform/platform.h"
#include "support/utf8_path.h"
#include "validate/check_list.h"
#include "validate/validated_effect.h"

namespace plughost {
namespace {

constexpr int kMaxSetParameters = 32;
constexpr int kRate = 44100;
constexpr int kFrames = kRate / 4;
constexpr DWORD kProgramTimeoutMs = 120000;
// Two builds of one engine agree to the last bits, not necessarily in them.
constexpr float kTolerance = 1e-4f;

struct Side {
  std::string plughost;
  std::string plugin;
  int width;
};

// "C:\a\plughost.exe,C:\b\fx.dll": the split after ".exe,", so either path
// may hold commas of its own.
bool splitOtherWidth(const std::string& value, Side& other) {
  std::string lower = value;
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  const std::size_t at = lower.find(".exe,");
  if (at == std::string::npos) return false;
  other.plughost = value.substr(0, at + 4);
  other.plugin = value.substr(at + 5);
  other.width = 96 - kOwnWidth;
  return !other.plugin.empty();
}

std::string ownProgram() {
  std::wstring self(32768, L'\0');
  self.resize(GetModuleFileNameW(nullptr, &self[0], static_cast<DWORD>(self.size())));
  return utf8Text(self);
}

// Runs `program` with `arguments`, its output into `outputFile`; the exit
// status, or -1 when it could not start or did not end in time.
long runProgram(const std::string& program, const std::vector<std::string>& arguments,
                const std::string& outputFile) {
  std::wstring line = L"\"" + wideText(program) + L"\"";
  for (const std::string& argument : arguments) line += L" \"" + wideText(argument) + L"\"";
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  const platform::Handle output(CreateFileW(wideText(outputFile).c_str(), GENERIC_WRITE,
                                            FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr));
  if (!output.valid()) return -1;
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = output.get();
  startup.hStdError = output.get();
  PROCESS_INFORMATION started = {};
  if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                      &started)) {
    return -1;
  }
  const platform::Handle thread(started.hThread);
  const platform::Handle process(started.hProcess);
  if (WaitForSingleObject(process.get(), kProgramTimeoutMs) != WAIT_OBJECT_0) {
    TerminateProcess(process.get(), 1);
    return -1;
  }
  DWORD code = 0;
  GetExitCodeProcess(process.get(), &code);
  return static_cast<long>(code);
}

std::string fileText(const std::string& path) {
  std::vector<std::uint8_t> bytes;
  std::string error;
  readFileBytes(path, bytes, error);
  std::string text(bytes.begin(), bytes.end());
  text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
  return text;
}

// The parameter table `preset load` prints after its first line.
std::string parameterTable(const std::string& output) {
  const std::size_t line = output.find('\n');
  return line == std::string::npos ? "" : output.substr(line + 1);
}

std::string firstDifferentLine(const std::string& a, const std::string& b) {
  std::istringstream left(a), right(b);
  std::string x, y;
  while (true) {
    const bool moreLeft = static_cast<bool>(std::getline(left, x));
    const bool moreRight = static_cast<bool>(std::getline(right, y));
    if (!moreLeft && !moreRight) return "";
    if (!moreLeft) x.clear();
    if (!moreRight) y.clear();
    if (x != y) return "'" + x + "' against '" + y + "'";
  }
}

class WidthRun {
 public:
  WidthRun(CheckContext& context, const Side& own, const Side& other, const std::string& folder)
      : context_(context), own_(own), other_(other), folder_(folder) {}

  // False after a failure naming the step.
  bool run(const Side& side, std::vector<std::string> arguments, const std::string& output) {
    context_.calling("(%d-bit plughost %s)", side.width, arguments.front().c_str());
    const long status = runProgram(side.plughost, arguments, output);
    if (status == 0) return true;
    std::string said = fileText(output);
    if (!said.empty() && said.back() == '\n') said.pop_back();
    context_.fail(format("the %d-bit plughost's %s %s ended with status %ld: %s", side.width,
                         arguments[0].c_str(), arguments[1].c_str(), status, said.c_str()));
    return false;
  }

  // The state saved by `saver`, loaded and played on both sides.
  void compare(const Side& saver, const std::string& file, const std::vector<std::string>& notes) {
    std::string tables[2];
    AudioBuffer sounds[2];
    const Side* sides[2] = {&own_, &other_};
    const Side& restorer = saver.width == own_.width ? other_ : own_;
    const std::string what =
        format("a state saved by the %d-bit plug-in, restored in the %d-bit one,", saver.width,
               restorer.width);
    for (int i = 0; i < 2; ++i) {
      const std::string tag =
          folder_ + std::to_string(saver.width) + "-in-" + std::to_string(sides[i]->width);
      context_.calling("(%d-bit plughost preset load)", sides[i]->width);
      if (runProgram(sides[i]->plughost, {"preset", "load", sides[i]->plugin, file},
                     tag + ".txt") != 0) {
        // plughost says why: the plug-in did not take the program.
        std::string said = fileText(tag + ".txt");
        if (!said.empty() && said.back() == '\n') said.pop_back();
        context_.fail(what + (sides[i] == &restorer ? "" : " and even in its own width,") +
                      " is refused: " + said);
        return;
      }
      tables[i] = parameterTable(fileText(tag + ".txt"));
      std::vector<std::string> render = {
          "render",           sides[i]->plugin, "--preset",   file,       "--in",
          folder_ + "in.wav", "--out",          tag + ".wav", "--format", "float"};
      render.insert(render.end(), notes.begin(), notes.end());
      if (!run(*sides[i], render, tag + "-render.txt")) return;
      std::string error;
      if (!readWavFile(tag + ".wav", sounds[i], error)) {
        context_.fail("cannot read what the " + std::to_string(sides[i]->width) +
                      "-bit plughost rendered: " + error);
        return;
      }
    }
    const std::string lines = firstDifferentLine(tables[0], tables[1]);
    if (!lines.empty()) {
      context_.fail(
          what +
          format(" has other parameters (%d-bit against %d-bit): ", own_.width, other_.width) +
          lines);
      return;
    }
    if (sounds[0].channels.size() != sounds[1].channels.size() ||
        sounds[0].frames() != sounds[1].frames()) {
      context_.fail(what + " renders another length or channel count");
      return;
    }
    for (std::size_t c = 0; c < sounds[0].channels.size(); ++c) {
      for (std::size_t i = 0; i < sounds[0].frames(); ++i) {
        const float a = sounds[0].channels[c][i];
        const float b = sounds[1].channels[c][i];
        if (!(std::fabs(a - b) <= kTolerance * (1.0f + std::fabs(a)))) {
          context_.fail(what + format(" sounds different: frame %u of channel %u is %g in "
                                      "the %d-bit plug-in and %g in the %d-bit one",
                                      static_cast<unsigned>(i), static_cast<unsigned>(c),
                                      static_cast<double>(a), own_.width, static_cast<double>(b),
                                      other_.width));
          return;
        }
      }
    }
  }

 private:
  CheckContext& context_;
  const Side& own_;
  const Side& other_;
  const std::string folder_;
};

// A fresh folder of this process's own under the temporary folder.
std::string scratchFolder() {
  std::wstring temp(32768, L'\0');
  temp.resize(GetTempPathW(static_cast<DWORD>(temp.size()), &temp[0]));
  const std::string folder =
      utf8Text(temp) + format("plughost-widths-%lu-%lu\\", GetCurrentProcessId(), GetTickCount());
  return CreateDirectoryW(wideText(folder).c_str(), nullptr) ? folder : "";
}

void removeScratch(const std::string& folder) {
  for (const char* name :
       {"in.wav", "32.fxp", "64.fxp", "32-in-32.txt", "32-in-64.txt", "64-in-32.txt",
        "64-in-64.txt", "32-in-32.wav", "32-in-64.wav", "64-in-32.wav", "64-in-64.wav",
        "32-in-32-render.txt", "32-in-64-render.txt", "64-in-32-render.txt", "64-in-64-render.txt",
        "save-32.txt", "save-64.txt"}) {
    removeFile(folder + name);
  }
  RemoveDirectoryW(wideText(folder).c_str());
}

}  // namespace

void checkWidths(CheckContext& context) {
  Side other;
  if (context.otherWidth().empty()) {
    context.skip("no --other-width PLUGHOST.exe,PLUGIN.dll given");
    return;
  }
  if (!splitOtherWidth(context.otherWidth(), other)) {
    context.fail("--other-width wants PLUGHOST.exe,PLUGIN.dll, not '" + context.otherWidth() + "'");
    return;
  }
  const Side own{ownProgram(), context.plugin(), kOwnWidth};
  int parameters = 0;
  bool midi = false;
  {
    ValidatedEffect effect(context);
    parameters = std::min(effect.parameterCount(), kMaxSetParameters);
    midi = effect.takesMidi();
  }
  const std::string folder = scratchFolder();
  if (folder.empty()) {
    context.fail("cannot make a temporary folder for the two widths' files");
    return;
  }
  // The input: integer noise, the same bits for both sides.
  AudioBuffer input;
  input.sampleRate = kRate;
  input.resize(2, kFrames);
  std::uint32_t noise = context.random()();
  for (auto& channel : input.channels) {
    for (float& sample : channel) {
      noise = noise * 1664525u + 1013904223u;
      sample = static_cast<float>(static_cast<std::int32_t>(noise)) * (0.5f / 2147483648.0f);
    }
  }
  std::string error;
  if (!writeWavFile(folder + "in.wav", input, WavSampleFormat::kFloat32, error)) {
    context.fail("cannot write the test signal: " + error);
    removeScratch(folder);
    return;
  }
  std::vector<std::string> settings;
  for (int i = 0; i < parameters; ++i) {
    settings.push_back("--set");
    settings.push_back(format("#%d=%.6f", i, static_cast<double>(context.uniform(0.0f, 1.0f))));
  }
  const std::vector<std::string> notes =
      midi ? std::vector<std::string>{"--note", "60:100@0-0.2"} : std::vector<std::string>{};
  WidthRun run(context, own, other, folder);
  const Side* const savers[] = {&own, &other};
  for (const Side* saver : savers) {
    const std::string file = folder + std::to_string(saver->width) + ".fxp";
    std::vector<std::string> save = {"preset", "save", saver->plugin, file};
    save.insert(save.end(), settings.begin(), settings.end());
    if (!run.run(*saver, save, folder + "save-" + std::to_string(saver->width) + ".txt")) break;
    run.compare(*saver, file, notes);
    if (context.failures() > 0) break;
  }
  removeScratch(folder);
}

}  // namespace plughost
