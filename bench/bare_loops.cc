#include "bare_loops.h"

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include "linux_path.h"
#include "numbered_path.h"
#include "playlist_text.h"

namespace quenby {

BareWork PrepareBareWork(uint32_t entries) {
  BareWork work;
  work.plain.reserve(entries);
  work.numbered.reserve(entries);
  work.failure_lines.reserve(entries);
  std::string numbered;
  for (uint32_t number = 1; number <= entries; ++number) {
    std::string path = EntryPath(number);
    MakeNumberedPath(path, number, &numbered);
    work.plain.push_back(ToPosixPath(path));
    work.numbered.push_back(ToPosixPath(numbered));
    work.failure_lines.push_back("Playlist #" + std::to_string(number) + ": " +
                                 numbered + " could not be renamed to " + path +
                                 "\r\n");
    std::string folder = ToPosixPath(EntryFolder(number));
    if (work.folders.empty() || work.folders.back() != folder)
      work.folders.push_back(folder);
  }
  return work;
}

uint32_t BareRenameLoop(const std::vector<std::string>& from,
                        const std::vector<std::string>& to) {
  uint32_t failures = 0;
  for (size_t i = 0; i < from.size(); ++i) {
    if (renameat2(AT_FDCWD, from[i].c_str(), AT_FDCWD, to[i].c_str(),
                  RENAME_NOREPLACE) != 0)
      ++failures;
  }
  return failures;
}

void SyncFileSystem() {
  int fd = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  syncfs(fd);
  close(fd);
}

void SyncFolders(const std::vector<std::string>& folders) {
  for (const std::string& folder : folders) {
    int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) continue;
    fsync(fd);
    close(fd);
  }
}

uint32_t BareFailureLoop(const BareWork& work, const std::string& log_name,
                         bool renames_first, bool durable) {
  int fd = open(log_name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC,
                0644);
  if (fd < 0) return 0;
  uint32_t failures = 0;
  for (size_t i = 0; i < work.failure_lines.size(); ++i) {
    if (renames_first &&
        renameat2(AT_FDCWD, work.numbered[i].c_str(), AT_FDCWD,
                  work.plain[i].c_str(), RENAME_NOREPLACE) != 0)
      ++failures;
    const std::string& line = work.failure_lines[i];
    if (write(fd, line.data(), line.size()) !=
        static_cast<ssize_t>(line.size()))
      break;
  }
  if (durable) fsync(fd);
  close(fd);
  return failures;
}

}  // namespace quenby
