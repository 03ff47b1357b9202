// Splits a playlist into lines the way a text-mode getline with a 1000-byte
// buffer sees them, but never lets a long line end or derail the reading.
// Playlists that other programs wrote are read as those programs meant
// them: a UTF-8 byte-order mark is no part of the first line, a UTF-16
// playlist is read as its UTF-8 text, and one whose lines end in carriage
// returns alone (old Mac OS) is split at those.
#ifndef QUENBY_ENGINE_PLAYLIST_READER_H_
#define QUENBY_ENGINE_PLAYLIST_READER_H_

#include <cstddef>
#include <cstdint>
#include <memory>

#include "file_system.h"
#include "text_encoding.h"

namespace quenby {

class PlaylistReader {
 public:
  enum Status { kLine, kEnd, kReadError };

  // Reads from `file`, which must outlive the reader.
  explicit PlaylistReader(InputFile* file);
  ~PlaylistReader();

  // Reads the next line into `buffer` (at most capacity - 1 bytes, then a
  // NUL), without its line end. `length` receives the stored length (the
  // line may hold NUL bytes). `whole` is false when the buffer does not hold
  // the line exactly: it was longer than the buffer (its start is kept, the
  // rest dropped), or a UTF-16 playlist held a malformed sequence there
  // (shown as '?'). A last line without a line end is still a line.
  Status ReadLine(char* buffer, size_t capacity, size_t* length, bool* whole);

  // How many of the file's bytes the lines read so far took.
  uint64_t Position() const;

 private:
  long ReadFile(char* out, size_t size);
  bool Refill();
  long ReadDecoded(char* out, size_t size);
  void Start();

  InputFile* file_;
  uint64_t file_bytes_ = 0;
  bool started_ = false;
  char line_end_ = '\n';
  std::unique_ptr<Utf16Decoder> utf16_;  // Null unless the playlist is UTF-16.
  char chunk_[64 * 1024];
  size_t chunk_pos_ = 0;
  size_t chunk_end_ = 0;
  bool end_ = false;
  bool error_ = false;
};

}  // namespace quenby

#endif  // QUENBY_ENGINE_PLAYLIST_READER_H_
