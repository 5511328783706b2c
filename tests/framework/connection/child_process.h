#pragma once
// Starts a helper program (the game server, a proxy) for a test and stops it again.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <netinet/in.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace hqlv::testing {

class ChildProcess {
public:
    ~ChildProcess() { Stop(); }
    // Starts the program with the arguments; standard input and output are pipes, and
    // standard error goes to the file named (or nowhere).
    bool Start(const std::string& program, const std::vector<std::string>& args,
               const std::string& errorFile = {}) {
        // Everything the child needs is made before the fork: the child of a threaded
        // process may only make async-signal-safe calls. The pipes are close-on-exec so
        // that a second helper does not hold the first one's standard input open.
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(program.c_str()));
        for (auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        // A line written to a program that has ended must fail the test that wrote it, with
        // its message, not end the whole test program by SIGPIPE. The child gets the default
        // back: an ignored signal would stay ignored across exec.
        ::signal(SIGPIPE, SIG_IGN);
        const char* errPath = errorFile.empty() ? "/dev/null" : errorFile.c_str();
        int errFlags = O_WRONLY | O_CLOEXEC | (errorFile.empty() ? 0 : O_CREAT | O_TRUNC);
        int in[2], out[2];
        if (::pipe2(in, O_CLOEXEC) != 0) return false;
        if (::pipe2(out, O_CLOEXEC) != 0) {
            ::close(in[0]);
            ::close(in[1]);
            return false;
        }
        pid_ = ::fork();
        if (pid_ < 0) {
            for (int fd : {in[0], in[1], out[0], out[1]}) ::close(fd);
            return false;
        }
        if (pid_ == 0) {
            ::signal(SIGPIPE, SIG_DFL);
            ::dup2(in[0], 0);
            ::dup2(out[1], 1);
            int err = ::open(errPath, errFlags, 0600);
            if (err >= 0) ::dup2(err, 2);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        ::close(in[0]);
        ::close(out[1]);
        stdin_ = in[1];
        stdout_ = out[0];
        return true;
    }
    // One line of the program's output, within the time.
    bool ReadLine(std::string& line, int timeoutMs) {
        line.clear();
        auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (std::chrono::steady_clock::now() < end) {
            pollfd p{stdout_, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0) continue;
            char c;
            if (::read(stdout_, &c, 1) != 1) return false;
            if (c == '\n') return true;
            line += c;
        }
        return false;
    }
    bool WriteLine(const std::string& line) {
        std::string l = line + "\n";
        return ::write(stdin_, l.data(), l.size()) == static_cast<ssize_t>(l.size());
    }
    // Waits for the program to end by itself; its exit status, or -1 when it is still
    // running after the time (or ended by a signal).
    int WaitExit(int timeoutMs) {
        if (pid_ <= 0) return -1;
        for (int waited = 0; waited <= timeoutMs; waited += 20) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return -1;
    }
    // Closes standard input (the server ends on that), then terminates what is left.
    void Stop() {
        if (pid_ <= 0) return;
        if (stdin_ >= 0) ::close(stdin_);
        stdin_ = -1;
        for (int i = 0; i < 40; ++i) {
            if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
                pid_ = -1;
                break;
            }
            if (i == 20) ::kill(pid_, SIGTERM);
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
            pid_ = -1;
        }
        if (stdout_ >= 0) ::close(stdout_);
        stdout_ = -1;
    }

private:
    pid_t pid_ = -1;
    int stdin_ = -1;
    int stdout_ = -1;
};

// A port that was free a moment ago (bound to port 0 and released).
inline int FreePort() {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    ::close(fd);
    return ntohs(a.sin_port);
}

// Waits until something accepts connections on the port.
inline bool WaitListening(int port, int timeoutMs) {
    for (int waited = 0; waited < timeoutMs; waited += 50) {
        int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(static_cast<uint16_t>(port));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
        ::close(fd);
        if (ok) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

}  // namespace hqlv::testing
