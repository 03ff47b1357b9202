#include "generated_file_system.h"

#include <cstring>

#include "playlist_text.h"

namespace quenby {

namespace {

// Hands out the playlist text one entry at a time, so that a million entries
// never sit in memory.
class GeneratedPlaylist : public InputFile {
 public:
  explicit GeneratedPlaylist(uint32_t entries)
      : entries_(entries), pending_(kPlaylistHeader) {}

  long Read(char* buffer, size_t size) override {
    size_t filled = 0;
    while (filled < size) {
      if (pending_pos_ == pending_.size()) {
        if (next_ > entries_) break;
        pending_.clear();
        pending_pos_ = 0;
        AppendEntryLines(next_++, &pending_);
      }
      size_t count = std::min(size - filled, pending_.size() - pending_pos_);
      std::memcpy(buffer + filled, pending_.data() + pending_pos_, count);
      filled += count;
      pending_pos_ += count;
    }
    return static_cast<long>(filled);
  }

 private:
  uint32_t entries_;
  uint32_t next_ = 1;
  std::string pending_;
  size_t pending_pos_ = 0;
};

class DiscardedLog : public OutputFile {
 public:
  explicit DiscardedLog(long* writes) : writes_(writes) {}
  bool Write(const char*, size_t) override {
    ++*writes_;
    return true;
  }
  bool Sync() override { return true; }

 private:
  long* writes_;
};

}  // namespace

bool GeneratedFileSystem::IsReadable(const std::string& path) {
  return path == playlist_path_;
}

std::unique_ptr<InputFile>
GeneratedFileSystem::OpenPlaylist(const std::string& path) {
  if (path != playlist_path_) return nullptr;
  return std::make_unique<GeneratedPlaylist>(entries_);
}

bool GeneratedFileSystem::Rename(const std::string&, const std::string&) {
  ++renames_;
  return true;
}

std::unique_ptr<OutputFile> GeneratedFileSystem::CreateLog(const std::string&) {
  return std::make_unique<DiscardedLog>(&log_writes_);
}

bool GeneratedFileSystem::Delete(const std::string&) { return true; }

}  // namespace quenby
