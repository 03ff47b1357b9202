// What one run learns of the folders it renames in: the file systems to put
// on the medium when its renames are done, and the folders on USB sticks
// (FAT32, exFAT): the names they hold where the driver misses letter case,
// which the run numbered in, the run's own files among them, and what the
// order step could not put back. One record per run, forgotten when the run
// ends, as a run is the only writer of those names.
#ifndef QUENBY_ENGINE_STICK_RECORD_H_
#define QUENBY_ENGINE_STICK_RECORD_H_

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "file_system.h"
#include "stick_platform.h"

namespace quenby {

class StickRecord {
 public:
  struct Medium;
  struct KnownFolder;
  // The folder a path lies in. No medium: it cannot be looked at, and no
  // rename there can succeed either.
  struct Folder {
    Medium* medium = nullptr;
    KnownFolder* stick = nullptr;  // On a stick only.
  };

  // `separators` end a path's folder part; the first joins one.
  StickRecord(StickPlatform* platform, std::string_view separators);
  ~StickRecord();
  StickRecord(const StickRecord&) = delete;
  StickRecord& operator=(const StickRecord&) = delete;

  void Start(RunMode mode) { mode_ = mode; }

  // The folder of the native path `path`, looked at once per run: a run
  // renames a folder's files one after another. A stick folder that an
  // order step cut short left unfinished is finished first.
  Folder FolderOf(const std::string& path);

  // Whether `folder` holds the last part of `path` in any letter case,
  // where its driver would miss that.
  bool Taken(const Folder& folder, const std::string& path) const;

  // After `old_path` was renamed to `new_path` in `folder` (the folder of
  // `new_path`): on a stick, the rename is on it before the next.
  void Renamed(const Folder& folder, const std::string& old_path,
               const std::string& new_path);

  // Puts the stick folders the run numbered in in slot order, every medium
  // renamed on on the medium, and forgets the run.
  void Done();

  // A file that an order step left in its staging folder, as the paths
  // where it stands and where it belongs. False when none is left.
  bool TakeStranded(std::string* from, std::string* to);

 private:
  size_t FolderLength(std::string_view path) const;
  // Runs the order step on `folder`; with `start` false, only to finish a
  // step cut short.
  void Order(KnownFolder* folder, bool start);
  void Forget();

  StickPlatform* platform_;
  std::string separators_;
  RunMode mode_ = RunMode::kRestoring;
  std::vector<std::unique_ptr<Medium>> media_;
  // The stick folders by identity, so that two spellings of one folder
  // share its names.
  std::map<std::pair<uint64_t, uint64_t>, std::unique_ptr<KnownFolder>>
      folders_;
  // Files the order step stranded: the folder part of their path, as the
  // run spells it, and their name.
  std::deque<std::pair<std::string, std::string>> stranded_;
  std::string last_path_;  // The folder part of the last path looked at.
  bool have_last_ = false;
  Folder last_;
};

}  // namespace quenby

#endif  // QUENBY_ENGINE_STICK_RECORD_H_
