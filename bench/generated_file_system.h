// A file system that holds nothing: the playlist is made line by line as it
// is read, renames succeed without doing anything, and the log is thrown
// away. What a run costs on it in time and memory is the engine's own cost.
#ifndef QUENBY_BENCH_GENERATED_FILE_SYSTEM_H_
#define QUENBY_BENCH_GENERATED_FILE_SYSTEM_H_

#include <cstdint>
#include <string>

#include "file_system.h"

namespace quenby {

class GeneratedFileSystem : public FileSystem {
 public:
  GeneratedFileSystem(std::string playlist_path, uint32_t entries)
      : playlist_path_(std::move(playlist_path)), entries_(entries) {}

  bool IsReadable(const std::string& path) override;
  std::unique_ptr<InputFile> OpenPlaylist(const std::string& path) override;
  bool Rename(const std::string& from, const std::string& to) override;
  std::unique_ptr<OutputFile> CreateLog(const std::string& name) override;
  void StartRun(RunMode mode) override { (void)mode; }
  void RenamesDone() override {}
  bool Delete(const std::string& name) override;
  LocalTime Now() override { return LocalTime{2000, 6, 14, 15, 7}; }

  long renames() const { return renames_; }
  long log_writes() const { return log_writes_; }

 private:
  std::string playlist_path_;
  uint32_t entries_;
  long renames_ = 0;
  long log_writes_ = 0;
};

}  // namespace quenby

#endif  // QUENBY_BENCH_GENERATED_FILE_SYSTEM_H_
