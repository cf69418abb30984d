#pragma once

#include <cstdint>
#include <string_view>

#include "input_file.h"

// What Windows tells of an open file, as plain numbers, so that every host can test
// how its identity is made.
struct HandleRecord {  // GetFileInformationByHandle's
    std::uint32_t volumeSerial;
    std::uint32_t indexHigh;
    std::uint32_t indexLow;
    std::uint32_t links;
    std::int64_t created;  // FILETIME ticks
    std::int64_t written;
};

struct IdRecord {  // FileIdInfo's, from Windows 8 on
    std::uint64_t volumeSerial;
    std::uint8_t identifier[16];
};

// Windows 7 has only the 64-bit index; the 128-bit ID, where there is one, wins, since
// ReFS needs it to tell files apart.
FileIdentity identityFrom(const HandleRecord& handle, const IdRecord* id);

// Whether a handle opened by that name shows under another, its final path within its
// volume not ending in it: Wine follows a symbolic link even when asked not to. An empty
// path, where none could be had (some network drives), counts as the name asked for.
bool reachedThroughALink(std::wstring_view finalPath, std::wstring_view name);
