// Kovalt.exe under Wine in a pseudo-terminal, where Wine gives it a console: the
// dialogue on screen in either console encoding, and a key wait that really waits.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <sstream>

#include "child_process.h"
#include "cp932.h"
#include "expected_dialogue.h"
#include "scratch_folder.h"
#include "wine.h"

namespace {

// Wine starts, in a fresh prefix, slowly; and just after a prefix was made, a console
// can take 10 s to let its process end.
constexpr int kStartMs = 30000;

// The prompt's line to its end: Wine draws its console with escape sequences between
// the lines, and ends each with CR CR LF.
const std::string kPromptLine = kPrompt.substr(0, kPrompt.size() - 1) + "\r";

class WineConsole : public testing::Test {
protected:
    ScratchFolder folder;
    PtyChild child;

    void SetUp() override { requireWine(); }

    void TearDown() override { endPtyChild(child); }

    // Returns what the console showed up to the prompt. Wine writes the console to the
    // terminal in the terminal's own encoding, here UTF-8.
    std::string startAndAwaitPrompt(ChildSetup setup) {
        setup.folder = folder.path();
        setup.environment.push_back({"LC_ALL", "C.UTF-8"});
        child = startInPty(setup);
        return readUntil(child.master, kPromptLine, kStartMs);
    }

    // Runs the console driver in the terminal, which starts Kovalt.exe with standard input
    // from NUL and standard output in a file; returns its report, line by line.
    std::map<std::string, std::string> drive(const std::string& scenario) {
        ChildSetup setup = underWineDriver({}, {scenario, "report.txt"});
        setup.folder = folder.path();
        setup.environment.push_back({"LC_ALL", "C.UTF-8"});
        child = startInPty(setup);
        EXPECT_EQ(waitForEnd(child.pid, kStartMs).exitCode, 0);
        child.pid = -1;
        shown = readFor(child.master, 200);
        std::map<std::string, std::string> report;
        std::istringstream lines(readBytes(folder / "report.txt"));
        for (std::string name, value; lines >> name && std::getline(lines, value);) {
            report[name] = value;
        }
        return report;
    }

    // The console's input mode during the wait: no line input, echo, Ctrl+C processing
    // or virtual-terminal input, and all the rest as it was.
    static std::string rawModeOf(const std::string& before) {
        std::ostringstream raw;
        raw << ' ' << std::hex << (std::stoul(before, nullptr, 16) & ~0x207ul);
        return raw.str();
    }

    std::string shown;

    ChildEnd typeAndAwaitEnd(const std::string& key) {
        EXPECT_EQ(write(child.master, key.data(), key.size()), static_cast<ssize_t>(key.size()));
        const ChildEnd end = waitForEnd(child.pid, kStartMs);
        child.pid = -1;
        return end;
    }
};

void expectShown(const std::string& shown, const std::string& dialogue) {
    std::size_t from = 0;
    for (std::size_t end = dialogue.find('\n'); end != std::string::npos;
         from = end + 1, end = dialogue.find('\n', from)) {
        const std::string line = dialogue.substr(from, end - from);
        EXPECT_NE(shown.find(line), std::string::npos) << "not shown: " << line;
    }
}

// Wine's console shows code page 437 here, so the texts go out as UTF-16; one set to
// code page 932 takes the Shift_JIS bytes themselves. Wine hands Escape over without its
// character, and a cursor or function key as one key event that carries none.
TEST_F(WineConsole, WaitShowsTheDialogueAndEndsAtAKeyWithTheRunsStatus) {
    const struct {
        const char* what;
        bool codePage932, save;
        std::string key;
        int exitCode;
    } rows[] = {
        {"a letter after a complete run", false, true, "x", 0},
        {"a cursor key", false, false, "\x1b[A", 1},
        {"a function key", false, false, "\x1bOP", 1},
        {"Escape", false, false, "\x1b", 1},
        {"code page 932", true, false, "q", 1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        std::filesystem::remove(folder / "output.sav");
        if (row.save) {
            writeSampleSave(folder.path(), 31);
        }
        const std::string shown =
            startAndAwaitPrompt(row.codePage932 ? underWineFromCodePage932({}) : underWine({}));
        expectShown(shown, kOpening + (row.save ? kCompleteRun : kNotFound) + kPrompt);
        EXPECT_EQ(std::filesystem::exists(folder / "output.sav"), row.save);
        EXPECT_TRUE(stillRunningAfter(child.pid, 500)) << "the wait did not wait for a key";
        EXPECT_EQ(typeAndAwaitEnd(row.key).exitCode, row.exitCode);
        std::filesystem::remove(folder / "savedata.sav");
        closePty(child);
    }
}

// Records written into the console during the wait: a release, modifier and lock keys
// alone, Pause, the IME's keys, focus, mouse, window and menu events are passed over;
// Ctrl+C is a key like any other. Its release and the key after it stay for the next
// reader.
TEST_F(WineConsole, KeyWaitTakesOnlyAKeyPressAndPutsTheModeBack) {
    std::map<std::string, std::string> report = drive("keys");
    EXPECT_EQ(report["during"], rawModeOf(report["before"]));
    EXPECT_EQ(report["exit"], " 1");
    EXPECT_EQ(report["after"], report["before"]);
    EXPECT_EQ(report["left"], " up:43 down:5a");
    // The whole dialogue was in its file before the wait began, and the console showed
    // the prompt alone.
    const std::string dialogue = withCrLf(cp932ByIconv(kOpening + kNotFound + kPrompt));
    EXPECT_EQ(readBytes(folder / "dialogue.txt"), dialogue);
    EXPECT_EQ(readBytes(folder / "dialogue-at-wait.txt"), dialogue);
    EXPECT_NE(shown.find(kPromptLine), std::string::npos);
    EXPECT_EQ(shown.find("Hoshizora"), std::string::npos);
}

// Ctrl+Break, a closing window or logging off end the process during the wait, but the
// console, which the shell goes on using, gets its mode back first.
TEST_F(WineConsole, ControlEventDuringTheWaitPutsTheModeBack) {
    std::map<std::string, std::string> report = drive("break");
    EXPECT_EQ(report["during"], rawModeOf(report["before"]));
    // Ended by the event, not by the run's own path (1 after a key): the default handler
    // ends a process with STATUS_CONTROL_C_EXIT on Ctrl+Break, as Windows and Wine 10 do,
    // or with 0, as Wine 8 does.
    EXPECT_TRUE(report["exit"] == " 0" || report["exit"] == " c000013a") << report["exit"];
    EXPECT_EQ(report["after"], report["before"]);
}

}  // namespace
