// A fresh directory under $TMPDIR (or /tmp) that is removed with everything in it when the
// TempDir is destroyed.
#ifndef TVR_TESTS_SUPPORT_TEMP_DIR_H_
#define TVR_TESTS_SUPPORT_TEMP_DIR_H_

#include <string>
#include <string_view>

namespace tvr::testing {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // The directory, without a trailing "/".
  const std::string& path() const { return path_; }
  // path() + "/" + name.
  std::string File(std::string_view name) const;

 private:
  std::string path_;
};

// Writes `content` to `path`, replacing it. Fails the test (throws) on error.
void WriteFile(const std::string& path, std::string_view content);
// The content of `path`; "" when it does not exist.
std::string ReadFile(const std::string& path);

}  // namespace tvr::testing

#endif  // TVR_TESTS_SUPPORT_TEMP_DIR_H_
