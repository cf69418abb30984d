// The built tool, end to end, with no terminal: exact output bytes, exit status and
// files. The same runs go to the native build and to Kovalt.exe under Wine.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <set>

#include "child_process.h"
#include "cp932.h"
#include "expected_dialogue.h"
#include "scratch_folder.h"
#include "wine.h"

namespace fs = std::filesystem;

namespace {

std::string wrongSize(const std::string& length) {
    return "Error: ファイルサイズが違います (" + length + ")\n";
}

std::string tooLarge(const std::string& length) {
    return "Error: ファイルが大き過ぎです (" + length + ")\n";
}

const std::string kChecksumError =
    "ファイルを読み込みました\n"
    "チェックサムをチェックします\n"
    "Error: チェックサムエラー, データが間違っています\n";

const std::string kWriteFailed = kUpToWriting + "Error: ファイルに出力できません (output.sav)\n";

std::set<std::string> namesIn(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

enum class Build { Native, Windows };

void PrintTo(Build build, std::ostream* out) {
    *out << (build == Build::Windows ? "Kovalt.exe under Wine" : "the native tool");
}

class ToolRunBase : public testing::Test {
protected:
    ScratchFolder folder;

    virtual Build build() const { return Build::Native; }

    // With no console the Windows build's key wait ends at once, as the native one's does.
    DetachedRun run(ChildSetup setup = {}) {
        setup.folder = folder.path();
        if (build() == Build::Windows) {
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
    void expectRefused(const std::string& middle) {
        const std::set<std::string> before = namesIn(folder.path());
        const DetachedRun result = run();
        EXPECT_EQ(result.output, dialogue(middle));
        EXPECT_EQ(result.end.exitCode, 1);
        EXPECT_EQ(namesIn(folder.path()), before);
    }

    SaveImage& sampleSave(std::uint64_t seed) { return writeSampleSave(folder.path(), seed); }

    void writeSizedSave(std::uintmax_t length) {
        writeBytes(folder / "savedata.sav", "");
        fs::resize_file(folder / "savedata.sav", length);
    }
};

class ToolRun : public ToolRunBase, public testing::WithParamInterface<Build> {
protected:
    void SetUp() override {
        if (GetParam() == Build::Windows) {
            requireWine();
        }
    }

    Build build() const override { return GetParam(); }
};

std::string buildName(const testing::TestParamInfo<Build>& info) {
    return info.param == Build::Windows ? "KovaltExe" : "kovalt";
}

INSTANTIATE_TEST_SUITE_P(Native, ToolRun, testing::Values(Build::Native), buildName);
INSTANTIATE_TEST_SUITE_P(Wine, ToolRun, testing::Values(Build::Windows), buildName);

// What only a POSIX system can stage: sockets, FIFOs, devices, resource limits, pipes.
using NativeToolRun = ToolRunBase;

TEST_P(ToolRun, MissingOrUnopenableInputIsNotFound) {
    expectRefused(kNotFound);
    fs::create_directory(folder / "savedata.sav");
    expectRefused(kNotFound);
}

TEST_F(NativeToolRun, SocketCannotBeOpenedSoIsNotFound) {
    const int server = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string path = (folder / "savedata.sav").string();
    ASSERT_LT(path.size(), sizeof address.sun_path);
    std::copy(path.begin(), path.end(), address.sun_path);
    ASSERT_EQ(bind(server, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    expectRefused(kNotFound);
    close(server);
}

TEST_P(ToolRun, WrongSizesAreRefusedWithTheirLength) {
    for (const std::uintmax_t length : {0u, 1u, 262143u}) {
        writeSizedSave(length);
        expectRefused(wrongSize(std::to_string(length)));
    }
}

TEST_P(ToolRun, LongerInputsAreTooLargeWithTheirFullLength) {
    // Sparse files: 2 GiB and 4 GiB + 1 do not fit 32 bits, so a truncated count would show.
    for (const std::uintmax_t length : {262145ull, 2147483648ull, 4294967297ull}) {
        writeSizedSave(length);
        expectRefused(tooLarge(std::to_string(length)));
    }
}

TEST_F(NativeToolRun, FifoAndDeviceHaveNoMeasurableLength) {
    ASSERT_EQ(mkfifo((folder / "savedata.sav").c_str(), 0600), 0);
    expectRefused(wrongSize("-1"));
    fs::remove(folder / "savedata.sav");
    fs::create_symlink("/dev/zero", folder / "savedata.sav");
    expectRefused(wrongSize("-1"));
}

TEST_P(ToolRun, InvalidCopyLeavesAnOlderOutputAlone) {
    for (const std::size_t spoiled : {std::size_t{100}, kCopySize + 100}) {
        SaveImage& image = sampleSave(3);
        image[spoiled] ^= 0x01;
        writeImage(folder / "savedata.sav", image);
        writeBytes(folder / "output.sav", "an older result");
        expectRefused(kChecksumError);
        EXPECT_EQ(readBytes(folder / "output.sav"), "an older result");
    }
}

TEST_P(ToolRun, ValidSaveIsResetIntoOutputAndLeftAsItWas) {
    const SaveImage& input = sampleSave(5);
    const std::string original(input.begin(), input.end());
    writeBytes(folder / "output.sav", std::string(300000, 'x'));  // longer than the image

    const DetachedRun result = run();

    EXPECT_EQ(result.output, dialogue(kCompleteRun));
    EXPECT_EQ(result.end.exitCode, 0);
    EXPECT_EQ(readBytes(folder / "savedata.sav"), original);
    EXPECT_EQ(namesIn(folder.path()), (std::set<std::string>{"savedata.sav", "output.sav"}));

    const std::string written = readBytes(folder / "output.sav");
    ASSERT_EQ(written.size(), kSaveImageSize);
    SaveImage output{};
    std::copy(written.begin(), written.end(), output.begin());
    EXPECT_TRUE(copiesValid(output));
    EXPECT_EQ(output[kResetStateOffset], 0);
    EXPECT_EQ(output[kCopySize + kResetStateOffset], 0);
    // Only the reset-state bytes and the checksum words may differ from the input.
    const std::set<std::size_t> editable = {
        kResetStateOffset,           kChecksumOffset,
        kChecksumOffset + 1,         kCopySize + kResetStateOffset,
        kCopySize + kChecksumOffset, kCopySize + kChecksumOffset + 1};
    for (std::size_t i = 0; i < kSaveImageSize; ++i) {
        if (editable.count(i) == 0) {
            ASSERT_EQ(written[i], original[i]) << "byte " << i;
        }
    }
}

TEST_P(ToolRun, OutputThatIsAFolderCannotBeReplaced) {
    sampleSave(8);
    fs::create_directory(folder / "output.sav");
    writeBytes(folder / "output.sav" / "keep", "kept");
    const DetachedRun result = run();
    EXPECT_EQ(result.output, dialogue(kWriteFailed));
    EXPECT_EQ(result.end.exitCode, 1);
    EXPECT_EQ(readBytes(folder / "output.sav" / "keep"), "kept");
    EXPECT_EQ(namesIn(folder.path()), (std::set<std::string>{"savedata.sav", "output.sav"}));
}

// A file size limit cuts the write short, whether the limit's signal is ignored or not.
TEST_F(NativeToolRun, FailedWriteKeepsTheOlderOutputAndLeavesNoTemporaryFile) {
    sampleSave(9);
    for (const bool ignoreSignal : {true, false}) {
        writeBytes(folder / "output.sav", "an older result");
        ChildSetup setup;
        setup.fileSizeLimit = 4096;
        setup.ignoreFileSizeSignal = ignoreSignal;
        const DetachedRun result = run(setup);
        EXPECT_EQ(result.output, dialogue(kWriteFailed));
        EXPECT_EQ(result.end.exitCode, 1);
        EXPECT_EQ(result.end.signal, 0);
        EXPECT_EQ(readBytes(folder / "output.sav"), "an older result");
        EXPECT_EQ(namesIn(folder.path()), (std::set<std::string>{"savedata.sav", "output.sav"}));
    }
}

TEST_F(NativeToolRun, LostStdoutReaderDoesNotStopTheRun) {
    sampleSave(10);
    ChildSetup setup;
    setup.stdoutReaderGone = true;
    const DetachedRun result = run(setup);
    EXPECT_EQ(result.end.exitCode, 0);
    EXPECT_EQ(fs::file_size(folder / "output.sav"), kSaveImageSize);
}

}  // namespace
