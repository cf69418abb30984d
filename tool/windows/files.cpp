#include <windows.h>

#include <atomic>
#include <optional>
#include <string>
#include <string_view>

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

// Whether a run with that process number is alive here.
bool processAlive(unsigned long processId) {
    const HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(processId));
    if (process == nullptr) {
        // Denied means it exists; any other failure, that it does not.
        return GetLastError() == ERROR_ACCESS_DENIED;
    }
    const bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    CloseHandle(process);
    return running;
}

// Deletes the file of that name if it is a plain file that nobody has open: without
// sharing, it does not open while in use. Wine follows a symbolic link to its target,
// whose name then shows as the final one, so the link and its target are left alone.
void deleteIfUnused(const std::wstring& name) {
    const HANDLE file =
        CreateFileW(name.c_str(), DELETE | FILE_READ_ATTRIBUTES, 0, nullptr, OPEN_EXISTING,
                    FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return;
    }
    wchar_t path[MAX_PATH + 8];
    const DWORD length = GetFinalPathNameByHandleW(file, path, MAX_PATH + 8, FILE_NAME_NORMALIZED);
    const std::wstring_view final(path, length < MAX_PATH + 8 ? length : 0);
    FILE_ATTRIBUTE_TAG_INFO kind{};
    FILE_DISPOSITION_INFO remove{TRUE};
    if (GetFileInformationByHandleEx(file, FileAttributeTagInfo, &kind, sizeof kind) &&
        (kind.FileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0 &&
        final.ends_with(L"\\" + name)) {
        SetFileInformationByHandle(file, FileDispositionInfo, &remove, sizeof remove);
    }
    CloseHandle(file);
}

// Removes the temporaries that runs killed while writing left behind: those whose run
// is gone and that nobody has open, as each run holds its own while it writes it.
void removeStaleTemporaries(const char* name) {
    std::wstring pattern = L".";
    pattern += wide(name);
    pattern += L".*.tmp";
    WIN32_FIND_DATAW found{};
    const HANDLE search = FindFirstFileW(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return;
    }
    do {
        const std::wstring candidate = found.cFileName;
        // The tool's own names are plain ASCII; anything else is not one of them.
        std::string narrow;
        for (const wchar_t c : candidate) {
            narrow.push_back(c < 0x80 ? static_cast<char>(c) : '?');
        }
        const std::optional<unsigned long> owner = temporaryNameOwner(narrow, name);
        if (owner && !processAlive(*owner)) {
            deleteIfUnused(candidate);
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

FileIdentity identityOfHandle(HANDLE file) {
    BY_HANDLE_FILE_INFORMATION information{};
    if (!GetFileInformationByHandle(file, &information)) {
        return {};
    }
    return {
        true, information.dwVolumeSerialNumber,
        (static_cast<std::uint64_t>(information.nFileIndexHigh) << 32) | information.nFileIndexLow,
        information.nNumberOfLinks};
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

FileIdentity identityOf(FileHandle file) { return identityOfHandle(handleOf(file)); }

FileIdentity identityOfName(const char* name) {
    // No access asked for and every sharing allowed: this only looks, and a symbolic
    // link is looked at itself, as the replacement would replace it.
    const HANDLE file = CreateFileW(
        wide(name).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return {};
    }
    const FileIdentity identity = identityOfHandle(file);
    CloseHandle(file);
    return identity;
}

void closeFile(FileHandle file) { CloseHandle(handleOf(file)); }

bool replaceFile(const char* name, std::span<const std::uint8_t> bytes) {
    gReplacing = true;
    SetConsoleCtrlHandler(holdUntilReplaced, TRUE);
    removeStaleTemporaries(name);
    const bool replaced = writeReplacement(name, bytes);
    gReplacing = false;
    SetConsoleCtrlHandler(holdUntilReplaced, FALSE);
    return replaced;
}
