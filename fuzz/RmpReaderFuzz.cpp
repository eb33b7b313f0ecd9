// Fuzz target for the RMP reader: any bytes at all must either read into a
// document, which then summarises and (when small) draws, or fail with one
// line that names the file and an offset inside it.

#include <cstdint>
#include <cstdlib>
#include <string>

#include "support/MemoryFileSystem.h"
#include "view/Picture.h"
#include "view/RmpReader.h"
#include "view/Summary.h"

namespace {

// Pictures drawn per input stay small, so a run doesn't spend its time (and
// memory) on canvases the reader rightly accepted.
constexpr std::uint64_t kLargestDrawnSide = 512;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    gridport::test::MemoryFileSystem files;
    files.Put("fuzz.rmp", gridport::test::Bytes(data, data + size));
    std::string error;
    const auto document = gridport::ReadRmp("fuzz.rmp", files, error);
    if (document == nullptr) {
        const std::string prefix = "fuzz.rmp: stopped at byte ";
        if (error.rfind(prefix, 0) != 0 || error.find('\n') != std::string::npos ||
            std::strtoull(error.c_str() + prefix.size(), nullptr, 10) > size) {
            std::abort();
        }
        return 0;
    }
    if (!error.empty() || gridport::Summarize("fuzz.rmp", *document).empty()) {
        std::abort();
    }
    const gridport::PictureSize picture = gridport::MeasurePicture(document->map);
    if (picture.width <= kLargestDrawnSide && picture.height <= kLargestDrawnSide) {
        gridport::RgbaImage canvas;
        gridport::DrawPicture(document->map, std::nullopt, canvas, error);
    }
    return 0;
}
