#include "playlist_reader.h"

#include <algorithm>
#include <cstring>

namespace quenby {

PlaylistReader::PlaylistReader(InputFile* file) : file_(file) {}
PlaylistReader::~PlaylistReader() = default;

long PlaylistReader::ReadFile(char* out, size_t size) {
  long count = file_->Read(out, size);
  if (count > 0) file_bytes_ += static_cast<uint64_t>(count);
  return count;
}

uint64_t PlaylistReader::Position() const {
  // Exact but for a UTF-16 playlist, whose decoded bytes left in the chunk
  // stand for about as many of the file's.
  uint64_t left = chunk_end_ - chunk_pos_;
  return file_bytes_ > left ? file_bytes_ - left : 0;
}

// Reads the file's next bytes into `out`, as UTF-8 when it is UTF-16.
// Returns the count, 0 at the end, -1 on a read error.
long PlaylistReader::ReadDecoded(char* out, size_t size) {
  if (!utf16_) return ReadFile(out, size);
  // Two bytes of UTF-16 make at most three of UTF-8 (four with a malformed
  // mark), so a third of the room is read at a time, kept even.
  char raw[sizeof chunk_ / 3];
  for (;;) {
    long count = ReadFile(raw, std::min(size / 3 & ~size_t{1}, sizeof raw));
    if (count < 0) return -1;
    if (count == 0) return static_cast<long>(utf16_->Finish(out));
    size_t written = utf16_->Decode(raw, static_cast<size_t>(count), out);
    // A piece that held only half a unit or a high surrogate gives nothing
    // yet; that is not the end.
    if (written > 0) return static_cast<long>(written);
  }
}

// Looks at the first bytes: the byte-order mark, then the first line end.
void PlaylistReader::Start() {
  started_ = true;
  // Short reads are allowed: collect the three bytes a mark may take.
  size_t have = 0;
  while (have < 3) {
    long count = ReadFile(chunk_ + have, 3 - have);
    if (count < 0) error_ = true;
    if (count <= 0) break;
    have += static_cast<size_t>(count);
  }
  const unsigned char* bytes = reinterpret_cast<unsigned char*>(chunk_);
  size_t mark = 0;
  if (have >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) {
    mark = 3;
  } else if (have >= 2 && ((bytes[0] == 0xFF && bytes[1] == 0xFE) ||
                           (bytes[0] == 0xFE && bytes[1] == 0xFF))) {
    mark = 2;
    utf16_ = std::make_unique<Utf16Decoder>(bytes[0] == 0xFE);
  }

  chunk_pos_ = 0;
  chunk_end_ = 0;
  if (utf16_) {
    chunk_end_ = utf16_->Decode(chunk_ + mark, have - mark, chunk_);
  } else {
    std::memmove(chunk_, chunk_ + mark, have - mark);
    chunk_end_ = have - mark;
  }
  // The lines already whole before a read error are still read.
  if (!error_) {
    long count = ReadDecoded(chunk_ + chunk_end_, sizeof chunk_ - chunk_end_);
    if (count < 0)
      error_ = true;
    else
      chunk_end_ += static_cast<size_t>(count);
  }

  // Carriage returns and not one line feed: a Mac OS before X wrote it, and
  // its lines end at the carriage returns.
  if (!std::memchr(chunk_, '\n', chunk_end_) &&
      std::memchr(chunk_, '\r', chunk_end_))
    line_end_ = '\r';
}

bool PlaylistReader::Refill() {
  if (!started_) {
    Start();
    return chunk_end_ > chunk_pos_;
  }
  if (end_ || error_) return false;
  long count = ReadDecoded(chunk_, sizeof chunk_);
  if (count < 0) {
    error_ = true;
    return false;
  }
  if (count == 0) {
    end_ = true;
    return false;
  }
  chunk_pos_ = 0;
  chunk_end_ = static_cast<size_t>(count);
  return true;
}

PlaylistReader::Status PlaylistReader::ReadLine(char* buffer, size_t capacity,
                                                size_t* length, bool* whole) {
  // One byte more than the line may hold is kept, so that a carriage return
  // right before the line feed can still be told apart from a long line.
  const size_t keep = capacity;
  size_t stored = 0;
  bool overflow = false;
  bool got_any = false;
  bool ended = false;

  while (!ended) {
    if (chunk_pos_ == chunk_end_ && !Refill()) break;
    got_any = true;
    const char* start = chunk_ + chunk_pos_;
    size_t available = chunk_end_ - chunk_pos_;
    const void* end = std::memchr(start, line_end_, available);
    size_t take = end ? static_cast<const char*>(end) - start : available;
    size_t room = keep - stored;
    if (take > room) overflow = true;
    size_t copy = take < room ? take : room;
    std::memcpy(buffer + stored, start, copy);
    stored += copy;
    chunk_pos_ += take;
    if (end) {
      ++chunk_pos_;
      ended = true;
    }
  }

  if (!got_any) return error_ ? kReadError : kEnd;
  // A read error in the middle of a line loses that line too.
  if (!ended && error_) return kReadError;

  if (ended && line_end_ == '\n' && !overflow && stored > 0 &&
      buffer[stored - 1] == '\r')
    --stored;
  bool cut = overflow || stored > capacity - 1;
  if (stored > capacity - 1) stored = capacity - 1;
  bool malformed = false;
  if (utf16_) {
    for (size_t i = 0; i < stored; ++i) {
      if (buffer[i] == Utf16Decoder::kMalformed) {
        buffer[i] = '?';
        malformed = true;
      }
    }
  }
  buffer[stored] = '\0';
  *length = stored;
  *whole = !cut && !malformed;
  return kLine;
}

}  // namespace quenby
