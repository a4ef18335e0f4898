// plughost validate: runs every check of a plug-in, each in a child process
// of plughost (the hidden command validate-check), and reports PASS, FAIL or
// SKIP per check. Exit status 0 when nothing failed, 1 otherwise, 2 for a
// usage error.
#include <windows.h>

#include <CLI/CLI.hpp>

#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <sstream>

#include "formats/byte_file.h"
#include "formats/pe_width.h"
#include "hosting/host_context.h"
#include "support/command_error.h"
#include "support/file_policy.h"
#include "support/option_checks.h"
#include "validate/check_list.h"
#include "validate/check_result.h"
#include "validate/child_runner.h"
#include "validate/json_report.h"
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
  std::string plugin;
  int level = 1;
  std::uint32_t seed = 0;
  bool seedGiven = false;
  int timeoutMs = 20000;
  std::string json;
  std::string only;
  bool skipEditor = false;
  bool strict = false;
};

bool stderrIsTerminal() {
  return _isatty(_fileno(stderr)) != 0;
}

// A plug-in file plughost can never load gets its reason before any child
// runs: missing, not a PE file, or built for another processor.
void checkFile(const std::string& path) {
  const FileIdentity identity = identify(path);
  if (identity.folder) throw NoPluginToCheck("'" + path + "' is a folder, not a plug-in DLL");
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) throw NoPluginToCheck("plug-in '" + path + "' does not exist");
  std::fclose(file);
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

// The report's place is checked before any check runs, so a long run never
// ends in a report that cannot be written: not a folder, in a folder that
// exists and takes new files.
CLI::Validator writableReport() {
  return CLI::Validator(
      [](std::string& path) -> std::string {
        if (path.empty()) return "an empty file name";
        if (standardStreamNamed(path) != StandardStream::none) return "";
        const DWORD attributes = GetFileAttributesA(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
          return "'" + path + "' is a folder, not a file";
        }
        const std::size_t slash = path.find_last_of("\\/");
        const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
        const DWORD folderAttributes = GetFileAttributesA(folder.c_str());
        if (folderAttributes == INVALID_FILE_ATTRIBUTES ||
            !(folderAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
          return "the folder of '" + path + "' does not exist";
        }
        const std::string probe =
            (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) +
            format("~plughost-validate-%lu.tmp", GetCurrentProcessId());
        HANDLE file = CreateFileA(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
          return "cannot write into the folder of '" + path + "'";
        }
        CloseHandle(file);
        return "";
      },
      "FILE");
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
  const int children = name == "fuzz" ? fuzzChildren(options.level) : 1;
  const int timeoutMs = options.timeoutMs + plannedMs(name, options.level);
  for (int child = 0; child < children && result.failures.empty(); ++child) {
    const ChildOutcome outcome =
        runChild({"validate-check", options.plugin, "--check", name, "--level",
                  std::to_string(options.level), "--seed",
                  std::to_string(options.seed + static_cast<std::uint32_t>(child))},
                 timeoutMs);
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

int runValidate(ValidateOptions options) {
  const std::vector<std::string> checks = selectedChecks(options);
  checkFile(options.plugin);
  if (!options.json.empty()) {
    CommandFiles files;
    files.input(options.plugin);
    files.output(options.json, "--json");
    try {
      files.check();
    } catch (const CommandError& e) {
      throw CLI::ValidationError(e.what());  // a usage error: status 2
    }
  }
  if (!options.seedGiven) {
    options.seed = static_cast<std::uint32_t>(std::time(nullptr)) ^ GetCurrentProcessId();
  }
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
  std::printf("%s: %d of %u checks failed%s (level %d, seed %u)\n", options.plugin.c_str(), failed,
              ran, notRunCount ? format(", %d not run", notRunCount).c_str() : "", options.level,
              options.seed);
  if (!options.json.empty()) {
    const std::string report =
        jsonReport({options.plugin, options.level, options.seed, options.timeoutMs}, results);
    std::string error;
    if (!writeFileBytes(options.json, std::vector<std::uint8_t>(report.begin(), report.end()),
                        error)) {
      throw CommandError(error);
    }
  }
  if (failed && ran == 1 && results.front().name == "open") {
    throw CommandError(results.front().failures.front());
  }
  if (failed) throw CommandError(format("%d of %u checks failed", failed, ran));
  return 0;
}

// [child] Ends the process with the exception's code, the way Windows ends
// a crashed program, without a dialog or a debugger.
LONG WINAPI endWithExceptionCode(EXCEPTION_POINTERS* exception) {
  TerminateProcess(GetCurrentProcess(), exception->ExceptionRecord->ExceptionCode);
  return EXCEPTION_EXECUTE_HANDLER;
}

int runCheckChild(const std::string& plugin, const std::string& name, int level, std::uint32_t seed,
                  std::uintptr_t channelHandle) {
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
  SetUnhandledExceptionFilter(endWithExceptionCode);
  auto* channel = static_cast<ChildChannel*>(MapViewOfFile(
      reinterpret_cast<HANDLE>(channelHandle), FILE_MAP_ALL_ACCESS, 0, 0, sizeof(ChildChannel)));
  if (!channel) throw CommandError("validate-check: no channel to the validator");
  hostContext().logAutomation = false;
  CheckContext context(plugin, level, seed, channel);
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
  TerminateProcess(GetCurrentProcess(), 0);
  return 0;
}

}  // namespace

void addValidateCommand(CLI::App& app, int& status) {
  auto options = std::make_shared<ValidateOptions>();
  auto* validate =
      app.add_subcommand("validate", "Check that a VST 2 plug-in behaves as hosts need it to");
  validate->add_option("dll", options->plugin, "Plug-in DLL")->required();
  validate->add_option("--level", options->level, "Thoroughness, 1 (about 30 s) to 10")
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
  validate->add_flag("--strict", options->strict,
                     "Count every warning (subnormal output, a sample rate ignored, real-time "
                     "findings at level 1) as a failure");
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
  check->callback([child, &status] {
    status = runCheckChild(std::get<0>(*child), std::get<1>(*child), std::get<2>(*child),
                           std::get<3>(*child), std::get<4>(*child));
  });
}

}  // namespace plughost
