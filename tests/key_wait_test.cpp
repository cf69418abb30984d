// The key wait on a pseudo-terminal: what ends it, what it leaves behind, and the
// terminal settings it restores, whatever ends the run.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <filesystem>

#include "child_process.h"
#include "cp932.h"
#include "expected_dialogue.h"
#include "requirements.h"
#include "scratch_folder.h"
#include "terminal_key_list.h"

namespace {

using Environment = std::vector<std::pair<std::string, std::string>>;

const Environment kUtf8 = {{"LC_ALL", "C.UTF-8"}};

class KeyWait : public testing::Test {
protected:
    ScratchFolder folder;
    PtyChild child;

    void TearDown() override { endPtyChild(child); }

    void start(ChildSetup setup = {}) {
        setup.folder = folder.path();
        if (setup.environment.empty()) {
            setup.environment = kUtf8;
        }
        child = startInPty(setup);
    }

    // Once the wait is in raw mode, or the time is up.
    void awaitRawMode() {
        termios now{};
        EXPECT_TRUE(eventually(
            [&] {
                return tcgetattr(child.slave, &now) == 0 &&
                       (now.c_lflag & (ICANON | ECHO | ISIG)) == 0 &&
                       (now.c_iflag & (ISTRIP | BRKINT)) == 0;
            },
            5000))
            << "the wait is not in raw mode";
    }

    // Starts the tool and returns what the terminal showed up to the prompt.
    std::string startAndAwaitWait(ChildSetup setup = {}, const std::string& prompt = kPrompt) {
        start(setup);
        const std::string shown = readUntil(child.master, withCrLf(prompt), 5000);
        awaitRawMode();
        return shown;
    }

    void type(const std::string& bytes) {
        ASSERT_EQ(write(child.master, bytes.data(), bytes.size()),
                  static_cast<ssize_t>(bytes.size()));
    }

    ChildEnd awaitEnd() {
        const ChildEnd end = waitForEnd(child.pid, 5000);
        child.pid = -1;
        return end;
    }

    int unread() {
        int count = -1;
        ioctl(child.slave, FIONREAD, &count);
        return count;
    }

    // Input still queued on the terminal, as the shell would read it next.
    std::string leftoverInput() {
        termios peek{};
        tcgetattr(child.slave, &peek);
        peek.c_lflag &= ~static_cast<tcflag_t>(ICANON);
        peek.c_cc[VMIN] = 0;
        peek.c_cc[VTIME] = 0;
        tcsetattr(child.slave, TCSANOW, &peek);
        std::string left;
        char buffer[64];
        for (ssize_t got; (got = read(child.slave, buffer, sizeof buffer)) > 0;) {
            left.append(buffer, static_cast<std::size_t>(got));
        }
        return left;
    }

    // The terminal's settings are these: by default, those it had before the run.
    void expectSettingsRestored(const termios* expected = nullptr) {
        termios after{};
        ASSERT_EQ(tcgetattr(child.slave, &after), 0);
        EXPECT_TRUE(sameSettings(expected != nullptr ? *expected : child.initial, after));
    }

    void placeValidSave() { writeSampleSave(folder.path(), 21); }

    // The dialogue without a save, in the codeset, and the key read whole in it.
    void expectLocaleHonoured(const Environment& environment, const char* codeset,
                              const std::string& key) {
        SCOPED_TRACE(testing::PrintToString(environment));
        ChildSetup setup;
        setup.environment = environment;
        const std::string shown = startAndAwaitWait(setup, encodedByIconv(codeset, kPrompt));
        EXPECT_EQ(shown, withCrLf(encodedByIconv(codeset, kOpening + kNotFound + kPrompt)));
        type(key);
        EXPECT_EQ(awaitEnd().exitCode, 1);
        EXPECT_EQ(leftoverInput(), "");
        closePty(child);
    }
};

// Also on a terminal that strips the eighth bit and sends SIGINT on a break: raw mode
// clears both, so that a non-ASCII key comes whole and a break is a key like any other.
TEST_F(KeyWait, EveryKeyEndsItWholeWithoutEchoAndRestoresTheTerminal) {
    ChildSetup stripping;
    stripping.inputFlags = ISTRIP | BRKINT;
    for (const TerminalKey& key : kTerminalKeys) {
        SCOPED_TRACE(key.name);
        startAndAwaitWait(stripping);
        type(key.bytes);
        const ChildEnd end = awaitEnd();
        EXPECT_EQ(end.exitCode, 1);
        EXPECT_EQ(readFor(child.master, 50), "") << "echoed";
        expectSettingsRestored();
        EXPECT_EQ(leftoverInput(), "");
        closePty(child);
    }
}

// Standard input not the terminal: the wait reads the terminal itself all the same.
// Standard output in a file: the file gets exactly the Shift_JIS dialogue, all of it
// before the wait, and the terminal shows the prompt alone, in its own encoding.
TEST_F(KeyWait, BlocksUntilAKeyOnTheTerminalWhereverItsStreamsGo) {
    for (const bool toFile : {false, true}) {
        SCOPED_TRACE(toFile ? "output to a file" : "input from /dev/null");
        placeValidSave();
        ChildSetup setup;
        setup.stdinFromNull = !toFile;
        setup.stdoutFile = toFile ? folder / "log" : "";
        const std::string shown = startAndAwaitWait(setup);
        EXPECT_EQ(shown, withCrLf(toFile ? kPrompt : kOpening + kCompleteRun + kPrompt));
        if (toFile) {
            EXPECT_EQ(readBytes(folder / "log"), cp932ByIconv(kOpening + kCompleteRun + kPrompt));
        }
        EXPECT_TRUE(stillRunningAfter(child.pid, 300));
        type("x");
        EXPECT_EQ(awaitEnd().exitCode, 0);
        expectSettingsRestored();
        closePty(child);
    }
}

// The precedence of LC_ALL, LC_CTYPE and LANG, none of them installed: only whether the
// name says UTF-8 counts, for texts and keys alike.
TEST_F(KeyWait, TerminalGetsTheEncodingItsLocaleNames) {
    expectLocaleHonoured({{"LC_ALL", "C"}}, "CP932", "x");
    expectLocaleHonoured({{"LC_ALL", "POSIX"}}, "CP932", "x");
    expectLocaleHonoured({{"LC_ALL", "xx_XX.UTF-8"}}, "UTF-8", "\xC3\xA9");
    expectLocaleHonoured({{"LC_ALL", "xx_XX.utf8"}}, "UTF-8", "x");
    expectLocaleHonoured({{"LANG", "xx_XX.UTF-8"}}, "UTF-8", "x");
    expectLocaleHonoured(
        {{"LC_ALL", "xx_XX"}, {"LC_CTYPE", "xx_XX.UTF-8"}, {"LANG", "xx_XX.UTF-8"}}, "CP932", "x");
    expectLocaleHonoured({{"LC_ALL", ""}, {"LC_CTYPE", "xx_XX.UTF-8"}}, "UTF-8", "x");
}

// Locales made by the test fixture: texts converted to EUC-JP, and a two-byte character
// key ("あ"), alone or with Alt, taken whole in either encoding.
TEST_F(KeyWait, JapaneseLocaleTerminalsGetTextsAndKeysInTheirEncoding) {
    const std::filesystem::path locales = KOVALT_LOCALES;
    if (!std::filesystem::exists(locales / "ja_JP.SJIS") ||
        !std::filesystem::exists(locales / "ja_JP.eucJP")) {
        requireOrSkip("no Japanese locales in " + locales.string() +
                      " (Debian: apt-get install locales)");
        return;
    }
    for (const char* alt : {"", "\x1B"}) {
        expectLocaleHonoured({{"LOCPATH", locales}, {"LC_ALL", "ja_JP.SJIS"}}, "CP932",
                             alt + std::string("\x82\xA0"));
        expectLocaleHonoured({{"LOCPATH", locales}, {"LC_ALL", "ja_JP.eucJP"}}, "EUC-JP",
                             alt + std::string("\xA4\xA2"));
    }
}

// Keys typed after the first, even the tail of a sequence that came in two parts.
TEST_F(KeyWait, OnlyTheFirstKeyIsTaken) {
    const std::vector<std::string> typings[] = {{"ab"},
                                                {"\x1B[Ab"},
                                                {"\x1B[[Bb"},
                                                {"\x1B[", "Ab"},
                                                {"\xE3\x81",
                                                 "\x82"
                                                 "b"}};
    for (const std::vector<std::string>& parts : typings) {
        SCOPED_TRACE(testing::PrintToString(parts));
        startAndAwaitWait();
        // Each part once the tool has read the one before, well inside its 100 ms gap.
        for (const std::string& part : parts) {
            EXPECT_TRUE(eventually([&] { return unread() == 0; }, 5000));
            type(part);
        }
        EXPECT_EQ(awaitEnd().exitCode, 1);
        EXPECT_EQ(leftoverInput(), "b");
        closePty(child);
    }
}

TEST_F(KeyWait, KeyTypedDuringTheRunEndsItAtOnce) {
    placeValidSave();
    start();
    type("k");
    EXPECT_EQ(awaitEnd().exitCode, 0);
    expectSettingsRestored();
    EXPECT_EQ(leftoverInput(), "");
}

// After a complete run, whose file replacement held these signals off for a moment.
// Those a fault raises, sent by kill, end it with their default action all the same.
TEST_F(KeyWait, SignalThatEndsTheRunRestoresTheTerminalFirst) {
    placeValidSave();
    for (const int signal :
         {SIGTERM, SIGHUP,  SIGINT, SIGQUIT, SIGALRM,   SIGUSR1,  SIGUSR2,      SIGVTALRM,
          SIGPROF, SIGXCPU, SIGIO,  SIGPWR,  SIGABRT,   SIGSEGV,  SIGBUS,       SIGFPE,
          SIGILL,  SIGTRAP, SIGSYS, SIGXFSZ, SIGSTKFLT, SIGRTMIN, SIGRTMIN + 3, SIGRTMAX}) {
        SCOPED_TRACE(strsignal(signal));
        startAndAwaitWait();
        ASSERT_EQ(kill(child.pid, signal), 0);
        EXPECT_EQ(awaitEnd().signal, signal);
        expectSettingsRestored();
        closePty(child);
    }
    // One that the caller chose to ignore, as nohup does, stays ignored.
    ChildSetup setup;
    setup.ignoredSignals = {SIGHUP};
    startAndAwaitWait(setup);
    ASSERT_EQ(kill(child.pid, SIGHUP), 0);
    EXPECT_TRUE(stillRunningAfter(child.pid, 300));
    type("x");
    EXPECT_EQ(awaitEnd().exitCode, 0);
}

// Job control as a shell has it. Stopped, by Ctrl+Z or by SIGTTIN or SIGTTOU sent from
// elsewhere, the run gives the terminal back as it was. Continued in the background
// (bg), it stops again at its read and leaves the shell's settings as they are; brought
// back (fg), it waits in raw mode again. Killed while stopped, it leaves the shell's
// settings alone, though its handler then runs in the background, where it could
// change them.
TEST_F(KeyWait, JobControlLeavesTheShellsSettingsAlone) {
    ChildSetup setup;
    setup.job = ChildSetup::Job::Foreground;
    startAndAwaitWait(setup);
    termios shell = child.initial;
    shell.c_lflag ^= ECHOK;
    // SIGTTOU twice: a stop, not a fatal signal, whose handler stays for the next one.
    const int stops[] = {SIGTTOU, SIGTSTP, SIGTTIN, SIGTTOU};
    for (const int& stop : stops) {
        SCOPED_TRACE(strsignal(stop));
        ASSERT_EQ(kill(child.tool, stop), 0);
        ASSERT_EQ(nextStop(child, 5000), stop);
        expectSettingsRestored();
        ASSERT_EQ(tcsetattr(child.slave, TCSANOW, &shell), 0);
        if (&stop == std::end(stops) - 1) {
            break;
        }
        ASSERT_EQ(kill(child.tool, SIGCONT), 0);
        ASSERT_EQ(nextStop(child, 5000), SIGTTIN);
        expectSettingsRestored(&shell);  // not raw under the shell
        bringToForeground(child);
        awaitRawMode();
    }
    ASSERT_EQ(kill(child.tool, SIGTERM), 0);
    ASSERT_EQ(kill(child.tool, SIGCONT), 0);
    EXPECT_EQ(awaitEnd().signal, SIGTERM);
    expectSettingsRestored(&shell);  // the shell's own, not the run's saved ones
}

// Moved to the background while it waits, the terminal still raw: a signal that ends it,
// or the key its read was already waiting for, restores the terminal from there, with
// SIGTTOU held off, rather than the run being stopped by its own restore.
TEST_F(KeyWait, EndedInTheBackgroundStillRestores) {
    for (const bool byKey : {false, true}) {
        SCOPED_TRACE(byKey ? "a key" : "SIGTERM");
        ChildSetup setup;
        setup.job = ChildSetup::Job::Foreground;
        startAndAwaitWait(setup);
        giveTerminal(child, false);
        if (byKey) {
            type("x");
            EXPECT_EQ(awaitEnd().exitCode, 1);
        } else {
            ASSERT_EQ(kill(child.tool, SIGTERM), 0);
            EXPECT_EQ(awaitEnd().signal, SIGTERM);
        }
        expectSettingsRestored();
        endPtyChild(child);
    }
}

// What only the system calls show: the handlers are in place before the switch to raw
// mode, so that no moment of it is left uncovered.
TEST_F(KeyWait, HandlersComeBeforeRawMode) {
    if (std::string(KOVALT_STRACE_PATH).empty()) {
        return requireOrSkip("no strace (Debian: apt-get install strace)");
    }
    ChildSetup setup;
    setup.environment = {{"LC_ALL", "C.UTF-8"}, {"ASAN_OPTIONS", "detect_leaks=0"}};
    setup.command = {
        KOVALT_STRACE_PATH,         "-qq",      "-o", (folder / "trace").string(), "-e",
        "trace=rt_sigaction,ioctl", KOVALT_PATH};
    startAndAwaitWait(setup);
    type("x");
    EXPECT_EQ(awaitEnd().exitCode, 1);
    const std::string trace = readBytes(folder / "trace");
    const std::size_t handler = trace.find("rt_sigaction(SIGTERM, {sa_handler=");
    const std::size_t raw = trace.find("TCSETS, {c_iflag=");
    ASSERT_NE(raw, std::string::npos) << trace;
    EXPECT_LT(handler, raw) << trace;
}

// Started in the background, the run stops when it wants the terminal, as job control
// has it: continued with SIGTERM pending, it dies without touching the terminal;
// brought to the foreground, it waits for its key.
TEST_F(KeyWait, BackgroundRunEndsOnSigtermOrWaitsOnceInTheForeground) {
    ChildSetup setup;
    setup.job = ChildSetup::Job::Background;
    setup.stdinFromNull = true;
    setup.stdoutFile = folder / "log";
    for (const bool foreground : {false, true}) {
        SCOPED_TRACE(foreground ? "fg" : "kill");
        start(setup);
        ASSERT_EQ(nextStop(child, 5000), SIGTTOU);
        if (foreground) {
            bringToForeground(child);
            awaitRawMode();
            type("x");
            EXPECT_EQ(awaitEnd().exitCode, 1);
        } else {
            ASSERT_EQ(kill(child.tool, SIGTERM), 0);
            ASSERT_EQ(kill(child.tool, SIGCONT), 0);
            EXPECT_EQ(awaitEnd().signal, SIGTERM);
        }
        expectSettingsRestored();
        endPtyChild(child);
    }
}

}  // namespace
