#include "tools/hall/notice_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace hqlv::tools {
namespace {

std::string HttpAnswer(int status, const char* reason, const std::string& type,
                       const std::string& body) {
    return "HTTP/1.1 " + std::to_string(status) + " " + reason + "\r\nContent-Type: " + type +
           "\r\nContent-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" +
           body;
}

}  // namespace

NoticeServer::NoticeServer(int game, std::string notice, LogFn log)
    : game_(game), notice_(std::move(notice)), log_(std::move(log)) {}

NoticeServer::~NoticeServer() {
    Stop();
}

std::string NoticeServer::Answer(const std::string& head, int game, const std::string& notice,
                                 int* status) {
    const size_t eol = head.find("\r\n");
    const std::string line = head.substr(0, eol);
    const size_t a = line.find(' ');
    const size_t b = a == std::string::npos ? a : line.find(' ', a + 1);
    int code = 400;
    std::string out;
    if (b == std::string::npos || line.compare(b + 1, 5, "HTTP/") != 0) {
        out = HttpAnswer(code, "Bad Request", "text/plain", "bad request\n");
    } else if (line.compare(0, a, "GET") != 0) {
        code = 405;
        out = HttpAnswer(code, "Method Not Allowed", "text/plain", "GET only\n");
    } else {
        // The client joins the base and the path with a '/', so the path may begin with two.
        std::string path = line.substr(a + 1, b - a - 1);
        const size_t first = path.find_first_not_of('/');
        path = first == std::string::npos ? "/" : "/" + path.substr(first);
        if (path == "/notify/game/" + std::to_string(game) + ".txt") {
            code = 200;
            out = HttpAnswer(code, "OK", "text/plain; charset=gbk", notice);
        } else {
            code = 404;
            out = HttpAnswer(code, "Not Found", "text/plain", "not found\n");
        }
    }
    if (status) *status = code;
    return out;
}

bool NoticeServer::Start() {
    listenFd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listenFd_ < 0) return false;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    socklen_t len = sizeof addr;
    if (bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        listen(listenFd_, 8) != 0 ||
        getsockname(listenFd_, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        close(listenFd_);
        listenFd_ = -1;
        return false;
    }
    port_ = ntohs(addr.sin_port);
    stop_ = false;
    thread_ = std::thread([this] { Serve(); });
    return true;
}

void NoticeServer::Stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    if (listenFd_ >= 0) close(listenFd_);
    listenFd_ = -1;
}

std::string NoticeServer::Base() const {
    return "http://127.0.0.1:" + std::to_string(port_);
}

void NoticeServer::Serve() {
    while (!stop_) {
        pollfd p{listenFd_, POLLIN, 0};
        if (poll(&p, 1, 100) <= 0) continue;
        const int fd = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        Reply(fd);
        close(fd);
    }
}

void NoticeServer::Reply(int fd) {
    // A slow or silent client gets two seconds for its request head.
    timeval limit{2, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    std::string head;
    char buf[1024];
    while (head.find("\r\n\r\n") == std::string::npos && head.size() < kHeadLimit) {
        // Never past the limit: a head is refused by its length, not by how it arrived.
        const ssize_t n = recv(fd, buf, std::min(sizeof buf, kHeadLimit - head.size()), 0);
        if (n <= 0) break;
        head.append(buf, size_t(n));
    }
    if (head.find("\r\n\r\n") == std::string::npos) {
        if (log_) log_("notice server: an incomplete request head was dropped");
        return;
    }
    int status = 0;
    const std::string answer = Answer(head, game_, notice_, &status);
    for (size_t sent = 0; sent < answer.size();) {
        const ssize_t n = send(fd, answer.data() + sent, answer.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) break;
        sent += size_t(n);
    }
    ++served_;
    if (!log_) return;
    // The request line is the client's bytes: control characters go into the log as '?', so
    // that a request cannot forge log lines or drive the terminal that shows them.
    std::string line = head.substr(0, head.find("\r\n"));
    for (char& ch : line)
        if (static_cast<unsigned char>(ch) < 0x20 || ch == 0x7F) ch = '?';
    log_("notice server: " + line + " -> " + std::to_string(status));
}

}  // namespace hqlv::tools
