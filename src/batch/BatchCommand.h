#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace gridport::batch {

// gridport-batch with its arguments (the program name left out). The summary and the dry run's pairs go to out, usage
// errors to err, progress to progress when that is a terminal. Returns the exit status; after a stop request it returns
// only once the summary is out, with StopSignal() set.
int RunBatchCommand(const std::vector<std::string>& arguments, std::FILE* out, std::FILE* err, std::FILE* progress);

}  // namespace gridport::batch
