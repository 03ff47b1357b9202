// A FAT image mounted through FUSE, as on the USB sticks and players the
// program is for. FAT refuses the atomic no-replace rename and hard links.
#ifndef QUENBY_TESTS_FAT_MOUNT_H_
#define QUENBY_TESTS_FAT_MOUNT_H_

#include <stdlib.h>
#include <unistd.h>

#include <string>

namespace quenby {

class FatMount {
 public:
  // Makes and mounts a fresh image below `dir`. Check ok() and reason();
  // has_fuse() tells a machine without FUSE from a mount that failed.
  explicit FatMount(const std::string& dir) : mount_point_(dir + "/fat") {
    if (access("/dev/fuse", R_OK | W_OK) != 0) {
      reason_ = "/dev/fuse is missing";
      has_fuse_ = false;
      return;
    }
    image_ = dir + "/fat.img";
    std::string command = "truncate -s 16M '" + image_ +
                          "' && mkfs.vfat '" + image_ + "' >/dev/null" +
                          " && mkdir -p '" + mount_point_ + "'";
    if (system(command.c_str()) != 0 || !Mount("rw+")) {
      reason_ = "could not mount a FAT image with fusefat";
      return;
    }
  }
  // Mounts the same image again with other fusefat options ("ro", "rw+").
  bool Remount(const std::string& options) {
    Unmount();
    return Mount(options);
  }
  ~FatMount() { Unmount(); }
  bool ok() const { return mounted_; }
  bool has_fuse() const { return has_fuse_; }
  const std::string& reason() const { return reason_; }
  const std::string& path() const { return mount_point_; }

 private:
  bool Mount(const std::string& options) {
    std::string command = "fusefat -o " + options + " '" + image_ + "' '" +
                          mount_point_ + "' >/dev/null 2>&1";
    mounted_ = system(command.c_str()) == 0;
    return mounted_;
  }
  void Unmount() {
    if (!mounted_) return;
    std::string command = "fusermount -u '" + mount_point_ + "'";
    if (system(command.c_str()) != 0) {
      command = "umount -l '" + mount_point_ + "'";
      (void)system(command.c_str());
    }
    mounted_ = false;
  }

  std::string image_;
  std::string mount_point_;
  std::string reason_;
  bool mounted_ = false;
  bool has_fuse_ = true;
};

}  // namespace quenby

#endif  // QUENBY_TESTS_FAT_MOUNT_H_
