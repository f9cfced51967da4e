#include "platform/profile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <optional>

#include "platform/blanks.h"
#include "platform/code_page.h"
#include "platform/failure.h"
#include "platform/file.h"

namespace tvr::platform {

namespace {

// The file as lines without their line ends, and the line end it uses.
struct Document {
  std::vector<std::string> lines;
  std::string eol = "\r\n";

  static Document Parse(std::string_view text) {
    Document doc;
    if (!text.empty() && text.find("\r\n") == std::string_view::npos &&
        text.find('\n') != std::string_view::npos) {
      doc.eol = "\n";
    }
    std::size_t start = 0;
    while (start < text.size()) {
      auto end = text.find('\n', start);
      std::string_view line =
          text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
      doc.lines.emplace_back(line);
      if (end == std::string_view::npos) break;
      start = end + 1;
    }
    return doc;
  }

  std::string Text() const {
    std::string out;
    for (const std::string& line : lines) {
      out += line;
      out += eol;
    }
    return out;
  }
};

// The section name of a "[Name]" line.
std::optional<std::string_view> SectionOf(std::string_view line) {
  line = TrimBlanksAndTabs(line);
  if (line.empty() || line.front() != '[') return std::nullopt;
  auto close = line.find(']');
  if (close == std::string_view::npos) close = line.size();
  return TrimBlanksAndTabs(line.substr(1, close - 1));
}

bool IsComment(std::string_view line) {
  line = TrimBlanksAndTabs(line);
  return !line.empty() && line.front() == ';';
}

// The key and value of a key line; nothing for blank lines, comments and section lines. A line
// without "=" is a key without a value.
std::optional<ProfileEntry> EntryOf(std::string_view line) {
  std::string_view t = TrimBlanksAndTabs(line);
  if (t.empty() || t.front() == ';' || t.front() == '[') return std::nullopt;
  auto eq = t.find('=');
  if (eq == std::string_view::npos) return ProfileEntry{std::string(t), {}};
  return ProfileEntry{std::string(TrimBlanksAndTabs(t.substr(0, eq))),
                      std::string(TrimBlanksAndTabs(t.substr(eq + 1)))};
}

// Lines [begin, end) of the body of the first section named `section`; nothing when missing.
struct Range {
  std::size_t header;
  std::size_t begin;
  std::size_t end;
};
std::optional<Range> FindSection(const Document& doc, std::string_view section) {
  for (std::size_t i = 0; i < doc.lines.size(); ++i) {
    auto name = SectionOf(doc.lines[i]);
    if (!name || !EqualsIgnoringCase(*name, section)) continue;
    std::size_t end = i + 1;
    while (end < doc.lines.size() && !SectionOf(doc.lines[end])) ++end;
    return Range{i, i + 1, end};
  }
  return std::nullopt;
}

// Where new key lines of a section go: after its last line that is not blank.
std::size_t InsertionPoint(const Document& doc, const Range& range) {
  std::size_t at = range.begin;
  for (std::size_t i = range.begin; i < range.end; ++i) {
    if (!TrimBlanksAndTabs(doc.lines[i]).empty()) at = i + 1;
  }
  return at;
}

bool StorableSection(std::string_view section) {
  section = TrimBlanksAndTabs(section);
  return !section.empty() &&
         section.find_first_of(std::string_view("]\r\n\0", 4)) == std::string_view::npos;
}

bool StorableKey(std::string_view key) {
  key = TrimBlanksAndTabs(key);
  return !key.empty() && key.front() != '[' && key.front() != ';' &&
         key.find_first_of(std::string_view("=\r\n\0", 4)) == std::string_view::npos;
}

std::string_view StorableValue(std::string_view value) {
  auto cut = value.find_first_of(std::string_view("\r\n\0", 3));
  return cut == std::string_view::npos ? value : value.substr(0, cut);
}

std::string KeyLine(std::string_view key, std::string_view value) {
  std::string line(TrimBlanksAndTabs(key));
  line += '=';
  line += StorableValue(value);
  return line;
}

// The writers' lock: flock on "<path>.lock", held until destroyed. The lock file is opened for
// reading only, so a lock file created by another user (say, root running a tool) still works.
class WriterLock {
 public:
  explicit WriterLock(const std::string& path) {
    const std::string lock_path = path + ".lock";
    fd_ = ::open(lock_path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fd_ < 0) ThrowErrno(errno, lock_path);
    while (::flock(fd_, LOCK_EX) != 0) {
      if (errno != EINTR) {
        int e = errno;
        ::close(fd_);
        ThrowErrno(e, path + ".lock");
      }
    }
  }
  ~WriterLock() { ::close(fd_); }
  WriterLock(const WriterLock&) = delete;
  WriterLock& operator=(const WriterLock&) = delete;

 private:
  int fd_;
};

// Runs `change` on the file's lines under the writers' lock and replaces the file with the
// result. A change that leaves the text as it was writes nothing when it need not be durable
// (the recording of a request repeated as it was); a durable one is written all the same, so
// that it is on the disk once the call returns.
template <typename Change>
void Rewrite(const std::string& path, Durability durability, Change change) {
  WriterLock lock(path);
  RemoveStaleTemporaryFiles(path);
  const std::string old_text = ReadWholeFile(path);
  Document doc = Document::Parse(old_text);
  change(doc);
  std::string new_text = doc.Text();
  if (durability == Durability::kAtomic && new_text == old_text) return;
  ReplaceFileAtomically(path, new_text, durability);
}

}  // namespace

std::string ReadProfileString(const std::string& path, std::string_view section,
                              std::string_view key) {
  Document doc = Document::Parse(ReadWholeFile(path));
  auto range = FindSection(doc, TrimBlanksAndTabs(section));
  if (!range) return {};
  key = TrimBlanksAndTabs(key);
  for (std::size_t i = range->begin; i < range->end; ++i) {
    auto entry = EntryOf(doc.lines[i]);
    if (!entry || !EqualsIgnoringCase(entry->key, key)) continue;
    std::string_view value = entry->value;
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
      value = value.substr(1, value.size() - 2);
    }
    return std::string(value.substr(0, kMaxProfileValue));
  }
  return {};
}

void WriteProfileString(const std::string& path, std::string_view section, std::string_view key,
                        std::string_view value, Durability durability) {
  if (!StorableSection(section) || !StorableKey(key)) return;
  section = TrimBlanksAndTabs(section);
  key = TrimBlanksAndTabs(key);
  Rewrite(path, durability, [&](Document& doc) {
    auto range = FindSection(doc, section);
    if (!range) {
      doc.lines.push_back("[" + std::string(section) + "]");
      doc.lines.push_back(KeyLine(key, value));
      return;
    }
    for (std::size_t i = range->begin; i < range->end; ++i) {
      auto entry = EntryOf(doc.lines[i]);
      if (entry && EqualsIgnoringCase(entry->key, key)) {
        // The key keeps the spelling it has in the file.
        doc.lines[i] = KeyLine(entry->key, value);
        return;
      }
    }
    auto at = InsertionPoint(doc, *range);
    doc.lines.insert(doc.lines.begin() + static_cast<std::ptrdiff_t>(at), KeyLine(key, value));
  });
}

void WriteProfileSection(const std::string& path, std::string_view section,
                         const std::vector<ProfileEntry>& entries, Durability durability) {
  if (!StorableSection(section)) return;
  section = TrimBlanksAndTabs(section);
  std::vector<std::string> key_lines;
  for (const ProfileEntry& e : entries) {
    if (StorableKey(e.key)) key_lines.push_back(KeyLine(e.key, e.value));
  }
  Rewrite(path, durability, [&](Document& doc) {
    auto range = FindSection(doc, section);
    if (!range) {
      doc.lines.push_back("[" + std::string(section) + "]");
      doc.lines.insert(doc.lines.end(), key_lines.begin(), key_lines.end());
      return;
    }
    // New body: the section's comments, the entries, then the blank lines that ended it.
    std::vector<std::string> body;
    std::size_t content_end = InsertionPoint(doc, *range);
    for (std::size_t i = range->begin; i < content_end; ++i) {
      if (IsComment(doc.lines[i])) body.push_back(doc.lines[i]);
    }
    body.insert(body.end(), key_lines.begin(), key_lines.end());
    for (std::size_t i = content_end; i < range->end; ++i) body.push_back(doc.lines[i]);
    auto first = doc.lines.begin() + static_cast<std::ptrdiff_t>(range->begin);
    auto last = doc.lines.begin() + static_cast<std::ptrdiff_t>(range->end);
    doc.lines.erase(first, last);
    doc.lines.insert(doc.lines.begin() + static_cast<std::ptrdiff_t>(range->begin), body.begin(),
                     body.end());
  });
}

}  // namespace tvr::platform
