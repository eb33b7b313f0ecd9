#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace gridport::batch {

// gridport-batch with its arguments (no program name). Summary and dry-run pairs go to out, usage errors to err,
// progress to a terminal progress. Returns the exit status; after a stop, once the summary is out.
int RunBatchCommand(const std::vector<std::string>& arguments, std::FILE* out, std::FILE* err, std::FILE* progress);

}  // namespace gridport::batch
