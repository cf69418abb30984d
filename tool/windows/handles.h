#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "file_handle.h"

inline HANDLE handleOf(FileHandle file) { return reinterpret_cast<HANDLE>(file); }

// The tool's file names are plain ASCII.
inline std::wstring wide(std::string_view ascii) {
    return std::wstring(ascii.begin(), ascii.end());
}

// One ReadFile or WriteFile call moves at most a DWORD's worth of bytes.
inline DWORD chunkOf(std::size_t left) {
    return left > MAXDWORD ? MAXDWORD : static_cast<DWORD>(left);
}
