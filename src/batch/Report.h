#pragma once

#include <string>
#include <vector>

#include "batch/Batch.h"
#include "batch/MapFinder.h"
#include "batch/Options.h"

namespace gridport::batch {

// The report text: one record per map (source, tileset, output, result, reason, bytes, milliseconds), as a JSON array
// of objects or CSV with a header line.
std::string ReportText(const std::vector<MapEntry>& maps, const std::vector<MapRecord>& records, ReportFormat format);

}  // namespace gridport::batch
