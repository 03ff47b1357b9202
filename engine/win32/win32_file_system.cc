#include "win32_file_system.h"

#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <climits>

#include "entry_path.h"
#include "name_readings.h"
#include "text_encoding.h"
#include "wide_names.h"
#include "win32_slots.h"

namespace quenby {

namespace {

class CrtInputFile : public InputFile {
 public:
  CrtInputFile(int fd, long long size) : fd_(fd), size_(size), left_(size) {}
  ~CrtInputFile() override { _close(fd_); }

  long Read(char* buffer, size_t size) override {
    // Only what the file held when it was opened is read, so that a file
    // that grows while we read it (our own log, say) cannot keep us here.
    if (left_ <= 0) return 0;
    size =
        static_cast<size_t>(std::min<long long>({static_cast<long long>(size),
                                                 left_, INT_MAX}));
    int count = _read(fd_, buffer, static_cast<unsigned>(size));
    if (count < 0) return -1;
    left_ -= count;
    return count;
  }

  uint64_t Size() const override { return static_cast<uint64_t>(size_); }

 private:
  int fd_;
  long long size_;
  long long left_;
};

class CrtOutputFile : public HandleOutputFile {
 public:
  explicit CrtOutputFile(int fd) : fd_(fd) {}
  ~CrtOutputFile() override { _close(fd_); }

  // FlushFileBuffers underneath: what a user may flush. Removable drives are
  // written through by default; on those that cache, this is what reaches
  // the stick before the user is told the run is done.
  bool Sync() override { return _commit(fd_) == 0; }

 protected:
  long WritePart(const char* data, size_t size) override {
    return _write(fd_, data,
                  static_cast<unsigned>(std::min<size_t>(size, INT_MAX)));
  }

 private:
  int fd_;
};

}  // namespace

bool NamesDevice(const std::string& path) {
  size_t start = path.find_last_of("\\/:");
  start = start == std::string::npos ? 0 : start + 1;
  size_t end = path.find('.', start);
  if (end == std::string::npos) end = path.size();
  while (end > start && path[end - 1] == ' ') --end;
  std::string base = path.substr(start, end - start);
  for (char& c : base)
    c = static_cast<char>(toupper(static_cast<unsigned char>(c)));

  static const char* const kDevices[] = {"CON", "PRN",    "AUX",
                                         "NUL", "CONIN$", "CONOUT$"};
  for (const char* device : kDevices)
    if (base == device) return true;
  return base.size() == 4 &&
         (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) &&
         base[3] >= '1' && base[3] <= '9';
}

bool Win32FileSystem::IsReadable(const std::string& path) {
  return _access(path.c_str(), 4) != -1;
}

std::unique_ptr<InputFile>
Win32FileSystem::OpenPlaylist(const std::string& path) {
  // Binary: the playlist reader drops the carriage return before a line feed
  // itself, and a text-mode read would also stop at the first Ctrl-Z.
  int fd = _open(path.c_str(), _O_RDONLY | _O_BINARY);
  if (fd < 0) return nullptr;
  // A device such as CON opens fine but would wait for input forever.
  struct _stati64 info;
  if (_fstati64(fd, &info) != 0 || (info.st_mode & _S_IFMT) != _S_IFREG) {
    _close(fd);
    return nullptr;
  }
  Remember(&run_files_.playlist, path, fd);
  return std::make_unique<CrtInputFile>(fd, info.st_size);
}

void Win32FileSystem::Remember(RunFile* file, const std::string& path, int fd) {
  *file = RunFile();
  BY_HANDLE_FILE_INFORMATION info;
  HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
  size_t start = path.find_last_of("\\/:");
  start = start == std::string::npos ? 0 : start + 1;
  if (handle == INVALID_HANDLE_VALUE ||
      !GetFileInformationByHandle(handle, &info) ||
      !ReadAsUtf8(CP_ACP, path.substr(start), &file->name))
    return;
  file->volume = info.dwVolumeSerialNumber;
  file->index = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) |
                info.nFileIndexLow;
}

namespace {

// Whether no file has the name `path` in the ANSI code page; a name the
// code page cannot even form is not there either.
bool IsMissing(const std::string& path) {
  if (GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) return false;
  DWORD error = GetLastError();
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
         error == ERROR_INVALID_NAME || error == ERROR_BAD_PATHNAME;
}

// Paths are the playlist's bytes in the ANSI code page. The name as
// written comes first, as earlier versions renamed by it: so a Japanese
// Windows, whose ANSI code page is Shift_JIS, still restores what they
// numbered. The other readings name the file in Unicode, so that names
// outside the ANSI code page work too; they differ from it only outside
// ASCII.
class Win32Names : public NameReader {
 public:
  bool Read(Reading reading, const std::string& entry,
            std::string* path) override {
    if (reading == Reading::kAsWritten) return EntryToWindowsPath(entry, path);
    std::string written;
    return EntryToWindowsPath(entry, &written) &&
           ReadAsUtf8(reading == Reading::kShiftJis ? 932 : CP_UTF8, written,
                      path);
  }

  bool MayReadOtherwise(const std::string& old_path,
                        const std::string& new_path) override {
    return HasNonAscii(old_path) || HasNonAscii(new_path);
  }

  // The runtime's rename may copy across volumes and delete the original,
  // and a device such as NUL takes any copy: the file would be gone. No
  // reading that names one is used.
  bool Names(Reading reading, const std::string& old_path,
             const std::string& new_path) override {
    if (NamesDevice(old_path) || NamesDevice(new_path)) return false;
    if (reading == Reading::kAsWritten) return !IsMissing(old_path);
    std::wstring old_wide, new_wide;
    return ToWide(CP_UTF8, old_path, &old_wide) &&
           ToWide(CP_UTF8, new_path, &new_wide) &&
           GetFileAttributesW(old_wide.c_str()) != INVALID_FILE_ATTRIBUTES;
  }
};

}  // namespace

bool Win32FileSystem::Rename(const std::string& from, const std::string& to) {
  Win32Names names;
  std::string old_path, new_path;
  Reading reading;
  if (!ReadNames(&names, {Reading::kUtf8, Reading::kShiftJis}, from, to,
                 &old_path, &new_path, &reading))
    return false;
  // With no file there, the rename fails, and is logged as written.
  if (NamesDevice(old_path) || NamesDevice(new_path)) return false;
  // The stick record takes every path in UTF-8, however it was read.
  UINT code_page = reading == Reading::kAsWritten ? CP_ACP : CP_UTF8;
  std::string old_utf8, new_utf8;
  StickRecord::Folder folder;
  if (ReadAsUtf8(code_page, old_path, &old_utf8) &&
      ReadAsUtf8(code_page, new_path, &new_utf8))
    folder = record_.FolderOf(new_utf8);
  std::wstring old_wide, new_wide;
  bool renamed;
  if (folder.stick) {
    // Neither replaces nor copies to another volume; the record puts the
    // rename on the stick.
    renamed = ToWide(CP_UTF8, old_utf8, &old_wide) &&
              ToWide(CP_UTF8, new_utf8, &new_wide) &&
              MoveFileExW(old_wide.c_str(), new_wide.c_str(),
                          MOVEFILE_WRITE_THROUGH);
  } else if (reading != Reading::kAsWritten) {
    // The runtime's rename fails when the new name exists: it never
    // replaces.
    renamed = ToWide(CP_UTF8, old_path, &old_wide) &&
              ToWide(CP_UTF8, new_path, &new_wide) &&
              _wrename(old_wide.c_str(), new_wide.c_str()) == 0;
  } else {
    renamed = rename(old_path.c_str(), new_path.c_str()) == 0;
  }
  if (renamed && folder.medium) record_.Renamed(folder, old_utf8, new_utf8);
  return renamed;
}

bool Win32FileSystem::TakeUnplacedFile(std::string* from, std::string* to) {
  if (!record_.TakeStranded(from, to)) return false;
  // Logged in the ANSI code page, as the playlist's own lines, where it
  // holds the names.
  for (std::string* path : {from, to}) {
    std::wstring wide;
    std::string ansi;
    if (ToWide(CP_UTF8, *path, &wide) && FromWide(CP_ACP, wide, &ansi))
      *path = ansi;
  }
  return true;
}

void Win32FileSystem::RenamesDone() {
  record_.Done();
  run_files_ = RunFiles();
}

std::unique_ptr<OutputFile>
Win32FileSystem::CreateLog(const std::string& name) {
  // Binary, since the log writes its own CR LF line ends.
  int fd = _open(name.c_str(), _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY,
                 _S_IREAD | _S_IWRITE);
  if (fd < 0) return nullptr;
  Remember(&run_files_.log, name, fd);
  return std::make_unique<CrtOutputFile>(fd);
}

bool Win32FileSystem::Delete(const std::string& name) {
  if (!DeleteFileA(name.c_str())) return false;
  // The folder holds the deletion: on the medium once the folder is, where
  // the user may flush it (with write access to it). Under Wine on Linux
  // vfat that is all that writes it before the stick may be pulled.
  size_t end = name.find_last_of("\\/");
  std::wstring path;
  OpenFolder folder;
  if (ToWide(CP_ACP, end == std::string::npos ? "" : name.substr(0, end + 1),
             &path) &&
      folder.Open(path))
    folder.Flush();
  return true;
}

LocalTime Win32FileSystem::Now() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  LocalTime time;
  time.year = now.wYear;
  time.month = now.wMonth;
  time.day = now.wDay;
  time.hour = now.wHour;
  time.minute = now.wMinute;
  return time;
}

}  // namespace quenby
