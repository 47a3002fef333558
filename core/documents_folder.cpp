#include "documents_folder.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "status_codes.h"

namespace {

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? std::string(value) : std::string();
}

bool IsAbsolute(const std::string& path) { return !path.empty() && path[0] == '/'; }

// Reads a small text file whole; false when it cannot be read. Files over 64 KiB are no
// user-dirs.dirs and are ignored.
bool ReadSmallFile(const std::string& path, std::string* text) {
  std::FILE* file = std::fopen(path.c_str(), "rbe");
  if (file == nullptr) return false;
  char buffer[4096];
  bool ok = true;
  for (;;) {
    std::size_t n = std::fread(buffer, 1, sizeof buffer, file);
    text->append(buffer, n);
    if (text->size() > 65536) {
      ok = false;
      break;
    }
    if (n < sizeof buffer) {
      ok = !std::ferror(file);
      break;
    }
  }
  std::fclose(file);
  return ok;
}

// Creates path and every missing folder above it; true when path is a folder afterwards.
bool MakeFolders(const std::string& path) {
  struct stat info {};
  if (stat(path.c_str(), &info) == 0) return S_ISDIR(info.st_mode);
  std::size_t slash = path.find_last_of('/');
  if (slash != std::string::npos && slash > 0) {
    if (!MakeFolders(path.substr(0, slash))) return false;
  }
  if (mkdir(path.c_str(), 0777) == 0) return true;
  // Somebody else may have created it in the meantime.
  return errno == EEXIST && stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// Drops trailing slashes (but keeps a lone "/").
std::string WithoutTrailingSlash(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

}  // namespace

std::string ParseUserDirsDocuments(const std::string& text, const std::string& home) {
  std::string found;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();

    std::size_t p = line.find_first_not_of(" \t");
    if (p == std::string::npos || line[p] == '#') continue;
    static const std::string kKey = "XDG_DOCUMENTS_DIR";
    if (line.compare(p, kKey.size(), kKey) != 0) continue;
    p = line.find_first_not_of(" \t", p + kKey.size());
    if (p == std::string::npos || line[p] != '=') continue;
    p = line.find_first_not_of(" \t", p + 1);
    if (p == std::string::npos || line[p] != '"') continue;
    std::size_t close = line.find('"', p + 1);
    if (close == std::string::npos) continue;
    std::string value = line.substr(p + 1, close - p - 1);

    for (const char* variable : {"${HOME}", "$HOME"}) {
      std::string name(variable);
      if (value.compare(0, name.size(), name) == 0 &&
          (value.size() == name.size() || value[name.size()] == '/')) {
        if (home.empty()) {
          value.clear();
        } else {
          value = home + value.substr(name.size());
        }
        break;
      }
    }
    if (IsAbsolute(value)) found = value;
  }
  return found;
}

int32_t DocumentsFolder(std::string* path) {
  std::string home = Environment("HOME");
  std::string folder = Environment("XDG_DOCUMENTS_DIR");
  if (!IsAbsolute(folder)) folder.clear();

  if (folder.empty()) {
    std::string config = Environment("XDG_CONFIG_HOME");
    if (!IsAbsolute(config)) config = home.empty() ? std::string() : home + "/.config";
    std::string text;
    if (!config.empty() && ReadSmallFile(config + "/user-dirs.dirs", &text)) {
      folder = ParseUserDirsDocuments(text, home);
    }
  }
  if (folder.empty()) {
    if (!IsAbsolute(home)) return STORE_NO_FOLDER;
    folder = WithoutTrailingSlash(home) + "/Documents";
  }
  folder = WithoutTrailingSlash(folder);
  if (!MakeFolders(folder)) return STORE_NO_FOLDER;
  *path = folder;
  return LINK_OK;
}
