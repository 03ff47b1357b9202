// A file system in memory whose renames wait until the test lets them go,
// so that a test can look at the dialog while a run is under way.
#ifndef QUENBY_TESTS_QT_BLOCKING_FILE_SYSTEM_H_
#define QUENBY_TESTS_QT_BLOCKING_FILE_SYSTEM_H_

#include <condition_variable>
#include <mutex>
#include <string>

#include "memory_file_system.h"

class BlockingFileSystem : public quenby::MemoryFileSystem {
 public:
  bool Rename(const std::string& from, const std::string& to) override {
    std::unique_lock<std::mutex> lock(mutex_);
    waiting_ = true;
    released_cv_.wait(lock, [this] { return released_; });
    waiting_ = false;
    return MemoryFileSystem::Rename(from, to);
  }

  // True while a rename waits for Release.
  bool Waiting() {
    std::lock_guard<std::mutex> lock(mutex_);
    return waiting_;
  }

  // Lets every rename through, now and later.
  void Release() {
    std::lock_guard<std::mutex> lock(mutex_);
    released_ = true;
    released_cv_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable released_cv_;
  bool waiting_ = false;
  bool released_ = false;
};

#endif  // QUENBY_TESTS_QT_BLOCKING_FILE_SYSTEM_H_
