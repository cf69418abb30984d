#include <windows.h>

#include <atomic>

#include "file_errors.h"
#include "handles.h"
#include "replace_steps.h"
#include "write_progress.h"

namespace {

// A step refused because another program holds the file for a moment is tried again.
template <typename Step>
bool onceLetGo(Step step) {
    for (DWORD pause = 0;;) {
        if (step()) {
            return true;
        }
        pause = pauseBeforeRetry(GetLastError(), pause);
        if (pause == 0) {
            return false;
        }
        Sleep(pause);
    }
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

FileHandle createExclusive(const std::string& name, bool& nameTaken) {
    // No sharing: nobody else opens it while it is written.
    const HANDLE file = CreateFileW(wide(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    nameTaken = file == INVALID_HANDLE_VALUE && nameTakenBy(GetLastError());
    return file == INVALID_HANDLE_VALUE ? kNoFile : reinterpret_cast<FileHandle>(file);
}

bool writeWhole(FileHandle file, std::span<const std::uint8_t> bytes) {
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

bool moveIntoPlace(const std::string& from, const char* to) {
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

void removeFile(const std::string& name) {
    const std::wstring path = wide(name);
    onceLetGo([&] { return DeleteFileW(path.c_str()) != FALSE; });
}

unsigned long currentProcessId() { return GetCurrentProcessId(); }

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
