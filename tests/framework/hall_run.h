#pragma once
// The stand-in hall (and through it the client) run in a folder of its own, for the
// end-to-end tests: start with environment, commands on its input, logs, exit code.
#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

extern char** environ;

namespace hqlv::e2e {

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// The client's day files ("Game*.log") in a log folder: what each holds now, and what they
// gained since such sizes were taken.
inline std::map<std::string, size_t> DayLogSizes(const std::string& folder) {
    std::map<std::string, size_t> sizes;
    if (!std::filesystem::is_directory(folder)) return sizes;
    for (const auto& e : std::filesystem::directory_iterator(folder)) {
        const std::string name = e.path().filename();
        if (name.rfind("Game", 0) == 0 && e.path().extension() == ".log")
            sizes[e.path()] = e.file_size();
    }
    return sizes;
}

inline std::string DayLogSince(const std::string& folder,
                               const std::map<std::string, size_t>& before) {
    std::string added;
    for (const auto& [path, size] : DayLogSizes(folder)) {
        const auto it = before.find(path);
        const std::string all = ReadFile(path);
        added += all.substr(it == before.end() ? 0 : std::min(it->second, all.size()));
    }
    return added;
}

// The last "<pane>\t<prefix>..." line of a UI trace file (HQLV_UI_TRACE), without the
// prefix; empty when there is none.
inline std::string LastTrace(const std::string& path, const std::string& prefix) {
    std::istringstream in(ReadFile(path));
    std::string last;
    for (std::string l; std::getline(in, l);)
        if (l.rfind(prefix, 0) == 0) last = l.substr(prefix.size());
    return last;
}

// The sanitizer options of a client run on an X display: the platform's libraries keep
// blocks of their own at exit there, so leaks are left to the offscreen runs.
inline std::string AsanOptionsUnderX() {
    const char* asan = std::getenv("ASAN_OPTIONS");
    return std::string("ASAN_OPTIONS=") + (asan ? asan : "") + (asan && *asan ? ":" : "") +
           "intercept_strndup=0:detect_leaks=0";
}

inline bool WaitFor(const std::function<bool()>& pred, int ms) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!pred()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

// One run of the hall (and through it the client) in a folder of its own.
class HallRun {
public:
    explicit HallRun(const std::string& name) {
        char tmpl[] = "/tmp/hqlv-e2e-XXXXXX";
        dir_ = mkdtemp(tmpl);
        root_ = dir_ + "/root";
        log_ = dir_ + "/hall.log";
        (void)name;
    }
    ~HallRun() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
        if (stdin_ >= 0) close(stdin_);
        std::string cmd = "rm -rf '" + dir_ + "'";
        if (std::getenv("HQLV_KEEP_E2E") == nullptr) (void)std::system(cmd.c_str());
    }
    bool Start(int port, std::vector<std::string> env = {}, std::vector<std::string> extra = {}) {
        int fds[2];
        if (pipe(fds) != 0) return false;
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        posix_spawn_file_actions_adddup2(&fa, fds[0], 0);
        posix_spawn_file_actions_addclose(&fa, fds[1]);
        posix_spawn_file_actions_addopen(&fa, 2, (dir_ + "/stderr.txt").c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
        std::vector<std::string> args = {HQLV_HALL_EXE,
                                         "--client",
                                         HQLV_CLIENT_EXE,
                                         "--server",
                                         "127.0.0.1:" + std::to_string(port),
                                         "--root",
                                         root_,
                                         "--log",
                                         log_};
        args.insert(args.end(), extra.begin(), extra.end());
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        env.push_back("HQLV_RUNTIME_DIR=" + dir_ + "/run");
        env.push_back("HQLV_LOG_DIR=" + dir_ + "/log");
        env.push_back("HQLV_KEEPALIVE_SECONDS=1");
        // The given variables replace the inherited ones of the same name.
        std::vector<std::string> envs = env;
        for (char** e = environ; *e; ++e) {
            std::string entry = *e;
            std::string key = entry.substr(0, entry.find('=') + 1);
            bool replaced = false;
            for (auto& mine : env) replaced = replaced || mine.rfind(key, 0) == 0;
            if (!replaced) envs.push_back(entry);
        }
        std::vector<char*> envp;
        for (auto& e : envs) envp.push_back(e.data());
        envp.push_back(nullptr);
        mkdir((dir_ + "/run").c_str(), 0700);
        int rc = posix_spawn(&pid_, HQLV_HALL_EXE, &fa, nullptr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&fa);
        close(fds[0]);
        stdin_ = fds[1];
        return rc == 0;
    }
    void Command(const std::string& line) {
        std::string l = line + "\n";
        ASSERT_EQ(write(stdin_, l.data(), l.size()), ssize_t(l.size()));
    }
    // The hall's exit code, or -1 when it did not end in time.
    int Wait(int ms) {
        int status = 0;
        bool done = WaitFor([&] { return waitpid(pid_, &status, WNOHANG) == pid_; }, ms);
        if (!done) return -1;
        pid_ = 0;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    void Kill() {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = 0;
    }
    std::string HallLog() const { return ReadFile(log_); }
    std::string ClientLog() const {
        std::string all;
        std::string cmd = "cat '" + dir_ + "'/log/*.log 2>/dev/null";
        FILE* p = popen(cmd.c_str(), "r");
        char buf[4096];
        size_t n;
        while (p && (n = fread(buf, 1, sizeof buf, p)) > 0) all.append(buf, n);
        if (p) pclose(p);
        return all;
    }
    bool HallLogHas(const std::string& text, int ms) {
        return WaitFor([&] { return HallLog().find(text) != std::string::npos; }, ms);
    }
    int ClientPid() const {
        const std::string log = HallLog();
        const std::string key = "client pid ";
        const size_t at = log.find(key);
        return at == std::string::npos ? 0 : std::atoi(log.c_str() + at + key.size());
    }
    const std::string& dir() const { return dir_; }

private:
    std::string dir_, root_, log_;
    pid_t pid_ = 0;
    int stdin_ = -1;
};

// A click of mouse button `button` (1 left, 3 right) at (x, y) of an X display through the
// X test extension, its libraries loaded at run time; false when they are missing.
inline bool ClickOnDisplay(const std::string& display, int x, int y, unsigned button) {
    void* x11 = dlopen("libX11.so.6", RTLD_NOW);
    void* xtst = dlopen("libXtst.so.6", RTLD_NOW);
    if (!x11 || !xtst) return false;
    using Open = void* (*)(const char*);
    using Close = int (*)(void*);
    using Flush = int (*)(void*);
    using Motion = int (*)(void*, int, int, int, unsigned long);
    using Button = int (*)(void*, unsigned, int, unsigned long);
    auto open = reinterpret_cast<Open>(dlsym(x11, "XOpenDisplay"));
    auto close = reinterpret_cast<Close>(dlsym(x11, "XCloseDisplay"));
    auto flush = reinterpret_cast<Flush>(dlsym(x11, "XFlush"));
    auto motion = reinterpret_cast<Motion>(dlsym(xtst, "XTestFakeMotionEvent"));
    auto press = reinterpret_cast<Button>(dlsym(xtst, "XTestFakeButtonEvent"));
    if (!open || !close || !flush || !motion || !press) return false;
    void* dpy = open(display.c_str());
    if (!dpy) return false;
    motion(dpy, -1, x, y, 0);
    flush(dpy);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    press(dpy, button, 1, 0);
    flush(dpy);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    press(dpy, button, 0, 0);
    flush(dpy);
    close(dpy);
    return true;
}

// A virtual X display of its own, stopped with its owner; given a folder, it also keeps its
// screen there as an XWD file. The X server picks the number itself (-displayfd): tests run
// side by side, and a number looked up as free can be taken by another test before its own
// server starts, whose socket then looks like this server's while this one exits.
class VirtualDisplay {
public:
    bool Start(const std::string& fbdir = "", const std::string& screen = "1280x800x24") {
        for (int attempt = 0; attempt < 3; ++attempt)
            if (Spawn(fbdir, screen)) return true;
        return false;
    }
    bool Spawn(const std::string& fbdir, const std::string& screen) {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0) return false;
        // The number comes on a descriptor the server inherits (a dup2 onto itself would
        // keep the close-on-exec flag).
        const int childFd = fds[1] == 3 ? 4 : 3;
        std::vector<std::string> args = {"/usr/bin/Xvfb", "-displayfd", std::to_string(childFd),
                                         "-screen",       "0",          screen,
                                         "-nolisten",     "tcp"};
        if (!fbdir.empty()) args.insert(args.end(), {"-fbdir", fbdir});
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_adddup2(&fa, fds[1], childFd);
        const int rc = posix_spawn(&pid_, argv[0], &fa, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&fa);
        close(fds[1]);
        if (rc != 0) {
            close(fds[0]);
            pid_ = -1;
            return false;
        }
        // The server writes the number once it accepts clients; an end of file means it
        // exited first.
        std::string number;
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (number.find('\n') == std::string::npos && std::chrono::steady_clock::now() < until) {
            pollfd p{fds[0], POLLIN, 0};
            if (poll(&p, 1, 100) <= 0) continue;
            char buf[16];
            const ssize_t n = read(fds[0], buf, sizeof buf);
            if (n <= 0) break;
            number.append(buf, size_t(n));
        }
        close(fds[0]);
        if (number.find('\n') != std::string::npos) {
            display_ = std::atoi(number.c_str());
            return true;
        }
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
        return false;
    }
    ~VirtualDisplay() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    std::string name() const { return ":" + std::to_string(display_); }

private:
    int display_ = -1;  // none until started
    pid_t pid_ = 0;
};

}  // namespace hqlv::e2e
