// The stand-in hall's notice server: the answer to each kind of request head, and the
// server on 127.0.0.1 with a whole request, a cut one and a second client after it.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <string>

#include "tools/hall/notice_server.h"

namespace hqlv::tools {
namespace {

const std::string kNotice = "<notify>\xb9\xab\xb8\xe6";  // "<notify>公告" in GBK

TEST(NoticeAnswer, OnlyTheGamesNoticeIsServed) {
    const struct {
        const char* head;
        int status;
    } cases[] = {
        {"GET /notify/game/77.txt HTTP/1.1\r\nHost: a\r\n\r\n", 200},
        {"GET //notify/game/77.txt HTTP/1.0\r\n\r\n", 200},  // base and path joined by '/'
        {"GET ///notify/game/77.txt HTTP/1.1\r\n\r\n", 200},
        {"GET /notify/game/78.txt HTTP/1.1\r\n\r\n", 404},
        {"GET /notify/game/77.txt?x HTTP/1.1\r\n\r\n", 404},
        {"GET / HTTP/1.1\r\n\r\n", 404},
        {"POST /notify/game/77.txt HTTP/1.1\r\n\r\n", 405},
        {"GET /notify/game/77.txt\r\n\r\n", 400},
        {"GET /notify/game/77.txt FTP/1.0\r\n\r\n", 400},
        {"\r\n\r\n", 400},
    };
    for (const auto& c : cases) {
        int status = 0;
        const std::string a = NoticeServer::Answer(c.head, 77, kNotice, &status);
        EXPECT_EQ(status, c.status) << c.head;
        EXPECT_EQ(a.rfind("HTTP/1.1 " + std::to_string(c.status) + " ", 0), 0u) << c.head;
        EXPECT_NE(a.find("Connection: close\r\n"), std::string::npos);
        const size_t body = a.find("\r\n\r\n") + 4;
        EXPECT_NE(a.find("Content-Length: " + std::to_string(a.size() - body) + "\r\n"),
                  std::string::npos);
        EXPECT_EQ(a.substr(body) == kNotice, c.status == 200) << c.head;
    }
}

int Connect(uint16_t port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    timeval limit{5, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

std::string ReadAll(int fd) {
    std::string out;
    char buf[512];
    for (ssize_t n; (n = recv(fd, buf, sizeof buf, 0)) > 0;) out.append(buf, size_t(n));
    return out;
}

TEST(NoticeServer, AnswersOnLoopbackAndDropsACutHead) {
    std::vector<std::string> log;
    NoticeServer server(21, kNotice, [&](const std::string& l) { log.push_back(l); });
    ASSERT_TRUE(server.Start());
    ASSERT_NE(server.Port(), 0);
    EXPECT_EQ(server.Base(), "http://127.0.0.1:" + std::to_string(server.Port()));
    // A head cut before its blank line gets nothing.
    int fd = Connect(server.Port());
    ASSERT_GE(fd, 0);
    const std::string cut = "GET /notify/game/21.txt HTTP/1.1\r\n";
    ASSERT_EQ(send(fd, cut.data(), cut.size(), 0), ssize_t(cut.size()));
    shutdown(fd, SHUT_WR);
    EXPECT_EQ(ReadAll(fd), "");
    close(fd);
    // The next client is served whole, the request sent in two pieces.
    fd = Connect(server.Port());
    ASSERT_GE(fd, 0);
    const std::string head = "GET //notify/game/21.txt HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
    ASSERT_EQ(send(fd, head.data(), 10, 0), 10);
    ASSERT_EQ(send(fd, head.data() + 10, head.size() - 10, 0), ssize_t(head.size() - 10));
    const std::string answer = ReadAll(fd);
    close(fd);
    EXPECT_EQ(answer.rfind("HTTP/1.1 200 OK\r\n", 0), 0u);
    EXPECT_EQ(answer.substr(answer.find("\r\n\r\n") + 4), kNotice);
    EXPECT_EQ(server.Served(), 1);
    server.Stop();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_NE(log[0].find("incomplete"), std::string::npos);
    EXPECT_NE(log[1].find("-> 200"), std::string::npos);
    // Stopped: nobody listens any more.
    EXPECT_LT(Connect(server.Port()), 0);
}

// The logged request line holds no control byte of the client's: no forged line, no escape.
TEST(NoticeServer, TheLoggedRequestLineIsDefused) {
    std::vector<std::string> log;
    NoticeServer server(21, kNotice, [&](const std::string& l) { log.push_back(l); });
    ASSERT_TRUE(server.Start());
    const int fd = Connect(server.Port());
    ASSERT_GE(fd, 0);
    const std::string head = "GET /a\nforged\x1b[2J\x7f\t HTTP/1.1\r\n\r\n";
    ASSERT_EQ(send(fd, head.data(), head.size(), MSG_NOSIGNAL), ssize_t(head.size()));
    EXPECT_EQ(ReadAll(fd).rfind("HTTP/1.1 404 ", 0), 0u);
    close(fd);
    server.Stop();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0], "notice server: GET /a?forged?[2J?? HTTP/1.1 -> 404");
}

// The head limit is exact however the head is split when sent: a head of kHeadLimit bytes
// is answered, one a byte longer is not, even when its blank line arrives in the same read.
TEST(NoticeServer, TheHeadLimitIsExact) {
    NoticeServer server(21, kNotice);
    ASSERT_TRUE(server.Start());
    const std::string line = "GET /notify/game/21.txt HTTP/1.1\r\nX-Pad: ";
    for (const size_t size : {NoticeServer::kHeadLimit, NoticeServer::kHeadLimit + 1}) {
        const std::string head = line + std::string(size - line.size() - 4, 'a') + "\r\n\r\n";
        ASSERT_EQ(head.size(), size);
        const int fd = Connect(server.Port());
        ASSERT_GE(fd, 0);
        // A short first send, so that the rest does not begin on a whole buffer's bound.
        ASSERT_EQ(send(fd, head.data(), 100, MSG_NOSIGNAL), 100);
        usleep(100 * 1000);
        send(fd, head.data() + 100, head.size() - 100, MSG_NOSIGNAL);
        const std::string answer = ReadAll(fd);
        close(fd);
        if (size == NoticeServer::kHeadLimit)
            EXPECT_EQ(answer.rfind("HTTP/1.1 200 OK\r\n", 0), 0u);
        else
            EXPECT_EQ(answer, "");
    }
    EXPECT_EQ(server.Served(), 1);
}

}  // namespace
}  // namespace hqlv::tools
