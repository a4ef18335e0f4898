// What install accepts for an effect, and what the installer generator
// (packaging/make_installer.py) accepts for the same fields: the table
// tests/installation/installation_cases.tsv holds both to one verdict.
// Each check answers "" when the value is fine, otherwise the reason, to
// follow the value in a one-line message.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "installation/effect_settings.h"

namespace installation {

// An effect name is also the file name of its library and settings file and
// the name the plug-in reads back, with its NUL, into kTextSize bytes.
constexpr std::size_t kMaxNameLength = kTextSize - 1;
// The most channels an effect may be installed with, each way.
constexpr std::int32_t kMaxChannels = 64;

// Not empty, at most 63 characters, printable ASCII (the plug-in finds its
// settings through the ANSI file calls), none of \ / : * ? " < > |, no
// trailing dot or space, and not a device name Windows reserves (CON, PRN,
// AUX, NUL, COM1-9, LPT1-9, in any case, with or without an extension).
std::string effectNameProblem(const std::string& name);

// A GUID in braces: {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}, hexadecimal digits
// in either case.
std::string guidProblem(const std::string& guid);

// A unique ID as people write it: a decimal number (optional "-", digits
// only) within -2147483648..4294967295, numbers above 2147483647 taken as
// their 32-bit pattern; or exactly four printable ASCII characters, the first
// in the most significant byte ("DGai" = 0x44476169). 0 is no ID. False with
// a one-line reason in `error`.
bool parseUniqueId(const std::string& text, std::int32_t& id, std::string& error);

// Channel counts lie within 0..kMaxChannels; a process index is not negative.
std::string channelCountProblem(std::int64_t count);
std::string processIndexProblem(std::int64_t index);

// A vendor name as hosts show it: not empty, at most 63 characters (the
// hosts' vendor text holds 64 bytes with the NUL), printable ASCII, no space
// at either end and not wholly in quotes (the profile reader drops both).
std::string vendorNameProblem(const std::string& vendor);

// A vendor version: a whole number within 0..2147483647, the value the effect
// answers hosts with (0: none). False with a one-line reason in `error`.
bool parseVendorVersion(const std::string& text, std::int32_t& version, std::string& error);

}  // namespace installation
