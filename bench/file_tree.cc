#include "file_tree.h"

#include <fcntl.h>
#include <ftw.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include "linux_path.h"
#include "numbered_path.h"
#include "playlist_text.h"

namespace quenby {

std::string NativeEntryPath(uint32_t number, bool numbered) {
  std::string path = EntryPath(number);
  if (!numbered) return ToPosixPath(path);
  std::string numbered_path;
  MakeNumberedPath(path, number, &numbered_path);
  return ToPosixPath(numbered_path);
}

bool CreateFileTree(const std::string& root, uint32_t entries, bool files) {
  if (mkdir(root.c_str(), 0755) != 0) return false;
  std::string music = root + "/Music";
  if (mkdir(music.c_str(), 0755) != 0) return false;
  for (uint32_t number = 1; number <= entries; ++number) {
    if ((number - 1) % kFilesPerFolder == 0) {
      std::string folder = root + "/" + ToPosixPath(EntryFolder(number));
      if (mkdir(folder.c_str(), 0755) != 0) return false;
    }
    if (!files) continue;
    std::string file = root + "/" + NativeEntryPath(number, false);
    int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    close(fd);
  }
  return true;
}

uint32_t CountEntryFiles(const std::string& root, uint32_t entries,
                         bool numbered) {
  uint32_t count = 0;
  for (uint32_t number = 1; number <= entries; ++number) {
    std::string file = root + "/" + NativeEntryPath(number, numbered);
    if (access(file.c_str(), F_OK) == 0) ++count;
  }
  return count;
}

namespace {

int RemoveOne(const char* path, const struct stat*, int, struct FTW*) {
  remove(path);
  return 0;
}

}  // namespace

void RemoveTree(const std::string& root) {
  nftw(root.c_str(), RemoveOne, 16, FTW_DEPTH | FTW_PHYS);
}

}  // namespace quenby
