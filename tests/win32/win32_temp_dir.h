// A fresh folder that is the current directory while a test runs, since the
// log and relative playlist entries live in the current directory. Names are
// ANSI bytes, as the program itself passes them.
#ifndef QUENBY_TESTS_WIN32_WIN32_TEMP_DIR_H_
#define QUENBY_TESTS_WIN32_WIN32_TEMP_DIR_H_

#include <direct.h>
#include <stdio.h>
#include <windows.h>

#include <string>

namespace quenby {

// Deletes a folder and everything in it.
inline void RemoveTree(const std::string& path) {
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA((path + "\\*").c_str(), &found);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      std::string name = found.cFileName;
      if (name == "." || name == "..") continue;
      std::string child = path + "\\" + name;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(child);
      } else {
        SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(child.c_str());
      }
    } while (FindNextFileA(find, &found));
    FindClose(find);
  }
  RemoveDirectoryA(path.c_str());
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
inline void WriteFile(const std::string& path, const std::string& contents) {
  for (size_t slash = path.find('\\', 1); slash != std::string::npos;
       slash = path.find('\\', slash + 1)) {
    CreateDirectoryA(path.substr(0, slash).c_str(), nullptr);
  }
  FILE* file = fopen(path.c_str(), "wb");
  if (!file) return;
  fwrite(contents.data(), 1, contents.size(), file);
  fclose(file);
}

// The bytes of `path`, or "<missing>".
inline std::string ReadFile(const std::string& path) {
  FILE* file = fopen(path.c_str(), "rb");
  if (!file) return "<missing>";
  std::string contents;
  char buffer[4096];
  size_t count;
  while ((count = fread(buffer, 1, sizeof buffer, file)) > 0)
    contents.append(buffer, count);
  fclose(file);
  return contents;
}

inline bool Exists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace quenby

#endif  // QUENBY_TESTS_WIN32_WIN32_TEMP_DIR_H_
