#pragma once

#include <cstdint>

#include "save_image.h"

// Fills the image with pseudo-random bytes from the seed, gives both copies a
// non-zero reset-state byte and seals them: a synthetic save the tool accepts.
void fillSampleImage(SaveImage& image, std::uint64_t seed);
