#pragma once
// Runs this test program once more in a process of its own (other test cases, another
// display or screen), its standard output and error kept.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern char** environ;

namespace hqlv::testing {

// `args` follow the program's path; `env` entries ("KEY=VALUE") take the place of the
// process's own KEY. The output goes to the file `out` and comes back in `output`. → the
// exit status, 128 + the signal that ended it, or -1 when it could not start.
inline int RerunSelf(const std::vector<std::string>& args, const std::vector<std::string>& env,
                     const std::string& out, std::string& output) {
    std::string self(4096, '\0');
    const ssize_t n = readlink("/proc/self/exe", self.data(), self.size() - 1);
    if (n <= 0) return -1;
    self.resize(size_t(n));
    std::vector<std::string> argList = {self};
    argList.insert(argList.end(), args.begin(), args.end());
    std::vector<std::string> envList = env;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        const std::string key = entry.substr(0, entry.find('=') + 1);
        // The test cases the run names are run whole: a shard of this run's split would
        // leave the child only its own share of them.
        if (key == "GTEST_TOTAL_SHARDS=" || key == "GTEST_SHARD_INDEX=") continue;
        bool replaced = false;
        for (const std::string& given : env) replaced = replaced || given.rfind(key, 0) == 0;
        if (!replaced) envList.push_back(entry);
    }
    std::vector<char*> argv, envp;
    for (auto& a : argList) argv.push_back(a.data());
    argv.push_back(nullptr);
    for (auto& e : envList) envp.push_back(e.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_adddup2(&fa, 1, 2);
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, self.c_str(), &fa, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&fa);
    if (rc != 0) return -1;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return -1;
    std::ifstream in(out);
    output.assign(std::istreambuf_iterator<char>(in), {});
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace hqlv::testing
