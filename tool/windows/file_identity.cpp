#include "file_identity.h"

#include <cstring>
#include <string>

FileIdentity identityFrom(const HandleRecord& handle, const IdRecord* id) {
    FileIdentity identity{
        .known = true,
        .volume = handle.volumeSerial,
        .fileHigh = 0,
        .fileLow = (static_cast<std::uint64_t>(handle.indexHigh) << 32) | handle.indexLow,
        .links = handle.links,
        .created = handle.created,
        .written = handle.written};
    if (id != nullptr) {
        identity.volume = id->volumeSerial;
        std::memcpy(&identity.fileLow, id->identifier, sizeof identity.fileLow);
        std::memcpy(&identity.fileHigh, id->identifier + sizeof identity.fileLow,
                    sizeof identity.fileHigh);
    }
    return identity;
}

bool reachedThroughALink(std::wstring_view finalPath, std::wstring_view name) {
    return !finalPath.empty() && !finalPath.ends_with(L"\\" + std::wstring(name));
}
