#include "playlist_reader.h"

#include <cstring>

namespace quenby {

bool PlaylistReader::Refill() {
  if (end_ || error_) return false;
  long count = file_->Read(chunk_, sizeof chunk_);
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
                                                size_t* length, bool* cut) {
  // One byte more than the line may hold is kept, so that a carriage return
  // right before the line feed can still be told apart from a long line.
  const size_t keep = capacity;
  size_t stored = 0;
  bool overflow = false;
  bool got_any = false;
  bool ended_by_feed = false;

  while (!ended_by_feed) {
    if (chunk_pos_ == chunk_end_ && !Refill()) break;
    got_any = true;
    const char* start = chunk_ + chunk_pos_;
    size_t available = chunk_end_ - chunk_pos_;
    const void* feed = std::memchr(start, '\n', available);
    size_t take = feed ? static_cast<const char*>(feed) - start : available;
    size_t room = keep - stored;
    if (take > room) overflow = true;
    size_t copy = take < room ? take : room;
    std::memcpy(buffer + stored, start, copy);
    stored += copy;
    chunk_pos_ += take;
    if (feed) {
      ++chunk_pos_;
      ended_by_feed = true;
    }
  }

  if (!got_any) return error_ ? kReadError : kEnd;
  // A read error in the middle of a line loses that line too.
  if (!ended_by_feed && error_) return kReadError;

  if (ended_by_feed && !overflow && stored > 0 && buffer[stored - 1] == '\r')
    --stored;
  *cut = overflow || stored > capacity - 1;
  if (stored > capacity - 1) stored = capacity - 1;
  buffer[stored] = '\0';
  *length = stored;
  return kLine;
}

}  // namespace quenby
