// The program-wide state that runs share. One thread touches it.
#ifndef QUENBY_ENGINE_RUN_STATE_H_
#define QUENBY_ENGINE_RUN_STATE_H_

#include <cstdint>
#include <string>

namespace quenby {

// The playlist path of the last run or Browse; kept between runs.
extern std::string PlaylistPath;

// The number of the entry line being handled; 0 when a playlist is opened.
// It stops rising past one above the last numbered entry, so that it never
// wraps round to numbers that would be renamed again.
extern uint32_t EntryNumber;

// Receives each playlist line: at most 999 bytes and a NUL.
constexpr size_t kLineBufferSize = 1000;
extern char LineBuffer[kLineBufferSize];

}  // namespace quenby

#endif  // QUENBY_ENGINE_RUN_STATE_H_
