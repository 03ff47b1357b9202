#include "memory_file_system.h"

#include <cstring>

namespace quenby {

namespace {

// Keeps a name in the file system's open files while it lives.
class OpenName {
 public:
  OpenName(MemoryFileSystem* fs, std::string name)
      : fs_(fs), at_(fs->open_files.insert(std::move(name))) {}
  ~OpenName() { fs_->open_files.erase(at_); }
  OpenName(const OpenName&) = delete;
  OpenName& operator=(const OpenName&) = delete;
  const std::string& name() const { return *at_; }

 private:
  MemoryFileSystem* fs_;
  std::multiset<std::string>::iterator at_;
};

class MemoryInputFile : public InputFile {
 public:
  // A snapshot, as a real file is read only to the size it had when opened.
  MemoryInputFile(MemoryFileSystem* fs, std::string name, std::string contents,
                  long error_at)
      : open_(fs, std::move(name)),
        contents_(std::move(contents)),
        error_at_(error_at) {}

  long Read(char* buffer, size_t size) override {
    size_t end = contents_.size();
    if (error_at_ >= 0) {
      if (pos_ >= static_cast<size_t>(error_at_)) return -1;
      end = std::min(end, static_cast<size_t>(error_at_));
    }
    size_t count = std::min(size, end - pos_);
    std::memcpy(buffer, contents_.data() + pos_, count);
    pos_ += count;
    return static_cast<long>(count);
  }

  uint64_t Size() const override { return contents_.size(); }

 private:
  OpenName open_;
  std::string contents_;
  long error_at_;
  size_t pos_ = 0;
};

class MemoryOutputFile : public OutputFile {
 public:
  MemoryOutputFile(MemoryFileSystem* fs, std::string name)
      : fs_(fs), open_(fs, std::move(name)) {}
  ~MemoryOutputFile() override { fs_->journal.push_back("log closed"); }

  bool Write(const char* data, size_t size) override {
    ++fs_->log_writes;
    if (fs_->log_writes_allowed >= 0 &&
        fs_->log_writes > fs_->log_writes_allowed)
      return false;
    // Written through at once; a deleted log takes no more writes.
    auto file = fs_->files.find(open_.name());
    if (file == fs_->files.end()) return false;
    file->second.append(data, size);
    return true;
  }

  bool Sync() override {
    fs_->journal.push_back("log sync");
    return true;
  }

 private:
  MemoryFileSystem* fs_;
  OpenName open_;
};

}  // namespace

bool MemoryFileSystem::IsReadable(const std::string& path) {
  return files.count(path) != 0 && unreadable.count(path) == 0;
}

std::unique_ptr<InputFile>
MemoryFileSystem::OpenPlaylist(const std::string& path) {
  auto file = files.find(path);
  if (file == files.end() || unopenable.count(path) != 0) return nullptr;
  return std::make_unique<MemoryInputFile>(this, path, file->second,
                                           read_error_at);
}

bool MemoryFileSystem::Rename(const std::string& from, const std::string& to) {
  ++rename_calls;
  if (record_renames) {
    renames.emplace_back(from, to);
    journal.push_back("rename");
  }
  if (rename_does_nothing) return true;
  if (rename_refused.count(from) != 0 || open_files.count(from) != 0)
    return false;
  if (renames_allowed >= 0 && rename_calls > renames_allowed) return false;
  if (!invalid_name_bytes.empty() &&
      (from.find_first_of(invalid_name_bytes) != std::string::npos ||
       to.find_first_of(invalid_name_bytes) != std::string::npos))
    return false;
  auto source = files.find(from);
  if (source == files.end() || files.count(to) != 0) return false;
  std::string contents = std::move(source->second);
  files.erase(source);
  files.emplace(to, std::move(contents));
  return true;
}

bool MemoryFileSystem::TakeUnplacedFile(std::string* from, std::string* to) {
  if (unplaced.empty()) return false;
  *from = unplaced.front().first;
  *to = unplaced.front().second;
  unplaced.erase(unplaced.begin());
  return true;
}

void MemoryFileSystem::RenamesDone() {
  journal.push_back("renames done");
  unplaced.insert(unplaced.end(), unplaced_when_done.begin(),
                  unplaced_when_done.end());
  unplaced_when_done.clear();
}

std::unique_ptr<OutputFile>
MemoryFileSystem::CreateLog(const std::string& name) {
  if (log_refused) return nullptr;
  files[name].clear();
  return std::make_unique<MemoryOutputFile>(this, name);
}

bool MemoryFileSystem::Delete(const std::string& name) {
  journal.push_back("delete " + name);
  if (delete_refused) return false;
  return files.erase(name) != 0;
}

}  // namespace quenby
