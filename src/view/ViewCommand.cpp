#include "view/ViewCommand.h"

#include "view/Picture.h"
#include "view/PngWriter.h"
#include "view/Progress.h"
#include "view/Version.h"

namespace gridport {

std::optional<int> StartViewCommand(const ViewCommandText& text, const std::vector<std::string>& arguments,
                                    ViewOptions& options, ViewConsole& console) {
    const std::string problem = ParseViewOptions(arguments, text.minOperands, text.maxOperands, options);
    if (!problem.empty()) {
        console.err += std::string(text.name) + ": " + problem + "\n" + text.usage;
        return 2;
    }
    if (options.help) {
        console.out += std::string(text.usage) + text.about + kViewOptionsHelp + text.more;
        return 0;
    }
    if (options.version) {
        console.out += std::string(text.name) + " (gridport) " + kVersion + "\n";
        return 0;
    }
    return std::nullopt;
}

bool DrawMapToPng(const TileMap& map, const std::vector<std::string>& inputs, const ViewOptions& options,
                  FileSystem& fileSystem, ViewConsole& console, const char* name, Error& error) {
    std::vector<bool> drawn;
    PictureScale scale{options.scale, std::nullopt};
    if (options.fitWidth && options.fitHeight) {
        scale.fit = PictureSize{*options.fitWidth, *options.fitHeight};
    }
    PictureSize size;
    PictureRows rows;
    std::string problem;
    if (!ChooseLayers(map, LayerChoice{options.layer, options.showLayers, options.hideLayers, options.ignoreVisibility},
                      drawn, problem) ||
        !ScalePicture(MeasurePicture(map), scale, size, problem) || !rows.Start(map, drawn, size, problem)) {
        return error.Fail(inputs.front(), problem);
    }
    // Replacing an input would destroy what the picture is drawn from.
    for (const std::string& input : inputs) {
        if (fileSystem.SameFile(*options.png, input)) {
            return error.Fail(*options.png, "the picture may not replace the input file");
        }
    }
    Progress progress(console.progress, std::string(name) + ": drawing " + *options.png);
    const auto height = static_cast<std::uint32_t>(size.height);
    const bool written = WritePng(
        static_cast<std::uint32_t>(size.width), height,
        [&rows, &progress, height](std::uint32_t y) {
            progress.Update(y, height);
            return rows.Row(y);
        },
        *options.png, fileSystem, error);
    progress.Finish(written);
    return written;
}

}  // namespace gridport
