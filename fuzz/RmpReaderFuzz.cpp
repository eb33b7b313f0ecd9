// Fuzz target for the RMP reader the viewers use: any bytes at all must
// either open as a stream, which then summarises and (when small) draws, and
// read whole into the tests' reference document, which writes back no
// larger, or fail with one line that names the file and an offset inside
// it.

#include <cstdint>
#include <cstdlib>
#include <string>

#include "FuzzSupport.h"
#include "support/MapPicture.h"
#include "support/MemoryFileSystem.h"
#include "support/RmpDocument.h"
#include "support/SampleRmp.h"
#include "picture/StreamedRmp.h"

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
    const gridport::Expected<std::unique_ptr<gridport::StreamedRmp>> rmp =
        gridport::StreamedRmp::Open(*file, "fuzz.rmp", true);
    const auto whole = std::move(*files.Open("fuzz.rmp", gridport::OpenMode::Read));
    gridport::BufferedReader in(*whole, "fuzz.rmp");
    const gridport::Expected<gridport::RmpDocument> document = gridport::ReadRmp(in);
    Require(static_cast<bool>(rmp) == static_cast<bool>(document), "the stream and the whole file disagree");
    if (!rmp) {
        const gridport::Error& error = rmp.error();
        Require(error.Path() == "fuzz.rmp" && error.Offset() && *error.Offset() <= size &&
                    error.Text().find('\n') == std::string::npos,
                "a refusal without its file and offset: " + error.Text());
        return 0;
    }
    const gridport::Expected<std::string> summary = (*rmp)->Summary();
    Require(summary && !summary->empty(), "no summary");
    // Strings are cut at their first zero byte when written, so only files
    // without one in a string come back the same.
    Require(gridport::test::SaveToMemory(document->map).size() <= bytes.size(),
            "a document wrote back larger than it was read");
    const gridport::PictureSize picture = gridport::MeasurePicture(**rmp);
    if (picture.width > 0 && picture.height > 0 && picture.width <= kLargestDrawnSide &&
        picture.height <= kLargestDrawnSide) {
        const std::vector<bool> all((*rmp)->Layers().size(), true);
        Require(static_cast<bool>(gridport::DrawPicture(**rmp, all, picture)), "a small picture failed to draw");
    }
    return 0;
}
