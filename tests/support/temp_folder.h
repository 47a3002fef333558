// temp_folder.h - a private folder under /tmp for one test, removed with everything in it.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <string>
#include <system_error>

namespace tarnwick::test {

class TempFolder {
 public:
  // Makes /tmp/tarnwick-<name>-XXXXXX; Path() is empty when that failed.
  explicit TempFolder(const std::string& name) {
    std::string pattern = "/tmp/tarnwick-" + name + "-XXXXXX";
    if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~TempFolder() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  std::string string() const { return path_.string(); }
  template <typename Part>
  friend std::filesystem::path operator/(const TempFolder& folder, const Part& part) {
    return folder.path_ / part;
  }

 private:
  std::filesystem::path path_;
};

}  // namespace tarnwick::test
