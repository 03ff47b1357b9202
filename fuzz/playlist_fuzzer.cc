// Any bytes as a playlist, run through both modes against a file system in
// memory: numbering, removal, numbering again with faults that the bytes
// choose, and removal once more. Every run must ask for exactly the renames,
// leave exactly the files and the log, and show exactly the message that the
// plain model works out; no file may be lost, no existing name replaced.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fake_dialog.h"
#include "memory_file_system.h"
#include "reliability/run_model.h"
#include "run_state.h"

namespace quenby {
namespace {

// A NUL in the name: no entry line can name the playlist (a line with a NUL
// is never renamed), so every run of the four finds it.
const std::string kList("list\0.m3u", 9);
const char kHeader[] = "1/5/2001 at 8:03am -";

void Fail(const char* what) {
  std::fprintf(stderr, "broken promise: %s\n", what);
  std::abort();
}

// Refuses to let any rename succeed onto a name that was taken.
class GuardedFileSystem : public MemoryFileSystem {
 public:
  bool Rename(const std::string& from, const std::string& to) override {
    bool taken = files.count(to) != 0;
    bool renamed = MemoryFileSystem::Rename(from, to);
    if (renamed && taken) Fail("a rename replaced an existing file");
    return renamed;
  }
};

uint64_t Hash(const std::string& bytes) {
  uint64_t hash = 14695981039346656037u;
  for (unsigned char c : bytes) hash = (hash ^ c) * 1099511628211u;
  return hash;
}

void RunAndCheck(GuardedFileSystem* fs, int mode, const model::Faults& faults) {
  model::Outcome expected = model::Run(kList, mode, fs->files, faults, kHeader);
  std::multiset<std::string> before = model::Contents(fs->files);
  faults.ApplyTo(fs);
  FakeDialog dialog;
  dialog.path = kList;
  dialog.Run(fs, mode);

  if (dialog.messages.size() != 1) Fail("not exactly one message");
  if (dialog.Message() != expected.message) Fail("wrong message");
  if (fs->renames != expected.renames) Fail("other renames than the lines ask");
  if (fs->files != expected.files) Fail("other files or log than expected");
  if (EntryNumber != expected.entry_number) Fail("entries miscounted");
  if (model::Contents(fs->files) != before) Fail("a file was lost");
  model::Faults{}.ApplyTo(fs);
}

// Whether numbering and removal must give back every name: the entry lines
// are distinct, all fit, and none is another entry's numbered name.
bool RoundTripHolds(const std::string& bytes) {
  std::set<std::string> plain, numbered;
  uint32_t number = 0;
  for (const model::Line& line : model::Lines(bytes, -1, nullptr)) {
    if (!line.text.empty() && line.text[0] == '#') continue;
    ++number;
    if (model::IsBlank(line.text)) continue;
    std::string to = model::Numbered(line.text, number);
    if (!model::Renamable(line, to) || !plain.insert(line.text).second)
      return false;
    numbered.insert(to);
  }
  for (const std::string& name : plain)
    if (numbered.count(name) != 0) return false;
  return true;
}

}  // namespace
}  // namespace quenby

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace quenby;
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const uint64_t hash = Hash(bytes);

  // A file for most entry lines; every fifth or so stays missing.
  GuardedFileSystem fs;
  fs.now = {2001, 1, 5, 8, 3};
  fs.files[kList] = bytes;
  int count = 0;
  std::vector<std::string> entries;
  for (const model::Line& line : model::Lines(bytes, -1, nullptr)) {
    if (line.text.empty() || line.text[0] == '#') continue;
    // A listed file named like the log is the log here, and the checks
    // below could not tell the two apart; unit tests cover that entry.
    if (line.text == "output.txt") return 0;
    entries.push_back(line.text);
    if (Hash(line.text) % 5 != 0)
      fs.files.emplace(line.text, "file " + std::to_string(count++));
  }
  const std::map<std::string, std::string> original = fs.files;

  model::Faults none;
  RunAndCheck(&fs, kIdNumberMode, none);
  RunAndCheck(&fs, kIdRestoreMode, none);
  std::map<std::string, std::string> restored = fs.files;
  restored.erase("output.txt");
  if (RoundTripHolds(bytes) && restored != original)
    Fail("removal did not give back every numbered name");

  // Faults chosen by the bytes, then a clean removal after them.
  model::Faults faults;
  if (!entries.empty() && (hash & 0x100))
    faults.rename_refused.insert(entries[(hash >> 9) % entries.size()]);
  if (!(hash & 1)) faults.renames_allowed = (hash >> 3) % (entries.size() + 1);
  if (!(hash & 2)) faults.read_error_at = (hash >> 5) % (size + 1);
  if (!(hash & 4)) faults.log_writes_allowed = (hash >> 7) % 4;
  faults.log_refused = (hash & 0x30) == 0x30;
  faults.delete_refused = (hash & 0x40) != 0;
  if (hash & 0x80) faults.invalid_name_bytes = "?*:";
  RunAndCheck(&fs, kIdNumberMode, faults);
  RunAndCheck(&fs, kIdRestoreMode, none);
  return 0;
}
