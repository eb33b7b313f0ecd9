#include "filesystem/DefaultFileSystem.h"

namespace gridport {

StdioFileSystem defaultFileSystem;

}  // namespace gridport
