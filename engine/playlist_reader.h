// Splits a playlist into lines the way a text-mode getline with a 1000-byte
// buffer sees them, but never lets a long line end or derail the reading.
#ifndef QUENBY_ENGINE_PLAYLIST_READER_H_
#define QUENBY_ENGINE_PLAYLIST_READER_H_

#include <cstddef>

#include "file_system.h"

namespace quenby {

class PlaylistReader {
 public:
  enum Status { kLine, kEnd, kReadError };

  // Reads from `file`, which must outlive the reader.
  explicit PlaylistReader(InputFile* file) : file_(file) {}

  // Reads the next line into `buffer` (at most capacity - 1 bytes, then a
  // NUL), without its line feed or a carriage return right before it.
  // `length` receives the stored length (the line may hold NUL bytes), and
  // `cut` whether the line was longer than the buffer; the rest of such a
  // line is dropped. A last line without a line feed is still a line.
  Status ReadLine(char* buffer, size_t capacity, size_t* length, bool* cut);

 private:
  bool Refill();

  InputFile* file_;
  char chunk_[64 * 1024];
  size_t chunk_pos_ = 0;
  size_t chunk_end_ = 0;
  bool end_ = false;
  bool error_ = false;
};

}  // namespace quenby

#endif  // QUENBY_ENGINE_PLAYLIST_READER_H_
