#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>
#include <string_view>

#include "files.h"
#include "write_progress.h"

namespace {

HANDLE handleOf(FileHandle file) { return reinterpret_cast<HANDLE>(file); }

// The tool's file names are plain ASCII.
std::wstring wide(std::string_view ascii) { return std::wstring(ascii.begin(), ascii.end()); }

// One ReadFile or WriteFile call moves at most a DWORD's worth of bytes.
DWORD chunkOf(std::size_t left) { return left > MAXDWORD ? MAXDWORD : static_cast<DWORD>(left); }

// Antivirus, the search indexer, a sync client or a viewer may hold a file for a moment,
// and Windows then refuses to rename or delete it as denied, shared or locked. Such a
// step is tried again for about a second (pauses of 1, 2, 4 ... 512 ms), well inside the
// 5 s that Windows allows a process after a close event.
bool heldForAMoment(DWORD error) {
    return error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION ||
           error == ERROR_LOCK_VIOLATION;
}

template <typename Step>
bool onceLetGo(Step step) {
    for (DWORD pause = 1;; pause *= 2) {
        if (step()) {
            return true;
        }
        if (!heldForAMoment(GetLastError()) || pause > 512) {
            return false;
        }
        Sleep(pause);
    }
}

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
        true,
        information.dwVolumeSerialNumber,
        0,
        (static_cast<std::uint64_t>(information.nFileIndexHigh) << 32) | information.nFileIndexLow,
        information.nNumberOfLinks,
        ticks(information.ftCreationTime),
        ticks(information.ftLastWriteTime)};
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

// Symbolic links and junctions stand for another file and are left alone. Other reparse
// points, such as the placeholders of a cloud folder (every file in OneDrive is one),
// are files like any other.
bool isPlainFile(const FILE_ATTRIBUTE_TAG_INFO& kind) {
    if ((kind.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return false;
    }
    return (kind.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0 ||
           !IsReparseTagNameSurrogate(kind.ReparseTag);
}

// Whether the handle's file has that name in this folder: Wine follows a symbolic link
// to its target, whose name then shows instead. The name within its volume is all this
// needs, and it has no length limit.
bool isOpenedAs(HANDLE file, const std::wstring& name) {
    constexpr DWORD kForm = FILE_NAME_OPENED | VOLUME_NAME_NONE;
    std::wstring path(GetFinalPathNameByHandleW(file, nullptr, 0, kForm), L'\0');
    const DWORD length =
        GetFinalPathNameByHandleW(file, path.data(), static_cast<DWORD>(path.size()), kForm);
    if (length == 0 || length >= path.size()) {
        return false;
    }
    path.resize(length);
    return path.ends_with(L"\\" + name);
}

// While true, a console control event (Ctrl+C, Ctrl+Break, the window closing) waits
// before the system ends the process, so the new file is in place or removed first.
std::atomic<bool> gHolding{false};
std::atomic<bool> gEventHeld{false};

BOOL WINAPI waitUntilReleased(DWORD) {
    gEventHeld = true;
    while (gHolding.load()) {
        Sleep(1);
    }
    return FALSE;
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

bool closeFile(FileHandle file) { return CloseHandle(handleOf(file)) != FALSE; }

FileHandle createExclusive(const std::string& name, bool& nameTaken) {
    // No sharing: nobody else opens it, a run's sweep included, until it is closed.
    const HANDLE file = CreateFileW(wide(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        nameTaken = GetLastError() == ERROR_FILE_EXISTS;
        return kNoFile;
    }
    return reinterpret_cast<FileHandle>(file);
}

bool writeFile(FileHandle file, std::span<const std::uint8_t> bytes) {
    while (!bytes.empty()) {
        const DWORD asked = chunkOf(bytes.size());
        DWORD written = 0;
        if (!WriteFile(handleOf(file), bytes.data(), asked, &written, nullptr) || written == 0) {
            return false;
        }
        bytes = bytes.subspan(asked - leftToWrite(asked, written));
    }
    return true;
}

bool syncFile(FileHandle file) { return FlushFileBuffers(handleOf(file)) != FALSE; }

// A file open without sharing cannot be renamed, even by its own holder.
bool closeBeforeRename() { return true; }

bool renameOver(const std::string& from, const char* to) {
    // MOVEFILE_WRITE_THROUGH flushes only a move done as a copy and a delete. For a rename
    // on one volume, the bytes are on the disk already (syncFile), but the rename itself
    // may be undone by a power cut: Windows has no counterpart of a folder sync.
    const std::wstring source = wide(from);
    const std::wstring target = wide(to);
    return onceLetGo([&] {
        return MoveFileExW(source.c_str(), target.c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
    });
}

void syncFolder() {}

void removeFile(const std::string& name) {
    const std::wstring path = wide(name);
    onceLetGo([&] { return DeleteFileW(path.c_str()) != FALSE; });
}

std::vector<std::string> namesStartingWith(const std::string& prefix) {
    std::vector<std::string> names;
    const std::wstring start = wide(prefix);
    WIN32_FIND_DATAW found{};
    const HANDLE search = FindFirstFileW((start + L"*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return names;
    }
    do {
        // The pattern also matches short 8.3 names; and a name that is not plain ASCII is
        // none of the tool's, which narrowing it to bytes could make it look like.
        const std::wstring_view name = found.cFileName;
        if (name.starts_with(start) &&
            std::all_of(name.begin(), name.end(), [](wchar_t c) { return c < 0x80; })) {
            names.emplace_back(name.begin(), name.end());
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return names;
}

unsigned long currentProcessId() { return GetCurrentProcessId(); }

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

void removeIfUnheld(const std::string& name) {
    // Without sharing, it does not open while anybody has it open.
    const std::wstring path = wide(name);
    HANDLE file = INVALID_HANDLE_VALUE;
    onceLetGo([&] {
        file = CreateFileW(path.c_str(), DELETE | FILE_READ_ATTRIBUTES, 0, nullptr, OPEN_EXISTING,
                           FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        return file != INVALID_HANDLE_VALUE;
    });
    if (file == INVALID_HANDLE_VALUE) {
        return;
    }
    FILE_ATTRIBUTE_TAG_INFO kind{};
    FILE_DISPOSITION_INFO remove{TRUE};
    if (GetFileInformationByHandleEx(file, FileAttributeTagInfo, &kind, sizeof kind) &&
        isPlainFile(kind) && isOpenedAs(file, path)) {
        onceLetGo([&] {
            return SetFileInformationByHandle(file, FileDispositionInfo, &remove, sizeof remove) !=
                   FALSE;
        });
    }
    CloseHandle(file);
}

void holdTermination() {
    gHolding = true;
    SetConsoleCtrlHandler(waitUntilReleased, TRUE);
}

// An event that came meanwhile ends the run now, as the system would have ended it,
// before anything changes the console's mode. The handler is removed only once none
// waits in it: Wine calls the handlers holding the lock that removing one takes.
void releaseTermination() {
    if (gEventHeld.load()) {
        ExitProcess(STATUS_CONTROL_C_EXIT);
    }
    gHolding = false;
    SetConsoleCtrlHandler(waitUntilReleased, FALSE);
    if (gEventHeld.load()) {
        ExitProcess(STATUS_CONTROL_C_EXIT);
    }
}
