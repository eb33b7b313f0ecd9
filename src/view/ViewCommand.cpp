#include "view/ViewCommand.h"

#include <new>

#include "base/CommandLine.h"
#include "picture/Picture.h"
#include "picture/PngWriter.h"
#include "view/Progress.h"
#include "base/Version.h"

namespace gridport {

int RunViewCommand(const ViewCommandText& text, const std::vector<std::string>& arguments, ViewConsole& console,
                   const std::function<Expected<void>(const ViewOptions&)>& body) {
    const auto run = [&]() -> Expected<void> {
        Expected<ViewOptions> options = ParseViewOptions(arguments, text.minInputs, text.maxInputs, text.findsTilesets);
        if (!options) {
            return options.error();
        }
        if (options->help) {
            console.out += std::string(text.usage) + text.about + kViewOptionsHelp + text.more;
            return Success();
        }
        if (options->version) {
            console.out += std::string(text.name) + " (gridport) " + kVersion + "\n";
            return Success();
        }
        return body(*options);
    };
    Expected<void> done = Success();
    try {
        done = run();
    } catch (const std::bad_alloc&) {
        done = Error(ErrorKind::System, {}, "out of memory");
    }
    if (done) {
        return 0;
    }
    ReportError(text, console, done.error());
    if (done.error().Kind() == ErrorKind::Usage) {
        console.err += text.usage;
    }
    return ExitStatus(done.error());
}

void ReportError(const ViewCommandText& text, ViewConsole& console, const Error& error) {
    console.err += std::string(text.name) + ": " + error.Text() + "\n";
}

Expected<void> DrawToPng(PictureSource& source, const std::vector<std::string>& inputs, const ViewOptions& options,
                         FileSystem& fileSystem, ViewConsole& console, const char* name) {
    PictureScale scale{options.scale, std::nullopt};
    if (options.fitWidth && options.fitHeight) {
        scale.fit = PictureSize{*options.fitWidth, *options.fitHeight};
    }
    const auto named = [&inputs](const Error& error) { return Error(error.Kind(), inputs.front(), error.Message()); };
    const Expected<std::vector<bool>> drawn = ChooseLayers(
        source, LayerChoice{options.layers, options.showLayers, options.hideLayers, options.ignoreVisibility});
    if (!drawn) {
        return named(drawn.error());
    }
    const Expected<PictureSize> size = ScalePicture(MeasurePicture(source), scale);
    if (!size) {
        return named(size.error());
    }
    // Replacing an input would destroy what the picture is drawn from, standard input's file included.
    for (const std::string& input : inputs) {
        if (fileSystem.SameFile(*options.png, input)) {
            return Error(*options.png, "the picture may not replace the input " +
                                           (input == "-" ? std::string("read from standard input") : input));
        }
    }
    PictureRows rows(source, *drawn, *size);
    if (Expected<void> started = rows.Start(); !started) {
        return named(started.error());
    }
    Progress progress(console.progress, std::string(name) + ": drawing " + *options.png);
    const auto height = static_cast<std::uint32_t>(size->height);
    Expected<void> written = WritePng(
        static_cast<std::uint32_t>(size->width), height,
        [&rows, &progress, height](std::uint32_t y) {
            progress.Update(y, height);
            return rows.Row(y);
        },
        *options.png, fileSystem, PngUse::Picture);
    progress.Finish(static_cast<bool>(written));
    // One note, once drawn, when the picture isn't the box filter of the full-size one.
    if (const std::optional<std::string> note = rows.Note(); written && note) {
        console.err += std::string(name) + ": note: " + *note + "\n";
    }
    return written;
}

}  // namespace gridport
