#include "support/Samples.h"

namespace gridport::test {

MapV1File TownMap() {
    MapV1File map;
    map.text = "town.vsp";
    map.selector = 2;
    map.headerX = 3;
    map.headerY = 65535;
    map.width = 3;
    map.height = 2;
    map.background = {0, 1, 2, 3, 4, 2};
    map.foreground = {0, 0, 4, 1, 0, 3};
    return map;
}

MapV2File HarbourMap() {
    MapV2File map;
    map.text = "harbour";
    map.order = "2x31E3";
    map.headerX = 40000;
    map.headerY = 2;
    map.layers = {MapV2Layer{3, 2, {0, 1, 1, 1, 4, 0}, {}},
                  MapV2Layer{2, 2, {}, std::vector<std::uint16_t>{0xFF00, 3, 0xFF03, 2}},
                  MapV2Layer{4, 1, {4, 4, 4, 4}, {}}, MapV2Layer{0, 5, {}, {}}};
    return map;
}

}  // namespace gridport::test
