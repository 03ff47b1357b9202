#include "win32_slots.h"

#include "wide_names.h"

namespace quenby {

namespace {

constexpr int64_t kSlot = 32;  // Bytes a directory slot takes.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE |
                            FILE_SHARE_DELETE;
constexpr DWORD kStagingMark = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

const std::wstring& StagingPart() {
  static const std::wstring part =
      std::wstring(kStagingName, kStagingName + sizeof kStagingName - 1) +
      L"\\";
  return part;
}

bool IsDots(const std::wstring& name) { return name == L"." || name == L".."; }

// A handle on the file at `path` for writing, which a flush needs.
HANDLE OpenForFlush(const std::wstring& path) {
  return CreateFileW(path.c_str(), GENERIC_WRITE, kShareAll, nullptr,
                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Flushes and closes `file`; false where it was not open or the flush
// failed.
bool FlushAndClose(HANDLE file) {
  if (file == INVALID_HANDLE_VALUE) return false;
  bool flushed = FlushFileBuffers(file) != 0;
  CloseHandle(file);
  return flushed;
}

// Flushes the file at `path` through a handle of its own.
bool FlushFile(const std::wstring& path) {
  return FlushAndClose(OpenForFlush(path));
}

// A read-only file takes no write handle: it loses the attribute for as long
// as one takes to open, and the flush writes it back with its entry. A
// pull in between leaves it writable, its contents whole.
bool FlushReadOnlyFile(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES ||
      (attributes & FILE_ATTRIBUTE_READONLY) == 0 ||
      (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ||
      !SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY))
    return false;
  HANDLE file = OpenForFlush(path);
  SetFileAttributesW(path.c_str(), attributes);
  return FlushAndClose(file);
}

bool ListByHandle(HANDLE folder, std::vector<ListedEntry>* entries) {
  // Whole entries, aligned as the structures want.
  static_assert(sizeof(LONGLONG) == 8, "");
  std::vector<LONGLONG> buffer(8192);
  FILE_INFO_BY_HANDLE_CLASS kind = FileIdBothDirectoryRestartInfo;
  for (;;) {
    if (!GetFileInformationByHandleEx(folder, kind, buffer.data(),
                                      static_cast<DWORD>(buffer.size() * 8)))
      return GetLastError() == ERROR_NO_MORE_FILES;
    kind = FileIdBothDirectoryInfo;
    const char* at = reinterpret_cast<const char*>(buffer.data());
    for (;;) {
      const auto* info = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(at);
      ListedEntry entry;
      entry.name.assign(info->FileName, info->FileNameLength / sizeof(WCHAR));
      entry.directory = (info->FileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
      entry.size = static_cast<uint64_t>(info->EndOfFile.QuadPart);
      entry.id = info->FileId.QuadPart;
      entry.short_name = info->ShortNameLength > 0;
      entries->push_back(std::move(entry));
      if (info->NextEntryOffset == 0) break;
      at += info->NextEntryOffset;
    }
  }
}

bool ListByName(const std::wstring& folder, std::vector<ListedEntry>* entries) {
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW((folder + L"*").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return false;
  do {
    ListedEntry entry;
    entry.name = found.cFileName;
    entry.directory = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    entry.size = (static_cast<uint64_t>(found.nFileSizeHigh) << 32) |
                 found.nFileSizeLow;
    entry.short_name = found.cAlternateFileName[0] != 0;
    entries->push_back(std::move(entry));
  } while (FindNextFileW(find, &found));
  bool ended = GetLastError() == ERROR_NO_MORE_FILES;
  FindClose(find);
  return ended;
}

}  // namespace

HANDLE OpenPath(const std::wstring& path, DWORD access) {
  return CreateFileW(path.empty() ? L"." : path.c_str(), access, kShareAll,
                     nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                     nullptr);
}

bool OpenFolder::Open(const std::wstring& path) {
  Close();
  path_ = path;
  // Write access only flushes; a folder the user may only read is listed.
  writable_ = true;
  handle_ = OpenPath(path, GENERIC_READ | GENERIC_WRITE);
  if (handle_ == INVALID_HANDLE_VALUE) {
    writable_ = false;
    handle_ = OpenPath(path, GENERIC_READ);
  }
  BY_HANDLE_FILE_INFORMATION info;
  if (handle_ != INVALID_HANDLE_VALUE &&
      (!GetFileInformationByHandle(handle_, &info) ||
       (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0))
    Close();
  return handle_ != INVALID_HANDLE_VALUE;
}

void OpenFolder::Close() {
  if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  handle_ = INVALID_HANDLE_VALUE;
  writable_ = false;
}

bool OpenFolder::Flush() const {
  return writable_ && FlushFileBuffers(handle_) != 0;
}

bool ListFolder(const OpenFolder& folder, std::vector<ListedEntry>* entries) {
  entries->clear();
  // A handle of its own each time: Wine keeps what a handle listed first
  // for the handle's life, restarts included, and the step lists a folder
  // again after its moves.
  HANDLE handle = OpenPath(folder.path(), GENERIC_READ);
  bool listed = handle != INVALID_HANDLE_VALUE && ListByHandle(handle, entries);
  if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  if (listed) return true;
  // A system without the handle's listing: names alone, no ids.
  entries->clear();
  return ListByName(folder.path(), entries);
}

void PutMoveOnStick(const OpenFolder& from, const OpenFolder& to,
                    const std::wstring& name) {
  std::wstring path = to.path() + name;
  bool file = FlushFile(path) || FlushReadOnlyFile(path);
  (void)file;  // Where even that fails, the folders are all there is.
  to.Flush();
  if (from.handle() != to.handle()) from.Flush();
}

const OpenFolder* Win32Slots::Staging() {
  if (staging_.handle() == INVALID_HANDLE_VALUE &&
      !staging_.Open(folder_->path() + StagingPart()))
    return nullptr;
  return &staging_;
}

std::wstring Win32Slots::PathOf(bool staging, const std::string& name) {
  std::wstring wide;
  if (!ToWide(CP_UTF8, name, &wide) || wide.empty()) return std::wstring();
  return folder_->path() + (staging ? StagingPart() : std::wstring()) + wide;
}

int Win32Slots::SlotsFor(const ListedEntry& entry) const {
  int64_t length = static_cast<int64_t>(entry.name.size());
  // exFAT: a file entry, a stream entry, a name entry per 15 units. FAT:
  // the short entry, and one per 13 units of a long name, which an entry
  // has when it has a short name of its own besides.
  if (exfat_) return 2 + static_cast<int>((length + 14) / 15);
  return 1 + (entry.short_name ? static_cast<int>((length + 12) / 13) : 0);
}

bool PlaceEntries(const std::vector<int64_t>& ids, bool dots,
                  std::vector<SlotFolder::Entry>* entries) {
  bool knows = entries->size() >= 2 && ids.size() == entries->size();
  int64_t end = 0;
  for (size_t i = 0; knows && i < entries->size(); ++i) {
    SlotFolder::Entry& entry = (*entries)[i];
    // The short entry comes last of an entry's slots.
    entry.start = ids[i] - kSlot * (entry.slots - 1);
    knows = ids[i] >= 0 && ids[i] % kSlot == 0 &&
            (i == 0 || entry.start >= end);
    end = entry.start + kSlot * entry.slots;
  }
  // Where the folder's first cluster lies is not told: its "." and ".."
  // take its first two slots, and the first entry listed is taken to follow
  // them. A free run before it counts as taken.
  int64_t next = dots ? 2 * kSlot : 0;
  int64_t shift = knows ? next - (*entries)[0].start : 0;
  for (SlotFolder::Entry& entry : *entries) {
    if (knows) {
      entry.start += shift;
    } else {
      entry.start = next;
      next += kSlot * entry.slots;
    }
  }
  return knows;
}

bool Win32Slots::ListSlots(const OpenFolder& folder, bool staging,
                           std::vector<Entry>* entries, bool* knows) {
  std::vector<ListedEntry> listed;
  std::vector<int64_t> ids;
  entries->clear();
  if (!ListFolder(folder, &listed)) return false;
  bool dots = false;
  for (const ListedEntry& item : listed) {
    if (IsDots(item.name)) {
      dots = true;
      continue;
    }
    Entry entry;
    if (!FromWide(CP_UTF8, item.name, &entry.name)) return false;
    if (staging && !item.directory && item.size == 0 &&
        entry.name == kStagingMarkName) {
      if (!entries->empty()) lists_slots_ = false;
      continue;
    }
    entry.directory = item.directory;
    entry.slots = SlotsFor(item);
    entries->push_back(std::move(entry));
    ids.push_back(item.id);
  }
  // Nothing is known of where Windows' exFAT puts an entry, nor of its ids.
  if (exfat_) ids.clear();
  *knows = PlaceEntries(ids, dots, entries);
  return true;
}

bool Win32Slots::List(bool staging, std::vector<Entry>* entries) {
  const OpenFolder* folder = staging ? Staging() : folder_;
  bool knows = false;
  if (!folder || !ListSlots(*folder, staging, entries, &knows)) return false;
  if (!staging) knows_positions_ = knows;
  return true;
}

bool Win32Slots::ReadFrom(int64_t from, const std::string& name,
                          std::vector<Entry>* entries) {
  std::vector<Entry> all;
  entries->clear();
  if (!List(false, &all)) return false;
  for (Entry& entry : all) {
    if (entry.start + kSlot * entry.slots <= from) continue;
    bool last = entry.name == name;
    entries->push_back(std::move(entry));
    if (last) return true;
  }
  return false;
}

bool Win32Slots::Holds(bool staging, const std::string& name) {
  std::wstring path = PathOf(staging, name);
  return !path.empty() &&
         GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool Win32Slots::Marked() {
  std::wstring path = folder_->path() + StagingPart();
  DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES &&
      (attributes & kStagingMark) == kStagingMark)
    return true;
  WIN32_FILE_ATTRIBUTE_DATA mark;
  std::wstring mark_path = PathOf(true, kStagingMarkName);
  return GetFileAttributesExW(mark_path.c_str(), GetFileExInfoStandard,
                              &mark) &&
         (mark.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
         mark.nFileSizeHigh == 0 && mark.nFileSizeLow == 0;
}

bool Win32Slots::Mark() {
  const OpenFolder* staging = Staging();
  if (!staging) return false;
  std::wstring path = folder_->path() + StagingPart();
  // On FAT the attributes, as Linux's vfat marks it; where they do not
  // hold (exFAT, or Wine over a driver that keeps none), the file.
  if (!exfat_) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES &&
        SetFileAttributesW(path.c_str(), attributes | kStagingMark) &&
        (GetFileAttributesW(path.c_str()) & kStagingMark) == kStagingMark) {
      staging->Flush();
      folder_->Flush();
      return true;
    }
  }
  std::wstring mark_path = PathOf(true, kStagingMarkName);
  HANDLE mark = CreateFileW(mark_path.c_str(), GENERIC_WRITE, 0, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (mark == INVALID_HANDLE_VALUE) return false;
  CloseHandle(mark);
  staging->Flush();
  folder_->Flush();  // Its size too, should the staging folder have grown it.
  return Marked();
}

bool Win32Slots::HasStaging() {
  std::wstring path = folder_->path() + StagingPart();
  DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES ||
      (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 || !Staging())
    return false;
  if (Marked()) return true;
  // Empty and unmarked: a pull came between its making and its marks, or
  // during its removal.
  std::vector<Entry> entries;
  bool knows = false;
  return ListSlots(staging_, true, &entries, &knows) && entries.empty() &&
         Mark();
}

bool Win32Slots::MakeStaging() {
  std::wstring path = folder_->path() + StagingPart();
  if (!CreateDirectoryW(path.c_str(), nullptr)) return false;
  const OpenFolder* staging = Staging();
  if (!staging) {
    RemoveStaging();
    return false;
  }
  // Its cluster and the FAT first, then its entry: an entry on the stick
  // before its folder's cluster is a broken folder to the next reader.
  staging->Flush();
  folder_->Flush();
  if (!Mark()) {
    RemoveStaging();
    return false;
  }
  return true;
}

bool Win32Slots::RemoveStaging() {
  // The mark goes last of what the folder holds: a staging folder with
  // files but no mark would be a user's.
  std::vector<Entry> entries;
  bool knows = false;
  if (Staging() &&
      (!ListSlots(staging_, true, &entries, &knows) || !entries.empty()))
    return false;
  std::wstring mark_path = PathOf(true, kStagingMarkName);
  if (!DeleteFileW(mark_path.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND)
    return false;
  staging_.Close();
  std::wstring path = folder_->path() + StagingPart();
  if (!RemoveDirectoryW(path.c_str())) return false;
  folder_->Flush();
  return true;
}

bool Win32Slots::Move(const OpenFolder& from, const OpenFolder& to,
                      const std::string& name) {
  std::wstring wide;
  if (!ToWide(CP_UTF8, name, &wide) || wide.empty()) return false;
  // No MOVEFILE_REPLACE_EXISTING, nor a copy to another volume.
  if (!MoveFileExW((from.path() + wide).c_str(), (to.path() + wide).c_str(),
                   MOVEFILE_WRITE_THROUGH))
    return false;
  PutMoveOnStick(from, to, wide);
  return true;
}

bool Win32Slots::MoveOut(const std::string& name) {
  const OpenFolder* staging = Staging();
  return staging && Move(*folder_, *staging, name);
}

bool Win32Slots::MoveIn(const std::string& name) {
  const OpenFolder* staging = Staging();
  return staging && Move(*staging, *folder_, name);
}

bool Win32Slots::MakePlaceholder(const std::string& name) {
  std::wstring path = PathOf(false, name);
  HANDLE file = path.empty()
                    ? INVALID_HANDLE_VALUE
                    : CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr,
                                  CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  CloseHandle(file);
  // Its entry, and a cluster the folder grew by, before the FAT links that
  // cluster in: a flush of the folder writes them in that order.
  folder_->Flush();
  return true;
}

bool Win32Slots::RemovePlaceholder(const std::string& name) {
  return RemoveEmpty(false, name);
}

bool Win32Slots::RemoveEmpty(bool staging, const std::string& name) {
  // Only an empty file: it holds nothing to lose.
  const OpenFolder* folder = staging ? Staging() : folder_;
  std::wstring path = PathOf(staging, name);
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!folder || path.empty() ||
      !GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) ||
      (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ||
      data.nFileSizeHigh != 0 || data.nFileSizeLow != 0 ||
      !DeleteFileW(path.c_str()))
    return false;
  folder->Flush();
  return true;
}

int Win32Slots::PlaceholderSlots() const {
  // "QNB00001.$$$": a short name alone on FAT; on exFAT a set of three.
  return exfat_ ? 3 : 1;
}

}  // namespace quenby
