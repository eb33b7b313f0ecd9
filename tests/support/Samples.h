#pragma once

#include "support/Builders.h"

// Small valid maps that the tests, the example generator and the web page's
// folder share.
namespace gridport::test {

// A version-1 map of 3 x 2 cells with indices up to 4 and header values
// that need all 16 bits.
MapV1File TownMap();
// A version-2 map: singles, a run of length 0 and a run of three, layers of
// their own sizes, one named twice and two named by no digit, "E" after a
// digit. Indices up to 4.
MapV2File HarbourMap();

}  // namespace gridport::test
