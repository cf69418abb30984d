// Drives Kovalt.exe from inside the console it runs on, as only another program on
// that console can. Test-only.
//
//   console_driver keys REPORT KOVALT    writes input records during the key wait
//   console_driver break REPORT KOVALT   sends Ctrl+Break during the key wait
//   console_driver pair KOVALT           starts Kovalt.exe twice at once, as a double
//       click twice over does, and ends with the first failing run's status
//   console_driver hold FILE write|none|brief|break|temporary KOVALT
//       holds FILE open while Kovalt.exe runs: for writing, or with no sharing; brief
//       lets go of it 300 ms after Kovalt.exe has made its temporary, and break also
//       sends Kovalt.exe Ctrl+Break just before that; temporary also holds the
//       temporary from its close for 1.3 s, past the failed move, into its removal
//
// keys and break start Kovalt.exe with standard input from NUL and standard output
// into dialogue.txt, copied to dialogue-at-wait.txt once the wait has begun, and
// write to REPORT the console's input mode before, during and after the wait, the
// exit status, and the input records left over.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

HANDLE gInput = INVALID_HANDLE_VALUE;
FILE* gReport = nullptr;

DWORD inputMode() {
    DWORD mode = 0;
    GetConsoleMode(gInput, &mode);
    return mode;
}

INPUT_RECORD key(bool down, WORD virtualKey, wchar_t character, DWORD controls = 0) {
    INPUT_RECORD record{KEY_EVENT, {}};
    record.Event.KeyEvent = {down, 1, virtualKey, 0, {character}, controls};
    return record;
}

HANDLE inheritable(const wchar_t* name, DWORD access, DWORD disposition) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    return CreateFileW(name, access, FILE_SHARE_READ, &inherit, disposition, 0, nullptr);
}

HANDLE start(const wchar_t* kovalt, bool redirected) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (redirected) {
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = inheritable(L"NUL", GENERIC_READ, OPEN_EXISTING);
        startup.hStdOutput = inheritable(L"dialogue.txt", GENERIC_WRITE, CREATE_ALWAYS);
        startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    }
    std::wstring command = kovalt;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(kovalt, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &startup, &process)) {
        std::exit(3);
    }
    return process.hProcess;
}

DWORD awaitEnd(HANDLE process) {
    DWORD status = 0;
    WaitForSingleObject(process, 10000);
    GetExitCodeProcess(process, &status);
    return status;
}

// Starts Kovalt.exe and returns once its key wait has switched the input mode.
HANDLE startAndAwaitWait(const wchar_t* kovalt) {
    const DWORD before = inputMode();
    std::fprintf(gReport, "before %lx\n", before);
    const HANDLE process = start(kovalt, true);
    for (int i = 0; i < 1000 && inputMode() == before; ++i) {
        if (WaitForSingleObject(process, 10) == WAIT_OBJECT_0) {
            break;
        }
    }
    std::fprintf(gReport, "during %lx\n", inputMode());
    CopyFileW(L"dialogue.txt", L"dialogue-at-wait.txt", FALSE);
    return process;
}

void reportEnd(HANDLE process) {
    const DWORD status = awaitEnd(process);
    std::fprintf(gReport, "exit %lx\nafter %lx\nleft", status, inputMode());
    INPUT_RECORD record{};
    for (DWORD count = 0; GetNumberOfConsoleInputEvents(gInput, &count) && count > 0 &&
                          ReadConsoleInputW(gInput, &record, 1, &count);) {
        const KEY_EVENT_RECORD& key = record.Event.KeyEvent;
        if (record.EventType == KEY_EVENT) {
            std::fprintf(gReport, " %s:%x", key.bKeyDown ? "down" : "up", key.wVirtualKeyCode);
        } else {
            std::fprintf(gReport, " event:%x", record.EventType);
        }
    }
    std::fprintf(gReport, "\n");
}

// Everything that must not end the wait, then Ctrl+C, which must, then what follows it.
void keys(const wchar_t* kovalt) {
    const HANDLE process = startAndAwaitWait(kovalt);
    const INPUT_RECORD records[] = {
        key(false, 'A', L'a'),
        key(true, VK_SHIFT, 0, SHIFT_PRESSED),
        key(true, VK_CAPITAL, 0),
        key(true, VK_PAUSE, 0),
        key(true, VK_PROCESSKEY, L'a'),  // a letter that starts an IME composition
        key(true, VK_KANJI, 0),          // 半角/全角
        {FOCUS_EVENT, {}},
        {MOUSE_EVENT, {}},
        {WINDOW_BUFFER_SIZE_EVENT, {}},
        {MENU_EVENT, {}},
        key(true, VK_CONTROL, 0, LEFT_CTRL_PRESSED),
        key(true, 'C', L'\x03', LEFT_CTRL_PRESSED),
        key(false, 'C', L'\x03', LEFT_CTRL_PRESSED),
        key(true, 'Z', L'z'),
    };
    DWORD written = 0;
    WriteConsoleInputW(gInput, records, sizeof records / sizeof *records, &written);
    reportEnd(process);
}

// As the system delivers a control event: a new thread in the process, at the routine
// that calls its handlers.
void sendControlBreak(HANDLE process) {
    const auto routine = reinterpret_cast<LPTHREAD_START_ROUTINE>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernelbase.dll"), "CtrlRoutine")));
    CreateRemoteThread(process, nullptr, 0, routine,
                       reinterpret_cast<void*>(static_cast<ULONG_PTR>(CTRL_BREAK_EVENT)), 0,
                       nullptr);
}

void controlBreak(const wchar_t* kovalt) {
    const HANDLE process = startAndAwaitWait(kovalt);
    sendControlBreak(process);
    reportEnd(process);
}

// Once Kovalt.exe has made its temporary, it is replacing output.sav. With open, the
// temporary is opened, without sharing its deletion, as soon as Kovalt.exe has closed it.
HANDLE awaitTemporary(HANDLE process, bool open = false) {
    for (int i = 0; i < 5000 && WaitForSingleObject(process, 1) == WAIT_TIMEOUT; ++i) {
        WIN32_FIND_DATAW found{};
        const HANDLE search = FindFirstFileW(L".output.sav.*.tmp", &found);
        if (search == INVALID_HANDLE_VALUE) {
            continue;
        }
        FindClose(search);
        const HANDLE held = open ? CreateFileW(found.cFileName, GENERIC_READ, FILE_SHARE_READ,
                                               nullptr, OPEN_EXISTING, 0, nullptr)
                                 : nullptr;
        if (held != INVALID_HANDLE_VALUE) {
            return held;
        }
    }
    return nullptr;
}

int hold(const wchar_t* file, const std::wstring& how, const wchar_t* kovalt) {
    const bool write = how == L"write";
    HANDLE held = CreateFileW(file, write ? GENERIC_WRITE : GENERIC_READ,
                              write ? FILE_SHARE_READ | FILE_SHARE_WRITE : 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (held == INVALID_HANDLE_VALUE) {
        return 3;
    }
    const HANDLE process = start(kovalt, false);
    if (how == L"temporary") {
        const HANDLE temporary = awaitTemporary(process, true);
        if (temporary == nullptr) {
            return 4;
        }
        Sleep(1300);
        CloseHandle(temporary);
    }
    const bool letsGo = how == L"brief" || how == L"break";
    if (letsGo) {
        awaitTemporary(process);
        Sleep(300);
        if (how == L"break") {
            sendControlBreak(process);
            Sleep(100);
        }
        CloseHandle(held);
    }
    const int status = static_cast<int>(awaitEnd(process));
    if (!letsGo) {
        CloseHandle(held);
    }
    return status;
}

int pair(const wchar_t* kovalt) {
    const HANDLE first = start(kovalt, false);
    const HANDLE second = start(kovalt, false);
    const DWORD firstStatus = awaitEnd(first);
    const DWORD secondStatus = awaitEnd(second);
    return static_cast<int>(firstStatus != 0 ? firstStatus : secondStatus);
}

// The driver itself outlives any control event the console sends.
BOOL WINAPI carryOn(DWORD) { return TRUE; }

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring mode = argc > 1 ? argv[1] : L"";
    if (mode == L"hold" && argc == 5) {
        return hold(argv[2], argv[3], argv[4]);
    }
    if (mode == L"pair" && argc == 3) {
        return pair(argv[2]);
    }
    if ((mode != L"keys" && mode != L"break") || argc != 4) {
        return 2;
    }
    SetConsoleCtrlHandler(carryOn, TRUE);
    gReport = _wfopen(argv[2], L"wb");
    gInput = CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE,
                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    // The console as a shell may leave it, with virtual-terminal input on.
    const DWORD initial = inputMode();
    SetConsoleMode(gInput, initial | ENABLE_VIRTUAL_TERMINAL_INPUT);
    if (mode == L"keys") {
        keys(argv[3]);
    } else {
        controlBreak(argv[3]);
    }
    SetConsoleMode(gInput, initial);
    std::fclose(gReport);
    return 0;
}
