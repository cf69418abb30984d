#include <windows.h>

#include <cstring>
#include <string>

#include "file_identity.h"
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
    const HandleRecord handle{.volumeSerial = information.dwVolumeSerialNumber,
                              .indexHigh = information.nFileIndexHigh,
                              .indexLow = information.nFileIndexLow,
                              .links = information.nNumberOfLinks,
                              .created = ticks(information.ftCreationTime),
                              .written = ticks(information.ftLastWriteTime)};
    FILE_ID_INFO info{};
    if (!GetFileInformationByHandleEx(file, FileIdInfo, &info, sizeof info)) {
        return identityFrom(handle, nullptr);
    }
    IdRecord id{.volumeSerial = info.VolumeSerialNumber, .identifier = {}};
    std::memcpy(id.identifier, info.FileId.Identifier, sizeof id.identifier);
    return identityFrom(handle, &id);
}

// The handle's name within its volume, which has no length limit; empty where it cannot
// be had.
std::wstring finalPathOf(HANDLE file) {
    constexpr DWORD kForm = FILE_NAME_OPENED | VOLUME_NAME_NONE;
    std::wstring path(GetFinalPathNameByHandleW(file, nullptr, 0, kForm), L'\0');
    const DWORD length =
        GetFinalPathNameByHandleW(file, path.data(), static_cast<DWORD>(path.size()), kForm);
    path.resize(length == 0 || length >= path.size() ? 0 : length);
    return path;
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

std::size_t readAt(FileHandle file, ReadPass, std::uint64_t offset,
                   std::span<std::uint8_t> buffer) {
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
        reachedThroughALink(finalPathOf(file), path) ? FileIdentity{} : identityOfHandle(file);
    CloseHandle(file);
    return identity;
}

bool closeFile(FileHandle file) { return CloseHandle(handleOf(file)) != FALSE; }
