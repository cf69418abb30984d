#include <windows.h>

#include <cstdio>
#include <string>
#include <string_view>

#include "console.h"
#include "console_keys.h"
#include "console_output_form.h"
#include "text/shift_jis.h"
#include "utf16.h"
#include "write_progress.h"

namespace {

HANDLE gStdout = INVALID_HANDLE_VALUE;
OutputForm gOutputForm = OutputForm::ShiftJisStream;

// The console's input buffer, opened on the first wait and kept until the process ends.
HANDLE gConsoleInput = INVALID_HANDLE_VALUE;
bool gConsoleInputOpened = false;

// What the control handler puts back; set before the handler is installed.
DWORD gSavedMode = 0;

// With processed input off, Ctrl+C is a key; but Ctrl+Break, closing the window and
// logging off still end the process. The input buffer outlives it, shared with the
// shell, so its mode goes back first. FALSE lets the system's own handler end the run.
BOOL WINAPI restoreModeAndGoOn(DWORD) {
    SetConsoleMode(gConsoleInput, gSavedMode);
    return FALSE;
}

HANDLE consoleInput() {
    if (!gConsoleInputOpened) {
        gConsoleInputOpened = true;
        // CONIN$, unlike standard input, is the console itself even when input is redirected.
        gConsoleInput =
            CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                        nullptr, OPEN_EXISTING, 0, nullptr);
    }
    return gConsoleInput;
}

ConsoleEvent eventOf(const INPUT_RECORD& record) {
    ConsoleEvent event;
    if (record.EventType == KEY_EVENT) {
        const KEY_EVENT_RECORD& key = record.Event.KeyEvent;
        event.isKey = true;
        event.keyDown = key.bKeyDown != FALSE;
        event.virtualKey = key.wVirtualKeyCode;
        event.character = static_cast<char16_t>(key.uChar.UnicodeChar);
    }
    return event;
}

// One record at a time, so that whatever follows the key (its own release
// included) stays in the buffer for the shell.
void readUntilKey(HANDLE input) {
    for (;;) {
        INPUT_RECORD record{};
        DWORD count = 0;
        if (!ReadConsoleInputW(input, &record, 1, &count) || count == 0) {
            return;
        }
        if (endsKeyWait(eventOf(record))) {
            return;
        }
    }
}

// A console shows line feeds as CR LF too, as a text stream would write them.
template <typename Text>
Text withCrLf(const Text& text) {
    Text out;
    out.reserve(text.size() + 16);
    for (const auto c : text) {
        if (c == '\n') {
            out.push_back('\r');
        }
        out.push_back(c);
    }
    return out;
}

// Straight to the console, not through the C library: a runtime may re-encode text
// that it writes to a console. Bytes go out in the console's code page, UTF-16 as is.
template <typename Text>
void writeToConsole(HANDLE console, const Text& text) {
    const auto* next = text.data();
    auto left = static_cast<DWORD>(text.size());
    while (left > 0) {
        DWORD written = 0;
        BOOL wrote = FALSE;
        if constexpr (sizeof *next == 1) {
            wrote = WriteFile(console, next, left, &written, nullptr);
        } else {
            wrote = WriteConsoleW(console, next, left, &written, nullptr);
        }
        if (!wrote || written == 0) {
            return;
        }
        const auto rest = static_cast<DWORD>(leftToWrite(left, written));
        next += left - rest;
        left = rest;
    }
}

// A console shows either code page 932's bytes or, through the wide API, any text.
void showText(HANDLE console, OutputForm form, std::string_view utf8) {
    if (form == OutputForm::ShiftJisConsole) {
        writeToConsole(console, withCrLf(toShiftJis(utf8)));
    } else {
        writeToConsole(console, withCrLf(toUtf16(utf8)));
    }
}

// With standard output in a file, the prompt shows on the console all the same.
void showOnConsole(std::string_view prompt) {
    const HANDLE console =
        CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    if (console == INVALID_HANDLE_VALUE) {
        return;
    }
    showText(console, chooseOutputForm(true, GetConsoleOutputCP()), prompt);
    CloseHandle(console);
}

}  // namespace

void startConsole() {
    gStdout = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    const bool isConsole =
        gStdout != nullptr && gStdout != INVALID_HANDLE_VALUE && GetConsoleMode(gStdout, &mode);
    gOutputForm = chooseOutputForm(isConsole, isConsole ? GetConsoleOutputCP() : 0);
}

void printText(MessageId, std::string_view utf8) {
    if (gOutputForm != OutputForm::ShiftJisStream) {
        showText(gStdout, gOutputForm, utf8);
        return;
    }
    // stdout is in text mode, so each line feed reaches the file as CR LF. Each message
    // goes out at once, so that a log shows how far a run got, whatever ends it.
    const std::string shiftJis = toShiftJis(utf8);
    std::fwrite(shiftJis.data(), 1, shiftJis.size(), stdout);
    std::fflush(stdout);
}

void readKeyPress(std::string_view prompt) {
    const HANDLE input = consoleInput();
    DWORD saved = 0;
    if (input == INVALID_HANDLE_VALUE || !GetConsoleMode(input, &saved)) {
        return;
    }
    if (gOutputForm == OutputForm::ShiftJisStream) {
        showOnConsole(prompt);
    }
    gSavedMode = saved;
    SetConsoleCtrlHandler(restoreModeAndGoOn, TRUE);
    // No line input, no echo, Ctrl+C as a key, and no virtual-terminal input: with it,
    // a cursor key would arrive as several characters and its tail reach the shell.
    // The input already pending is kept: a key pressed during the run ends the wait.
    const DWORD raw =
        saved & ~static_cast<DWORD>(ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT | ENABLE_PROCESSED_INPUT |
                                    ENABLE_VIRTUAL_TERMINAL_INPUT);
    const bool switched = SetConsoleMode(input, raw) != FALSE;
    // Records come raw whatever the mode, so even a refused switch still waits for a key.
    readUntilKey(input);
    if (switched) {
        SetConsoleMode(input, saved);
    }
    SetConsoleCtrlHandler(restoreModeAndGoOn, FALSE);
}
