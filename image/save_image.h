#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// The save file is one 256 KiB image holding the save record twice, back to back,
// followed by a tail that the tool never looks at.
inline constexpr std::size_t kSaveImageSize = 0x40000;
inline constexpr std::size_t kCopySize = 0x12224;

// Offsets inside a copy.
inline constexpr std::size_t kResetStateOffset = 0x1CBF;
inline constexpr std::size_t kChecksumOffset = 0x12220;

using SaveImage = std::array<std::uint8_t, kSaveImageSize>;

// Copies are numbered 1 and 2.
std::size_t copyStart(int copy);

// Sum of the copy's little-endian 16-bit words, checksum word included, modulo 65,536.
std::uint16_t copySum(const SaveImage& image, int copy);

// True only when both copies sum to zero.
bool copiesValid(const SaveImage& image);

// Zeroes the reset-state byte of both copies, leaving the checksums stale.
void clearResetState(SaveImage& image);

// Rewrites the copy's checksum word so that the copy sums to zero again.
void resealCopy(SaveImage& image, int copy);
