// The playlists with Windows paths from the shared folder of real ones,
// numbered and restored on the Windows file system: the files their local
// entries name are made first, named as a Windows user has them (in the
// ANSI code page, or in Unicode where the playlist is UTF-8). Drive letters
// other than C: are folders of the build that Wine maps (wine.sh).
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "fake_dialog.h"
#include "reliability/run_model.h"
#include "text_encoding.h"
#include "win32_file_system.h"
#include "win32_temp_dir.h"

namespace quenby {
namespace {

const struct {
  const char* file;
  int local;
  int urls;
} kPlaylists[] = {
    {"atldotnet__ATL.unit-test_Resources__Playlists_playlist_fullPath.m3u", 3,
     1},
    {"banshee__tests_data_playlist-data_dos_path_nokia.m3u", 2, 0},
    {"beets__test_rsrc_playlist_windows.m3u8", 2, 0},
    {"gemorroj-m3uparser__tests_fixtures_extinf.m3u", 2, 4},
    {"js-playlist-parser__test_with_carriage_return.m3u", 25, 0},
    {"mitchmindtree-m3u__tests_ext.m3u", 4, 0},
    {"mitchmindtree-m3u__tests_mixed.m3u", 5, 2},
    {"mp3-m3u-parser__t_data_mixed.m3u", 26, 0},
    {"mp3-m3u-parser__t_data_test.m3u", 14, 0},
    {"nightingale__components_mediaimport_playlist_test_files_win_parse.m3u", 7,
     1},
    {"nightingale__components_mediaimport_playlist_test_files_win_relative_"
     "local.m3u",
     4, 0},
    {"nightingale__components_mediaimport_playlist_test_files_win_utf8.m3u8", 3,
     0},
    {"playlist-zipper__playlist_test_test.m3u", 3, 0},
};

// The name a Windows user's file has for a line.
std::wstring WideName(const std::string& line) {
  UINT code_page = HasNonAscii(line) && IsValidUtf8(line) ? CP_UTF8 : CP_ACP;
  int count = MultiByteToWideChar(code_page, 0, line.data(),
                                  static_cast<int>(line.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(count), L'\0');
  MultiByteToWideChar(code_page, 0, line.data(), static_cast<int>(line.size()),
                      &wide[0], count);
  return wide;
}

std::wstring FullName(const std::wstring& name) {
  wchar_t full[MAX_PATH * 2];
  DWORD length = GetFullPathNameW(name.c_str(), MAX_PATH * 2, full, nullptr);
  return std::wstring(full, length);
}

// Files and folders that a case made, removed again in reverse order, so
// that nothing of the prefix's own drive C: is touched.
class MadeFiles {
 public:
  ~MadeFiles() {
    for (auto it = made_.rbegin(); it != made_.rend(); ++it) {
      DeleteFileW(it->c_str());
      RemoveDirectoryW(it->c_str());
    }
  }
  bool Make(const std::wstring& name, const std::string& contents) {
    std::wstring full = FullName(name);
    for (size_t slash = full.find(L'\\', 3); slash != std::wstring::npos;
         slash = full.find(L'\\', slash + 1)) {
      std::wstring folder = full.substr(0, slash);
      if (CreateDirectoryW(folder.c_str(), nullptr)) made_.push_back(folder);
    }
    HANDLE file = CreateFileW(full.c_str(), GENERIC_WRITE, 0, nullptr,
                              CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    made_.push_back(full);
    DWORD written = 0;
    ::WriteFile(file, contents.data(), static_cast<DWORD>(contents.size()),
                &written, nullptr);
    return CloseHandle(file) && written == contents.size();
  }
  // A numbered name left behind by a failed restore goes too.
  void Forget(const std::wstring& name) { made_.push_back(FullName(name)); }

 private:
  std::vector<std::wstring> made_;
};

struct Entry {
  std::string line;
  std::wstring name;
  std::wstring numbered;
  std::string contents;
};

TEST(Win32RealPlaylistsTest, EveryLocalEntryIsNumberedAndRestored) {
  std::string folder = std::string("Z:") + QUENBY_REAL_PLAYLISTS;
  std::replace(folder.begin(), folder.end(), '/', '\\');
  if (GetFileAttributesA(folder.c_str()) == INVALID_FILE_ATTRIBUTES)
    GTEST_SKIP() << "no real playlists at " << folder;
  int local_total = 0;
  for (const auto& playlist : kPlaylists) {
    SCOPED_TRACE(playlist.file);
    TempDir dir;
    // Two folders down, so that "..\" entries stay inside.
    WriteFile("a\\b\\list.m3u", ReadFile(folder + "\\" + playlist.file));
    SetCurrentDirectoryA("a\\b");
    MadeFiles made;
    std::vector<Entry> local;
    std::set<std::wstring> names;
    int urls = 0;
    uint32_t number = 0;
    for (const model::Line& line :
         model::Lines(ReadFile("list.m3u"), -1, nullptr)) {
      if (!line.text.empty() && line.text[0] == '#') continue;
      ++number;
      if (model::IsBlank(line.text)) continue;
      if (model::IsRemoteUrl(line.text)) {
        ++urls;
        continue;
      }
      Entry entry{line.text, WideName(line.text),
                  WideName(model::Numbered(line.text, number)),
                  "entry " + std::to_string(number)};
      ASSERT_TRUE(names.insert(FullName(entry.name)).second) << line.text;
      ASSERT_TRUE(made.Make(entry.name, entry.contents)) << line.text;
      made.Forget(entry.numbered);
      local.push_back(entry);
    }
    EXPECT_EQ(playlist.local, static_cast<int>(local.size()));
    EXPECT_EQ(playlist.urls, urls);
    const char* message = urls == 0 ? kMessageSuccess : kMessageFailures;

    Win32FileSystem fs;
    FakeDialog dialog;
    dialog.path = "list.m3u";
    dialog.Run(&fs, kIdNumberMode);
    EXPECT_EQ(message, dialog.Message());
    for (const Entry& entry : local)
      EXPECT_EQ(entry.contents, ReadFile(entry.numbered)) << entry.line;
    dialog.Run(&fs, kIdRestoreMode);
    EXPECT_EQ(message, dialog.Message());
    for (const Entry& entry : local)
      EXPECT_EQ(entry.contents, ReadFile(entry.name)) << entry.line;
    local_total += static_cast<int>(local.size());
    DeleteFileA("output.txt");
    SetCurrentDirectoryA(dir.path().c_str());
  }
  std::printf("%d local entries numbered and restored\n", local_total);
}

}  // namespace
}  // namespace quenby
