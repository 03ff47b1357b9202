#include "stick_writes.h"

#include <dirent.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "folder_listing.h"
#include "temp_dir.h"

namespace quenby {
namespace {

// Names each sync by what it put on the medium.
class RecordingSync : public MediumSync {
 public:
  struct stat file, from, to;
  std::vector<std::string> writes;

  void Sync(int fd, bool whole) override {
    struct stat info;
    ASSERT_EQ(0, fstat(fd, &info));
    auto is = [&info](const struct stat& other) {
      return info.st_dev == other.st_dev && info.st_ino == other.st_ino;
    };
    if (whole)
      writes.push_back("everything");
    else if (is(file))
      writes.push_back("file");
    else if (is(to))
      writes.push_back("new folder");
    else if (is(from))
      writes.push_back("old folder");
    else
      writes.push_back("?");
  }
};

// The writes of a rename go out in the order its caller names, the file's
// with its entry, and a file that cannot be opened (a link, which no
// rename follows) makes its write the whole medium's.
TEST(StickWritesTest, ARenameGoesOutInTheOrderItsCallerNeeds) {
  using W = StickWrite;
  const struct {
    const char* name;
    bool same_folder;
    bool link;
    std::initializer_list<StickWrite> order;
    std::vector<std::string> writes;
  } cases[] = {
      {"a run's rename",
       true,
       false,
       {W::kFile, W::kNewFolder, W::kOldFolder},
       {"file", "new folder"}},
      {"between folders",
       false,
       false,
       {W::kFile, W::kNewFolder, W::kOldFolder},
       {"file", "new folder", "old folder"}},
      {"new entry whole first",
       false,
       false,
       {W::kNewFolder, W::kFile, W::kOldFolder},
       {"new folder", "file", "old folder"}},
      {"old folder before the new",
       false,
       false,
       {W::kFile, W::kOldFolder, W::kNewFolder},
       {"file", "old folder", "new folder"}},
      {"a link",
       false,
       true,
       {W::kNewFolder, W::kFile, W::kOldFolder},
       {"new folder", "everything", "old folder"}},
      {"the file alone", false, false, {W::kFile}, {"file"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    ASSERT_EQ(0, mkdir("from", 0755));
    ASSERT_EQ(0, mkdir("to", 0755));
    const char* to_name = c.same_folder ? "from" : "to";
    std::string made = std::string(to_name) + "/b.mp3";
    if (c.link) {
      ASSERT_EQ(0, symlink("nowhere", made.c_str()));
    } else {
      int file = open(made.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
      ASSERT_GE(file, 0);
      close(file);
    }
    int from = open("from", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    // A rename in one folder has its one descriptor, as a caller holds it.
    int to = c.same_folder ? from
                           : open("to", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    RecordingSync sync;
    ASSERT_EQ(0, lstat(made.c_str(), &sync.file));
    ASSERT_EQ(0, fstat(from, &sync.from));
    ASSERT_EQ(0, fstat(to, &sync.to));
    PutRenameOnStick(&sync, from, to, "b.mp3", c.order);
    EXPECT_EQ(c.writes, sync.writes);
    close(from);
    if (!c.same_folder) close(to);
  }
}

TEST(StickWritesTest, AListingSeesEveryEntryAndLeavesTheFolderOpen) {
  TempDir dir;
  std::set<std::string> made = {".", "..", "a", "b", "c"};
  for (const char* name : {"a", "b", "c"}) ASSERT_EQ(0, mkdir(name, 0755));
  int folder = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  for (int pass = 0; pass < 2; ++pass) {
    std::set<std::string> seen;
    ASSERT_TRUE(ListFolder(folder, [&seen](const dirent& entry) {
      seen.insert(entry.d_name);
    }));
    EXPECT_EQ(made, seen);
  }
  EXPECT_EQ(0, fcntl(folder, F_GETFD) & ~FD_CLOEXEC);
  close(folder);
  EXPECT_FALSE(ListFolder(folder, [](const dirent&) {}));
}

}  // namespace
}  // namespace quenby
