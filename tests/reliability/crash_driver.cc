// A run without a window, for the kill tests (not part of the program):
//   crash_driver DIR PLAYLIST number|remove
// Runs one renaming run in DIR, after writing "running" to stdout; exits 0
// when the run showed the success message and 1 after any other.
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include "fake_dialog.h"
#include "linux_file_system.h"

int main(int argc, char** argv) {
  if (argc != 4 || chdir(argv[1]) != 0) {
    fprintf(stderr, "usage: crash_driver DIR PLAYLIST number|remove\n");
    return 2;
  }
  quenby::LinuxFileSystem fs;
  quenby::FakeDialog dialog;
  dialog.path = argv[2];
  int mode = strcmp(argv[3], "number") == 0 ? quenby::kIdNumberMode
                                            : quenby::kIdRestoreMode;
  // Unbuffered, so that the test knows when to start its clock.
  if (write(STDOUT_FILENO, "running\n", 8) != 8) return 2;
  dialog.Run(&fs, mode);
  return dialog.Message() == quenby::kMessageSuccess ? 0 : 1;
}
