// The key wait on a pseudo-terminal: what ends it, what it leaves behind, and the
// terminal settings it restores.
#include <gtest/gtest.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "child_process.h"
#include "cp932.h"
#include "expected_dialogue.h"
#include "scratch_folder.h"
#include "terminal_key_list.h"

namespace {

class KeyWait : public testing::Test {
protected:
    ScratchFolder folder;
    PtyChild child;

    void TearDown() override { endPtyChild(child); }

    void start(const std::string& locale = "C.UTF-8") {
        ChildSetup setup;
        setup.folder = folder.path();
        setup.environment = {{"LC_ALL", locale}};
        child = startInPty(setup);
    }

    // Starts the tool and returns its output up to the prompt, once the wait is in raw mode.
    std::string startAndAwaitWait(const std::string& locale = "C.UTF-8",
                                  const std::string& prompt = kPrompt) {
        start(locale);
        const std::string shown = readUntil(child.master, withCrLf(prompt), 5000);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        termios now{};
        while (tcgetattr(child.slave, &now) == 0 && (now.c_lflag & ICANON) != 0 &&
               std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        EXPECT_EQ(now.c_lflag & (ICANON | ECHO | ISIG), 0u) << "the wait is not in raw mode";
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

    void expectSettingsRestored() {
        termios after{};
        ASSERT_EQ(tcgetattr(child.slave, &after), 0);
        EXPECT_TRUE(sameSettings(child.initial, after));
    }

    void placeValidSave() { writeSampleSave(folder.path(), 21); }
};

TEST_F(KeyWait, EveryKeyEndsItWholeWithoutEchoAndRestoresTheTerminal) {
    for (const TerminalKey& key : kTerminalKeys) {
        SCOPED_TRACE(key.name);
        startAndAwaitWait();
        type(key.bytes);
        const ChildEnd end = awaitEnd();
        EXPECT_EQ(end.exitCode, 1);
        EXPECT_EQ(readFor(child.master, 50), "") << "echoed";
        expectSettingsRestored();
        EXPECT_EQ(leftoverInput(), "");
        closePty(child);
    }
}

TEST_F(KeyWait, BlocksUntilAKeyAndEndsWithTheRunsStatus) {
    placeValidSave();
    const std::string shown = startAndAwaitWait();
    EXPECT_EQ(shown, withCrLf(kOpening + kCompleteRun + kPrompt));
    EXPECT_TRUE(stillRunningAfter(child.pid, 300));
    type("x");
    EXPECT_EQ(awaitEnd().exitCode, 0);
    expectSettingsRestored();
}

// A locale that is named but not installed still says how the terminal shows text.
TEST_F(KeyWait, TerminalGetsTheEncodingOfItsLocale) {
    const std::string text = kOpening + kNotFound + kPrompt;
    const std::pair<std::string, bool> localeIsUtf8[] = {
        {"C", false}, {"POSIX", false}, {"xx_XX.UTF-8", true}, {"xx_XX.utf8", true}};
    for (const auto& [locale, utf8] : localeIsUtf8) {
        SCOPED_TRACE(locale);
        const std::string prompt = utf8 ? kPrompt : cp932ByIconv(kPrompt);
        EXPECT_EQ(startAndAwaitWait(locale, prompt), withCrLf(utf8 ? text : cp932ByIconv(text)));
        type("x");
        EXPECT_EQ(awaitEnd().exitCode, 1);
        closePty(child);
    }
}

TEST_F(KeyWait, OnlyTheFirstKeyIsTaken) {
    for (const std::string& typed :
         {std::string("ab"), std::string("\x1B[Ab"), std::string("\x1B[[Bb")}) {
        startAndAwaitWait();
        type(typed);
        EXPECT_EQ(awaitEnd().exitCode, 1);
        EXPECT_EQ(leftoverInput(), "b") << testing::PrintToString(typed);
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

TEST_F(KeyWait, TerminatingSignalRestoresTheTerminalAndStillKills) {
    for (const int signal : {SIGTERM, SIGHUP, SIGINT, SIGQUIT}) {
        SCOPED_TRACE(signal);
        startAndAwaitWait();
        ASSERT_EQ(kill(child.pid, signal), 0);
        const ChildEnd end = awaitEnd();
        EXPECT_EQ(end.signal, signal);
        expectSettingsRestored();
        closePty(child);
    }
}

}  // namespace
