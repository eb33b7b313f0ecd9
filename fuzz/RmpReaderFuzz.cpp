// Fuzz target for the RMP reader: any bytes at all must either read into a
// document, which then summarises, writes back as the same bytes and (when
// small) draws, or fail with one line that names the file and an offset
// inside it.

#include <cstdint>
#include <cstdlib>
#include <string>

#include "FuzzSupport.h"
#include "rmp/RmpReader.h"
#include "support/MemoryFileSystem.h"
#include "support/SampleRmp.h"
#include "view/Picture.h"
#include "view/Summary.h"

namespace {

// Pictures drawn per input stay small, so a run doesn't spend its time (and
// memory) on canvases the reader rightly accepted.
constexpr std::uint64_t kLargestDrawnSide = 512;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using gridport::test::Require;
    gridport::test::MemoryFileSystem files;
    const gridport::test::Bytes bytes(data, data + size);
    files.Put("fuzz.rmp", bytes);
    const auto file = std::move(*files.Open("fuzz.rmp", gridport::OpenMode::Read));
    gridport::BufferedReader in(*file, "fuzz.rmp");
    const gridport::Expected<gridport::RmpDocument> document = gridport::ReadRmp(in);
    if (!document) {
        const gridport::Error& error = document.error();
        Require(error.Path() == "fuzz.rmp" && error.Offset() && *error.Offset() <= size &&
                    error.Text().find('\n') == std::string::npos,
                "a refusal without its file and offset: " + error.Text());
        return 0;
    }
    Require(!gridport::Summarize("fuzz.rmp", *document).empty(), "an empty summary");
    // Strings are cut at their first zero byte when written, so only files
    // without one in a string come back the same.
    const gridport::test::Bytes again = gridport::test::SaveToMemory(document->map);
    Require(again.size() <= bytes.size(), "a document wrote back larger than it was read");
    gridport::MapPicture source(document->map);
    const gridport::PictureSize picture = gridport::MeasurePicture(source);
    if (picture.width > 0 && picture.height > 0 && picture.width <= kLargestDrawnSide &&
        picture.height <= kLargestDrawnSide) {
        const std::vector<bool> all(document->map.layers.size(), true);
        Require(static_cast<bool>(gridport::DrawPicture(source, all, picture)), "a small picture failed to draw");
    }
    return 0;
}
