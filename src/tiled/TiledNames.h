#pragma once

// The names a Tiled JSON map and tileset use for what an RMP file holds, shared by the export and the import. The
// nine RMP strings are map properties named as rmp::kStringNames names them.

#include <string_view>

namespace gridport::tiled {

// What the files say about themselves: the Tiled version whose format they follow.
constexpr std::string_view kFormatVersion = "1.8";
constexpr std::string_view kTiledVersion = "1.8.2";

// Endings: the map, its external tileset, and the tileset's image.
constexpr std::string_view kMapEnding = ".tmj";
constexpr std::string_view kMapEndingAlso = ".json";
constexpr std::string_view kTilesetEnding = ".tsj";
constexpr std::string_view kImageEnding = ".png";

// Map properties.
constexpr std::string_view kHeaderX = "header x";
constexpr std::string_view kHeaderY = "header y";
constexpr std::string_view kHeaderLayer = "header layer";
constexpr std::string_view kHeaderMode = "header mode";

// A text that isn't UTF-8 goes in the property of its name with this suffix, as base64.
constexpr std::string_view kBytesSuffix = " bytes";
constexpr std::string_view kNameBytes = "name bytes";  // a layer's name, when it isn't UTF-8

// Tile layer properties. What Tiled 1.8.2 does with them when it saves a map again: it sorts properties by name, keeps
// empty string properties, and writes a float property with 15 significant digits (0.3333333432674408 comes back as
// 0.333333343267441), which, read as a double and rounded to a float, is the float exported.
constexpr std::string_view kLayerWidth = "width";
constexpr std::string_view kLayerHeight = "height";
constexpr std::string_view kFactorsEnabled = "factors enabled";
constexpr std::string_view kFactorX = "factor x";
constexpr std::string_view kFactorY = "factor y";
constexpr std::string_view kRateX = "rate x";
constexpr std::string_view kRateY = "rate y";
constexpr std::string_view kAuxFlag = "aux flag";
constexpr std::string_view kSegments = "segments";

// The object layers that hold entities (points) and zones (rectangles), and their objects' properties.
constexpr std::string_view kEntitiesLayer = "entities";
constexpr std::string_view kZonesLayer = "zones";
constexpr std::string_view kObjectLayer = "layer";
constexpr std::string_view kEntityKind = "kind";
constexpr std::string_view kTextA = "text A";
constexpr std::string_view kTextB = "text B";
constexpr std::string_view kEntityTextList = "text list ";  // then 1 to 5
constexpr std::string_view kZoneAuxValue = "aux value";
constexpr std::string_view kZoneText = "text";
constexpr std::string_view kReversedX = "reversed x";
constexpr std::string_view kReversedY = "reversed y";

// Tile properties in the tileset.
constexpr std::string_view kInfoFlag = "info flag";
constexpr std::string_view kInfoValueA = "info value A";
constexpr std::string_view kInfoValueB = "info value B";

}  // namespace gridport::tiled
