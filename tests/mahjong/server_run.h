#pragma once
// The local game server program (hqlv-server) for the end-to-end runs, and the screen of a
// virtual display kept with -fbdir.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QImage>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tests/framework/hall_run.h"

namespace hqlv::e2e {

// hqlv-server on a free port; its standard input stays open while it runs.
class ServerProcess {
public:
    bool Start(const std::vector<std::string>& extra, const std::string& dir) {
        int in[2], out[2];
        if (pipe(in) != 0 || pipe(out) != 0) return false;
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        posix_spawn_file_actions_adddup2(&fa, in[0], 0);
        posix_spawn_file_actions_adddup2(&fa, out[1], 1);
        posix_spawn_file_actions_addclose(&fa, in[1]);
        posix_spawn_file_actions_addclose(&fa, out[0]);
        log_ = dir + "/server.log";
        posix_spawn_file_actions_addopen(&fa, 2, log_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        std::vector<std::string> args = {HQLV_SERVER_EXE, "--port", "0"};
        args.insert(args.end(), extra.begin(), extra.end());
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        const int rc = posix_spawn(&pid_, HQLV_SERVER_EXE, &fa, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&fa);
        close(in[0]);
        close(out[1]);
        stdin_ = in[1];
        if (rc != 0) return false;
        std::string line;  // "listening on 127.0.0.1:PORT"
        char c;
        while (read(out[0], &c, 1) == 1 && c != '\n') line += c;
        close(out[0]);
        const size_t colon = line.rfind(':');
        port_ = colon == std::string::npos ? 0 : std::atoi(line.c_str() + colon + 1);
        return port_ > 0;
    }
    ~ServerProcess() {
        if (stdin_ >= 0) close(stdin_);  // end of input: the server stops
        if (pid_ > 0 && !WaitFor([&] { return waitpid(pid_, nullptr, WNOHANG) == pid_; }, 5000)) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    int Port() const { return port_; }
    std::string Log() const { return ReadFile(log_); }
    // One command line on the server's input (see hqlv-server's usage).
    bool Command(const std::string& line) {
        const std::string l = line + "\n";
        return stdin_ >= 0 && write(stdin_, l.data(), l.size()) == ssize_t(l.size());
    }

private:
    pid_t pid_ = 0;
    int stdin_ = -1;
    int port_ = 0;
    std::string log_;
};

// A virtual display's screen (an XWD dump of 32 bits per pixel).
inline QImage ReadScreen(const std::string& path) {
    const std::string f = ReadFile(path);
    auto be = [&](size_t i) -> uint32_t {
        if (i * 4 + 4 > f.size()) return 0;
        const auto* p = reinterpret_cast<const uint8_t*>(f.data() + i * 4);
        return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
    };
    const uint32_t header = be(0), width = be(4), height = be(5), bpp = be(11), line = be(12),
                   colours = be(19);
    const size_t start = size_t(header) + size_t(colours) * 12;
    if (bpp != 32 || width == 0 || height == 0 || start + size_t(line) * height > f.size())
        return {};
    QImage img(int(width), int(height), QImage::Format_RGB32);
    for (uint32_t y = 0; y < height; ++y)
        std::memcpy(img.scanLine(int(y)), f.data() + start + y * line, width * 4);
    return img;
}

}  // namespace hqlv::e2e
