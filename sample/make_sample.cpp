// Writes a synthetic, valid save image: make_sample SEED FILE
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "sample_image.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_sample SEED FILE\n");
        return 2;
    }
    char* end = nullptr;
    const unsigned long long seed = std::strtoull(argv[1], &end, 10);
    if (*argv[1] == '\0' || *end != '\0') {
        std::fprintf(stderr, "make_sample: the seed must be a whole number\n");
        return 2;
    }
    static SaveImage image;
    fillSampleImage(image, seed);
    std::FILE* file = std::fopen(argv[2], "wb");
    if (file == nullptr) {
        std::fprintf(stderr, "make_sample: cannot create %s: %s\n", argv[2], std::strerror(errno));
        return 1;
    }
    const bool written = std::fwrite(image.data(), 1, image.size(), file) == image.size();
    if (std::fclose(file) != 0 || !written) {
        std::fprintf(stderr, "make_sample: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
