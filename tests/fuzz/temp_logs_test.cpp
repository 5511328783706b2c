// The harnesses' log folders: the owner read from a folder's name, the folders of ended
// processes removed and those of running ones kept, and a process's own folder gone when the
// process ends.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "fuzz/temp_logs.h"

namespace hqlv::fuzz {
namespace {

namespace fs = std::filesystem;

// A process id that has surely ended: a child that exited and was reaped.
pid_t EndedPid() {
    const pid_t pid = fork();
    if (pid == 0) _exit(0);
    waitpid(pid, nullptr, 0);
    return pid;
}

class ScratchFolder : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/hqlv-fuzz-logs-test-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
    }
    void TearDown() override { fs::remove_all(dir); }
    void Make(const std::string& name) {
        fs::create_directories(dir / name);
        std::ofstream(dir / name / "Game20240101.log") << "line\n";
    }
    fs::path dir;
};

TEST(LogFolderOwner, ReadsThePidAtTheEndOfTheName) {
    const struct {
        const char* name;
        pid_t pid;
    } rows[] = {
        {"hqlv-fuzz-router-1234", 1234},
        {"hqlv-fuzz-mahjong-rebuild-77", 77},
        {"hqlv-fuzz-x-0", 0},
        {"hqlv-fuzz-router-", 0},
        {"hqlv-fuzz-router-12a", 0},
        {"hqlv-fuzz-router-99999999999", 0},
        {"hqlv-router-fuzz-1234", 0},
        {"other-1234", 0},
        {"hqlv-fuzz-", 0},
    };
    for (const auto& r : rows) EXPECT_EQ(LogFolderOwner(r.name), r.pid) << r.name;
}

TEST_F(ScratchFolder, FoldersOfEndedProcessesGoAndTheOthersStay) {
    const pid_t ended = EndedPid();
    const std::string gone = "hqlv-fuzz-a-" + std::to_string(ended);
    const std::string running = "hqlv-fuzz-b-" + std::to_string(getppid());
    const std::string own = "hqlv-fuzz-c-" + std::to_string(getpid());
    for (const std::string& n :
         {gone, running, own, std::string("hqlv-router-fuzz-") + std::to_string(ended),
          std::string("unrelated")})
        Make(n);
    RemoveLeftLogFolders(dir);
    EXPECT_FALSE(fs::exists(dir / gone));
    EXPECT_TRUE(fs::exists(dir / running));
    EXPECT_TRUE(fs::exists(dir / own));
    EXPECT_TRUE(fs::exists(dir / ("hqlv-router-fuzz-" + std::to_string(ended))));
    EXPECT_TRUE(fs::exists(dir / "unrelated"));
}

// A process that took its folder and wrote a log there: the folder is gone once it exits,
// and a folder an ended run left behind is removed by the next one to start.
TEST_F(ScratchFolder, TheOwnFolderGoesWithTheProcess) {
    const pid_t ended = EndedPid();
    Make("hqlv-fuzz-crashed-" + std::to_string(ended));
    int pipefd[2];
    ASSERT_EQ(pipe(pipefd), 0);
    const pid_t child = fork();
    if (child == 0) {
        setenv("TMPDIR", dir.c_str(), 1);
        const std::string& folder = TemporaryLogFolder("child");
        std::ofstream(folder + "YRNLog20240101.log") << "line\n";
        const bool ok =
            fs::exists(folder + "YRNLog20240101.log") &&
            folder == (dir / ("hqlv-fuzz-child-" + std::to_string(getpid()))).string() + "/";
        (void)!write(pipefd[1], ok ? "1" : "0", 1);
        std::exit(0);
    }
    close(pipefd[1]);
    char made = 0;
    ASSERT_EQ(read(pipefd[0], &made, 1), 1);
    close(pipefd[0]);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_EQ(made, '1');
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_TRUE(fs::is_empty(dir)) << fs::directory_iterator(dir)->path();
}

}  // namespace
}  // namespace hqlv::fuzz
