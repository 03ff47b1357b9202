#include "win32_stick.h"

#include <windows.h>

#include "wide_names.h"
#include "win32_slots.h"

namespace quenby {

namespace {

// The volume serial number and file index of what `path` names, file or
// folder; with `directory`, whether it is a folder.
bool Identify(const std::wstring& path, uint32_t* volume, uint64_t* index,
              bool* directory = nullptr) {
  HANDLE handle = OpenPath(path, FILE_READ_ATTRIBUTES);
  if (handle == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info;
  bool known = GetFileInformationByHandle(handle, &info) != 0;
  CloseHandle(handle);
  if (!known) return false;
  *volume = info.dwVolumeSerialNumber;
  *index = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) |
           info.nFileIndexLow;
  if (directory)
    *directory = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  return true;
}

class Win32StickFolder : public StickFolder {
 public:
  Win32StickFolder(bool exfat, const RunFiles& run_files)
      : exfat_(exfat), run_files_(run_files) {}

  bool Open(const std::wstring& path) { return folder_.Open(path); }

  bool ListNames(const std::function<void(std::string_view name)>& each)
      override {
    std::vector<ListedEntry> entries;
    if (!ListFolder(folder_, &entries)) return false;
    std::string name;
    for (const ListedEntry& entry : entries)
      if (entry.name != L"." && entry.name != L".." &&
          FromWide(CP_UTF8, entry.name, &name))
        each(name);
    return true;
  }

  std::set<std::string> RunFilesHere() override {
    std::set<std::string> here;
    for (const RunFile* file : {&run_files_.playlist, &run_files_.log}) {
      std::wstring name;
      uint32_t volume = 0;
      uint64_t index = 0;
      if (file->name.empty() || !ToWide(CP_UTF8, file->name, &name) ||
          !Identify(folder_.path() + name, &volume, &index) ||
          volume != file->volume || index != file->index)
        continue;
      // By the name the folder holds, as its listing spells it: the path
      // may have it in other letter case.
      WIN32_FIND_DATAW found;
      HANDLE find = FindFirstFileW((folder_.path() + name).c_str(), &found);
      std::string listed;
      if (find != INVALID_HANDLE_VALUE) {
        FindClose(find);
        if (FromWide(CP_UTF8, found.cFileName, &listed)) here.insert(listed);
      }
    }
    return here;
  }

  std::unique_ptr<SlotFolder> Slots() override {
    return std::make_unique<Win32Slots>(&folder_, exfat_);
  }

  void PutRenameOnStick(StickFolder* from, const std::string& name) override {
    std::wstring wide;
    if (!ToWide(CP_UTF8, name, &wide)) return;
    PutMoveOnStick(static_cast<Win32StickFolder*>(from)->folder_, folder_,
                   wide);
  }

 private:
  bool exfat_;
  const RunFiles& run_files_;
  OpenFolder folder_;
};

}  // namespace

bool Win32Stick::LookAt(const std::string& folder, Place* place) {
  std::wstring path;
  uint32_t volume = 0;
  uint64_t index = 0;
  bool directory = false;
  if (!ToWide(CP_UTF8, folder, &path) ||
      !Identify(path, &volume, &index, &directory) || !directory)
    return false;
  auto found = media_.find(volume);
  if (found == media_.end()) {
    Medium medium;
    wchar_t root[MAX_PATH + 1];
    wchar_t system[MAX_PATH + 1];
    if (GetVolumePathNameW(path.empty() ? L"." : path.c_str(), root,
                           MAX_PATH + 1) &&
        GetVolumeInformationW(root, nullptr, 0, nullptr, nullptr, nullptr,
                              system, MAX_PATH + 1)) {
      medium.root = root;
      std::wstring name = system;
      medium.exfat = name == L"exFAT";
      // A share names the file system of the computer that serves it,
      // whose slots are not this one's to order.
      medium.stick = (medium.exfat || name == L"FAT" || name == L"FAT32") &&
                     GetDriveTypeW(root) != DRIVE_REMOTE;
    }
    found = media_.emplace(volume, medium).first;
  }
  place->medium = volume;
  place->folder = index;
  place->on_stick = found->second.stick;
  place->check_case = false;
  return true;
}

std::unique_ptr<StickFolder> Win32Stick::Open(const std::string& folder,
                                              const Place& place) {
  std::wstring path;
  auto medium = media_.find(place.medium);
  if (medium == media_.end() || !ToWide(CP_UTF8, folder, &path)) return nullptr;
  auto open = std::make_unique<Win32StickFolder>(medium->second.exfat,
                                                 *run_files_);
  if (!open->Open(path)) return nullptr;
  return open;
}

void Win32Stick::SyncMedium(uint64_t medium) {
  auto found = media_.find(medium);
  if (found == media_.end() || !found->second.stick) return;
  // "E:\" as the volume "\\.\E:"; a volume mounted in a folder by its name.
  const std::wstring& root = found->second.root;
  std::wstring volume;
  if (root.size() == 3 && root[1] == L':') {
    volume = L"\\\\.\\" + root.substr(0, 2);
  } else {
    wchar_t name[MAX_PATH + 1];
    if (!GetVolumeNameForVolumeMountPointW(root.c_str(), name, MAX_PATH + 1))
      return;
    volume = name;
    if (!volume.empty() && volume.back() == L'\\') volume.pop_back();
  }
  HANDLE handle = CreateFileW(volume.c_str(), GENERIC_READ | GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return;
  FlushFileBuffers(handle);
  CloseHandle(handle);
}

}  // namespace quenby
