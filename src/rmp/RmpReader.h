#pragma once

#include "filesystem/BufferedReader.h"
#include "rmp/RmpDocument.h"

namespace gridport {

// Reads a whole RMP map file from the reader's position, embedded RTS
// tileset included, checking every count and length against the bytes that
// remain before anything is allocated. The tileset must end exactly at the
// end of the file. A stream of unknown size is refused: its counts could not
// be checked before they are allocated.
Expected<RmpDocument> ReadRmp(BufferedReader& in);

}  // namespace gridport
