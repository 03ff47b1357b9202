#include "posix_file_system.h"

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

#include "entry_path.h"
#include "numbered_path.h"
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

class FdOutputFile : public OutputFile {
 public:
  explicit FdOutputFile(int fd) : fd_(fd) {}
  ~FdOutputFile() override { close(fd_); }

  bool Write(const char* data, size_t size) override {
    while (size > 0) {
      ssize_t count = write(fd_, data, size);
      if (count < 0 && errno == EINTR) continue;
      if (count <= 0) return false;
      data += count;
      size -= static_cast<size_t>(count);
    }
    return true;
  }

  bool Sync() override { return fsync(fd_) == 0; }

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
  if (name_max >= 0 && strlen(slash ? slash + 1 : to) >
                           static_cast<size_t>(name_max))
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

// The rename behind PosixFileSystem::Rename, on native paths: atomic where
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

bool PosixFileSystem::IsReadable(const std::string& path) {
  return access(path.c_str(), R_OK) == 0;
}

std::unique_ptr<InputFile> PosixFileSystem::OpenPlaylist(
    const std::string& path) {
  // Non-blocking, so that a FIFO without a writer cannot hang the run.
  off_t size = 0;
  int fd = OpenRegularFile(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC,
                           &size);
  Remember(&media_.run_files.playlist, path, fd);
  if (fd < 0) return nullptr;
  return std::make_unique<FdInputFile>(fd, size);
}

namespace {

// A path holds few backslashes: memchr leaps to each instead of looking at
// every byte.
void SlashesForBackslashes(std::string* path) {
  char* end = path->data() + path->size();
  for (char* p = path->data();
       (p = static_cast<char*>(memchr(p, '\\', end - p))) != nullptr;)
    *p++ = '/';
}

}  // namespace

bool EntryToPosixPath(const std::string& entry, const CodePage* code_page,
                      std::string* path) {
  if (IsFileUrl(entry)) {
    // A file on another host is not ours to reach.
    std::string host, local;
    if (!DecodeFileUrl(entry, &host, &local) || !host.empty()) return false;
    return EntryToPosixPath(local, code_page, path);
  }
  // Read before the backslashes turn: in Shift_JIS a 0x5C byte may be the
  // second half of a character.
  if (code_page) {
    if (!CodePageToUtf8(*code_page, entry, path)) return false;
  } else {
    *path = entry;
  }
  SlashesForBackslashes(path);
  return true;
}

namespace {

// The last part of a native path.
const char* LastPart(const std::string& path) {
  const void* slash = memrchr(path.data(), '/', path.size());
  return slash ? static_cast<const char*>(slash) + 1 : path.c_str();
}

}  // namespace

void PosixFileSystem::Remember(RunFile* file, const std::string& path,
                               int fd) {
  struct stat info;
  *file = RunFile();
  if (fd < 0 || fstat(fd, &info) != 0) return;
  file->name = LastPart(path);
  file->device = info.st_dev;
  file->inode = info.st_ino;
}

bool PosixFileSystem::IsOpenFile(const std::string& path) const {
  // Only a path ending in one of their names can be them, so that other
  // renames cost no extra look; letters' case aside, as FAT ignores it.
  const char* name = LastPart(path);
  size_t length = strlen(name);
  bool named = false;
  const RunFiles& files = media_.run_files;
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

bool PosixFileSystem::ReadNames(const std::string& from,
                                const std::string& to) {
  if (!EntryToPosixPath(from, nullptr, &old_path_) ||
      !EntryToPosixPath(to, nullptr, &new_path_))
    return false;
  // A line that is not UTF-8 was most likely written on Windows in its code
  // page. The name as written comes first; only when no file has it are the
  // code pages tried, in turn, until one names a file that is there.
  if (IsValidUtf8(old_path_) && IsValidUtf8(new_path_)) return true;
  // The kernel's exfat answers a name that is not UTF-8 with EILSEQ or
  // EOVERFLOW (by the bytes that break it): no file can have it there.
  struct stat info;
  if (lstat(old_path_.c_str(), &info) == 0 ||
      (errno != ENOENT && errno != EILSEQ && errno != EOVERFLOW))
    return true;
  for (CodePage code_page : {CodePage::kWindows1252, CodePage::kWindows932}) {
    std::string old_read, new_read;
    if (!EntryToPosixPath(from, &code_page, &old_read) ||
        !EntryToPosixPath(to, &code_page, &new_read))
      continue;
    if (code_page == CodePage::kWindows932)
      KeepOrderPrefixInFront(from, to, &old_read, &new_read);
    if (lstat(old_read.c_str(), &info) == 0) {
      old_path_ = std::move(old_read);
      new_path_ = std::move(new_read);
      return true;
    }
  }
  return true;  // As written: the rename fails, and is logged as written.
}

bool PosixFileSystem::Rename(const std::string& from, const std::string& to) {
  if (!ReadNames(from, to)) return false;
  if (IsOpenFile(old_path_)) return false;
  const RunMedia::Folder* folder = media_.FolderOf(new_path_);
  if (folder && folder->fat && folder->fat->Taken(LastPart(new_path_)))
    return false;
  if (!RenameNoReplace(old_path_.c_str(), new_path_.c_str())) return false;
  if (folder) media_.Renamed(*folder, old_path_, new_path_);
  return true;
}

std::unique_ptr<OutputFile> PosixFileSystem::CreateLog(
    const std::string& name) {
  // A link named like the log is not followed: emptying its target would
  // destroy someone's file. A FIFO or device is not a log either.
  int flags = O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
  media_.run_files.log = RunFile();
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
  Remember(&media_.run_files.log, name, fd);
  if (fd < 0) return nullptr;
  return std::make_unique<FdOutputFile>(fd);
}

void PosixFileSystem::RenamesDone() {
  media_.Done();
}

bool PosixFileSystem::Delete(const std::string& name) {
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

LocalTime PosixFileSystem::Now() {
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
