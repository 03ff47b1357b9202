// A file system held in memory, for tests, fuzzing and benchmarks: files are
// names with contents, the clock is whatever the test sets, and every fault
// that a real disk can show can be injected.
#ifndef QUENBY_TESTS_SUPPORT_MEMORY_FILE_SYSTEM_H_
#define QUENBY_TESTS_SUPPORT_MEMORY_FILE_SYSTEM_H_

#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "file_system.h"

namespace quenby {

class MemoryFileSystem : public FileSystem {
 public:
  // Files by name. Entry paths are stored exactly as the playlist writes
  // them; "output.txt" is the log.
  std::map<std::string, std::string> files;

  LocalTime now;

  // Faults to inject.
  std::set<std::string> unreadable;      // IsReadable() is false for these.
  std::set<std::string> unopenable;      // OpenPlaylist() fails for these.
  std::set<std::string> rename_refused;  // Rename() from these fails.
  // Rename() fails when either path holds one of these bytes, as Windows
  // refuses "?" or "*" in a name.
  std::string invalid_name_bytes;
  long renames_allowed = -1;     // Renames after this many fail (media gone).
  long read_error_at = -1;       // Playlist reads fail from this byte on.
  bool log_refused = false;      // CreateLog() fails.
  long log_writes_allowed = -1;  // Log writes after this many fail.
  bool delete_refused = false;

  // Every rename asked for, in order, unless turned off (a bench with a
  // million entries need not keep them). `rename_does_nothing` succeeds
  // without touching `files`, to measure the engine alone.
  bool record_renames = true;
  bool rename_does_nothing = false;
  std::vector<std::pair<std::string, std::string>> renames;
  long rename_calls = 0;
  long log_writes = 0;

  // What reached the medium when: "rename" (recorded like `renames`),
  // "renames done", "log sync", "log closed" and "delete NAME", in order.
  std::vector<std::string> journal;

  // Files the file system could not put back, handed to the run at its
  // next look; those of `unplaced_when_done` join them when the renames
  // are done, as an order step's would.
  std::vector<std::pair<std::string, std::string>> unplaced, unplaced_when_done;

  // The names of the playlists and logs open now. Like Windows, this file
  // system renames no open file.
  std::multiset<std::string> open_files;

  bool IsReadable(const std::string& path) override;
  void StartRun(RunMode mode) override { (void)mode; }
  std::unique_ptr<InputFile> OpenPlaylist(const std::string& path) override;
  bool Rename(const std::string& from, const std::string& to) override;
  std::unique_ptr<OutputFile> CreateLog(const std::string& name) override;
  bool TakeUnplacedFile(std::string* from, std::string* to) override;
  void RenamesDone() override;
  bool Delete(const std::string& name) override;
  LocalTime Now() override { return now; }
};

}  // namespace quenby

#endif  // QUENBY_TESTS_SUPPORT_MEMORY_FILE_SYSTEM_H_
