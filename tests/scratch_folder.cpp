#include "scratch_folder.h"

#include "sample_image.h"

#include <stdlib.h>

#include <fstream>
#include <iterator>
#include <stdexcept>

ScratchFolder::ScratchFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "kovalt-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    path_ = pattern;
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

void writeBytes(const std::filesystem::path& file, const std::string& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out.flush()) {
        throw std::runtime_error("cannot write " + file.string());
    }
}

std::string readBytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeImage(const std::filesystem::path& file, const SaveImage& image) {
    writeBytes(file, std::string(image.begin(), image.end()));
}

void clearAndReseal(SaveImage& image) {
    clearResetState(image);
    resealCopy(image, 1);
    resealCopy(image, 2);
}

SaveImage& writeSampleSave(const std::filesystem::path& folder, std::uint64_t seed) {
    static SaveImage image;
    fillSampleImage(image, seed);
    writeImage(folder / "savedata.sav", image);
    return image;
}
