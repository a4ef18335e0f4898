// plughost validate: runs every check of a plug-in, each in a child process
// of plughost (the hidden command validate-check), and reports PASS, FAIL or
// SKIP per check. Several plug-ins are validated one after the other, each
// ending in its summary line; --engine validates an engine through a scratch
// installation of its own. Exit status 0 when nothing failed, 1 otherwise, 2
// for a usage error.
#include <windows.h>

#include <CLI/CLI.hpp>

#include <io.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <sstream>

#include "formats/byte_file.h"
#include "formats/pe_width.h"
#include "hosting/crash_guard.h"
#include "hosting/host_context.h"
#include "hosting/plugin_loader.h"
#include "install/file_checks.h"
#include "platform/platform.h"
#include "support/command_error.h"
#include "support/file_policy.h"
#include "support/option_checks.h"
#include "support/utf8_path.h"
#include "validate/check_list.h"
#include "validate/check_result.h"
#include "validate/child_runner.h"
#include "validate/json_report.h"
#include "validate/junit_report.h"
#include "validate/scratch_effect.h"
#include "validate/validate_command.h"
#include "validate/validated_effect.h"

namespace plughost {
namespace {

constexpr int kUsageError = 2;
// No check ran: the plug-in file is missing, a folder, not a Windows DLL or
// of the other width. Distinct from 1, which says the plug-in was checked.
constexpr int kNoPluginToCheck = 4;

// Why there is nothing to check; validate ends with kNoPluginToCheck.
class NoPluginToCheck : public CommandError {
 public:
  using CommandError::CommandError;
};

struct ValidateOptions {
  std::string plugin;  // the one being validated
  int level = 1;
  std::uint32_t seed = 0;
  bool seedGiven = false;
  int timeoutMs = 20000;
  std::string json;
  std::string only;
  bool skipEditor = false;
  bool strict = false;
  // Several plug-ins, an engine through a scratch installation, CI output.
  std::vector<std::string> plugins;
  std::string junit;
  ScratchRequest engine;   // engine.engine empty: none
  std::string otherWidth;  // --other-width PLUGHOST.exe,PLUGIN.dll
};

// One plug-in's run: its results and what its summary line said.
struct PluginRun {
  std::vector<CheckResult> results;
  int failed = 0;
  unsigned ran = 0;
};

bool stderrIsTerminal() {
  return _isatty(_fileno(stderr)) != 0;
}

// A plug-in file plughost can never load gets its reason before any child
// runs: missing, not a PE file, or built for another processor.
void checkFile(const std::string& path) {
  if (identify(path).folder) throw NoPluginToCheck("'" + path + "' is a folder, not a plug-in DLL");
  if (!isFile(path)) throw NoPluginToCheck("plug-in '" + path + "' does not exist");
  const std::uint16_t machine = peMachine(path);
  if (machine == 0) throw NoPluginToCheck("'" + path + "' is not a Windows DLL");
  const std::uint16_t ownMachine = kOwnWidth == 64 ? kMachineAmd64 : kMachineI386;
  if (machine != ownMachine) {
    throw NoPluginToCheck("'" + path + "' is " +
                          (machine == kMachineAmd64 ? std::string("a 64-bit DLL")
                           : machine == kMachineI386
                               ? std::string("a 32-bit DLL")
                               : format("built for machine 0x%04X", machine)) +
                          "; this plughost is " + std::to_string(kOwnWidth) +
                          "-bit and loads plug-ins of its own width");
  }
}

// The level as the user typed it: one line with the range for anything else.
CLI::Validator levelRange() {
  return CLI::Validator(
      [](std::string& text) -> std::string {
        char* end = nullptr;
        const long level = std::strtol(text.c_str(), &end, 10);
        if (text.empty() || *end != '\0' || level < 1 || level > 10) {
          return "must be a whole number from 1 to 10, not '" + text + "'";
        }
        return "";
      },
      "1-10");
}

// True when `path` (UTF-8) names an existing folder.
bool isFolder(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(wideText(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The report's place is checked before any check runs, so a long run never
// ends in a report that cannot be written: not a folder, in a folder that
// exists and takes new files. Paths of any language, as every command takes.
CLI::Validator writableReport() {
  return CLI::Validator(
      [](std::string& path) -> std::string {
        if (path.empty()) return "an empty file name";
        if (standardStreamNamed(path) != StandardStream::none) return "";
        if (isFolder(path)) return "'" + path + "' is a folder, not a file";
        const std::size_t slash = path.find_last_of("\\/");
        const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
        if (!isFolder(folder)) return "the folder of '" + path + "' does not exist";
        const std::string probe =
            (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) +
            format("~plughost-validate-%lu.tmp", GetCurrentProcessId());
        const platform::Handle file(platform::createTemporaryFile(wideText(probe).c_str()));
        if (!file.valid()) return "cannot write into the folder of '" + path + "'";
        return "";
      },
      "FILE");
}

// An open that hung or crashed before the effect came up: a kelbridge effect
// whose registry entry is missing stops on the bridge's error box. Its line
// then says why, as `plughost info` does.
void explainOpenFailure(const std::string& plugin, CheckResult& open) {
  if (open.verdict != Verdict::Fail || figure(open, "cold_open_ms") != 0.0) return;
  const std::string reason = registryReasonBeforeLoading(plugin);
  if (!reason.empty()) open.failures.front() += "; it comes up without its engine: " + reason;
}

// --other-width: the other width's plughost and the same effect built for
// it, both existing files of that width.
CLI::Validator otherWidthFiles() {
  return CLI::Validator(
      [](std::string& value) -> std::string {
        std::string lower = value;
        for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        const std::size_t at = lower.find(".exe,");
        if (at == std::string::npos || at + 5 >= value.size()) {
          return "wants PLUGHOST.exe,PLUGIN.dll, not '" + value + "'";
        }
        const int otherWidth = 96 - kOwnWidth;
        for (const std::string& file : {value.substr(0, at + 4), value.substr(at + 5)}) {
          if (!isFile(file)) return "'" + file + "' does not exist";
          if (peWidth(file) != otherWidth) {
            return "'" + file + "' is not a " + std::to_string(otherWidth) + "-bit program or DLL";
          }
        }
        return "";
      },
      "PLUGHOST.exe,PLUGIN.dll");
}

std::vector<std::string> selectedChecks(const ValidateOptions& options) {
  std::vector<std::string> names;
  if (options.only.empty()) {
    for (const CheckInfo& check : allChecks()) names.push_back(check.name);
  } else {
    std::istringstream list(options.only);
    std::string name;
    while (std::getline(list, name, ',')) {
      if (!findCheck(name)) {
        std::string known;
        for (const CheckInfo& check : allChecks())
          known += std::string(known.empty() ? "" : ", ") + check.name;
        throw CLI::ValidationError("--only",
                                   "unknown check '" + name + "' (checks: " + known + ")");
      }
      names.push_back(name);
    }
  }
  return names;
}

CheckResult runCheck(const ValidateOptions& options, const std::string& name) {
  CheckResult result;
  result.name = name;
  const double start = nowSeconds();
  if (name == "editor" && options.skipEditor) {
    result.verdict = Verdict::Skip;
    result.skipReason = "--skip-editor";
    return result;
  }
  // Told without a child process: it would load nothing.
  if (name == "widths" && options.otherWidth.empty()) {
    result.verdict = Verdict::Skip;
    result.skipReason = "no --other-width PLUGHOST.exe,PLUGIN.dll given";
    return result;
  }
  const int children = name == "fuzz" ? fuzzChildren(options.level) : 1;
  const int timeoutMs = options.timeoutMs + plannedMs(name, options.level);
  for (int child = 0; child < children && result.failures.empty(); ++child) {
    std::vector<std::string> arguments = {
        "validate-check", options.plugin,
        "--check",        name,
        "--level",        std::to_string(options.level),
        "--seed",         std::to_string(options.seed + static_cast<std::uint32_t>(child))};
    if (name == "widths" && !options.otherWidth.empty()) {
      arguments.push_back("--other-width");
      arguments.push_back(options.otherWidth);
    }
    const ChildOutcome outcome = runChild(arguments, timeoutMs);
    addOutcome(result, outcome, timeoutMs);
  }
  if (options.strict) treatWarningsAsFailures(result);
  result.seconds = nowSeconds() - start;
  return result;
}

void printResult(const CheckResult& result) {
  std::printf("%s\n", resultLine(result).c_str());
  for (std::size_t i = 1; i < result.failures.size(); ++i) {
    std::printf("      also: %s\n", result.failures[i].c_str());
  }
  for (const std::string& warning : result.warnings) {
    std::printf("      warning: %s\n", warning.c_str());
  }
  for (const std::string& note : result.notes) std::printf("      note: %s\n", note.c_str());
  std::fflush(stdout);
}

// Runs the checks of `options.plugin` and prints their lines and the summary
// line, which names the plug-in as `shownAs`.
PluginRun validatePlugin(const ValidateOptions& options, const std::vector<std::string>& checks,
                         const std::string& shownAs) {
  std::vector<CheckResult> results;
  int failed = 0;
  int notRunCount = 0;
  bool slow = false;
  for (std::size_t i = 0; i < checks.size(); ++i) {
    if (slow && processesLongAudio(checks[i])) {
      results.push_back(notRun(checks[i], "the effect processes slower than real time (cpu)"));
      printResult(results.back());
      ++notRunCount;
      continue;
    }
    if (stderrIsTerminal()) {
      std::fprintf(stderr, "validate: %s (%u of %u)...\r", checks[i].c_str(),
                   static_cast<unsigned>(i + 1), static_cast<unsigned>(checks.size()));
    }
    results.push_back(runCheck(options, checks[i]));
    if (checks[i] == "open") explainOpenFailure(options.plugin, results.back());
    if (stderrIsTerminal()) std::fprintf(stderr, "%60s\r", "");
    printResult(results.back());
    failed += results.back().verdict == Verdict::Fail;
    slow = slow || figure(results.back(), "slower_than_realtime") > 0.0;
    // The effect does not open at all (no open time): nothing else can run.
    if (i == 0 && checks[i] == "open" && failed && figure(results[0], "cold_open_ms") == 0.0) {
      for (std::size_t rest = 1; rest < checks.size(); ++rest, ++notRunCount) {
        results.push_back(notRun(checks[rest], "the effect does not open"));
        printResult(results.back());
      }
      break;
    }
  }
  const unsigned ran = static_cast<unsigned>(results.size() - notRunCount);
  std::printf("%s: %d of %u checks failed%s (level %d, seed %u)\n", shownAs.c_str(), failed, ran,
              notRunCount ? format(", %d not run", notRunCount).c_str() : "", options.level,
              options.seed);
  std::fflush(stdout);
  return {std::move(results), failed, ran};
}

void writeReport(const std::string& path, const std::string& report) {
  std::string error;
  if (!writeFileBytes(path, std::vector<std::uint8_t>(report.begin(), report.end()), error)) {
    throw CommandError(error);
  }
}

int runValidate(ValidateOptions options) {
  const std::vector<std::string> checks = selectedChecks(options);
  const bool viaEngine = !options.engine.engine.empty();
  if (viaEngine == !options.plugins.empty()) {
    throw CLI::ValidationError("validate", viaEngine
                                               ? "give either plug-in DLLs or --engine, not both"
                                               : "give a plug-in DLL or --engine ENGINE.dll");
  }
  if (options.plugins.size() > 1 && !options.json.empty()) {
    throw CLI::ValidationError("--json", "holds one plug-in's report: use --junit for several");
  }
  for (const std::string& plugin : options.plugins) checkFile(plugin);
  // No report may land on a plug-in, the engine or the other report.
  if (!options.json.empty() || !options.junit.empty()) {
    CommandFiles files;
    for (const std::string& plugin : options.plugins) files.input(plugin);
    if (viaEngine) files.input(options.engine.engine);
    if (!options.json.empty()) files.output(options.json, "--json");
    if (!options.junit.empty()) files.output(options.junit, "--junit");
    try {
      files.check();
    } catch (const CommandError& e) {
      throw CLI::ValidationError(e.what());  // a usage error: status 2
    }
  }
  if (!options.seedGiven) {
    options.seed = static_cast<std::uint32_t>(std::time(nullptr)) ^ GetCurrentProcessId();
  }
  // Lives until every check's child has ended, then removes itself.
  std::unique_ptr<ScratchEffect> scratch;
  if (viaEngine) {
    scratch = std::make_unique<ScratchEffect>(options.engine);
    options.plugins = {scratch->plugin()};
  }
  std::vector<ValidatedPlugin> validated;
  std::vector<PluginRun> runs;
  for (const std::string& plugin : options.plugins) {
    options.plugin = plugin;
    const std::string shownAs = viaEngine ? options.engine.engine : plugin;
    runs.push_back(validatePlugin(options, checks, shownAs));
    validated.push_back(
        {{shownAs, options.level, options.seed, options.timeoutMs}, runs.back().results});
  }
  scratch.reset();
  if (!options.json.empty())
    writeReport(options.json, jsonReport(validated[0].settings, runs[0].results));
  if (!options.junit.empty()) writeReport(options.junit, junitReport(validated));

  if (runs.size() > 1) {
    int failedPlugins = 0;
    for (const PluginRun& run : runs) failedPlugins += run.failed != 0;
    if (failedPlugins) {
      throw CommandError(format("%d of %u plug-ins failed validation", failedPlugins,
                                static_cast<unsigned>(runs.size())));
    }
    return 0;
  }
  const PluginRun& run = runs.front();
  if (run.failed && run.ran == 1 && run.results.front().name == "open") {
    throw CommandError(run.results.front().failures.front());
  }
  if (run.failed) throw CommandError(format("%d of %u checks failed", run.failed, run.ran));
  return 0;
}

// [child, any thread] Leaves the thread and what ended the child in the
// channel, then ends with the exception's code, the way Windows ends a
// crashed program, without a dialog or a debugger (or with the crash status
// when the plug-in ended the process itself).
void reportToValidator(const PluginFault& fault, void* context) {
  auto* channel = static_cast<ChildChannel*>(context);
  channel->endedThread = fault.thread;
  std::snprintf(channel->ending, sizeof channel->ending, "%s", fault.what);
  platform::endProcess(fault.exceptionCode ? fault.exceptionCode : kPluginCrashedStatus);
}

int runCheckChild(const std::string& plugin, const std::string& name, int level, std::uint32_t seed,
                  std::uintptr_t channelHandle, const std::string& otherWidth) {
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
  // The view stays for the process's life: it ends without unwinding.
  static platform::MappedView view;
  auto* channel = static_cast<ChildChannel*>(view.map(channelHandle, sizeof(ChildChannel)));
  if (!channel) throw CommandError("validate-check: no channel to the validator");
  setFaultReporter(reportToValidator, channel);
  hostContext().logAutomation = false;
  CheckContext context(plugin, level, seed, channel);
  context.setOtherWidth(otherWidth);
  const CheckInfo* check = findCheck(name);
  if (!check) throw CommandError("validate-check: unknown check '" + name + "'");
  try {
    check->run(context);
  } catch (const OpenFailure& e) {
    context.fail(e.what());
  } catch (const std::exception& e) {
    context.fail(std::string("the check stopped: ") + e.what());
  }
  // The plug-in may have left threads behind: end here, whatever they do.
  std::fflush(nullptr);
  platform::endProcess(0);
}

}  // namespace

void addValidateCommand(CLI::App& app, int& status) {
  auto options = std::make_shared<ValidateOptions>();
  auto* validate =
      app.add_subcommand("validate", "Check that a VST 2 plug-in behaves as hosts need it to");
  validate->add_option("dll", options->plugins, "Plug-in DLLs, validated one after the other");
  validate
      ->add_option("--level", options->level, "Thoroughness, 1 (about 10 s) to 10 (about a minute)")
      ->check(levelRange());
  validate
      ->add_option("--seed", options->seed, "Seed of the random choices (default: from the clock)")
      ->check(wholeNumber())
      ->each([options](const std::string&) { options->seedGiven = true; });
  validate
      ->add_option("--timeout-ms", options->timeoutMs,
                   "Time after which a check counts as hung (default 20000)")
      ->check(wholeNumber())
      ->check(CLI::Range(100, 3600000));
  validate->add_option("--json", options->json, "Write the report to this JSON file")
      ->check(writableReport());
  validate->add_option("--only", options->only, "Run only these checks (comma-separated)");
  validate->add_flag("--skip-editor", options->skipEditor, "Do not open the editor");
  validate
      ->add_option("--other-width", options->otherWidth,
                   "The other width's plughost and this effect built for it: a state saved by "
                   "either restores in the other with the same parameters and sound")
      ->check(otherWidthFiles());
  validate->add_flag("--strict", options->strict,
                     "Count every warning (subnormal output, a sample rate ignored, real-time "
                     "findings at level 1) as a failure");
  // CI: a JUnit report, and an engine validated without installing it.
  validate->add_option("--junit", options->junit, "Write the report to this JUnit XML file")
      ->check(writableReport());
  auto* engine = validate->add_option(
      "--engine", options->engine.engine,
      "Validate this engine DLL through a scratch installation made for the run and removed "
      "after it");
  validate
      ->add_option("--process-index", options->engine.processIndex,
                   "With --engine: the engine's processor (default 0)")
      ->check(wholeNumber())
      ->needs(engine);
  validate
      ->add_option("--channels-in", options->engine.channelsIn,
                   "With --engine: input channels (default 2)")
      ->check(wholeNumber())
      ->needs(engine);
  validate
      ->add_option("--channels-out", options->engine.channelsOut,
                   "With --engine: output channels (default 2)")
      ->check(wholeNumber())
      ->needs(engine);
  validate
      ->add_option("--bridge", options->engine.bridge,
                   "With --engine: the plug-in to install (default: kelbridge.dll beside "
                   "plughost)")
      ->needs(engine);
  validate->callback([options, &status] {
    try {
      status = runValidate(*options);
    } catch (const CLI::ValidationError& e) {
      std::fprintf(stderr, "plughost: error: %s\n", e.what());
      status = kUsageError;
    } catch (const NoPluginToCheck& e) {
      std::fprintf(stderr, "plughost: error: %s\n", e.what());
      status = kNoPluginToCheck;
    }
  });

  // The child side: one check in this process. Not for users, so hidden.
  auto child =
      std::make_shared<std::tuple<std::string, std::string, int, std::uint32_t, std::uintptr_t>>();
  auto* check = app.add_subcommand("validate-check", "")->group("");
  check->add_option("dll", std::get<0>(*child))->required();
  check->add_option("--check", std::get<1>(*child))->required();
  check->add_option("--level", std::get<2>(*child))->required();
  check->add_option("--seed", std::get<3>(*child))->required();
  check->add_option("--channel", std::get<4>(*child))->required();
  auto otherWidth = std::make_shared<std::string>();
  check->add_option("--other-width", *otherWidth);
  check->callback([child, otherWidth, &status] {
    status = runCheckChild(std::get<0>(*child), std::get<1>(*child), std::get<2>(*child),
                           std::get<3>(*child), std::get<4>(*child), *otherWidth);
  });
}

}  // namespace plughost
