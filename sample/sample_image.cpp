#include "sample_image.h"

#include <random>

void fillSampleImage(SaveImage& image, std::uint64_t seed) {
    std::mt19937_64 random(seed);
    for (std::uint8_t& byte : image) {
        byte = static_cast<std::uint8_t>(random());
    }
    for (const int copy : {1, 2}) {
        image[copyStart(copy) + kResetStateOffset] = static_cast<std::uint8_t>(1 + random() % 255);
        resealCopy(image, copy);
    }
}
