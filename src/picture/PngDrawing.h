#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "base/Error.h"
#include "filesystem/FileSystem.h"
#include "picture/Picture.h"

namespace gridport {

// How a picture is drawn: which layers, and how large.
struct PictureDrawing {
    LayerChoice layers;
    PictureScale scale;
};

// Called before each row y of a picture height rows tall is drawn; an error (a stop) ends the drawing with it.
using DrawingProgress = std::function<Expected<void>(std::uint32_t y, std::uint32_t height)>;

// Draws source as drawing asks into the PNG file at path, through the replacing output (a failure leaves what was
// there). Picture problems name `input`, file problems the PNG path; layer choices naming no layer, or leaving none, are Usage
// errors. Gives the note that says why the picture isn't the box filter of the full-size one, when it isn't.
Expected<std::optional<std::string>> DrawPng(PictureSource& source, const std::string& input,
                                             const PictureDrawing& drawing, const std::string& path,
                                             FileSystem& fileSystem, const DrawingProgress& progress = {});

}  // namespace gridport
