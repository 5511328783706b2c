#pragma once
// A small HTTP server on 127.0.0.1 for the tests, whose answers each test scripts per path:
// status, body, the sizes of the first writes, a cut (a longer Content-Length than the
// body), a redirect and a hold (the answer waits until the test releases it).
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <deque>
#include <future>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace hqlv::framework::testing {

struct Answer {
    Answer() = default;
    // The status and body alone, or with the other fields in their order.
    Answer(int s, std::string b, std::vector<size_t> c = {}, size_t a = 0, std::string l = {},
           std::shared_future<void> h = {})
        : status(s),
          body(std::move(b)),
          chunks(std::move(c)),
          announced(a),
          location(std::move(l)),
          hold(std::move(h)) {}

    int status = 200;
    std::string body;
    std::vector<size_t> chunks;  // sizes of the first writes; the rest in one
    size_t announced = 0;        // Content-Length when it differs (a cut answer)
    std::string location;        // a redirect
    std::shared_future<void> hold;
};

class HttpServer {
public:
    HttpServer() {
        fd_ = socket(AF_INET, SOCK_STREAM, 0);
        int on = 1;
        setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
        listen(fd_, 16);
        socklen_t len = sizeof a;
        getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
        port_ = ntohs(a.sin_port);
        accepter_ = std::thread([this] { Accept(); });
    }
    ~HttpServer() {
        shutdown(fd_, SHUT_RDWR);
        close(fd_);
        accepter_.join();
        for (auto& t : workers_) t.join();
    }
    std::string base() const { return "http://127.0.0.1:" + std::to_string(port_); }
    // Answers for a path, each used once, in order; then 404.
    void Script(const std::string& path, Answer a) {
        std::lock_guard<std::mutex> g(mu_);
        script_[path].push_back(std::move(a));
    }
    int requests() {
        std::lock_guard<std::mutex> g(mu_);
        return requests_;
    }
    // Every request as it arrived (head and announced body), in order.
    std::vector<std::string> seen() {
        std::lock_guard<std::mutex> g(mu_);
        return seen_;
    }

private:
    void Accept() {
        for (;;) {
            int c = accept(fd_, nullptr, nullptr);
            if (c < 0) return;
            std::lock_guard<std::mutex> g(mu_);
            workers_.emplace_back([this, c] { Serve(c); });
        }
    }
    void Serve(int c) {
        std::string req;
        char buf[1024];
        while (req.find("\r\n\r\n") == std::string::npos) {
            ssize_t n = recv(c, buf, sizeof buf, 0);
            if (n <= 0) break;
            req.append(buf, size_t(n));
        }
        // A body the head announces is read too, so that tests can see what was posted.
        size_t headEnd = req.find("\r\n\r\n");
        size_t lengthAt = req.find("Content-Length: ");
        if (headEnd != std::string::npos && lengthAt != std::string::npos && lengthAt < headEnd) {
            size_t want = headEnd + 4 + std::stoul(req.substr(lengthAt + 16));
            while (req.size() < want) {
                ssize_t n = recv(c, buf, sizeof buf, 0);
                if (n <= 0) break;
                req.append(buf, size_t(n));
            }
        }
        size_t methodEnd = req.find(' ');
        size_t pathEnd = methodEnd == std::string::npos ? methodEnd : req.find(' ', methodEnd + 1);
        std::string path = pathEnd == std::string::npos
                               ? std::string()
                               : req.substr(methodEnd + 1, pathEnd - methodEnd - 1);
        Answer a;
        {
            std::lock_guard<std::mutex> g(mu_);
            ++requests_;
            seen_.push_back(req);
            auto& q = script_[path];
            if (q.empty()) {
                a.status = 404;
                a.body = "<notify>not here";
            } else {
                a = q.front();
                q.pop_front();
            }
        }
        if (a.hold.valid()) a.hold.wait();
        std::string head = "HTTP/1.1 " + std::to_string(a.status) + " X\r\nContent-Length: " +
                           std::to_string(a.announced ? a.announced : a.body.size()) +
                           "\r\nConnection: close\r\n";
        if (!a.location.empty()) head += "Location: " + a.location + "\r\n";
        head += "\r\n";
        send(c, head.data(), head.size(), MSG_NOSIGNAL);
        size_t at = 0;
        for (size_t n : a.chunks) {
            n = std::min(n, a.body.size() - at);
            send(c, a.body.data() + at, n, MSG_NOSIGNAL);
            at += n;
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
        }
        send(c, a.body.data() + at, a.body.size() - at, MSG_NOSIGNAL);
        close(c);
    }
    int fd_ = -1;
    uint16_t port_ = 0;
    std::thread accepter_;
    std::vector<std::thread> workers_;
    std::mutex mu_;
    std::map<std::string, std::deque<Answer>> script_;
    int requests_ = 0;
    std::vector<std::string> seen_;
};

}  // namespace hqlv::framework::testing
