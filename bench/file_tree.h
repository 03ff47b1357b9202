// Real files for the timed runs: a fresh folder holding one empty file for
// each playlist entry, under its listed name.
#ifndef QUENBY_BENCH_FILE_TREE_H_
#define QUENBY_BENCH_FILE_TREE_H_

#include <cstdint>
#include <string>

namespace quenby {

// The native path of entry `number`, plain or numbered, relative to a tree.
std::string NativeEntryPath(uint32_t number, bool numbered);

// Makes `root` and the folders of entries 1 to `entries` in it, and with
// `files` their files. False on error.
bool CreateFileTree(const std::string& root, uint32_t entries,
                    bool files = true);

// How many of entries 1 to `entries` exist under `root` in the given form.
uint32_t CountEntryFiles(const std::string& root, uint32_t entries,
                         bool numbered);

// Removes `root` and everything below it.
void RemoveTree(const std::string& root);

}  // namespace quenby

#endif  // QUENBY_BENCH_FILE_TREE_H_
