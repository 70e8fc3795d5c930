// orvel demo end to end, and the output files that appear whole or not at all: committed,
// abandoned, and interrupted by a signal.
#include "tool_test_support.h"

#include "../../tools/orvel/atomic_output.h"
#include "../../tools/orvel/failure.h"

#include <csignal>
#include <fstream>
#include <tuple>

#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace orvel::test;

TEST(DemoTest, RunsTheTypicalUseAndLeavesEveryResult) {
    const ScratchDir dir;
    const Finished run = Orvel({"demo", "-o", dir.Path("demo")});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "");
    // Each step's result is a file below; the summary counts them.
    EXPECT_NE(run.out.find("\n7 steps in "), std::string::npos) << run.out;
    EXPECT_EQ(DirectoryNames(dir.Path("demo")),
              (std::vector<std::string>{"animation.avi", "card-8bit.bmp", "card-small.bmp",
                                        "card.bmp", "drawn.bmp", "from-clipboard.bmp"}));
    const BmpFile card = ReadBmp(ReadFileBytes(dir.Path("demo/card.bmp")));
    EXPECT_EQ(std::tuple(card.width, card.height, card.bitCount), std::tuple(320, 240, 24));
    // The colour bars run white, yellow, cyan, green, magenta, red, blue, black.
    const COLORREF bars[] = {RGB(255, 255, 255), RGB(255, 255, 0), RGB(0, 255, 255), RGB(0, 255, 0),
                             RGB(255, 0, 255),   RGB(255, 0, 0),   RGB(0, 0, 255),   RGB(0, 0, 0)};
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(card.At(i * 40 + 20, 40), bars[i]) << "bar " << i;
    }
    const BmpFile small = ReadBmp(ReadFileBytes(dir.Path("demo/card-small.bmp")));
    EXPECT_EQ(std::tuple(small.width, small.height, small.bitCount), std::tuple(160, 120, 8));
    EXPECT_EQ(ReadFileBytes(dir.Path("demo/from-clipboard.bmp")),
              ReadFileBytes(dir.Path("demo/card-small.bmp")));
    const BmpFile drawn = ReadBmp(ReadFileBytes(dir.Path("demo/drawn.bmp")));
    EXPECT_EQ(drawn.colours, small.colours);
}

TEST(AtomicOutputTest, ReplacesTheFileOnlyOnCommitAndLeavesNothingBehindOtherwise) {
    const ScratchDir dir;
    const std::string path = dir.Write("out.bin", Bytes{'o', 'l', 'd'});
    {
        orvel::cli::AtomicOutput output(path);
        std::ofstream(output.TemporaryPath()) << "new";
        EXPECT_EQ(std::filesystem::path(output.TemporaryPath()).parent_path(),
                  std::filesystem::path(path).parent_path());
        EXPECT_EQ(ReadFileBytes(path), (Bytes{'o', 'l', 'd'})); // not yet
    }
    EXPECT_EQ(ReadFileBytes(path), (Bytes{'o', 'l', 'd'}));
    EXPECT_EQ(DirectoryNames(dir.Path("")), std::vector<std::string>{"out.bin"});
    {
        orvel::cli::AtomicOutput output(path);
        std::ofstream(output.TemporaryPath()) << "new";
        output.Commit();
    }
    EXPECT_EQ(ReadFileBytes(path), (Bytes{'n', 'e', 'w'}));
    EXPECT_EQ(DirectoryNames(dir.Path("")), std::vector<std::string>{"out.bin"});
    EXPECT_THROW(orvel::cli::AtomicOutput{dir.Path("")}, orvel::cli::Failure);
}

TEST(AtomicOutputTest, AnInterruptRemovesTheUnfinishedFile) {
    const ScratchDir dir;
    const std::string path = dir.Path("out.bin");
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        orvel::cli::AtomicOutput output(path);
        std::ofstream(output.TemporaryPath()) << "half";
        std::raise(SIGTERM);
        ::_exit(0); // not reached: the signal ends the process
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
    EXPECT_TRUE(DirectoryNames(dir.Path("")).empty());
}

} // namespace
