#include "linux_file_system.h"

#include <errno.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <stdio.h>
#include <string.h>
#include <strings.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>

#include "code_page.h"
#include "entry_path.h"
#include "name_readings.h"
#include "text_encoding.h"

namespace quenby {

namespace {

class FdInputFile : public InputFile {
 public:
  FdInputFile(int fd, off_t size) : fd_(fd), size_(size), left_(size) {}
  ~FdInputFile() override { close(fd_); }

  long Read(char* buffer, size_t size) override {
    // Only what the file held when it was opened is read, so that a file
    // that grows while we read it (our own log, say) cannot keep us here.
    if (left_ <= 0) return 0;
    size = std::min<size_t>(size, static_cast<size_t>(left_));
    ssize_t count;
    do {
      count = read(fd_, buffer, size);
    } while (count < 0 && errno == EINTR);
    if (count < 0) return -1;
    left_ -= count;
    return static_cast<long>(count);
  }

  uint64_t Size() const override { return static_cast<uint64_t>(size_); }

 private:
  int fd_;
  off_t size_;
  off_t left_;
};

class FdOutputFile : public HandleOutputFile {
 public:
  explicit FdOutputFile(int fd) : fd_(fd) {}
  ~FdOutputFile() override { close(fd_); }

  bool Sync() override { return fsync(fd_) == 0; }

 protected:
  long WritePart(const char* data, size_t size) override {
    ssize_t count;
    do {
      count = write(fd_, data, size);
    } while (count < 0 && errno == EINTR);
    return static_cast<long>(count);
  }

 private:
  int fd_;
};

// Where the file system cannot rename without replacing in one step (FAT
// through FUSE refuses the flag and hard links), look before renaming. Such
// media have one writer, us. Reserving the name with an exclusive create
// would close the gap, but fusefat then garbles another file of the folder.
bool RenameIfFree(const char* from, const char* to) {
  struct stat target;
  if (lstat(to, &target) == 0 || errno != ENOENT) return false;
  // fusefat drops the file when the new name is longer than its folder takes,
  // so such a rename is never tried.
  const char* slash = strrchr(to, '/');
  std::string folder = slash ? std::string(to, slash + 1) : std::string(".");
  long name_max = pathconf(folder.c_str(), _PC_NAME_MAX);
  if (name_max >= 0 &&
      strlen(slash ? slash + 1 : to) > static_cast<size_t>(name_max))
    return false;
  return rename(from, to) == 0;
}

// Opens `path` with `flags`, but only as a regular file: a directory, FIFO
// or device is refused and closed again. Returns the descriptor or -1.
int OpenRegularFile(const char* path, int flags, off_t* size = nullptr) {
  int fd = open(path, flags, 0666);
  if (fd < 0) return -1;
  struct stat info;
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    close(fd);
    return -1;
  }
  if (size) *size = info.st_size;
  return fd;
}

// The rename behind LinuxFileSystem::Rename, on native paths: atomic where
// the file system offers a no-replace rename, and never replacing elsewhere
// (the letter case that the kernel's vfat may miss is the caller's to check).
bool RenameNoReplace(const char* from, const char* to) {
  if (renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0)
    return true;
  if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return false;
  // A hard link is atomic and never replaces either; FAT refuses it.
  if (link(from, to) == 0) {
    if (unlink(from) == 0) return true;
    unlink(to);
    return false;
  }
  if (errno == EEXIST) return false;
  return RenameIfFree(from, to);
}

}  // namespace

bool LinuxFileSystem::IsReadable(const std::string& path) {
  return access(path.c_str(), R_OK) == 0;
}

std::unique_ptr<InputFile>
LinuxFileSystem::OpenPlaylist(const std::string& path) {
  // Non-blocking, so that a FIFO without a writer cannot hang the run.
  off_t size = 0;
  int fd = OpenRegularFile(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC,
                           &size);
  Remember(&run_files_.playlist, path, fd);
  if (fd < 0) return nullptr;
  return std::make_unique<FdInputFile>(fd, size);
}

namespace {

// The last part of a native path.
const char* LastPart(const std::string& path) {
  const void* slash = memrchr(path.data(), '/', path.size());
  return slash ? static_cast<const char*>(slash) + 1 : path.c_str();
}

}  // namespace

void LinuxFileSystem::Remember(RunFile* file, const std::string& path, int fd) {
  struct stat info;
  *file = RunFile();
  if (fd < 0 || fstat(fd, &info) != 0) return;
  file->name = LastPart(path);
  file->device = info.st_dev;
  file->inode = info.st_ino;
}

bool LinuxFileSystem::IsOpenFile(const std::string& path) const {
  // Only a path ending in one of their names can be them, so that other
  // renames cost no extra look; letters' case aside, as FAT ignores it.
  const char* name = LastPart(path);
  size_t length = strlen(name);
  bool named = false;
  const RunFiles& files = run_files_;
  for (const RunFile* file : {&files.playlist, &files.log})
    named = named || (!file->name.empty() && length == file->name.size() &&
                      strcasecmp(name, file->name.c_str()) == 0);
  if (!named) return false;
  struct stat info;
  if (lstat(path.c_str(), &info) != 0) return false;
  for (const RunFile* file : {&files.playlist, &files.log})
    if (!file->name.empty() && info.st_dev == file->device &&
        info.st_ino == file->inode)
      return true;
  return false;
}

namespace {

// Linux names files in UTF-8. A line that is not UTF-8 was most likely
// written on Windows in its code page.
class LinuxNames : public NameReader {
 public:
  bool Read(Reading reading, const std::string& entry,
            std::string* path) override {
    TextToUtf8 to_utf8 = nullptr;
    if (reading == Reading::kWindows1252) to_utf8 = Windows1252ToUtf8;
    if (reading == Reading::kShiftJis) to_utf8 = ShiftJisToUtf8;
    return EntryToPosixPath(entry, to_utf8, path);
  }

  bool MayReadOtherwise(const std::string& old_path,
                        const std::string& new_path) override {
    return !IsValidUtf8(old_path) || !IsValidUtf8(new_path);
  }

  bool Names(Reading reading, const std::string& old_path,
             const std::string& new_path) override {
    (void)new_path;
    struct stat info;
    if (lstat(old_path.c_str(), &info) == 0) return true;
    // The kernel's exfat answers a name that is not UTF-8 with EILSEQ or
    // EOVERFLOW (by the bytes that break it): no file can have it there.
    return reading == Reading::kAsWritten && errno != ENOENT &&
           errno != EILSEQ && errno != EOVERFLOW;
  }
};

}  // namespace

bool LinuxFileSystem::Rename(const std::string& from, const std::string& to) {
  LinuxNames names;
  Reading reading;
  if (!ReadNames(&names, {Reading::kWindows1252, Reading::kShiftJis}, from, to,
                 &old_path_, &new_path_, &reading))
    return false;
  if (IsOpenFile(old_path_)) return false;
  StickRecord::Folder folder = record_.FolderOf(new_path_);
  if (record_.Taken(folder, new_path_)) return false;
  if (!RenameNoReplace(old_path_.c_str(), new_path_.c_str())) return false;
  if (folder.medium) record_.Renamed(folder, old_path_, new_path_);
  return true;
}

std::unique_ptr<OutputFile>
LinuxFileSystem::CreateLog(const std::string& name) {
  // A link named like the log is not followed: emptying its target would
  // destroy someone's file. A FIFO or device is not a log either.
  int flags = O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
  run_files_.log = RunFile();
  int fd = OpenRegularFile(name.c_str(), flags | O_CREAT);
  if (fd < 0) return nullptr;
  if (ftruncate(fd, 0) != 0) {
    close(fd);
    return nullptr;
  }
  // FAT through FUSE (fusefat) garbles a file written through the handle
  // that emptied it, past its first cluster, and can hand that cluster to
  // another file; a fresh handle after the emptying writes correctly.
  close(fd);
  fd = OpenRegularFile(name.c_str(), flags);
  Remember(&run_files_.log, name, fd);
  if (fd < 0) return nullptr;
  return std::make_unique<FdOutputFile>(fd);
}

void LinuxFileSystem::RenamesDone() {
  record_.Done();
  run_files_ = RunFiles();
}

bool LinuxFileSystem::Delete(const std::string& name) {
  if (unlink(name.c_str()) != 0) return false;
  // The folder holds the deletion: on the medium once the folder is.
  const char* slash = strrchr(name.c_str(), '/');
  std::string folder = slash ? std::string(name.c_str(), slash + 1) : ".";
  int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    // vfat writes its count of free clusters only when the whole file
    // system is synced: after the freed log, a pulled stick's count would
    // be short by the log's clusters, which fsck reports.
    struct statfs info;
    if (fstatfs(fd, &info) == 0 && info.f_type == MSDOS_SUPER_MAGIC)
      syncfs(fd);
    else
      fsync(fd);
    close(fd);
  }
  return true;
}

LocalTime LinuxFileSystem::Now() {
  time_t now = time(nullptr);
  struct tm parts = {};
  localtime_r(&now, &parts);
  LocalTime time;
  time.year = parts.tm_year + 1900;
  time.month = parts.tm_mon + 1;
  time.day = parts.tm_mday;
  time.hour = parts.tm_hour;
  time.minute = parts.tm_min;
  return time;
}

}  // namespace quenby
