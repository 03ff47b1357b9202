#include "exfat_slots.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>

#include "text_encoding.h"

namespace quenby {

namespace {

// A file entry, a stream entry, and a name entry per 15 UTF-16 units.
int SlotsFor(const std::string& name) {
  return 2 + static_cast<int>((Utf16Length(name) + 14) / 15);
}

struct Dirent64 {
  uint64_t ino;
  int64_t off;
  unsigned short reclen;
  unsigned char type;
  char name[1];
};

// One getdents64 call into `buffer` (32 KiB), of `*size` bytes, which grows
// to the whole buffer for a name too long for it.
long GetDents(int fd, char* buffer, size_t* size) {
  long read = syscall(SYS_getdents64, fd, buffer, *size);
  if (read < 0 && errno == EINVAL && *size < 32768) {
    *size = 32768;
    read = syscall(SYS_getdents64, fd, buffer, *size);
  }
  return read;
}

// The next entry of a getdents64 reading of `read` bytes from `*at` on,
// past "." and "..", or null at its end.
const Dirent64* NextEntry(const char* buffer, long read, long* at) {
  while (*at < read) {
    const Dirent64* entry = reinterpret_cast<const Dirent64*>(buffer + *at);
    *at += entry->reclen;
    if (strcmp(entry->name, ".") != 0 && strcmp(entry->name, "..") != 0)
      return entry;
  }
  return nullptr;
}

// Whether a reading of the folder from `at` begins with `name`: exfat
// passes over an entry set that begins before `at`.
bool BeginsWith(int fd, int64_t at, const std::string& name) {
  alignas(Dirent64) char buffer[32768];
  size_t size = 320;
  if (lseek(fd, at, SEEK_SET) != at) return false;
  for (;;) {
    long read = GetDents(fd, buffer, &size);
    if (read <= 0) return false;
    long at = 0;
    if (const Dirent64* entry = NextEntry(buffer, read, &at))
      return name == entry->name;
  }
}

// Where an entry that came last in a reading begins, between `low`, from
// which a reading begins with it, and `high`, what its offset tells. The
// folder's last entry gets the offset at which exfat stopped looking for
// another, past the free slots after it, so its offset may tell too much.
int64_t SettleStart(int fd, const std::string& name, int64_t low,
                    int64_t high) {
  // From `low` on in growing steps, then halving: an entry that ends the
  // folder mostly stands right after `low`.
  int64_t step = 32;
  while (low < high) {
    int64_t probe = std::min(low + step, high);
    if (!BeginsWith(fd, probe, name)) {
      high = probe - 32;
      break;
    }
    low = probe;
    step *= 2;
  }
  while (low < high) {
    int64_t middle = low + ((high - low) / 32 + 1) / 2 * 32;
    if (BeginsWith(fd, middle, name))
      low = middle;
    else
      high = middle - 32;
  }
  return low;
}

}  // namespace

// exfat's readdir walks the folder slot by slot, in the order entries stand
// on the stick, and gives each entry the offset of the slot just past it
// (32 bytes a slot; "." and ".." get 1 and 2), but for the folder's last
// (see SettleStart). An entry whose slots do not follow the last one's ends
// the reading: the positions are not what the step builds on, and the
// order is left alone.
bool ExfatSlots::ReadSlots(int fd, int64_t from, const std::string* stop_at,
                           std::vector<Entry>* entries) {
  entries->clear();
  if (lseek(fd, from, SEEK_SET) != from) return false;
  // A reading up to one name needs an entry or two, not the buffer's worth
  // that exfat would look up and hand over each time.
  alignas(Dirent64) char buffer[32768];
  size_t size = stop_at ? 320 : sizeof buffer;
  int64_t end = (from + 31) / 32 * 32;
  for (;;) {
    long read = GetDents(fd, buffer, &size);
    if (read <= 0) return read == 0 && stop_at == nullptr;
    long at = 0;
    while (const Dirent64* entry = NextEntry(buffer, read, &at)) {
      std::string name = entry->name;
      int slots = SlotsFor(name);
      int64_t start = entry->off - 32 * slots;
      if (start < end) return false;
      if (at == read) {
        off_t next = lseek(fd, 0, SEEK_CUR);
        start = SettleStart(fd, name, end, start);
        if (lseek(fd, next, SEEK_SET) != next) return false;
      }
      end = start + 32 * slots;
      entries->push_back({name, entry->type == DT_DIR, start, slots});
      if (stop_at && name == *stop_at) return true;
    }
  }
}

bool ExfatSlots::CompleteListing(int fd, bool staging,
                                 std::vector<Entry>* entries) {
  (void)fd;
  (void)staging;
  (void)entries;
  return true;  // readdir tells folders from files; the mark is listed out.
}

bool ExfatSlots::StandsAt(int64_t at, const std::string& name, Entry* entry) {
  // exfat reads on from a slot through every free slot after the entry it
  // finds there: behind the cursor, all the folder's moved-out files. So a
  // reading costs as much as the move itself, and the file's place is
  // foreseen instead. Every slot before `at` is taken, and exfat puts a new
  // entry set into the first free run that holds it: here, unless an entry
  // the last listing showed stands in its way (the step's own, made since,
  // all stand before `at`).
  const int slots = SlotsFor(name);
  if (foresee_) {
    const int64_t end = at + 32 * slots;
    for (const auto& standing : standing_) {
      const Entry& other = standing.second;
      if (other.start < end && other.start + 32 * other.slots > at)
        return false;
    }
  } else if (!BeginsWith(folder_, at, name) ||
             BeginsWith(folder_, at + 32, name)) {
    // Read: a reading from `at` begins with it, and one from the next slot
    // passes over it.
    return false;
  }
  *entry = {name, false, at, slots};
  return true;
}

bool ExfatSlots::ReadLandings() {
  if (!foresee_) return false;
  foresee_ = false;
  return true;
}

bool ExfatSlots::Mark() { return TagMark(); }

bool ExfatSlots::Marked() { return TagMarked(); }

bool ExfatSlots::Move(int from_fd, int to_fd, const std::string& name,
                      bool left_first) {
  (void)left_first;  // One sync writes both folders.
  if (renameat2(from_fd, name.c_str(), to_fd, name.c_str(), RENAME_NOREPLACE) !=
      0)
    return false;
  PutExfatRenameOnStick(sync_, to_fd);
  return true;
}

bool ExfatSlots::MoveOut(const std::string& name) {
  int staging = Staging();
  return staging >= 0 && Move(folder_, staging, name, false);
}

int ExfatSlots::PlaceholderSlots() const { return SlotsFor("QNB00001.$$$"); }

}  // namespace quenby
