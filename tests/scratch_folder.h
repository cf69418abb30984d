#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "save_image.h"

// A fresh empty folder, removed again with everything in it.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

void writeBytes(const std::filesystem::path& file, const std::string& bytes);
std::string readBytes(const std::filesystem::path& file);
void writeImage(const std::filesystem::path& file, const SaveImage& image);

// What the tool does to a save: both reset-state bytes cleared, both copies resealed.
void clearAndReseal(SaveImage& image);

// Writes the synthetic valid save of that seed as the folder's "savedata.sav"; the
// image returned stays valid until the next call.
SaveImage& writeSampleSave(const std::filesystem::path& folder, std::uint64_t seed);
