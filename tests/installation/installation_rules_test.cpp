// The installation's rules against the shared table of cases, which the
// installer generator's test reads too, and the settings file and registry
// entry as the plug-in and plughost find them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "installation/effect_settings.h"
#include "installation/engine_registration.h"
#include "installation/installation_rules.h"
#include "platform_fake.h"

namespace {

struct Case {
  int line;
  std::string kind;
  std::string value;
  std::string verdict;
};

// "\xHH" stands for one byte.
std::string unescaped(const std::string& text) {
  std::string bytes;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text.compare(i, 2, "\\x") == 0 && i + 4 <= text.size()) {
      bytes += static_cast<char>(std::stoi(text.substr(i + 2, 2), nullptr, 16));
      i += 3;
    } else {
      bytes += text[i];
    }
  }
  return bytes;
}

std::vector<Case> tableCases() {
  std::ifstream file(KEL_INSTALLATION_CASES);
  std::vector<Case> cases;
  std::string line;
  for (int number = 1; std::getline(file, line); ++number) {
    if (line.empty() || line[0] == '#') continue;
    const auto first = line.find('\t');
    const auto second = line.find('\t', first + 1);
    cases.push_back({number, line.substr(0, first),
                     unescaped(line.substr(first + 1, second - first - 1)),
                     line.substr(second + 1)});
  }
  return cases;
}

// The verdict of the module for one case, in the table's words.
std::string verdictOf(const Case& c) {
  if (c.kind == "name") return installation::effectNameProblem(c.value).empty() ? "ok" : "refused";
  if (c.kind == "guid") return installation::guidProblem(c.value).empty() ? "ok" : "refused";
  if (c.kind == "id") {
    std::int32_t id = 0;
    std::string error;
    return installation::parseUniqueId(c.value, id, error) ? std::to_string(id) : "refused";
  }
  if (c.kind == "channels") {
    return installation::channelCountProblem(std::stoll(c.value)).empty() ? "ok" : "refused";
  }
  if (c.kind == "index") {
    return installation::processIndexProblem(std::stoll(c.value)).empty() ? "ok" : "refused";
  }
  if (c.kind == "vendor") {
    return installation::vendorNameProblem(c.value).empty() ? "ok" : "refused";
  }
  if (c.kind == "vendorversion") {
    std::int32_t version = -1;
    std::string error;
    return installation::parseVendorVersion(c.value, version, error) ? std::to_string(version)
                                                                     : "refused";
  }
  return "unknown kind " + c.kind;
}

TEST(InstallationRules, EveryCaseOfTheSharedTable) {
  const std::vector<Case> cases = tableCases();
  ASSERT_GT(cases.size(), 50u) << KEL_INSTALLATION_CASES;
  for (const Case& c : cases) {
    EXPECT_EQ(c.verdict, verdictOf(c))
        << "line " << c.line << ": " << c.kind << " '" << c.value << "'";
  }
}

TEST(InstallationRules, RefusalsSayWhy) {
  std::int32_t id = 0;
  std::string error;
  EXPECT_EQ("is a name Windows reserves for a device", installation::effectNameProblem("Com3.x"));
  EXPECT_EQ("is longer than 63 characters", installation::effectNameProblem(std::string(64, 'n')));
  EXPECT_EQ("holds '|', which file names cannot", installation::effectNameProblem("a|b"));
  EXPECT_EQ("is not a GUID in braces like {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}",
            installation::guidProblem("notaguid"));
  EXPECT_FALSE(installation::parseUniqueId("0", id, error));
  EXPECT_EQ("ID 0 is no ID: hosts tell effects apart by it", error);
  EXPECT_EQ("the process index must not be negative", installation::processIndexProblem(-1));
  EXPECT_EQ("starts or ends with a space", installation::vendorNameProblem("Acme "));
  std::int32_t version = 0;
  EXPECT_FALSE(installation::parseVendorVersion("1.2", version, error));
  EXPECT_EQ("bad vendor version '1.2': give a whole number within 0..2147483647", error);
}

TEST(EffectSettingsFile, PathIsTheLibraryPathUpToItsLastDotPlusIni) {
  const struct {
    const char* library;
    std::size_t size;
    const char* expected;  // "" when it does not fit
  } cases[] = {
      {"C:\\Fx\\Gain.dll", 64, "C:\\Fx\\Gain.ini"},
      {"C:\\Fx\\Gain.v2.dll", 64, "C:\\Fx\\Gain.v2.ini"},
      {"C:\\My.Fx\\Gain", 64, "C:\\My.ini"},  // the last dot, even in a folder
      {"C:\\Fx\\Gain", 64, "C:\\Fx\\Gain.ini"},
      {"Gain.dll", 9, "Gain.ini"},  // exactly fits with its NUL
      {"Gain.dll", 8, ""},
  };
  for (const auto& c : cases) {
    char out[72];
    std::fill(out, out + sizeof out, '#');
    const bool fits = installation::settingsPathFor(c.library, out, c.size);
    EXPECT_EQ(c.expected[0] != '\0', fits) << c.library;
    EXPECT_STREQ(c.expected, out) << c.library;
    EXPECT_EQ('#', out[c.size]) << c.library << ": wrote past its size";
    if (fits) {
      EXPECT_EQ(c.expected, installation::settingsPathFor(std::string(c.library)));
    }
  }
}

TEST(EffectSettingsFile, WrittenTextReadsBackAsTheSameSettings) {
  installation::EffectSettings written;
  std::snprintf(written.guid, sizeof written.guid, "{6B656C62-7269-6467-6520-64656D6F0001}");
  std::snprintf(written.name, sizeof written.name, "DemoGain");
  written.channelsIn = 1;
  written.channelsOut = 2;
  written.uniqueId = -1;
  written.processIndex = 3;
  EXPECT_EQ(
      "[KEL]\r\nGUID={6B656C62-7269-6467-6520-64656D6F0001}\r\nChannelsIn=1\r\nChannelsOut=2\r\n"
      "ID=-1\r\nProcessIndex=3\r\n\r\n[VST]\r\nName=DemoGain\r\n",
      installation::settingsText(written));
  // The vendor keys follow the name only when given, so every other file is
  // written as before.
  installation::EffectSettings vendor = written;
  std::snprintf(vendor.vendor, sizeof vendor.vendor, "Acme Audio");
  vendor.vendorVersion = 10203;
  EXPECT_EQ(installation::settingsText(written) + "Vendor=Acme Audio\r\nVendorVersion=10203\r\n",
            installation::settingsText(vendor));

  // The same file as the platform's profile calls see it, counts below zero
  // read as 0.
  fakeplatform::reset();
  const char* file = "C:\\Fx\\DemoGain.ini";
  EXPECT_FALSE(installation::hasEffectSettings(file));
  fakeplatform::setProfileString(file, "KEL", "GUID", written.guid);
  fakeplatform::setProfileString(file, "KEL", "ChannelsIn", "-4");
  fakeplatform::setProfileString(file, "KEL", "ChannelsOut", "2");
  fakeplatform::setProfileString(file, "KEL", "ID", "-1");
  fakeplatform::setProfileString(file, "KEL", "ProcessIndex", "3");
  fakeplatform::setProfileString(file, "VST", "Name", "DemoGain");
  EXPECT_TRUE(installation::hasEffectSettings(file));
  installation::EffectSettings read = installation::readEffectSettings(file);
  EXPECT_STREQ("", read.vendor);
  EXPECT_EQ(0, read.vendorVersion);
  fakeplatform::setProfileString(file, "VST", "Vendor", "Acme Audio");
  fakeplatform::setProfileString(file, "VST", "VendorVersion", "10203");
  read = installation::readEffectSettings(file);
  EXPECT_STREQ("Acme Audio", read.vendor);
  EXPECT_EQ(10203, read.vendorVersion);
  EXPECT_STREQ(written.guid, read.guid);
  EXPECT_STREQ(written.name, read.name);
  EXPECT_EQ(0, read.channelsIn);
  EXPECT_EQ(2, read.channelsOut);
  EXPECT_EQ(-1, read.uniqueId);
  EXPECT_EQ(3, read.processIndex);
}

TEST(EngineRegistration, PathNameUnderSoftwareKelAndTheGuid) {
  fakeplatform::reset();
  const std::string guid = "{6B656C62-7269-6467-6520-64656D6F0001}";
  EXPECT_EQ("Software\\KEL\\" + guid, installation::engineKeyName(guid));
  char path[32];
  std::fill(path, path + sizeof path, '#');
  EXPECT_EQ(installation::EngineLookup::noKey,
            installation::findEnginePath(guid.c_str(), path, sizeof path));
  EXPECT_STREQ("", path);
  fakeplatform::addRegistryKey(installation::engineKeyName(guid));
  EXPECT_EQ(installation::EngineLookup::noValue,
            installation::findEnginePath(guid.c_str(), path, sizeof path));
  fakeplatform::setRegistryValue(installation::engineKeyName(guid), "PathName",
                                 "C:\\Engines\\demo.dll");
  EXPECT_EQ(installation::EngineLookup::found,
            installation::findEnginePath(guid.c_str(), path, sizeof path));
  EXPECT_STREQ("C:\\Engines\\demo.dll", path);
  // A value longer than the buffer is no path at all.
  fakeplatform::setRegistryValue(installation::engineKeyName(guid), "PathName",
                                 std::string(40, 'x'));
  EXPECT_EQ(installation::EngineLookup::noValue,
            installation::findEnginePath(guid.c_str(), path, sizeof path));
  EXPECT_EQ(0, fakeplatform::openRegistryKeys());
}

// What register writes, the bridge's lookup reads; unregister takes the
// GUID's key alone, and a second unregister finds nothing to remove.
TEST(EngineRegistration, RegisterWritesWhatTheLookupReadsAndUnregisterRemovesOnlyItsKey) {
  fakeplatform::reset();
  const std::string guid = "{6B656C62-7269-6467-6520-64656D6F0002}";
  const std::string other = "{6B656C62-7269-6467-6520-64656D6F0003}";
  ASSERT_EQ(0, installation::registerEnginePath(guid, "C:\\E\\one.dll"));
  ASSERT_EQ(0, installation::registerEnginePath(other, "C:\\E\\two.dll"));
  char path[64];
  ASSERT_EQ(installation::EngineLookup::found,
            installation::findEnginePath(guid.c_str(), path, sizeof path));
  EXPECT_STREQ("C:\\E\\one.dll", path);
  EXPECT_EQ(0, installation::unregisterEngine(guid));
  EXPECT_EQ(installation::EngineLookup::noKey,
            installation::findEnginePath(guid.c_str(), path, sizeof path));
  EXPECT_NE(0, installation::unregisterEngine(guid));
  EXPECT_EQ(installation::EngineLookup::found,
            installation::findEnginePath(other.c_str(), path, sizeof path));
  EXPECT_STREQ("C:\\E\\two.dll", path);
  EXPECT_EQ(0, fakeplatform::openRegistryKeys());
}

}  // namespace
