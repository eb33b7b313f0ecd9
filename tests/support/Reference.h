#pragma once

#include <string>

#include "support/Builders.h"

namespace gridport::test {

enum class ConversionOutcome { Converted, ImportFailed, SaveFailed };

// The conversion written as plainly as it can be, apart from the code under
// test: whole files in memory, read field by field, the RMP file made by the
// byte builders. What gridport must do with a MAP file and its tileset (a
// name ending in ".vsp" reads as VSP), and, when it converts, the bytes it
// must write.
ConversionOutcome ReferenceConversion(const Bytes& map, const Bytes& tileset, const std::string& tilesetPath,
                                      Bytes& rmp);

}  // namespace gridport::test
