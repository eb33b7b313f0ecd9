#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "batch/Batch.h"
#include "batch/MapFinder.h"
#include "batch/Options.h"

namespace gridport::batch {

// The report: one record per map (source, tileset, output, result, reason, bytes, milliseconds, and with pictures
// last the picture's path when drawn in this run, else null or empty), then one per folder
// that couldn't be read (source the folder, result failed, no tileset nor output), as JSON or CSV. In JSON a path is
// {"text": PATH} when it is UTF-8 and {"bytes": BASE64} when not; CSV has its bytes.
std::string ReportText(const MapList& maps, const std::vector<MapRecord>& records,
                       const std::vector<Error>& unreadable, ReportFormat format, bool pictures = false);

// The same text passed to put in pieces of some 64 KiB, in order, never held whole.
void WriteReportText(const MapList& maps, const std::vector<MapRecord>& records,
                     const std::vector<Error>& unreadable, ReportFormat format, bool pictures,
                     const std::function<void(std::string_view)>& put);

}  // namespace gridport::batch
