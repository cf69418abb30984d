#pragma once

#include <cstdint>
#include <span>

// Writes every byte, through interrupted and partial writes; false once a write fails.
bool writeAll(int fd, std::span<const std::uint8_t> bytes);
