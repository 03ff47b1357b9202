#include "playlist_text.h"

#include <cstdio>

namespace quenby {

std::string EntryFolder(uint32_t number) {
  char text[64];
  std::snprintf(text, sizeof text, "Music\\Artist %04u\\",
                static_cast<unsigned>((number - 1) / kFilesPerFolder));
  return text;
}

std::string EntryPath(uint32_t number) {
  char name[64];
  std::snprintf(name, sizeof name, "Track %07u - A Song Title.mp3",
                static_cast<unsigned>(number));
  return EntryFolder(number) + name;
}

void AppendEntryLines(uint32_t number, std::string* out) {
  char info[64];
  std::snprintf(info, sizeof info, "#EXTINF:215,Artist - Track %u\r\n",
                static_cast<unsigned>(number));
  out->append(info);
  out->append(EntryPath(number));
  out->append("\r\n");
}

std::string PlaylistText(uint32_t entries) {
  std::string text = kPlaylistHeader;
  for (uint32_t number = 1; number <= entries; ++number)
    AppendEntryLines(number, &text);
  return text;
}

}  // namespace quenby
