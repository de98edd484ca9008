// io/classification.h - the ASPRS class codes: their names, and which of them a cloud holds.
#pragma once

#include "io/point_attributes.h"

#include <array>
#include <cstdint>
#include <string>

// The name LAS 1.4 R15 gives a class code 0-22 ("Reserved" for 8 and 12), else "Class N". Plain
// ASCII, so that the viewer's bitmap fonts draw every character.
std::string className(int code);

// How many points of each class code 0-255; all zero when the cloud has no classification.
using ClassCounts = std::array<int64_t, 256>;
ClassCounts countClasses(const PointAttributes& attributes);

// How many points carry the withheld flag; 0 without flags.
int64_t countWithheld(const PointAttributes& attributes);
