#include "fuzz_support.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>

namespace tvr::fuzz {

namespace {

std::string g_scratch;

void RemoveScratch() {
  std::error_code ignored;
  if (!g_scratch.empty()) std::filesystem::remove_all(g_scratch, ignored);
}

}  // namespace

const std::string& ScratchDir() {
  if (g_scratch.empty()) {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp");
    if (pattern.back() == '/') pattern.pop_back();
    pattern += "/tvrfuzz.XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
      std::perror("tvrfuzz: cannot make a scratch directory");
      std::abort();
    }
    g_scratch = pattern;
    std::atexit(RemoveScratch);
  }
  return g_scratch;
}

std::string ScratchFile(std::string_view name) { return ScratchDir() + "/" + std::string(name); }

void WriteFile(const std::string& path, std::string_view content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(content.data(), static_cast<std::streamsize>(content.size()));
  out.close();
  if (!out) {
    std::fprintf(stderr, "tvrfuzz: cannot write %s\n", path.c_str());
    std::abort();
  }
}

void ClearScratch() {
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(ScratchDir(), ec)) {
    std::error_code ignored;
    std::filesystem::remove_all(entry.path(), ignored);
  }
}

bool Tolerated(std::string_view fault) {
  static const std::string list = [] {
    const char* value = std::getenv("TVR_FUZZ_TOLERATE");
    return "," + std::string(value != nullptr ? value : "") + ",";
  }();
  static std::set<std::string, std::less<>> noted;
  if (list.find("," + std::string(fault) + ",") == std::string::npos) return false;
  if (noted.insert(std::string(fault)).second) {
    std::fprintf(stderr, "==tvrfuzz== tolerating the open fault %.*s\n",
                 static_cast<int>(fault.size()), fault.data());
  }
  return true;
}

void Broken(const char* file, int line, const std::string& what) {
  std::fprintf(stderr, "\n==tvrfuzz== broken rule at %s:%d: %s\n", file, line, what.c_str());
  std::fflush(stderr);
  std::abort();
}

void UnexpectedException(const char* type, const char* what) {
  std::fprintf(stderr, "\n==tvrfuzz== an exception other than tvr::Failure escaped: %s: %s\n", type,
               what);
  std::fflush(stderr);
  std::abort();
}

std::string Printable(std::string_view bytes) {
  std::string out = "\"";
  for (char c : bytes) {
    auto u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (u >= 0x20 && u < 0x7F) {
      out += c;
    } else {
      char hex[5];
      std::snprintf(hex, sizeof hex, "\\x%02x", u);
      out += hex;
    }
  }
  return out + "\"";
}

}  // namespace tvr::fuzz
