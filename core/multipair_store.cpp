#include "multipair_store.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "adapter_settings.h"
#include "link_state.h"
#include "operator_prompts.h"
#include "process_clock.h"
#include "status_codes.h"
#include "trace.h"

MultiPairListRecord MultiPairList;

namespace {

// Longest label line the reader looks up (the longest label is far shorter).
constexpr std::size_t kLabelLineMax = 19;
// A lock held by another program is waited for this many 20 ms steps (about 2 s).
constexpr int kLockSteps = 100;
constexpr int kLockStepMs = 20;

int RetryOpen(const char* path, int flags, mode_t mode = 0) {
  int fd;
  do {
    fd = ::open(path, flags, mode);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

void CloseFd(int fd) {
  if (fd >= 0) ::close(fd);
}

// Takes the lock (LOCK_SH or LOCK_EX), waiting through the process clock while another
// program holds a conflicting one; false when it stays held or flock fails otherwise.
bool Lock(int fd, int operation) {
  for (int step = 0; step < kLockSteps; ++step) {
    if (::flock(fd, operation | LOCK_NB) == 0) return true;
    if (errno == EINTR) continue;
    if (errno != EWOULDBLOCK) return false;
    tarnwick::ProcessClock().SleepMs(kLockStepMs);
  }
  return false;
}

bool WriteAll(int fd, const std::string& data) {
  std::size_t done = 0;
  while (done < data.size()) {
    ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// Reads whole lines from a descriptor through a small buffer.
class LineReader {
 public:
  enum Result { kLine, kEnd, kTooLong, kError };

  explicit LineReader(int fd) : fd_(fd) {}

  // Reads the next line into out (capacity max + 1, NUL-terminated) without its line end
  // (LF, or CR LF). kEnd when the file has ended before any character of a line; a last line
  // without a line end is a line. kTooLong when the line holds more than max characters or a
  // NUL byte; the reader then stops being useful (the caller ends the read).
  Result ReadLine(char* out, std::size_t max) {
    std::size_t length = 0;
    bool pendingCr = false;  // a CR seen last: it belongs to the line unless LF follows
    bool any = false;
    for (;;) {
      int c = Next();
      if (c == kReadError) return kError;
      if (c == kReadEnd) {
        if (!any) return kEnd;
        if (pendingCr && !Put(out, &length, max, '\r')) return kTooLong;
        out[length] = '\0';
        return kLine;
      }
      any = true;
      if (c == '\n') {
        out[length] = '\0';
        return kLine;
      }
      if (pendingCr) {
        if (!Put(out, &length, max, '\r')) return kTooLong;
        pendingCr = false;
      }
      if (c == '\r') {
        pendingCr = true;
        continue;
      }
      if (c == '\0' || !Put(out, &length, max, static_cast<char>(c))) return kTooLong;
    }
  }

 private:
  static constexpr int kReadEnd = -1;
  static constexpr int kReadError = -2;

  static bool Put(char* out, std::size_t* length, std::size_t max, char c) {
    if (*length >= max) return false;
    out[(*length)++] = c;
    return true;
  }

  int Next() {
    if (position_ == filled_) {
      ssize_t n;
      do {
        n = ::read(fd_, buffer_, sizeof buffer_);
      } while (n < 0 && errno == EINTR);
      if (n < 0) return kReadError;
      if (n == 0) return kReadEnd;
      filled_ = static_cast<std::size_t>(n);
      position_ = 0;
    }
    return static_cast<unsigned char>(buffer_[position_++]);
  }

  int fd_;
  char buffer_[4096];
  std::size_t filled_ = 0;
  std::size_t position_ = 0;
};

// The rejected-line trace of a row: "Invalid: " + the row's label.
int32_t InvalidLine(int row) {
  return TraceOut("Invalid: ", AdapterSettings[row].label, "", "", TRACE_REJECTED_INPUT, 0);
}

// Opens MultiPair.ini for reading with a shared lock; -1 when it cannot be used. When a
// writer replaced the file between the open and the lock, the new file is opened instead.
int OpenForReading(const std::string& path) {
  for (int round = 0; round < 3; ++round) {
    int fd = RetryOpen(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return -1;
    struct stat opened {};
    if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode) || !Lock(fd, LOCK_SH)) {
      CloseFd(fd);
      return -1;
    }
    struct stat named {};
    if (::stat(path.c_str(), &named) == 0 && named.st_dev == opened.st_dev &&
        named.st_ino == opened.st_ino) {
      return fd;
    }
    CloseFd(fd);
  }
  return -1;
}

// Reads one label line of row into *index; LINK_OK, or the status that ends the read:
// 1 (the file has ended: the caller stops with LINK_OK), LINK_ABORTED otherwise.
constexpr int32_t kFileEnded = 1;

int32_t ReadLabel(LineReader* reader, int row, int32_t* index) {
  char line[kLabelLineMax + 1];
  switch (reader->ReadLine(line, kLabelLineMax)) {
    case LineReader::kEnd: return kFileEnded;
    case LineReader::kError: return TraceLine("Error reading MultiPair.ini", LINK_ABORTED, 5);
    case LineReader::kTooLong: InvalidLine(row); return LINK_ABORTED;
    case LineReader::kLine: break;
  }
  int found = FindSettingValue(row, line);
  if (found < 0) return LINK_ABORTED;
  *index = found;
  return LINK_OK;
}

// Reads the records into MultiPairList; the status of the read.
int32_t ReadRecords(LineReader* reader) {
  MultiPairEntry scratch{};
  for (;;) {
    MultiPairEntry* entry = MultiPairList.count < MULTIPAIR_MAX
                                ? &MultiPairList.entries[MultiPairList.count]
                                : &scratch;
    *entry = MultiPairEntry{};

    switch (reader->ReadLine(entry->name, kMultiPairNameField - 1)) {
      case LineReader::kEnd: return LINK_OK;
      case LineReader::kError: return TraceLine("Error reading MultiPair.ini", LINK_ABORTED, 5);
      case LineReader::kTooLong: InvalidLine(ROW_N); return LINK_ABORTED;
      case LineReader::kLine: break;
    }
    switch (reader->ReadLine(entry->address, kMultiPairAddressField - 1)) {
      case LineReader::kEnd: return LINK_OK;
      case LineReader::kError: return TraceLine("Error reading MultiPair.ini", LINK_ABORTED, 5);
      case LineReader::kTooLong: InvalidLine(ROW_D); return LINK_ABORTED;
      case LineReader::kLine: break;
    }
    const struct {
      int row;
      int32_t* field;
    } labels[] = {{ROW_L, &entry->baud}, {ROW_M, &entry->parity}, {ROW_K, &entry->stopBits}};
    for (const auto& label : labels) {
      int32_t status = ReadLabel(reader, label.row, label.field);
      if (status == kFileEnded) return LINK_OK;
      if (status != LINK_OK) return status;
    }

    TraceOut("AdapterName=", entry->name, " AdapterAddress=", entry->address, 0, 0);
    if (MultiPairList.count >= MULTIPAIR_MAX) {
      TraceLine("Maximum number of slaves exceeded", 51, 5);
      return LINK_OK;
    }
    ++MultiPairList.count;
  }
}

// A text field as written: false when it is not terminated within its field or holds a line
// break, which would break the five-line record structure.
bool FieldFits(const char* field, std::size_t size, std::string* out) {
  std::size_t n = ::strnlen(field, size);
  if (n >= size) return false;
  for (std::size_t i = 0; i < n; ++i) {
    if (field[i] == '\r' || field[i] == '\n') return false;
  }
  out->append(field, n);
  out->append("\r\n");
  return true;
}

bool LabelFits(int row, int32_t index, std::string* out) {
  if (index < 0 || index >= AdapterSettings[row].valueCount) return false;
  out->append(AdapterSettings[row].values[index].label);
  out->append("\r\n");
  return true;
}

// The file's bytes for the list; false when an entry cannot be written as a record.
bool ComposeFile(std::string* out) {
  if (MultiPairList.count < 0 || MultiPairList.count > MULTIPAIR_MAX) return false;
  for (int i = 0; i < MultiPairList.count; ++i) {
    const MultiPairEntry& entry = MultiPairList.entries[i];
    if (!FieldFits(entry.name, sizeof entry.name, out) ||
        !FieldFits(entry.address, sizeof entry.address, out) ||
        !LabelFits(ROW_L, entry.baud, out) || !LabelFits(ROW_M, entry.parity, out) ||
        !LabelFits(ROW_K, entry.stopBits, out)) {
      return false;
    }
  }
  return true;
}

// Writes contents to path through a temporary file in folder and a rename; false on any
// failure, with the old file left as it was.
bool ReplaceFile(const std::string& folder, const std::string& path, const std::string& contents) {
  // The old file, locked so that no reader is in the middle of it while it is replaced.
  int old = RetryOpen(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  struct stat oldInfo {};
  if (old >= 0) {
    if (::fstat(old, &oldInfo) != 0 || !S_ISREG(oldInfo.st_mode) || !Lock(old, LOCK_EX)) {
      CloseFd(old);
      return false;
    }
  } else if (errno != ENOENT) {
    return false;
  }

  static unsigned serial = 0;
  std::string temporary;
  int fd = -1;
  for (int attempt = 0; attempt < 10 && fd < 0; ++attempt) {
    temporary = folder + "/." + kMultiPairFileName + "." + std::to_string(::getpid()) + "." +
                std::to_string(++serial) + ".tmp";
    fd = RetryOpen(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) {
    CloseFd(old);
    return false;
  }

  bool ok = Lock(fd, LOCK_EX);
  if (ok && old >= 0) ok = ::fchmod(fd, oldInfo.st_mode & 07777) == 0;
  ok = ok && WriteAll(fd, contents) && ::fsync(fd) == 0;
  ok = ok && ::rename(temporary.c_str(), path.c_str()) == 0;
  if (!ok) {
    ::unlink(temporary.c_str());
  } else {
    // Make the rename itself durable; the new file is in place whatever this reports.
    int directory = RetryOpen(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (directory >= 0) {
      ::fsync(directory);
      CloseFd(directory);
    }
  }
  CloseFd(fd);
  CloseFd(old);
  return ok;
}

}  // namespace

void ResetMultiPairList() { std::memset(&MultiPairList, 0, sizeof MultiPairList); }

int32_t MultiPairFilePath(std::string* path) {
  std::string folder;
  int32_t status = DocumentsFolder(&folder);
  if (status != LINK_OK) return status;
  *path = folder + "/" + kMultiPairFileName;
  return LINK_OK;
}

int32_t ReadMultiPairList() {
  MultiPairList.count = 0;
  TraceLine("Opening MultiPair.ini", 0, 0);

  std::string path;
  if (MultiPairFilePath(&path) != LINK_OK) {
    Prompts().ShowMultiPairError();
    return STORE_NO_FOLDER;
  }
  int fd = OpenForReading(path);
  if (fd < 0) {
    Prompts().ShowMultiPairError();
    TraceLine("Error opening MultiPair.ini", LINK_ABORTED, 5);
    return LINK_ABORTED;
  }

  LineReader reader(fd);
  int32_t result = ReadRecords(&reader);

  TraceLine("Closing MultiPair.ini", 0, 0);
  CloseFd(fd);
  return result;
}

int32_t WriteMultiPairList() {
  std::string folder;
  if (DocumentsFolder(&folder) != LINK_OK) {
    Prompts().ShowMultiPairError();
    return STORE_NO_FOLDER;
  }
  // A MultiPair.ini that is a symbolic link is replaced where it points, so the link stays.
  std::string path = folder + "/" + kMultiPairFileName;
  struct stat link {};
  if (::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
    char* target = ::realpath(path.c_str(), nullptr);
    if (target != nullptr) {
      path = target;
      std::free(target);
      folder = path.substr(0, path.find_last_of('/'));
      if (folder.empty()) folder = "/";
    }
  }
  std::string contents;
  if (!ComposeFile(&contents) || !ReplaceFile(folder, path, contents)) {
    Prompts().ShowMultiPairError();
    return LINK_ABORTED;
  }
  return LINK_OK;
}
