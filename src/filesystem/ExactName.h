#pragma once

namespace gridport {

// True when the directory part of path lists an entry spelt exactly like its
// file-name part, byte for byte. The cut is at the last backslash, or at the
// last forward slash when the path has no backslash. The process's current
// directory is the same afterwards as before.
bool ExactNameExists(const char* path);

}  // namespace gridport
