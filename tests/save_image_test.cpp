#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "sample_image.h"
#include "save_image.h"
#include "scratch_folder.h"

namespace {

constexpr std::size_t kFirstReset = kResetStateOffset;
constexpr std::size_t kSecondReset = kCopySize + kResetStateOffset;
constexpr std::size_t kFirstChecksum = kChecksumOffset;
constexpr std::size_t kSecondChecksum = kCopySize + kChecksumOffset;

SaveImage& scratchImage() {
    static SaveImage image;
    return image;
}

std::vector<std::size_t> differingOffsets(const SaveImage& a, const SaveImage& b) {
    std::vector<std::size_t> offsets;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i] != b[i]) {
            offsets.push_back(i);
        }
    }
    return offsets;
}

using Bytes = std::vector<std::pair<std::size_t, std::uint8_t>>;

// Images set byte by byte at the format's own offsets, written out rather than taken from
// the code: copy 1 is bytes 0 to 74275, its reset-state byte at 7359, its checksum word
// at 74272, second to last and low byte first; copy 2 the same 74276 bytes later; the
// tail from 148552 belongs to neither. Each row gives both sums, and the bytes that
// change once the reset-state bytes are cleared and both copies resealed.
TEST(SaveImage, SumsAndResetAtTheFormatsOwnOffsets) {
    const struct {
        const char* what;
        std::uint8_t fill;
        Bytes set;
        std::uint16_t sum1, sum2;
        Bytes changed;
    } rows[] = {
        // clang-format off
        {"zeros", 0, {}, 0, 0, {}},
        {"ones everywhere", 0xFF, {}, 28398, 28398,
         {{7359, 0}, {74272, 0x11}, {74273, 0x90}, {81635, 0}, {148548, 0x11}, {148549, 0x90}}},
        {"little-endian words, a sum that wraps, and a tail in neither copy", 0,
         {{74276, 0x34}, {74277, 0x12}, {148550, 0xFF}, {148551, 0xFF}, {148552, 0x55}},
         0, 0x1233, {{148548, 0xCD}, {148549, 0xED}}},
        {"reset-state bytes, and each copy's last word as data", 0,
         {{7359, 0x12}, {81635, 0x34}, {74274, 0x01}, {148550, 0x02}, {148552, 0x77}},
         0x1201, 0x3402,
         {{7359, 0}, {81635, 0}, {74272, 0xFF}, {74273, 0xFF}, {148548, 0xFE}, {148549, 0xFF}}},
        {"a low byte in the first copy only", 0, {{10, 1}}, 1, 0, {{74272, 0xFF}, {74273, 0xFF}}},
        {"a high byte in the second copy only", 0, {{74277, 1}}, 0, 0x100, {{148549, 0xFF}}},
        {"stale checksums, ignored, and a zero sum sealed as zero", 0,
         {{74272, 0x12}, {74273, 0x34}, {148548, 0x12}, {148549, 0x34}}, 0x3412, 0x3412,
         {{74272, 0}, {74273, 0}, {148548, 0}, {148549, 0}}},
        // clang-format on
    };
    SaveImage& image = scratchImage();
    static SaveImage expected;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        image.fill(row.fill);
        for (const auto& [offset, value] : row.set) {
            image[offset] = value;
        }
        expected = image;
        for (const auto& [offset, value] : row.changed) {
            expected[offset] = value;
        }
        EXPECT_EQ(copySum(image, 1), row.sum1);
        EXPECT_EQ(copySum(image, 2), row.sum2);
        EXPECT_EQ(copiesValid(image), row.sum1 == 0 && row.sum2 == 0);
        clearAndReseal(image);
        EXPECT_EQ(differingOffsets(image, expected), std::vector<std::size_t>{});
    }
}

// Random contents, sealed or not: only the two reset-state bytes and the two checksum
// words may change, and both copies are valid afterwards. Together these fix the new
// checksums, so a cleared image comes back from a second reset unchanged.
TEST(ClearAndReseal, ChangesOnlyTheFourFieldsOfAnyImage) {
    const std::vector<std::size_t> editable = {kFirstReset,  kFirstChecksum,  kFirstChecksum + 1,
                                               kSecondReset, kSecondChecksum, kSecondChecksum + 1};
    SaveImage& image = scratchImage();
    std::mt19937 random(2024);
    for (int round = 0; round < 20; ++round) {
        if (round % 2 == 0) {
            fillSampleImage(image, static_cast<std::uint64_t>(round));
        } else {
            std::generate(image.begin(), image.end(),
                          [&] { return static_cast<std::uint8_t>(random()); });
        }
        const SaveImage before = image;
        clearAndReseal(image);
        EXPECT_TRUE(copiesValid(image));
        EXPECT_EQ(image[kFirstReset], 0);
        EXPECT_EQ(image[kSecondReset], 0);
        for (const std::size_t offset : differingOffsets(before, image)) {
            EXPECT_NE(std::find(editable.begin(), editable.end(), offset), editable.end())
                << "byte changed at " << offset;
        }
    }
}

TEST(SampleImage, IsValidWithNonZeroResetStateAndDependsOnSeed) {
    SaveImage& image = scratchImage();
    fillSampleImage(image, 1);
    EXPECT_TRUE(copiesValid(image));
    EXPECT_NE(image[kFirstReset], 0);
    EXPECT_NE(image[kSecondReset], 0);
    const SaveImage first = image;
    fillSampleImage(image, 2);
    EXPECT_FALSE(first == image);
}

}  // namespace
