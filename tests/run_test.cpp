// The built tool, end to end, with no terminal: exact output bytes, exit status and
// files, where the staging needs C++: a paused writer, a kill,
// files held under Wine, system call and relay traces. Every other run is a row of
// scenarios.json.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <regex>
#include <set>
#include <sstream>

#include "child_process.h"
#include "cp932.h"
#include "expected_dialogue.h"
#include "requirements.h"
#include "scratch_folder.h"
#include "wine.h"

namespace fs = std::filesystem;

namespace {

const std::string kWriteFailed = kUpToWriting + "Error: ファイルに出力できません (output.sav)\n";

std::set<std::string> namesIn(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

// Each pattern matched by a later line than the one before; stops at the first not seen.
void expectInOrder(const std::vector<std::string>& lines,
                   const std::vector<std::string>& patterns) {
    std::size_t next = 0;
    for (auto line = lines.begin(); next < patterns.size() && line != lines.end(); ++line) {
        next += std::regex_search(*line, std::regex(patterns[next])) ? 1 : 0;
    }
    ASSERT_EQ(next, patterns.size()) << "not seen in order: " << patterns[next];
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

// The lines of the thread that wrote the marker, in a Wine trace.
std::vector<std::string> threadOf(const std::string& trace, const std::string& marker) {
    std::vector<std::string> lines = linesOf(trace);
    const auto marked = std::find_if(lines.begin(), lines.end(), [&](const std::string& line) {
        return line.find(marker) != std::string::npos;
    });
    const std::string thread =
        marked == lines.end() ? "none" : marked->substr(0, marked->find(':'));
    std::erase_if(lines, [&](const std::string& line) { return !line.starts_with(thread + ":"); });
    return lines;
}

// What the tool writes for that save.
std::string resetOf(SaveImage image) {
    clearAndReseal(image);
    return std::string(image.begin(), image.end());
}

// The native tool with the shim that stages races with its files.
ChildSetup preloaded(const std::string& variable, const std::string& value) {
    ChildSetup setup;
    setup.environment = {{"LD_PRELOAD", KOVALT_SHIM_PATH},
                         {"ASAN_OPTIONS", "verify_asan_link_order=0"},
                         {variable, value}};
    return setup;
}

enum class Build { Native, Windows };

class ToolRunBase : public testing::Test {
protected:
    ScratchFolder folder;

    virtual Build build() const { return Build::Native; }

    // With no console the Windows build's key wait ends at once, as the native one's does.
    DetachedRun run(ChildSetup setup = {}) {
        setup.folder = folder.path();
        if (build() == Build::Windows && setup.command.empty()) {
            setup = underWine(setup);
        }
        DetachedRun result = runDetached(setup);
        EXPECT_FALSE(result.end.timedOut);
        return result;
    }

    // Shift_JIS, and on Windows a text stream's CR LF line ends.
    std::string dialogue(const std::string& middle) const {
        const std::string bytes = cp932ByIconv(kOpening + middle + kPrompt);
        return build() == Build::Windows ? withCrLf(bytes) : bytes;
    }

    // The run failed with this message; the folder holds what it held before.
    void expectRefused(const std::string& middle, const ChildSetup& setup = {}) {
        const std::set<std::string> before = namesIn(folder.path());
        const DetachedRun result = run(setup);
        EXPECT_EQ(result.output, dialogue(middle));
        EXPECT_EQ(result.end.exitCode, 1);
        EXPECT_EQ(namesIn(folder.path()), before);
    }

    SaveImage& sampleSave(std::uint64_t seed) { return writeSampleSave(folder.path(), seed); }
};

// What only a POSIX system can stage: a paused writer, a kill, strace.
using NativeToolRun = ToolRunBase;

// A writer paused in the middle of its write, holding the save open for writing, through
// write() or a shared mapping whose descriptor it already closed: the file holds half a
// new tail, where no checksum sees it, and does not change while it is read. It counts
// as locked, as on Windows.
TEST_F(NativeToolRun, SaveHeldOpenByAPausedWriterIsRefused) {
    for (const bool mapped : {false, true}) {
        SCOPED_TRACE(mapped ? "a shared mapping" : "write()");
        sampleSave(19);
        const std::string path = (folder / "savedata.sav").string();
        const pid_t writer = fork();
        if (writer == 0) {
            const int fd = open(path.c_str(), O_RDWR);
            constexpr std::size_t kHalf = 4096, kAt = kSaveImageSize - 2 * kHalf;
            if (mapped) {
                void* map =
                    mmap(nullptr, kSaveImageSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
                close(fd);
                std::memset(static_cast<char*>(map) + kAt, 0x5A, kHalf);
            } else {
                const std::string half(kHalf, 'Z');
                if (pwrite(fd, half.data(), half.size(), kAt) != std::ssize(half)) {
                    _exit(1);
                }
            }
            raise(SIGSTOP);
            _exit(0);
        }
        int status = 0;
        ASSERT_EQ(waitpid(writer, &status, WUNTRACED), writer);
        ASSERT_TRUE(WIFSTOPPED(status));
        expectRefused(kNotFound);
        kill(writer, SIGKILL);
        waitpid(writer, &status, 0);
    }
}

// A run killed inside its write leaves its temporary behind. No later run removes it: it
// is never the save, and it could be another run's that is still being written.
TEST_F(NativeToolRun, KilledRunsTemporaryStaysAndTheNextRunCompletes) {
    const std::string reset = resetOf(sampleSave(14));
    EXPECT_EQ(run(preloaded("KOVALT_RAISE_AT_FSYNC", std::to_string(SIGKILL))).end.signal, SIGKILL);
    std::set<std::string> names = namesIn(folder.path());
    names.erase("savedata.sav");
    ASSERT_EQ(names.size(), 1u);
    const std::string left = *names.begin();
    EXPECT_TRUE(std::regex_match(left, std::regex(R"(\.output\.sav\.\d+-0\.tmp)"))) << left;
    EXPECT_EQ(run().end.exitCode, 0);
    EXPECT_EQ(readBytes(folder / "output.sav"), reset);
    EXPECT_EQ(namesIn(folder.path()), (std::set<std::string>{"savedata.sav", "output.sav", left}));
}

// What only the system calls show: the save opened without becoming the controlling
// terminal; the new file written, synced and closed before it is renamed into place, and
// the folder synced after, while the signals that would end the run wait.
TEST_F(NativeToolRun, ReplacementIsDurableAndHoldsSignalsOff) {
    if (std::string(KOVALT_STRACE_PATH).empty()) {
        return requireOrSkip("no strace (Debian: apt-get install strace)");
    }
    sampleSave(15);
    ScratchFolder traces;
    ChildSetup setup;
    setup.environment = {{"ASAN_OPTIONS", "detect_leaks=0"}};  // the leak check cannot run traced
    setup.command = {KOVALT_STRACE_PATH,
                     "-f",
                     "-qq",
                     "-o",
                     (traces / "trace").string(),
                     "-e",
                     "trace=openat,write,fsync,close,rename,rt_sigprocmask",
                     KOVALT_PATH};
    EXPECT_EQ(run(setup).end.exitCode, 0);
    expectInOrder(
        linesOf(readBytes(traces / "trace")),
        {R"(openat\(AT_FDCWD, "savedata\.sav", O_RDONLY\|O_NOCTTY\|O_NONBLOCK\|O_CLOEXEC\))",
         R"(rt_sigprocmask\(SIG_BLOCK, (\[HUP INT QUIT .*TERM|~\[(?![^\]]*\b(HUP|INT|QUIT|TERM)\b)))",
         R"(openat\(AT_FDCWD, "\.output\.sav\.\d+-0\.tmp", O_WRONLY\|O_CREAT\|O_EXCL.*, 0666\))",
         R"(write\(\d+, .*, 262144\) += 262144)", R"(fsync\(\d+\) += 0)", R"(close\(\d+\) += 0)",
         R"(rename\("\.output\.sav\.\d+-0\.tmp", "output\.sav"\) += 0)",
         R"(openat\(AT_FDCWD, "\.", O_RDONLY)", R"(fsync\(\d+\) += 0)",
         R"(rt_sigprocmask\(SIG_SETMASK, \[\], )"});
}

class WineToolRun : public ToolRunBase {
protected:
    void SetUp() override { requireWine(); }
    Build build() const override { return Build::Windows; }
};

// Another program holds the file. A save open for writing counts as locked, so as not
// found. An output.sav open without sharing throughout cannot be replaced and stays as
// it was; one held for a moment, as antivirus or a sync client does, is replaced once
// let go. A console event meanwhile ends the run as soon as the file is in place,
// before anything more is shown or the key wait changes the console's mode. A temporary
// held when it cannot be moved is removed once let go.
TEST_F(WineToolRun, FilesHeldByAnotherProgram) {
    const std::string reset = resetOf(sampleSave(17));
    expectRefused(kNotFound, underWineDriver({}, {"hold", "savedata.sav", "write"}));
    const struct {
        const char* how;
        std::string shown;
        int exitCode;
        std::string output;
    } rows[] = {
        {"none", dialogue(kWriteFailed), 1, "an older result"},
        {"temporary", dialogue(kWriteFailed), 1, "an older result"},
        {"brief", dialogue(kCompleteRun), 0, reset},
        {"break", withCrLf(cp932ByIconv(kOpening + kUpToWriting)), 0x3A,
         reset},  // STATUS_CONTROL_C_EXIT
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.how);
        writeBytes(folder / "output.sav", "an older result");
        const DetachedRun result = run(underWineDriver({}, {"hold", "output.sav", row.how}));
        EXPECT_EQ(result.output, row.shown);
        EXPECT_EQ(result.end.exitCode, row.exitCode);
        EXPECT_EQ(readBytes(folder / "output.sav"), row.output);
        EXPECT_EQ(namesIn(folder.path()), (std::set<std::string>{"savedata.sav", "output.sav"}));
    }
}

// Two runs started together in one folder both complete: the move of one waits while
// the other's is under way.
TEST_F(WineToolRun, TwoRunsStartedTogetherBothComplete) {
    const std::string reset = resetOf(sampleSave(21));
    for (int round = 0; round < 20; ++round) {
        SCOPED_TRACE(round);
        EXPECT_EQ(run(underWineDriver({}, {"pair"})).end.exitCode, 0);
        EXPECT_EQ(readBytes(folder / "output.sav"), reset);
        EXPECT_EQ(namesIn(folder.path()), (std::set<std::string>{"savedata.sav", "output.sav"}));
    }
}

// Wine's relay trace shows what the files cannot: the save opened shared for reading
// only and measured only as a disk file; the new file written, flushed and closed
// before it is moved into place, write-through; and control events held off meanwhile.
TEST_F(WineToolRun, ReplacementIsDurableAndHoldsControlEventsOff) {
    sampleSave(18);
    ScratchFolder traces;
    ChildSetup setup = underWine({});
    setup.environment.push_back({"WINEDEBUG", "+relay"});
    setup.stderrFile = traces / "relay";
    EXPECT_EQ(run(setup).end.exitCode, 0);
    expectInOrder(
        threadOf(readBytes(traces / "relay"), "L\"savedata.sav\""),
        {R"(CreateFileW\(\w+ L"savedata\.sav",80000000,00000001,)", R"(GetFileType\()",
         R"(GetFileSizeEx\()", R"(SetConsoleCtrlHandler\(\w+,\w*1\))",
         R"(CreateFileW\(\w+ L"\.output\.sav\.\d+-0\.tmp",40000000,00000000,\w+,\w*00000001,)",
         R"(WriteFile\(\w+,\w+,00040000,)", R"(FlushFileBuffers\()", R"(CloseHandle\()",
         R"(MoveFileExW\(\w+ L"\.output\.sav\.\d+-0\.tmp",\w+ L"output\.sav",\w*9\))",
         R"(SetConsoleCtrlHandler\(\w+,\w*0\))"});
}

}  // namespace
