// A folder's entries, read through an open descriptor.
#ifndef QUENBY_ENGINE_LINUX_FOLDER_LISTING_H_
#define QUENBY_ENGINE_LINUX_FOLDER_LISTING_H_

#include <dirent.h>

#include <functional>

namespace quenby {

// Hands every entry of the folder open at `folder` to `each`, from its
// start; `folder` stays open, its place moved (it shares it with the
// listing's). False when it cannot be read.
bool ListFolder(int folder, const std::function<void(const dirent&)>& each);

}  // namespace quenby

#endif  // QUENBY_ENGINE_LINUX_FOLDER_LISTING_H_
