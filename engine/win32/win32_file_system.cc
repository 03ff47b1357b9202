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
  return std::make_unique<CrtInputFile>(fd, info.st_size);
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

// `text` read in `code_page`; false when it is not valid there.
bool ToWide(UINT code_page, const std::string& text, std::wstring* wide) {
  int count = MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, text.data(),
                                  static_cast<int>(text.size()), nullptr, 0);
  if (count <= 0) return false;
  wide->resize(static_cast<size_t>(count));
  return MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, text.data(),
                             static_cast<int>(text.size()), &(*wide)[0],
                             count) == count;
}

// `text` read in `code_page`, in UTF-8: there a 0x5C byte is always a
// backslash, so the engine's byte-wise path helpers apply.
bool ReadAsUtf8(UINT code_page, const std::string& text, std::string* utf8) {
  if (code_page == CP_UTF8) {
    if (!IsValidUtf8(text)) return false;
    *utf8 = text;
    return true;
  }
  std::wstring wide;
  if (!ToWide(code_page, text, &wide)) return false;
  int size = static_cast<int>(wide.size());
  int count = WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0,
                                  nullptr, nullptr);
  if (count <= 0) return false;
  utf8->resize(static_cast<size_t>(count));
  return WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, &(*utf8)[0], count,
                             nullptr, nullptr) == count;
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
  // The runtime's rename fails when the new name exists: it never replaces.
  if (reading != Reading::kAsWritten) {
    std::wstring old_wide, new_wide;
    return ToWide(CP_UTF8, old_path, &old_wide) &&
           ToWide(CP_UTF8, new_path, &new_wide) &&
           _wrename(old_wide.c_str(), new_wide.c_str()) == 0;
  }
  // With no file there, the rename fails, and is logged as written.
  return !NamesDevice(old_path) && !NamesDevice(new_path) &&
         rename(old_path.c_str(), new_path.c_str()) == 0;
}

std::unique_ptr<OutputFile>
Win32FileSystem::CreateLog(const std::string& name) {
  // Binary, since the log writes its own CR LF line ends.
  int fd = _open(name.c_str(), _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY,
                 _S_IREAD | _S_IWRITE);
  if (fd < 0) return nullptr;
  return std::make_unique<CrtOutputFile>(fd);
}

bool Win32FileSystem::Delete(const std::string& name) {
  return DeleteFileA(name.c_str()) != 0;
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
