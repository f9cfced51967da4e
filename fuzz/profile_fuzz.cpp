// The INI reader and writer: ReadProfileString, WriteProfileString and WriteProfileSection on
// a settings file made of the input.
//
// An input's first line is "section|key|value", the change to make; the rest is the file.
//
// Rules checked:
// - every key the file holds reads without failing, at most 1023 bytes;
// - after a write of a storable key, the key reads back as written (for a plain value: no
//   blanks or quote at its ends, no line break, 1023 bytes at most), and every other key of
//   the file reads as before; a key or section that cannot be stored leaves the file as it was;
// - a section written whole reads back entry by entry, the other sections as before.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "fuzz_support.h"
#include "platform/code_page.h"
#include "platform/file.h"
#include "platform/profile.h"

using tvr::fuzz::Expecting;
using tvr::fuzz::Printable;
namespace platform = tvr::platform;

namespace {

std::string_view Trim(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

struct Key {
  std::string section;
  std::string key;
};

// The (section, key) pairs the file's lines name, as a reader of the file would list them.
std::vector<Key> KeysOf(std::string_view file) {
  std::vector<Key> keys;
  std::string section;
  for (std::size_t start = 0; start < file.size();) {
    std::size_t end = file.find('\n', start);
    if (end == std::string_view::npos) end = file.size();
    std::string_view line = Trim(file.substr(start, end - start));
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line = Trim(line.substr(0, line.size() - 1));
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[') {
      section = std::string(Trim(line.substr(1, line.find(']') - 1)));
    } else if (keys.size() < 64) {
      keys.push_back({section, std::string(Trim(line.substr(0, line.find('='))))});
    }
  }
  return keys;
}

std::string Read(const std::string& path, const Key& k) {
  std::string value;
  FUZZ_CHECK(Expecting([&] { value = platform::ReadProfileString(path, k.section, k.key); }),
             "reading [" + Printable(k.section) + "] " + Printable(k.key) + " failed");
  FUZZ_CHECK(value.size() <= platform::kMaxProfileValue,
             "[" + Printable(k.section) + "] " + Printable(k.key) + " reads " +
                 std::to_string(value.size()) + " bytes");
  return value;
}

std::string_view WithoutTrailingCrsAndBlanks(std::string_view value) {
  while (!value.empty() && (value.back() == '\r' || value.back() == ' ' || value.back() == '\t')) {
    value.remove_suffix(1);
  }
  return value;
}

std::string_view WithoutQuotes(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  return value;
}

// Whether another key reads after a write as it did before. A last line without a line feed
// that ends in two or more CRs reads with all but one of them in its value; rewritten, the line
// gets its line feed and the last of those CRs becomes part of the line end, so blanks before
// it become trailing blanks. Trailing CRs and blanks are the only change a write may make to
// another key. With them gone, a value between quotes reads without its quotes: the reader
// gives the inner text, which may itself end in CRs or be quoted once more.
bool ReadsAsBefore(std::string_view before, std::string_view after) {
  const std::string_view inner = WithoutQuotes(WithoutTrailingCrsAndBlanks(before));
  return inner == WithoutQuotes(WithoutTrailingCrsAndBlanks(after)) ||
         WithoutTrailingCrsAndBlanks(inner) == WithoutTrailingCrsAndBlanks(after);
}

bool Plain(std::string_view text) {
  return !text.empty() && Trim(text) == text &&
         text.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

bool PlainValue(std::string_view value) {
  return value.empty() || (Plain(value) && value.front() != '"' && value.front() != '\'' &&
                           value.size() <= platform::kMaxProfileValue);
}

bool StorableKey(std::string_view key) {
  key = Trim(key);
  return !key.empty() && key.front() != '[' && key.front() != ';' &&
         key.find_first_of(std::string_view("=\r\n\0", 4)) == std::string_view::npos;
}

bool StorableSection(std::string_view section) {
  section = Trim(section);
  return !section.empty() &&
         section.find_first_of(std::string_view("]\r\n\0", 4)) == std::string_view::npos;
}

bool Same(const Key& a, const Key& b) {
  return platform::EqualsIgnoringCase(Trim(a.section), Trim(b.section)) &&
         platform::EqualsIgnoringCase(Trim(a.key), Trim(b.key));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(bytes), size);
  const std::size_t line_end = std::min(input.find('\n'), input.size());
  const std::string_view change = input.substr(0, line_end);
  const std::string_view file = input.substr(std::min(line_end + 1, input.size()));
  const std::size_t bar1 = std::min(change.find('|'), change.size());
  const std::size_t bar2 = std::min(change.find('|', bar1 + 1), change.size());
  const Key target{std::string(change.substr(0, bar1)),
                   std::string(change.substr(std::min(bar1 + 1, change.size()),
                                             bar2 - std::min(bar1 + 1, change.size())))};
  const std::string value(change.substr(std::min(bar2 + 1, change.size())));

  const std::string path = tvr::fuzz::ScratchFile("p.ini");
  tvr::fuzz::WriteFile(path, file);
  const std::vector<Key> keys = KeysOf(file);
  std::vector<std::string> before;
  for (const Key& k : keys) before.push_back(Read(path, k));

  // One key.
  FUZZ_CHECK(
      Expecting([&] { platform::WriteProfileString(path, target.section, target.key, value); }),
      "writing [" + Printable(target.section) + "] " + Printable(target.key) + " failed");
  const std::string written = platform::ReadWholeFile(path);
  if (!StorableKey(target.key) || !StorableSection(target.section)) {
    FUZZ_CHECK(written == file, "writing the unstorable key [" + Printable(target.section) + "] " +
                                    Printable(target.key) + " changed the file");
    return 0;
  }
  if (PlainValue(value)) {
    FUZZ_CHECK(Read(path, target) == value,
               "[" + Printable(target.section) + "] " + Printable(target.key) + " reads " +
                   Printable(Read(path, target)) + " after writing " + Printable(value));
  }
  for (std::size_t i = 0; i < keys.size(); ++i) {
    if (Same(keys[i], target)) continue;
    FUZZ_CHECK(ReadsAsBefore(before[i], Read(path, keys[i])),
               "writing [" + Printable(target.section) + "] " + Printable(target.key) +
                   " changed [" + Printable(keys[i].section) + "] " + Printable(keys[i].key) +
                   " from " + Printable(before[i]) + " to " + Printable(Read(path, keys[i])));
  }

  // A whole section: the target's key and one more.
  const std::vector<platform::ProfileEntry> entries = {{target.key, value},
                                                       {"FuzzSecond", "second value"}};
  tvr::fuzz::WriteFile(path, file);
  FUZZ_CHECK(Expecting([&] { platform::WriteProfileSection(path, target.section, entries); }),
             "writing the section [" + Printable(target.section) + "] failed");
  if (PlainValue(value)) {
    FUZZ_CHECK(Read(path, target) == value,
               "after the section write [" + Printable(target.section) + "] " +
                   Printable(target.key) + " reads " + Printable(Read(path, target)));
  }
  if (!Same(target, {target.section, "FuzzSecond"})) {
    FUZZ_CHECK(Read(path, {target.section, "FuzzSecond"}) == "second value",
               "the section [" + Printable(target.section) + "] lost its second entry");
  }
  for (std::size_t i = 0; i < keys.size(); ++i) {
    if (platform::EqualsIgnoringCase(Trim(keys[i].section), Trim(target.section))) continue;
    FUZZ_CHECK(ReadsAsBefore(before[i], Read(path, keys[i])),
               "writing the section [" + Printable(target.section) + "] changed [" +
                   Printable(keys[i].section) + "] " + Printable(keys[i].key));
  }
  return 0;
}
