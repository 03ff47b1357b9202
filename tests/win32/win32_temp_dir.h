// A fresh folder that is the current directory while a test runs, since the
// log and relative playlist entries live in the current directory. Names are
// ANSI bytes, as the program itself passes them, or Unicode, as a user's
// files outside that code page have them.
#ifndef QUENBY_TESTS_WIN32_WIN32_TEMP_DIR_H_
#define QUENBY_TESTS_WIN32_WIN32_TEMP_DIR_H_

#include <windows.h>
#include <direct.h>
#include <stdio.h>

#include <string>

namespace quenby {

// `bytes` in the ANSI code page, as the system's ANSI calls read them.
inline std::wstring AnsiToWide(const std::string& bytes) {
  int size = static_cast<int>(bytes.size());
  int count = MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, nullptr, 0);
  std::wstring wide(static_cast<size_t>(count > 0 ? count : 0), L'\0');
  if (count > 0)
    MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, &wide[0], count);
  return wide;
}

// Deletes a folder and everything in it, by Unicode names, so that names
// the ANSI code page cannot hold go too.
inline void RemoveTree(const std::wstring& path) {
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW((path + L"\\*").c_str(), &found);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      std::wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      std::wstring child = path + L"\\" + name;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(child);
      } else {
        SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(child.c_str());
      }
    } while (FindNextFileW(find, &found));
    FindClose(find);
  }
  RemoveDirectoryW(path.c_str());
}

inline void RemoveTree(const std::string& path) {
  RemoveTree(AnsiToWide(path));
}

class TempDir {
 public:
  TempDir() {
    char base[MAX_PATH];
    GetTempPathA(MAX_PATH, base);
    for (unsigned n = GetTickCount();; ++n) {
      path_ = std::string(base) + "quenby-test-" + std::to_string(n);
      if (CreateDirectoryA(path_.c_str(), nullptr)) break;
    }
    char cwd[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, cwd);
    old_cwd_ = cwd;
    SetCurrentDirectoryA(path_.c_str());
  }
  ~TempDir() {
    SetCurrentDirectoryA(old_cwd_.c_str());
    RemoveTree(path_);
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  std::string old_cwd_;
};

// Writes `contents` to `path` byte for byte, making its folders first.
inline void WriteFile(const std::wstring& path, const std::string& contents) {
  for (size_t slash = path.find(L'\\', 1); slash != std::wstring::npos;
       slash = path.find(L'\\', slash + 1)) {
    CreateDirectoryW(path.substr(0, slash).c_str(), nullptr);
  }
  FILE* file = _wfopen(path.c_str(), L"wb");
  if (!file) return;
  fwrite(contents.data(), 1, contents.size(), file);
  fclose(file);
}

inline void WriteFile(const std::string& path, const std::string& contents) {
  WriteFile(AnsiToWide(path), contents);
}

// The bytes of `path`, or "<missing>".
inline std::string ReadFile(const std::wstring& path) {
  FILE* file = _wfopen(path.c_str(), L"rb");
  if (!file) return "<missing>";
  std::string contents;
  char buffer[4096];
  size_t count;
  while ((count = fread(buffer, 1, sizeof buffer, file)) > 0)
    contents.append(buffer, count);
  fclose(file);
  return contents;
}

inline std::string ReadFile(const std::string& path) {
  return ReadFile(AnsiToWide(path));
}

inline bool Exists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

inline bool Exists(const std::string& path) { return Exists(AnsiToWide(path)); }

}  // namespace quenby

#endif  // QUENBY_TESTS_WIN32_WIN32_TEMP_DIR_H_
