// The engine's only door to the file system and the clock, so that a run can
// be driven against real disks (one implementation per platform) or against
// memory in tests.
#ifndef QUENBY_ENGINE_FILE_SYSTEM_H_
#define QUENBY_ENGINE_FILE_SYSTEM_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace quenby {

struct LocalTime {
  int year = 0;
  int month = 0;   // 1 to 12
  int day = 0;     // 1 to 31
  int hour = 0;    // 0 to 23
  int minute = 0;  // 0 to 59
};

// An open playlist, read as raw bytes; line splitting is the engine's job so
// that every platform reads a playlist the same way.
class InputFile {
 public:
  virtual ~InputFile() = default;
  // Fills up to `size` bytes. Returns the count read, 0 at the end of the
  // file, or -1 on a read error.
  virtual long Read(char* buffer, size_t size) = 0;
  // The bytes the file held when it was opened, all that Read will give;
  // 0 when not known.
  virtual uint64_t Size() const { return 0; }
};

// An open log. Every Write is one whole line that must reach the file at
// once, as an unbuffered write does.
class OutputFile {
 public:
  virtual ~OutputFile() = default;
  virtual bool Write(const char* data, size_t size) = 0;
  // Puts what was written on the medium, as far as the platform lets a user
  // ask for that; a stick may be pulled the moment the run says it is done.
  virtual bool Sync() = 0;
};

// A log on a platform's file handle, which may write less than it is given:
// Write goes on until all is written.
class HandleOutputFile : public OutputFile {
 public:
  bool Write(const char* data, size_t size) final {
    while (size > 0) {
      long count = WritePart(data, size);
      if (count <= 0) return false;
      data += count;
      size -= static_cast<size_t>(count);
    }
    return true;
  }

 protected:
  // Writes the start of `data`: returns how many bytes, 0 or less on
  // failure. An interrupted call is the platform's to repeat.
  virtual long WritePart(const char* data, size_t size) = 0;
};

// What a run does with its playlist's files.
enum class RunMode { kNumbering, kRestoring };

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // True unless the file is missing or the user may not read it.
  virtual bool IsReadable(const std::string& path) = 0;

  // A run in `mode` begins: its renames follow, until RenamesDone. Told,
  // not guessed from the names, so that a folder holding a user's own file
  // named like a numbered one is never taken for a numbered folder.
  virtual void StartRun(RunMode mode) = 0;

  // Opens a playlist named by a native path. Null when it cannot be opened
  // or is not a regular file; opening never blocks.
  virtual std::unique_ptr<InputFile> OpenPlaylist(const std::string& path) = 0;

  // Renames `from` to `to`, both paths as a playlist writes them (backslash
  // separated). Never replaces an existing file: that case fails.
  virtual bool Rename(const std::string& from, const std::string& to) = 0;

  // Creates or empties the log file `name` in the current directory. Null
  // when it cannot be opened.
  virtual std::unique_ptr<OutputFile> CreateLog(const std::string& name) = 0;

  // A file that the file system moved for its own work (putting a folder in
  // order) and could not put back, since its name was taken meanwhile and a
  // rename never replaces: `from` is where it stands, `to` where it
  // belongs. The run logs each as a failed rename. False when none is left.
  virtual bool TakeUnplacedFile(std::string* from, std::string* to) {
    (void)from;
    (void)to;
    return false;
  }

  // The run renames nothing more: when this returns, every rename it made
  // is on the medium, and what the file system learnt for the run is
  // forgotten. Called once per run that read its playlist, before the log
  // is closed or deleted. A failed sync is not reported: it changes no
  // rename that was made, and a medium that is gone failed those renames.
  virtual void RenamesDone() = 0;

  // Deletes `name`, and the deletion is on the medium when it returns;
  // failure is the caller's to ignore.
  virtual bool Delete(const std::string& name) = 0;

  virtual LocalTime Now() = 0;
};

}  // namespace quenby

#endif  // QUENBY_ENGINE_FILE_SYSTEM_H_
