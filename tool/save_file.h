#pragma once

#include <cstdint>

#include "input_file.h"
#include "save_image.h"

enum class LoadKind {
    Loaded,
    NotFound,   // it cannot be opened
    Locked,     // another program has it open for writing, perhaps paused mid-write
    TooLarge,   // longer than the image
    WrongSize,  // shorter, no length, or a read of it came short
    Changed,    // it changed or grew while it was read
};

struct LoadOutcome {
    LoadKind kind;
    // The input's length for TooLarge, WrongSize and Changed; -1 when it could not be
    // measured.
    std::int64_t length;
    // For Loaded: the file that was read.
    FileIdentity input{};
};

// Reads "savedata.sav" from the current folder into the image. Only Loaded leaves
// the image meaningful.
LoadOutcome loadSaveFile(SaveImage& image);

// Whether the two are one file, where that can be told; when it cannot, they are not.
bool sameFile(const FileIdentity& a, const FileIdentity& b);

// Writes the image to "output.sav" in the current folder; false when the old file,
// if any, was kept because the new one could not be written, or because replacing it
// would lose the input, the file that was read.
bool writeOutputFile(const SaveImage& image, const FileIdentity& input);
