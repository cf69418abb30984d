#include <windows.h>

#include <cstring>
#include <string>

#include "handles.h"

namespace {

std::int64_t ticks(const FILETIME& time) {
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(time.dwHighDateTime) << 32) |
                                     time.dwLowDateTime);
}

FileIdentity identityOfHandle(HANDLE file) {
    BY_HANDLE_FILE_INFORMATION information{};
    if (!GetFileInformationByHandle(file, &information)) {
        return {};
    }
    FileIdentity identity{
        .known = true,
        .volume = information.dwVolumeSerialNumber,
        .fileHigh = 0,
        .fileLow = (static_cast<std::uint64_t>(information.nFileIndexHigh) << 32) |
                   information.nFileIndexLow,
        .links = information.nNumberOfLinks,
        .created = ticks(information.ftCreationTime),
        .written = ticks(information.ftLastWriteTime)};
    // Windows 8 and later also give the 128-bit ID, which ReFS needs to tell files apart;
    // Windows 7 has only the 64-bit index.
    FILE_ID_INFO id{};
    if (GetFileInformationByHandleEx(file, FileIdInfo, &id, sizeof id)) {
        identity.volume = id.VolumeSerialNumber;
        std::memcpy(&identity.fileLow, id.FileId.Identifier, sizeof identity.fileLow);
        std::memcpy(&identity.fileHigh, id.FileId.Identifier + sizeof identity.fileLow,
                    sizeof identity.fileHigh);
    }
    return identity;
}

// Whether the handle's file shows under another name than the one it was opened by.
// Wine follows a symbolic link even when asked not to, and its target's name then shows.
// Where the name cannot be had (some network drives), it is taken as the one asked for,
// so that a save reached through a link to output.sav is still told. The name within
// its volume is all this needs, and it has no length limit.
bool reachedThroughALink(HANDLE file, const std::wstring& name) {
    constexpr DWORD kForm = FILE_NAME_OPENED | VOLUME_NAME_NONE;
    std::wstring path(GetFinalPathNameByHandleW(file, nullptr, 0, kForm), L'\0');
    const DWORD length =
        GetFinalPathNameByHandleW(file, path.data(), static_cast<DWORD>(path.size()), kForm);
    if (length == 0 || length >= path.size()) {
        return false;
    }
    path.resize(length);
    return !path.ends_with(L"\\" + name);
}

}  // namespace

FileHandle openForReading(const char* name) {
    // Shared for reading only: a save that another program has open for writing may be
    // half written, and is refused like a locked one. A folder cannot be opened this way.
    const HANDLE file =
        CreateFileW(wide(name).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    return file == INVALID_HANDLE_VALUE ? kNoFile : reinterpret_cast<FileHandle>(file);
}

// The handle's sharing already keeps writers out, from the open to the close.
WriterHold holdOffWriters(FileHandle) { return WriterHold::Held; }

bool releaseWriters(FileHandle) { return true; }

std::int64_t fileLength(FileHandle file) {
    LARGE_INTEGER size{};
    if (GetFileType(handleOf(file)) != FILE_TYPE_DISK || !GetFileSizeEx(handleOf(file), &size)) {
        return -1;
    }
    return size.QuadPart;
}

std::size_t readAt(FileHandle file, std::uint64_t offset, std::span<std::uint8_t> buffer) {
    std::size_t total = 0;
    while (total < buffer.size()) {
        // On a handle opened for synchronous reads, the offset is where the read starts.
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(offset + total);
        at.OffsetHigh = static_cast<DWORD>((offset + total) >> 32);
        DWORD got = 0;
        if (!ReadFile(handleOf(file), buffer.data() + total, chunkOf(buffer.size() - total), &got,
                      &at) ||
            got == 0) {
            break;
        }
        total += got;
    }
    return total;
}

FileIdentity identityOf(FileHandle file) { return identityOfHandle(handleOf(file)); }

FileIdentity identityOfName(const char* name) {
    // No access asked for and every sharing allowed: this only looks, and a symbolic
    // link is looked at itself, as the replacement would replace it. A link that was
    // followed all the same is not the file the name is.
    const std::wstring path = wide(name);
    const HANDLE file = CreateFileW(
        path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return {};
    }
    const FileIdentity identity =
        reachedThroughALink(file, path) ? FileIdentity{} : identityOfHandle(file);
    CloseHandle(file);
    return identity;
}

bool closeFile(FileHandle file) { return CloseHandle(handleOf(file)) != FALSE; }
