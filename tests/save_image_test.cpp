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

std::uint16_t wordAt(const SaveImage& image, std::size_t offset) {
    return static_cast<std::uint16_t>(image[offset] | image[offset + 1] << 8);
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

TEST(CopySum, UniformImages) {
    SaveImage& image = scratchImage();
    image.fill(0);
    EXPECT_TRUE(copiesValid(image));
    clearAndReseal(image);
    EXPECT_TRUE(std::all_of(image.begin(), image.end(), [](std::uint8_t b) { return b == 0; }));

    image.fill(0xFF);
    EXPECT_EQ(copySum(image, 1), 28398);
    EXPECT_EQ(copySum(image, 2), 28398);
    EXPECT_FALSE(copiesValid(image));
}

TEST(CopySum, WordsAreLittleEndianAndSumWraps) {
    SaveImage& image = scratchImage();
    image.fill(0);
    image[copyStart(2) + 0] = 0x34;
    image[copyStart(2) + 1] = 0x12;
    image[copyStart(2) + kCopySize - 2] = 0xFF;  // the last word is data too
    image[copyStart(2) + kCopySize - 1] = 0xFF;
    EXPECT_EQ(copySum(image, 2), 0x1233);
    EXPECT_EQ(copySum(image, 1), 0);
    image[2 * kCopySize] = 0x55;  // the tail belongs to no copy
    EXPECT_EQ(copySum(image, 2), 0x1233);
}

TEST(CopySum, EitherInvalidCopyFailsTheCheck) {
    SaveImage& image = scratchImage();
    for (const std::size_t spoiled : {std::size_t{10}, kCopySize + 10}) {
        image.fill(0);
        image[spoiled] = 1;
        EXPECT_FALSE(copiesValid(image)) << "byte spoiled at " << spoiled;
    }
}

TEST(ResealCopy, StoresTheNegatedSumLowByteFirst) {
    SaveImage& image = scratchImage();
    for (const int copy : {1, 2}) {
        const std::size_t checksum = copyStart(copy) + kChecksumOffset;
        image.fill(0);
        image[copyStart(copy)] = 1;
        resealCopy(image, copy);
        EXPECT_EQ(image[checksum], 0xFF);
        EXPECT_EQ(image[checksum + 1], 0xFF);

        image.fill(0);
        image[copyStart(copy) + 1] = 1;
        resealCopy(image, copy);
        EXPECT_EQ(image[checksum], 0x00);
        EXPECT_EQ(image[checksum + 1], 0xFF);

        // A stale checksum is ignored, and a zero sum seals as zero.
        image.fill(0);
        image[checksum] = 0x12;
        image[checksum + 1] = 0x34;
        resealCopy(image, copy);
        EXPECT_EQ(wordAt(image, checksum), 0);
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

// The format's own offsets, written out rather than taken from the code: the reset-state
// byte of each copy, and its checksum word, second to last and low byte first.
TEST(ClearAndReseal, WorkOnTheFormatsOwnOffsets) {
    SaveImage& image = scratchImage();
    image.fill(0);
    image[7359] = 0x12;
    image[81635] = 0x34;
    image[74274] = 0x01;   // the first copy's last word is data
    image[148550] = 0x02;  // and so is the second's
    image[148552] = 0x77;  // the tail belongs to neither copy
    clearAndReseal(image);
    SaveImage expected{};
    expected[74272] = 0xFF;
    expected[74273] = 0xFF;
    expected[74274] = 0x01;
    expected[148548] = 0xFE;
    expected[148549] = 0xFF;
    expected[148550] = 0x02;
    expected[148552] = 0x77;
    EXPECT_EQ(differingOffsets(image, expected), std::vector<std::size_t>{});
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
