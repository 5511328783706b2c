// hqlv-server: the local game server.
//
//   hqlv-server [--port N] [--version MAJOR.MINOR] [--seed N] [--record FILE]
//               [--think MS] [--turn S] [--claim S] [--grace S] [--deal MS]
//               [--silver N] [--test-deal FOLDER] [--standings FILE] [--system-room ROOM]
//               [--seat-wait MS] [--silver-room ROOM:MIN:MAX]
//
// Plays this game's deals: a player that is ready gets server-driven players in the empty
// chairs. --seed fixes the deals' random numbers (the same actions replay the same deals);
// --record appends each deal's record as text; --silver settles the deals in silver at that
// multiple of the table's stake (1 by default, 0 points only); --test-deal takes a fixed wall
// from the folder's "test.ini"; --deal is the time the clients roll the dice and deal before
// the first turn begins (7000 ms unless given); --standings keeps each seated user's standing
// as the deals settle it in FILE, for the stand-in hall to answer details requests with.
// --system-room names a room where the system seats the players: a player who comes in (or
// asks again with 201302) waits --seat-wait ms (3000 unless given) and is then seated at a
// free table, where the deal starts at once. --silver-room names a room that checks the
// silver carried at the start (201161) against MIN and MAX (0: no bound).
//
// Prints "listening on 127.0.0.1:PORT" on standard output once it accepts clients
// (--port 0 picks a free port). Commands on standard input, one per line:
//   clients                               list the connected clients and their seats
//   notify CLIENT CODE [HEX]              push a notification with the body given in hex
//   text CLIENT CODE OFFSET TEXT...       push a notification whose body holds TEXT (as
//                                         GBK, zero-terminated) at byte OFFSET
//   close CLIENT                          close a client's connection
//   spoil CLIENT short|tail|stall [ID]    test-only: spoil the next packet to the client (or
//                                         the first packet of its next answer to request ID):
//                                         its length word short, its back half dropped, or
//                                         its front half sent and then nothing more
//   version MAJOR MINOR                   change the version the server reports
//   think MS                              the server-driven players' delay from now on, in
//                                         the deals under way too (0 to 60000)
//   quit                                  stop
// Log lines go to standard error.
#include <iconv.h>

#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "tools/server/game_server.h"
#include "tools/server/mahjong/mahjong_handler.h"

namespace {

std::string ToGbk(const std::string& utf8) {
    iconv_t cd = iconv_open("GBK//TRANSLIT", "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) return utf8;
    std::string out(utf8.size() * 2 + 4, '\0');
    char* src = const_cast<char*>(utf8.data());
    size_t left = utf8.size(), room = out.size();
    char* dst = out.data();
    iconv(cd, &src, &left, &dst, &room);
    iconv_close(cd);
    out.resize(out.size() - room);
    return out;
}

bool ParseHex(const std::string& hex, std::vector<uint8_t>& out) {
    if (hex.size() % 2) return false;
    for (size_t i = 0; i < hex.size(); i += 2) {
        char* end = nullptr;
        std::string byte = hex.substr(i, 2);
        long v = std::strtol(byte.c_str(), &end, 16);
        if (*end) return false;
        out.push_back(static_cast<uint8_t>(v));
    }
    return true;
}

// "spoil CLIENT short|tail|stall [ID]".
bool SpoilCommand(hqlv::server::GameServer& server, std::istringstream& in) {
    using hqlv::server::Spoil;
    int client = 0, request = 0;
    std::string kind;
    if (!(in >> client >> kind)) return false;
    if (!(in >> request)) request = 0;
    if (request < 0) return false;
    if (kind == "short") return server.SpoilNext(client, Spoil::kShortLength, request);
    if (kind == "tail") return server.SpoilNext(client, Spoil::kDroppedTail, request);
    if (kind == "stall") return server.SpoilNext(client, Spoil::kStall, request);
    return false;
}

// "ROOM:MIN:MAX": three decimal numbers from 0 to 2^31-1 and nothing else, MIN not above MAX
// unless MAX is 0 (no bound). A number out of range is refused rather than wrapped.
bool ParseSilverRoom(const char* text, long& room, long& low, long& high) {
    long* const parts[] = {&room, &low, &high};
    const char* p = text;
    for (size_t k = 0; k < 3; ++k) {
        if (!std::isdigit(static_cast<unsigned char>(*p))) return false;
        char* end = nullptr;
        errno = 0;
        *parts[k] = std::strtol(p, &end, 10);
        if (errno == ERANGE || *parts[k] > 0x7FFFFFFFL || *end != (k < 2 ? ':' : '\0'))
            return false;
        p = end + 1;
    }
    return high == 0 || low <= high;
}

// A decimal number from LOW to HIGH and nothing after it: "5x" or "" is refused, not read
// as 5 or 0.
bool ParseNumber(const char* text, long low, long high, long& out) {
    char* end = nullptr;
    errno = 0;
    out = std::strtol(text, &end, 10);
    return end != text && *end == 0 && errno != ERANGE && out >= low && out <= high;
}

// The server-driven players' longest delay, on the command line and by the think command.
constexpr long kMaxThinkMs = 60000;

}  // namespace

int main(int argc, char** argv) {
    hqlv::server::ServerOptions opt;
    hqlv::server::mj::MahjongOptions game;
    // The deals are settled in silver at the table's stake unless told otherwise.
    game.deal.stakeMultiple = 1;
    game.deal.dealMs = hqlv::server::mj::kDefaultDealMs;
    int seatWait = hqlv::server::RoomRules{}.seatWaitMs;
    auto number = [&](int& i, long low, long high, long& out) {
        return i + 1 < argc && ParseNumber(argv[++i], low, high, out);
    };
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        bool ok = false;
        long v = 0;
        if (a == "--seed") {
            ok = number(i, 0, 0xFFFFFFFFL, v);
            game.seed = static_cast<uint32_t>(v);
        } else if (a == "--think") {
            ok = number(i, 0, kMaxThinkMs, v);
            game.deal.thinkMs = static_cast<int>(v);
        } else if (a == "--turn") {
            ok = number(i, 1, 600, v);
            game.deal.turnSeconds = static_cast<int>(v);
        } else if (a == "--claim") {
            ok = number(i, 1, 600, v);
            game.deal.claimSeconds = static_cast<int>(v);
        } else if (a == "--grace") {
            ok = number(i, 0, 600, v);
            game.deal.graceSeconds = static_cast<int>(v);
        } else if (a == "--silver") {
            ok = number(i, 0, 1000, v);
            game.deal.stakeMultiple = static_cast<int>(v);
        } else if (a == "--deal") {
            ok = number(i, 0, 60000, v);
            game.deal.dealMs = static_cast<int>(v);
        } else if (a == "--system-room") {
            ok = number(i, 0, 0x7FFFFFFFL, v);
            opt.rooms[static_cast<int>(v)].systemSeated = true;
        } else if (a == "--seat-wait") {
            ok = number(i, 0, 600000, v);
            seatWait = static_cast<int>(v);
        } else if (a == "--silver-room" && i + 1 < argc) {
            long room = 0, low = 0, high = 0;
            ok = ParseSilverRoom(argv[++i], room, low, high);
            if (ok) {
                opt.rooms[static_cast<int>(room)].silverMin = static_cast<int>(low);
                opt.rooms[static_cast<int>(room)].silverMax = static_cast<int>(high);
            }
        } else if ((a == "--record" || a == "--test-deal") && i + 1 < argc) {
            (a == "--record" ? game.recordFile : game.deal.testIniFolder) = argv[++i];
            ok = true;
        } else if (a == "--standings" && i + 1 < argc) {
            game.standingsFile = argv[++i];
            ok = true;
        } else if (a == "--port" && i + 1 < argc) {
            // A port out of range must not wrap into some other port.
            char* end = nullptr;
            long port = std::strtol(argv[++i], &end, 10);
            ok = end != argv[i] && *end == 0 && port >= 0 && port <= 65535;
            if (ok) opt.port = static_cast<uint16_t>(port);
        } else if (a == "--version" && i + 1 < argc) {
            char tail = 0;
            ok =
                std::sscanf(argv[++i], "%d.%d%c", &opt.versionMajor, &opt.versionMinor, &tail) == 2;
        }
        if (!ok) {
            std::cerr << "usage: hqlv-server [--port N] [--version MAJOR.MINOR] [--seed N] "
                         "[--record FILE] [--think MS] [--turn S] [--claim S] [--grace S] "
                         "[--deal MS] [--silver N] [--test-deal FOLDER] [--standings FILE] "
                         "[--system-room ROOM] [--seat-wait MS] [--silver-room ROOM:MIN:MAX]\n";
            return 2;
        }
    }
    for (auto& [room, rules] : opt.rooms) rules.seatWaitMs = seatWait;
    std::signal(SIGPIPE, SIG_IGN);
    hqlv::server::GameServer server(opt);
    auto handler = std::make_shared<hqlv::server::mj::MahjongHandler>(game);
    server.SetGameHandler(handler);
    server.Log("mahjong: seed " + std::to_string(*handler->Seed()));
    if (!server.Start()) return 1;
    std::cout << "listening on 127.0.0.1:" << server.Port() << std::endl;

    std::string line;
    while (std::getline(std::cin, line)) {
        std::istringstream in(line);
        std::string cmd;
        in >> cmd;
        if (cmd.empty()) continue;
        if (cmd == "quit") break;
        bool ok = true;
        if (cmd == "clients") {
            for (int c : server.Clients()) {
                std::cout << "client " << c;
                if (auto s = server.Seat(c))
                    std::cout << " user " << s->userId << " room " << s->room << " table "
                              << s->table << " chair " << s->chair
                              << (s->lookerOn ? " looking on" : "");
                std::cout << "\n";
            }
        } else if (cmd == "notify") {
            int client = 0, code = 0;
            std::string hex;
            std::vector<uint8_t> body;
            ok = static_cast<bool>(in >> client >> code);
            if (ok) {
                in >> hex;  // an empty body is allowed
                ok = ParseHex(hex, body) && server.Notify(client, code, body);
            }
        } else if (cmd == "text") {
            int client = 0, code = 0, offset = 0;
            std::string text;
            ok = static_cast<bool>(in >> client >> code >> offset) && offset >= 0 && offset <= 4096;
            if (ok) {
                std::getline(in >> std::ws, text);
                std::string gbk = ToGbk(text);
                std::vector<uint8_t> body(static_cast<size_t>(offset), 0);
                body.insert(body.end(), gbk.begin(), gbk.end());
                body.push_back(0);
                ok = server.Notify(client, code, body);
            }
        } else if (cmd == "close") {
            int client = 0;
            in >> client;
            ok = server.Disconnect(client);
        } else if (cmd == "spoil") {
            ok = SpoilCommand(server, in);
        } else if (cmd == "version") {
            int major = 0, minor = 0;
            in >> major >> minor;
            ok = !in.fail();
            if (ok) server.SetVersion(major, minor);
        } else if (cmd == "think") {
            std::string text;
            long ms = 0;
            ok = static_cast<bool>(in >> text) && (in >> std::ws).eof() &&
                 ParseNumber(text.c_str(), 0, kMaxThinkMs, ms);
            if (ok) handler->SetThinkMs(static_cast<int>(ms));
        } else {
            ok = false;
        }
        std::cout << (ok ? "ok" : "error") << std::endl;
    }
    server.Stop();
    return 0;
}
