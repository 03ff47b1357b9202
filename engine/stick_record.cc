#include "stick_record.h"

#include <algorithm>

#include "fat_names.h"
#include "fat_order.h"

namespace quenby {

struct StickRecord::Medium {
  uint64_t id = 0;
  bool renamed = false;
};

struct StickRecord::KnownFolder {
  std::string path;  // Its folder part, as the run first spelt it.
  // Null when it could not be opened or read: it hides nothing, and a
  // rename there is put on the stick with the whole medium.
  std::unique_ptr<StickFolder> open;
  bool check_case = false;
  bool numbered = false;
  std::set<std::string> run_files;  // Stay where they stand.
  // FatNameKey of each name, with how many names share it: a folder written
  // by a driver that misses letter case may hold two that differ only in it.
  std::unordered_map<std::string, int> names;
};

StickRecord::StickRecord(StickPlatform* platform, std::string_view separators)
    : platform_(platform), separators_(separators) {}

StickRecord::~StickRecord() { Forget(); }

size_t StickRecord::FolderLength(std::string_view path) const {
  // One backward search per separator, which stops at the name's start: a
  // search for any of a set costs a look-up per byte.
  size_t length = 0;
  for (char separator : separators_) {
    size_t at = path.rfind(separator);
    if (at != std::string_view::npos) length = std::max(length, at + 1);
  }
  return length;
}

StickRecord::Folder StickRecord::FolderOf(const std::string& path) {
  // Most paths lie in the folder of the one before: a comparison and a
  // forward search past it (memchr) tell, cheaper than finding the
  // folder's end from the back.
  if (have_last_ && path.size() >= last_path_.size() &&
      path.compare(0, last_path_.size(), last_path_) == 0) {
    bool deeper = false;
    for (char separator : separators_)
      deeper = deeper ||
               path.find(separator, last_path_.size()) != std::string::npos;
    if (!deeper) return last_;
  }

  // Not kept when it fails: the folder may yet appear, renamed by the run.
  have_last_ = false;
  last_path_.assign(path, 0, FolderLength(path));
  StickPlatform::Place place;
  if (!platform_->LookAt(last_path_, &place)) return Folder();

  Folder folder;
  for (const auto& known : media_)
    if (known->id == place.medium) folder.medium = known.get();
  if (!folder.medium) {
    media_.push_back(std::make_unique<Medium>());
    folder.medium = media_.back().get();
    folder.medium->id = place.medium;
  }
  if (place.on_stick) {
    std::unique_ptr<KnownFolder>& known =
        folders_[std::make_pair(place.medium, place.folder)];
    if (!known) {
      known = std::make_unique<KnownFolder>();
      known->path = last_path_;
      known->check_case = place.check_case;
      known->open = platform_->Open(last_path_, place);
      if (known->open) {
        known->run_files = known->open->RunFilesHere();
        Order(known.get(), false);
      }
      if (known->open && known->check_case &&
          !known->open->ListNames([&known](std::string_view name) {
            ++known->names[FatNameKey(name)];
          }))
        known->open.reset();
    }
    folder.stick = known.get();
  }
  last_ = folder;
  have_last_ = true;
  return folder;
}

bool StickRecord::Taken(const Folder& folder, const std::string& path) const {
  return folder.stick && folder.stick->check_case &&
         folder.stick->names.count(FatNameKey(
             std::string_view(path).substr(FolderLength(path)))) != 0;
}

void StickRecord::Renamed(const Folder& folder, const std::string& old_path,
                          const std::string& new_path) {
  folder.medium->renamed = true;
  KnownFolder* to = folder.stick;
  if (!to) return;
  size_t old_length = FolderLength(old_path);
  size_t new_length = FolderLength(new_path);
  KnownFolder* from = to;
  if (old_path.compare(0, old_length, new_path, 0, new_length) != 0) {
    // Renamed between two folders: entries never are, but a caller may.
    from = FolderOf(old_path).stick;
  }
  if (!to->open || !from || !from->open) {
    platform_->SyncMedium(folder.medium->id);  // All of it, unread.
    return;
  }
  std::string new_name = new_path.substr(new_length);
  if (from->check_case) {
    auto old_key = from->names.find(FatNameKey(std::string_view(old_path)
                                                   .substr(old_length)));
    if (old_key != from->names.end() && --old_key->second == 0)
      from->names.erase(old_key);
  }
  if (to->check_case) ++to->names[FatNameKey(new_name)];
  if (mode_ == RunMode::kNumbering) to->numbered = true;
  to->open->PutRenameOnStick(from->open.get(), new_name);
}

void StickRecord::Order(KnownFolder* folder, bool start) {
  std::unique_ptr<SlotFolder> slots = folder->open->Slots();
  OrderOutcome outcome = PutInOrder(slots.get(), start, folder->run_files);
  for (std::string& name : outcome.stranded)
    stranded_.emplace_back(folder->path, std::move(name));
}

void StickRecord::Done() {
  for (const auto& folder : folders_)
    if (folder.second->numbered && folder.second->open)
      Order(folder.second.get(), true);
  for (const auto& medium : media_)
    if (medium->renamed) platform_->SyncMedium(medium->id);
  Forget();
}

bool StickRecord::TakeStranded(std::string* from, std::string* to) {
  if (stranded_.empty()) return false;
  const std::string& folder = stranded_.front().first;
  const std::string& name = stranded_.front().second;
  *from = folder + kStagingName + separators_[0] + name;
  *to = folder + name;
  stranded_.pop_front();
  return true;
}

void StickRecord::Forget() {
  folders_.clear();
  media_.clear();
  have_last_ = false;
  platform_->Forget();
}

}  // namespace quenby
