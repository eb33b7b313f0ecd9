#pragma once

#include <string>
#include <vector>

#include "batch/Batch.h"
#include "batch/MapFinder.h"
#include "batch/Options.h"

namespace gridport::batch {

// The report: one record per map (source, tileset, output, result, reason, bytes, milliseconds), as JSON or CSV.
std::string ReportText(const std::vector<MapEntry>& maps, const std::vector<MapRecord>& records, ReportFormat format);

}  // namespace gridport::batch
