// Puts the files of a folder on FAT in slot order. Many car stereos and
// small players play a folder in the order its entries stand on the stick,
// not by name; renaming in place scrambles that order, since every new name
// takes the first free slots.
//
// The kernel's vfat and exfat put a new entry into the first run of free
// slots from the folder's start that holds it. So the files are moved out
// into a staging folder inside the folder and back in the wanted order, one
// durable rename at a time; a gap that the next file does not fit is filled
// with empty placeholder files, so that no later, shorter name can jump ahead
// into it. The staging folder is the step's only record: a step cut short by a
// kill or a pulled stick is finished from it by the next run.
//
// Windows' fastfat puts a new entry into the never-used end of the folder's
// clusters first, and into free runs from the start only once that end is
// full. The step is not told the driver: where its first placeholder lands
// past slots the files just left, it fills that end with placeholders of
// long names until one lands in front, and from then on the rule is the
// kernel's. Where it still lands past them, the files come back unordered.
#ifndef QUENBY_ENGINE_FAT_ORDER_H_
#define QUENBY_ENGINE_FAT_ORDER_H_

#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace quenby {

// The staging folder: a short upper-case name, one slot, that users do not
// give their folders.
constexpr char kStagingName[] = "QUENBY.$$$";

// An empty file of this name in the staging folder marks it as ours: the
// Linux program writes it on both file systems, the Windows one where the
// folder keeps no attributes (exFAT, FAT under Wine). The step never moves
// it.
constexpr char kStagingMarkName[] = "QUENBY.TAG";

// Whether `name` is one of the step's placeholders ("QNB00001.$$$").
bool IsPlaceholderName(const std::string& name);

// One folder on FAT or exFAT and its staging folder, as the order step sees
// them. Every change is on the medium before the call returns.
class SlotFolder {
 public:
  struct Entry {
    std::string name;
    bool directory = false;
    int64_t start = 0;  // Where its first slot stands, in bytes.
    int slots = 1;      // How many slots it takes.
  };
  virtual ~SlotFolder() = default;

  // The entries of the folder, or of the staging folder, in slot order,
  // "." and ".." among them where the folder holds them.
  virtual bool List(bool staging, std::vector<Entry>* entries) = 0;
  // The folder's entries from the slot at `from` on, up to and including
  // the first named `name`; the entry at `from` itself may show under its
  // short name.
  virtual bool ReadFrom(int64_t from, const std::string& name,
                        std::vector<Entry>* entries) = 0;

  // Whether the folder's entry `name` begins right at the slot at `at`,
  // with what it takes there; most files coming back land at the cursor.
  // A folder whose readings cost much may answer from where its driver's
  // rule puts a new entry: the step checks the order it made at its end.
  virtual bool StandsAt(int64_t at, const std::string& name, Entry* entry) {
    std::vector<Entry> read;
    if (!ReadFrom(at, name, &read) || read.empty() || read.back().start != at)
      return false;
    *entry = read.back();
    return true;
  }
  // Makes StandsAt read from now on; whether it foresaw until now.
  virtual bool ReadLandings() { return false; }

  // Whether the folder, or the staging folder, holds an entry of that name.
  virtual bool Holds(bool staging, const std::string& name) = 0;

  // Whether the folder holds a staging folder of ours; an empty one of that
  // name, which a pull can leave before it is marked as ours, is marked.
  virtual bool HasStaging() = 0;
  virtual bool MakeStaging() = 0;
  // Removes the staging folder once it is empty.
  virtual bool RemoveStaging() = 0;

  // Moves the file `name` into the staging folder, or back; never replaces
  // a file of that name.
  virtual bool MoveOut(const std::string& name) = 0;
  virtual bool MoveIn(const std::string& name) = 0;

  // Makes an empty placeholder file, or removes one.
  virtual bool MakePlaceholder(const std::string& name) = 0;
  virtual bool RemovePlaceholder(const std::string& name) = 0;
  // Removes the file `name` from the folder, or from the staging folder, if
  // it is empty: the twin that a move cut short by a pull leaves, its entry
  // written before it got the file's clusters.
  virtual bool RemoveEmpty(bool staging, const std::string& name) = 0;

  // The slots a placeholder takes, the fewest any entry takes: a free run
  // shorter holds nothing, and a longer one a placeholder per so many.
  virtual int PlaceholderSlots() const { return 1; }

  // Whether List tells where each entry stands, and ReadFrom and StandsAt
  // read. Where only the order of the listing is known (Windows' calls
  // where ids are no offsets, as under Wine), every free slot in front is
  // taken by placeholders before the files come back, and a driver that
  // puts a new entry into the first free run puts them behind, in order.
  virtual bool KnowsPositions() const { return true; }
  // Whether the listings follow the slots at all, as far as the last
  // listing of the staging folder showed. Wine lists a folder by name, as
  // NTFS does: there nothing tells where placeholders land, and the step
  // leaves the files where the driver puts them.
  virtual bool ListsInSlotOrder() const { return true; }
};

struct OrderOutcome {
  bool ordered = false;
  // Files left in the staging folder: their names were taken meanwhile in
  // the folder, and no rename replaces a file.
  std::vector<std::string> stranded;
};

// The order wanted for `files` (in the order they stand now): the names
// that begin with an order number (ReadOrderNumber), in number order, then
// the others as they stand.
std::vector<std::string> WantedOrder(const std::vector<std::string>& files);

// Puts the folder's files in the wanted order: numbered files first, in
// number order, then the rest as they stood; subfolders and the files named
// in `fixed` stay where they stand. Finishes first whatever the staging
// folder holds; with `start` false, only that.
OrderOutcome PutInOrder(SlotFolder* folder, bool start,
                        const std::set<std::string>& fixed = {});

}  // namespace quenby

#endif  // QUENBY_ENGINE_FAT_ORDER_H_
