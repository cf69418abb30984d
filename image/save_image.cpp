#include "save_image.h"

std::size_t copyStart(int copy) { return static_cast<std::size_t>(copy - 1) * kCopySize; }

std::uint16_t copySum(const SaveImage& image, int copy) {
    const std::uint8_t* bytes = image.data() + copyStart(copy);
    // Unsigned so that the sum wraps; only its low 16 bits matter.
    std::uint32_t sum = 0;
    for (std::size_t offset = 0; offset < kCopySize; offset += 2) {
        sum += bytes[offset] + 256u * bytes[offset + 1];
    }
    return static_cast<std::uint16_t>(sum);
}

bool copiesValid(const SaveImage& image) {
    // Both sums are always taken, even when the first already fails.
    const std::uint16_t first = copySum(image, 1);
    const std::uint16_t second = copySum(image, 2);
    return first == 0 && second == 0;
}

void clearResetState(SaveImage& image) {
    image[copyStart(1) + kResetStateOffset] = 0;
    image[copyStart(2) + kResetStateOffset] = 0;
}

void resealCopy(SaveImage& image, int copy) {
    const std::size_t checksum = copyStart(copy) + kChecksumOffset;
    image[checksum] = 0;
    image[checksum + 1] = 0;
    const auto seal = static_cast<std::uint16_t>(0x10000u - copySum(image, copy));
    image[checksum] = static_cast<std::uint8_t>(seal & 0xFF);
    image[checksum + 1] = static_cast<std::uint8_t>(seal >> 8);
}
