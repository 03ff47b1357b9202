// A FAT image mounted as on the USB sticks and players the program is for:
// through FUSE (fusefat) by default, or through the kernel's own vfat driver
// when the test harness sets QUENBY_TEST_VFAT to its mount options
// ("defaults", "iocharset=utf8,shortname=mixed", ...), which needs root and
// a kernel with vfat, or through the kernel's exfat when it sets
// QUENBY_TEST_EXFAT so instead (big sticks come formatted exFAT).
// QUENBY_TEST_VFAT_IMAGE may name a blank image of that file system to copy
// instead of making one here. fusefat refuses the atomic no-replace rename
// and hard links; the kernel driver takes the rename but no hard links.
#ifndef QUENBY_TESTS_FAT_MOUNT_H_
#define QUENBY_TESTS_FAT_MOUNT_H_

#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace quenby {

class FatMount {
 public:
  // Makes and mounts a fresh image below `dir`. Check ok() and reason();
  // has_driver() tells a machine that cannot mount FAT from a mount that
  // failed.
  explicit FatMount(const std::string& dir) : mount_point_(dir + "/fat") {
    const char* kernel = getenv("QUENBY_TEST_VFAT");
    if (const char* exfat = getenv("QUENBY_TEST_EXFAT")) {
      kernel = exfat;
      exfat_ = true;
    }
    kernel_ = kernel != nullptr;
    if (kernel_) kernel_options_ = kernel;
    if (!kernel_ && access("/dev/fuse", R_OK | W_OK) != 0) {
      reason_ = "/dev/fuse is missing";
      has_driver_ = false;
      return;
    }
    image_ = dir + "/fat.img";
    const char* blank = getenv("QUENBY_TEST_VFAT_IMAGE");
    std::string make = blank && *blank
                           ? "cp '" + std::string(blank) + "' '" + image_ + "'"
                           : "truncate -s 16M '" + image_ + "' && mkfs." +
                                 (exfat_ ? "exfat" : "vfat") + " '" + image_ +
                                 "' >/dev/null";
    std::string command = make + " && mkdir -p '" + mount_point_ + "'";
    if (system(command.c_str()) != 0 || !Mount("rw+")) {
      reason_ = exfat_
                    ? "could not mount an exFAT image with the kernel's exfat"
                : kernel_ ? "could not mount a FAT image with the kernel's vfat"
                          : "could not mount a FAT image with fusefat";
      return;
    }
  }
  // Mounts the same image again, read-write ("rw+") or read-only ("ro").
  bool Remount(const std::string& options) {
    Unmount();
    return Mount(options);
  }
  // Gives the stick a volume label, which also takes a slot of its root.
  bool Label(const std::string& label) {
    Unmount();
    std::string command = std::string(exfat_ ? "exfatlabel '" : "fatlabel '") +
                          image_ + "' '" + label + "' >/dev/null 2>&1";
    bool labelled = system(command.c_str()) == 0;
    return Mount("rw+") && labelled;
  }
  // Unmounts the image and has fsck look at it without changing it: what it
  // found, or "" when the image is sound.
  std::string Check() {
    Unmount();
    return Fsck(exfat_, image_);
  }
  // What fsck finds on the image at `image`, not changing it, or "".
  static std::string Fsck(bool exfat, const std::string& image) {
    std::string command = std::string(exfat ? "fsck.exfat" : "fsck.vfat") +
                          " -n '" + image + "' 2>&1";
    FILE* fsck = popen(command.c_str(), "r");
    if (!fsck) return "fsck did not start";
    std::string said;
    char buffer[256];
    while (fgets(buffer, sizeof buffer, fsck)) said += buffer;
    return pclose(fsck) == 0 ? "" : said;
  }
  ~FatMount() { Unmount(); }
  bool ok() const { return mounted_; }
  bool has_driver() const { return has_driver_; }
  // Through the kernel's vfat or exfat rather than fusefat.
  bool kernel() const { return kernel_; }
  // The kernel's exfat.
  bool exfat() const { return exfat_; }
  const std::string& reason() const { return reason_; }
  const std::string& path() const { return mount_point_; }
  // The image file: what the stick holds at this moment.
  const std::string& image() const { return image_; }

 private:
  bool Mount(const std::string& options) {
    std::string command;
    if (kernel_) {
      std::string mode = options == "ro" ? "ro" : "rw";
      if (kernel_options_ != "" && kernel_options_ != "defaults")
        mode += "," + kernel_options_;
      command = std::string("mount -t ") + (exfat_ ? "exfat" : "vfat") +
                " -o loop," + mode + " '" + image_ + "' '" + mount_point_ +
                "' >/dev/null 2>&1";
    } else {
      command = "fusefat -o " + options + " '" + image_ + "' '" + mount_point_ +
                "' >/dev/null 2>&1";
    }
    mounted_ = system(command.c_str()) == 0;
    return mounted_;
  }
  void Unmount() {
    if (!mounted_) return;
    std::string command = (kernel_ ? "umount '" : "fusermount -u '") +
                          mount_point_ + "' 2>/dev/null";
    if (system(command.c_str()) != 0) {
      command = "umount -l '" + mount_point_ + "'";
      (void)system(command.c_str());
    }
    mounted_ = false;
    // fusefat writes the last of the image after its unmount has returned
    // (a loaded machine's fsck.vfat once found a folder on a free cluster):
    // wait until its process is gone.
    for (int i = 0; !kernel_ && i < 100 && FusefatRunning(); ++i)
      usleep(50 * 1000);
  }
  bool FusefatRunning() const {
    std::error_code error;
    for (const auto& process :
         std::filesystem::directory_iterator("/proc", error)) {
      std::ifstream in(process.path() / "cmdline", std::ios::binary);
      std::string command;
      try {
        command.assign(std::istreambuf_iterator<char>(in),
                       std::istreambuf_iterator<char>());
      } catch (const std::ios_base::failure&) {
        continue;  // It ended while read ("No such process").
      }
      if (command.rfind("fusefat", 0) == 0 &&
          command.find(image_) != std::string::npos)
        return true;
    }
    return false;
  }

  std::string image_;
  std::string mount_point_;
  std::string reason_;
  std::string kernel_options_;
  bool kernel_ = false;
  bool exfat_ = false;
  bool mounted_ = false;
  bool has_driver_ = true;
};

}  // namespace quenby

#endif  // QUENBY_TESTS_FAT_MOUNT_H_
