// The stick record's questions answered on Windows: a folder is on a stick
// when its volume's file system is FAT, FAT32 or exFAT, as the system names
// it. Paths come in UTF-8, as the Windows file system hands them to the
// record; Windows matches names without regard to letter case itself.
#ifndef QUENBY_ENGINE_WIN32_WIN32_STICK_H_
#define QUENBY_ENGINE_WIN32_WIN32_STICK_H_

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "stick_platform.h"

namespace quenby {

// A file that the run holds open, its playlist or its log.
struct RunFile {
  std::string name;     // The last part of its path, in UTF-8.
  uint32_t volume = 0;  // Its volume's serial number.
  uint64_t index = 0;   // Its file index there.
};

// The run's playlist and log.
struct RunFiles {
  RunFile playlist;
  RunFile log;
};

class Win32Stick : public StickPlatform {
 public:
  // `run_files` are the file system's, kept up to date by it.
  explicit Win32Stick(const RunFiles* run_files) : run_files_(run_files) {}
  ~Win32Stick() override { Forget(); }

  // The medium is the volume's serial number, the folder its file index.
  bool LookAt(const std::string& folder, Place* place) override;
  std::unique_ptr<StickFolder> Open(const std::string& folder,
                                    const Place& place) override;
  // Flushes the whole volume, where the user may (an administrator): the
  // renames are on the stick already, folder by folder.
  void SyncMedium(uint64_t medium) override;
  void Forget() override { media_.clear(); }

 private:
  struct Medium {
    std::wstring root;  // Where the volume is mounted, as "E:\".
    bool stick = false;
    bool exfat = false;
  };
  const RunFiles* run_files_;
  std::map<uint64_t, Medium> media_;
};

}  // namespace quenby

#endif  // QUENBY_ENGINE_WIN32_WIN32_STICK_H_
