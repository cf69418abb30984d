#include <windows.h>

#include <atomic>
#include <string>

#include "files.h"
#include "temporary_name.h"

namespace {

// While true, a console control event (Ctrl+C, Ctrl+Break, the window closing) waits
// before the system ends the process, so the new file is in place or removed first.
std::atomic<bool> gReplacing{false};

BOOL WINAPI holdUntilReplaced(DWORD) {
    while (gReplacing.load()) {
        Sleep(1);
    }
    return FALSE;
}

HANDLE handleOf(FileHandle file) { return reinterpret_cast<HANDLE>(file); }

// The tool's file names are plain ASCII.
std::wstring wide(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

// One ReadFile or WriteFile call moves at most a DWORD's worth of bytes.
DWORD chunkOf(std::size_t left) { return left > MAXDWORD ? MAXDWORD : static_cast<DWORD>(left); }

bool writeAll(HANDLE file, std::span<const std::uint8_t> bytes) {
    while (!bytes.empty()) {
        DWORD written = 0;
        if (!WriteFile(file, bytes.data(), chunkOf(bytes.size()), &written, nullptr) ||
            written == 0) {
            return false;
        }
        bytes = bytes.subspan(written);
    }
    return true;
}

// Creates a new file beside the target under a name no user file has: CREATE_NEW
// refuses anything that already exists, so nothing is ever clobbered.
HANDLE createTemporary(const char* name, std::wstring& temporary) {
    for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
        temporary = wide(temporaryName(name, GetCurrentProcessId(), attempt));
        const HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) {
            return file;
        }
    }
    return INVALID_HANDLE_VALUE;
}

bool writeReplacement(const char* name, std::span<const std::uint8_t> bytes) {
    std::wstring temporary;
    const HANDLE file = createTemporary(name, temporary);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    bool written = writeAll(file, bytes) && FlushFileBuffers(file);
    written = CloseHandle(file) && written;
    // Write-through: the call returns only once the rename itself is on disk.
    if (!written || !MoveFileExW(temporary.c_str(), wide(name).c_str(),
                                 MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileW(temporary.c_str());
        return false;
    }
    return true;
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

std::int64_t fileLength(FileHandle file) {
    LARGE_INTEGER size{};
    if (GetFileType(handleOf(file)) != FILE_TYPE_DISK || !GetFileSizeEx(handleOf(file), &size)) {
        return -1;
    }
    return size.QuadPart;
}

std::size_t readUpTo(FileHandle file, std::span<std::uint8_t> buffer) {
    std::size_t total = 0;
    while (total < buffer.size()) {
        DWORD got = 0;
        if (!ReadFile(handleOf(file), buffer.data() + total, chunkOf(buffer.size() - total), &got,
                      nullptr) ||
            got == 0) {
            break;
        }
        total += got;
    }
    return total;
}

void closeFile(FileHandle file) { CloseHandle(handleOf(file)); }

bool replaceFile(const char* name, std::span<const std::uint8_t> bytes) {
    gReplacing = true;
    SetConsoleCtrlHandler(holdUntilReplaced, TRUE);
    const bool replaced = writeReplacement(name, bytes);
    gReplacing = false;
    SetConsoleCtrlHandler(holdUntilReplaced, FALSE);
    return replaced;
}
