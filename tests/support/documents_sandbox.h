// documents_sandbox.h - a throw-away home and documents folder for tests of MultiPair.ini.
//
// Creates a temporary folder, points HOME at it, XDG_CONFIG_HOME at its .config and unsets
// XDG_DOCUMENTS_DIR, so DocumentsFolder() resolves to <root>/Documents and no test ever
// touches the real home. The destructor restores the three variables and removes the folder.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <system_error>

namespace tarnwick::test {

class DocumentsSandbox {
 public:
  DocumentsSandbox() {
    for (Saved& saved : saved_) {
      const char* value = std::getenv(saved.name);
      if (value != nullptr) saved.value = value;
    }
    std::error_code error;
    std::string pattern =
        (std::filesystem::temp_directory_path(error) / "tarnwick-docs-XXXXXX").string();
    if (error || mkdtemp(pattern.data()) == nullptr) return;
    root_ = pattern;
    setenv("HOME", root_.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (root_ + "/.config").c_str(), 1);
    unsetenv("XDG_DOCUMENTS_DIR");
  }
  ~DocumentsSandbox() {
    for (const Saved& saved : saved_) {
      if (saved.value) {
        setenv(saved.name, saved.value->c_str(), 1);
      } else {
        unsetenv(saved.name);
      }
    }
    if (!root_.empty()) {
      std::error_code error;
      std::filesystem::remove_all(root_, error);
    }
  }
  DocumentsSandbox(const DocumentsSandbox&) = delete;
  DocumentsSandbox& operator=(const DocumentsSandbox&) = delete;

  bool Ok() const { return !root_.empty(); }
  const std::string& Root() const { return root_; }
  std::string Documents() const { return root_ + "/Documents"; }
  std::string FilePath() const { return Documents() + "/MultiPair.ini"; }

  // Writes bytes as MultiPair.ini (creating the documents folder).
  void WriteFile(const std::string& bytes) const {
    std::filesystem::create_directories(Documents());
    std::ofstream(FilePath(), std::ios::binary | std::ios::trunc) << bytes;
  }
  // The bytes of MultiPair.ini; nullopt when it does not exist.
  std::optional<std::string> ReadFile() const {
    std::ifstream in(FilePath(), std::ios::binary);
    if (!in) return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

 private:
  struct Saved {
    const char* name;
    std::optional<std::string> value;
  };
  Saved saved_[3] = {{"HOME", {}}, {"XDG_CONFIG_HOME", {}}, {"XDG_DOCUMENTS_DIR", {}}};
  std::string root_;
};

}  // namespace tarnwick::test
