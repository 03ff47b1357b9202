// The playlist every figure of the benchmark uses: an extended M3U with CR LF
// line ends, one #EXTINF line before each entry, and relative backslash paths
// spread over folders of a thousand files, as a ripped collection looks.
#ifndef QUENBY_BENCH_PLAYLIST_TEXT_H_
#define QUENBY_BENCH_PLAYLIST_TEXT_H_

#include <cstdint>
#include <string>

namespace quenby {

constexpr char kPlaylistHeader[] = "#EXTM3U\r\n";

// How many files share a folder.
constexpr uint32_t kFilesPerFolder = 1000;

// The folder of entry `number` (counted from 1), backslash separated and
// ending in a backslash.
std::string EntryFolder(uint32_t number);

// The entry line of `number` as the playlist writes it.
std::string EntryPath(uint32_t number);

// Appends the #EXTINF line and the entry line of `number`, each with CR LF.
void AppendEntryLines(uint32_t number, std::string* out);

// The whole playlist of `entries` entries.
std::string PlaylistText(uint32_t entries);

}  // namespace quenby

#endif  // QUENBY_BENCH_PLAYLIST_TEXT_H_
