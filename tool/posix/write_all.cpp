#include "write_all.h"

#include <unistd.h>

#include <cerrno>

#include "write_progress.h"

bool writeAll(int fd, std::span<const std::uint8_t> bytes) {
    while (!bytes.empty()) {
        const ssize_t written = write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        const std::size_t left = leftToWrite(bytes.size(), static_cast<std::size_t>(written));
        bytes = bytes.last(left);
    }
    return true;
}
