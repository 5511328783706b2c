// hqlv-hall: the stand-in for the platform's game hall. It does for one client what the
// hall does: it prepares the folders and settings files the client reads, starts the
// client with the hall's command line, answers the client's messages, sends the hall
// data records (the table state first) and logs everything it receives.
//
//   hqlv-hall --client PATH --server HOST:PORT [--root DIR] [--game N] [--room N]
//             [--user N] [--table N] [--chair N] [--looker 0|1] [--title TEXT]
//             [--option-a N] [--option-b N] [--notice-base URL] [--web-base URL]
//             [--room-kind plain|system|silver] [--standings FILE] [--log FILE]
//
// --root is the platform root it prepares (default ~/.hqlv/hall). Log lines go to standard error
// and, with --log, to that file too. --notice-base is the notice web server the hall record names;
// by default the hall serves the game's notice itself on 127.0.0.1. --standings names the local
// server's standings file: the table state lists the hall's user and the server-driven players the
// file names, and a details request (0x9108) is answered, with their standings there. --web-base is
// the platform's web base the hall record names; by default the local folder <root>/web/, where the
// hall writes the advert page (advert/window/<game>/xy.htm) so the client's advert pane shows a
// page of its own, and the game's help page (game/HqLv228.html). The chat's face pictures found
// beside the client (resources/face/) are copied into <root>/Share/Image/face/. It ends when the
// client ends (exit code: the client's), or on SIGINT/SIGTERM, which end the client first.
// --room-kind adds the room's bits to option word B (command-line field 13): "system", a room where
// the system seats the players (0x2 with 0x80: the client waits for its table); "silver", a room
// that checks the silver carried at the start and whose tables change (0x40 with 0x80). Commands on
// standard input, one per line:
//   close                 asks the client's main window to close
//   join UID CHAIR        sends kind 4 (a looker-on joins)
//   leave UID CHAIR       sends kind 6 (a player left the table)
//   data                  sends kind 7 and kind 13
//   quit                  ends the client and the hall
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <thread>

#include "framework/app/text_edge.h"
#include "framework/hall/hall_records.h"
#include "framework/web/host_filter.h"
#include "platform/core/bytes.h"
#include "platform/core/files.h"
#include "platform/core/hall.h"
#include "platform/core/message.h"
#include "platform/core/profile.h"
#include "tools/hall/notice_server.h"
#include "tools/stand_ins.h"
#include "tools/standings.h"

extern char** environ;

namespace {

using namespace hqlv;
using framework::PlayerRecord;

struct Options {
    std::string client;
    std::string host = "127.0.0.1";
    int port = 21303;
    std::string root;
    int game = 77;
    int room = 3;
    int user = 1001;
    int table = 5;
    int chair = 0;
    int looker = 0;
    std::string title = "红中麻将 - 测试房间";
    int optionA = 0;
    int optionB = 0;
    std::string noticeBase;
    std::string webBase;
    std::string standings;
    std::string log;
    int roomKindBits = 0;  // added to option word B
};

// The hall record's web base field holds 63 bytes and its terminator.
constexpr size_t kWebBaseBytes = 64;

std::mutex g_logMu;
FILE* g_logFile = nullptr;

void Log(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
void Log(const char* fmt, ...) {
    char buf[2048];
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    std::lock_guard<std::mutex> lock(g_logMu);
    fprintf(stderr, "hall: %s\n", buf);
    if (g_logFile) {
        fprintf(g_logFile, "%s\n", buf);
        fflush(g_logFile);
    }
}

std::atomic<pid_t> g_client{0};
std::atomic<bool> g_stop{false};
std::atomic<platform::Handle> g_clientWindow{0};
platform::Handle g_self = 0;
Options g_opt;

void OnSignal(int) {
    g_stop = true;
}

bool SendRecord(uint32_t kind, std::vector<uint8_t> plain) {
    platform::Handle to = g_clientWindow;
    if (!to) {
        Log("no client window yet: kind %u not sent", kind);
        return false;
    }
    framework::PadHallRecord(plain);
    auto coded = framework::EncryptHallData(plain.data(), plain.size());
    intptr_t answer = 0;
    bool ok = coded && platform::hallChannel().sendCopyData(to, g_self, kind, coded->data(),
                                                            coded->size(), 5000, &answer);
    Log("sent kind %u (%zu bytes): %s", kind, plain.size(), ok ? "delivered" : "not delivered");
    return ok;
}

PlayerRecord OwnRecord() {
    PlayerRecord r;
    r.setWord(PlayerRecord::kUserId, g_opt.user);
    r.setWord(PlayerRecord::kChair, g_opt.chair);
    r.setWord(PlayerRecord::kLookerOn, g_opt.looker);
    r.setWord(PlayerRecord::kValue9, g_opt.table);
    r.setWord(PlayerRecord::kSilver, tools::kPlayerStartSilver);
    r.setWord(PlayerRecord::kScore, tools::kPlayerStartScore);
    r.setWord(PlayerRecord::kLevel, tools::kPlayerStartLevel);
    r.setText(PlayerRecord::kLevelTitleOff, PlayerRecord::kLevelTitleLen,
              framework::Utf8ToGbk(tools::kLevelTitles[tools::kPlayerStartLevel]));
    r.setText(PlayerRecord::kNameOff, PlayerRecord::kNameLen,
              framework::Utf8ToGbk("玩家" + std::to_string(g_opt.user)));
    return r;
}

// The standings file as the server last wrote it (none without --standings); a file too
// large to be one is logged and gives nothing, so that it answers nobody.
std::optional<tools::Standings> ReadStandings() {
    if (g_opt.standings.empty()) return tools::Standings{};
    std::string refused;
    tools::Standings standings = tools::ReadStandingsFile(g_opt.standings, &refused);
    if (!refused.empty()) {
        Log("%s: the standings are not used", refused.c_str());
        return std::nullopt;
    }
    return standings;
}

// A user's record: his standing as the server last settled it, on the name the hall knows him
// by; without one, its own user's starting record; for anybody else nothing, rather than
// figures that may disagree with what the game shows.
std::optional<PlayerRecord> RecordOf(int user, const tools::Standings& standings) {
    const auto known = standings.find(user);
    if (known == standings.end())
        return user == g_opt.user ? std::optional<PlayerRecord>(OwnRecord()) : std::nullopt;
    PlayerRecord r = user == g_opt.user ? OwnRecord() : PlayerRecord{};
    const tools::UserStanding& s = known->second;
    r.setWord(PlayerRecord::kUserId, user);
    r.setWord(PlayerRecord::kValue9, g_opt.table);
    if (user != g_opt.user) {
        const int chair = user - tools::kFirstComputerUserId;
        const bool computer = chair >= 0 && chair < 4;
        r.setWord(PlayerRecord::kChair, computer ? chair : -1);
        r.setText(PlayerRecord::kNameOff, PlayerRecord::kNameLen,
                  framework::Utf8ToGbk(computer ? tools::ComputerPlayerName(chair)
                                                : "玩家" + std::to_string(user)));
    }
    r.setWord(PlayerRecord::kSilver, s.silver);
    r.setWord(PlayerRecord::kScore, s.score);
    r.setWord(PlayerRecord::kLevel, s.level);
    const bool titled = s.level >= 0 && size_t(s.level) < tools::kLevelTitles.size();
    r.setText(PlayerRecord::kLevelTitleOff, PlayerRecord::kLevelTitleLen,
              titled ? framework::Utf8ToGbk(tools::kLevelTitles[size_t(s.level)]) : "");
    r.setWord(PlayerRecord::kValue4, s.wins);  // words 30-32: wins, losses, draws
    r.setWord(PlayerRecord::kValue4 + 1, s.losses);
    r.setWord(PlayerRecord::kValue4 + 2, s.draws);
    return r;
}

// The hall's answer to a details request (0x9108).
std::optional<PlayerRecord> DetailsOf(int user) {
    const std::optional<tools::Standings> standings = ReadStandings();
    return standings ? RecordOf(user, *standings) : std::nullopt;
}

void SendTableState() {
    framework::HallTableState s;
    s.hall.setWord(3, 1);  // notice number
    s.hall.setWord(4, g_opt.optionA);
    s.hall.setText(20, 64, framework::Utf8ToGbk("红中麻将"));
    s.hall.setText(84, kWebBaseBytes, g_opt.webBase);
    s.hall.setText(148, 64, g_opt.noticeBase);
    s.hall.setText(212, 68, framework::Utf8ToGbk("测试房间"));
    s.hall.setWord(69, 9);    // hall id
    s.hall.setWord(70, 300);  // notice interval
    s.hall.setWord(73, g_opt.optionB);
    s.hall.setWord(80, 1);  // level titles follow
    s.table.setWord(0, g_opt.table);
    // The user as the server last settled him: a player who comes back (or starts again)
    // enters with the figures the table showed him, not with a newcomer's.
    const tools::Standings standings = ReadStandings().value_or(tools::Standings{});
    const PlayerRecord own = RecordOf(g_opt.user, standings).value_or(OwnRecord());
    if (g_opt.looker)
        s.lookers.push_back(own);
    else
        s.seated.push_back(own);
    // The server-driven players the server has seated are in its standings file from the
    // moment they sit down: listed with the table, they keep their names and figures for a
    // player who comes back, where he would otherwise see empty seats and a winner without
    // a name. Where the server seats them only later, its notices replace these rows.
    for (int chair = 0; chair < 4; ++chair)
        if (g_opt.looker || chair != g_opt.chair)
            if (const std::optional<PlayerRecord> r =
                    RecordOf(tools::kFirstComputerUserId + chair, standings))
                s.seated.push_back(*r);
    for (const char* t : tools::kLevelTitles) s.texts.push_back(framework::Utf8ToGbk(t));
    SendRecord(framework::kHallTableState, framework::BuildHallTableState(s));
}

// Messages to the hall window, on the hall's loop thread.
intptr_t OnHallMessage(const platform::Message& m) {
    switch (m.id) {
        case framework::kMsgHallAttach: {
            g_clientWindow = static_cast<platform::Handle>(m.w);
            Log("0x9105: client window %u, table %ld", unsigned(m.w), long(m.l));
            // Answer first; the table state follows once the client's call has returned.
            platform::Message next;
            next.id = 0x7001;
            platform::post(g_self, next);
            return 1;
        }
        case 0x7001:
            SendTableState();
            return 0;
        case framework::kMsgHallPlayerInfo: {
            // A player's details: the hall answers with its record (kind 7), or not at all.
            Log("0x9108: details of user %ld for window %lu", long(m.l),
                static_cast<unsigned long>(m.w));
            if (const std::optional<PlayerRecord> r = DetailsOf(int(m.l)))
                SendRecord(framework::kHallGameData, {r->raw.begin(), r->raw.end()});
            else
                Log("no standing of user %ld: no details sent", long(m.l));
            return 0;
        }
        case framework::kMsgHallSign: {
            // The sign answer goes to the window the request names, carrying its id.
            framework::HallSignAnswer a{g_opt.user, "hallsign-" + std::to_string(g_opt.user),
                                        static_cast<uint32_t>(m.l)};
            auto plain = framework::BuildHallSignAnswer(a);
            auto coded = framework::EncryptHallData(plain.data(), plain.size());
            intptr_t answer = 0;
            bool ok =
                coded && platform::hallChannel().sendCopyData(
                             static_cast<platform::Handle>(m.w), g_self, framework::kHallSignAnswer,
                             coded->data(), coded->size(), 5000, &answer);
            Log("0x910C: sign request %ld answered to window %lu: %s", long(m.l),
                static_cast<unsigned long>(m.w), ok ? "delivered" : "not delivered");
            return 0;
        }
        case platform::kCopyDataMessage: {
            const auto* cd = reinterpret_cast<const platform::CopyData*>(m.l);
            if (!cd) return 0;
            if (cd->kind == framework::kHallReport ||
                cd->kind == framework::kHallReportDisconnected) {
                platform::ByteReader in(cd->data, cd->size);
                uint32_t window = in.u32();
                int user = in.i32(), table = in.i32(), chair = in.i32(), newerMajor = in.i32();
                int looker = in.i32(), lost = in.i32(), game = in.i32(), newerMinor = in.i32();
                int room = in.i32();
                Log("kind %u: window %u user %d table %d chair %d looker %d lost %d game %d "
                    "room %d newer version %d.%d%s",
                    cd->kind, window, user, table, chair, looker, lost, game, room, newerMajor,
                    newerMinor, in.ok() && cd->size == 188 ? "" : " (malformed)");
            } else if (cd->kind == framework::kHallText || cd->kind == framework::kHallRoomChange) {
                auto plain = framework::DecryptHallData(cd->data, cd->size);
                Log("kind %u: %zu bytes%s", cd->kind, size_t(cd->size),
                    plain ? "" : " (not a whole number of blocks)");
            } else {
                Log("copy-data kind %u: %u bytes", cd->kind, cd->size);
            }
            return 1;
        }
        default:
            Log("message 0x%X w=%lu l=%ld", m.id, static_cast<unsigned long>(m.w), long(m.l));
            return 0;
    }
}

// Copies the face pictures and their face.ini; a missing source folder copies nothing.
void CopyFaces(const std::string& from, const std::string& to) {
    if (!platform::pathExists(from, true) || !platform::makeFolders(to)) return;
    int copied = 0;
    for (const std::string& name : platform::listFolder(from)) {
        std::string bytes;
        if (!platform::readFile(from + name, &bytes)) continue;
        if (platform::writeFile(to + name, bytes)) ++copied;
    }
    Log("%d face files copied to %s", copied, to.c_str());
}

// Without a given web base the pages come from <root>/web/: the advert window's page is
// written there.
bool PrepareWebBase(Options& o) {
    if (!o.webBase.empty()) return true;
    o.webBase = "file://" + o.root + "web/";
    if (o.webBase.size() >= kWebBaseBytes) {
        Log("the web base %s is longer than %zu bytes (give --web-base): the local server's "
            "address stands in",
            o.webBase.c_str(), kWebBaseBytes - 1);
        o.webBase = "http://127.0.0.1/";
        return true;
    }
    const std::string folder = o.root + "web/advert/window/" + std::to_string(o.game) + "/";
    const char* page =
        "<!DOCTYPE html><html><head><meta charset=\"utf-8\"></head>"
        "<body style=\"margin:0;background:#1d7a5f;color:#fff;font:bold 16px sans-serif\">"
        "<p style=\"padding:8px\">本地广告页</p></body></html>";
    if (!platform::makeFolders(folder) || !platform::writeFile(folder + "xy.htm", page)) {
        Log("cannot write the advert page in %s", folder.c_str());
        return false;
    }
    // The game's help page ("?" of the operate bar: game/<code><number>.html).
    const std::string help = o.root + "web/game/";
    const char* helpPage =
        "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>红中麻将 帮助</title></head>"
        "<body style=\"font:15px sans-serif;margin:16px\"><h2>红中麻将</h2>"
        "<p>四人麻将，每人十三张牌，庄家十四张。轮到自己时摸一张、打一张。</p>"
        "<p>别人打出的牌可以碰、杠或胡；本局不能吃。花牌摸到后自动补花。</p>"
        "<p>连续三次超时后系统托管，点击桌面解除。</p>"
        "<p>这是本地大厅写下的帮助页。</p></body></html>";
    if (!platform::makeFolders(help) || !platform::writeFile(help + "HqLv228.html", helpPage)) {
        Log("cannot write the help page in %s", help.c_str());
        return false;
    }
    return true;
}

bool Prepare(Options& o) {
    if (o.root.empty()) {
        const char* home = std::getenv("HOME");
        o.root = std::string(home && *home ? home : "/tmp") + "/.hqlv/hall";
    }
    if (o.root.back() != '/') o.root += '/';
    std::string system = o.root + "system/";
    for (const std::string& f : {o.root, system, o.root + "run/", o.root + "log/",
                                 o.root + "users/", o.root + "Share/Image/portrait/"})
        if (!platform::makeFolders(f)) {
            Log("cannot create %s", f.c_str());
            return false;
        }
    setenv("HQLV_SYSTEM_DIR", system.c_str(), 1);
    if (!std::getenv("HQLV_RUNTIME_DIR")) setenv("HQLV_RUNTIME_DIR", (o.root + "run").c_str(), 1);
    if (!std::getenv("HQLV_LOG_DIR")) setenv("HQLV_LOG_DIR", (o.root + "log").c_str(), 1);
    platform::makeFolders(std::getenv("HQLV_RUNTIME_DIR"));
    platform::makeFolders(std::getenv("HQLV_LOG_DIR"));
    bool ok = platform::writeProfileString("SYSTEM", "ExePath", (o.root + "GameHall").c_str(),
                                           system + "vmkd.ini");
    ok = ok && platform::writeProfileString("PROXY", "Need", "0", o.root + "GameHall.ini");
    std::string clientFolder = o.client.substr(0, o.client.rfind('/') + 1);
    CopyFaces(clientFolder + "resources/face/", o.root + "Share/Image/face/");
    // The web panes open only the hosts listed here: the local pages.
    ok = ok && platform::makeFolders(o.root + "Share/advert/") &&
         framework::web::WriteHostListFile(o.root + "Share/advert/domain.dat",
                                           {"127.0.0.1", "localhost"},
                                           framework::web::HostListKey());
    ok = ok && PrepareWebBase(o);
    std::string gameIni = clientFolder + "HqLv.ini";
    if (!platform::pathExists(gameIni))
        platform::writeProfileString("GAMESET", "Silence", "0", gameIni);
    Log("platform root %s, system folder %s, runtime folder %s", o.root.c_str(), system.c_str(),
        std::getenv("HQLV_RUNTIME_DIR"));
    return ok;
}

// Without a given notice base the hall publishes the game's notice itself, on 127.0.0.1, and
// names that server in the hall record; when it cannot listen, the record names none.
std::unique_ptr<tools::NoticeServer> StartNotices(Options& o) {
    if (!o.noticeBase.empty()) return nullptr;
    const std::string text = "<notify><c=255>【公告】<>欢迎来到本地大厅，祝您游戏愉快！\r\n";
    auto server = std::make_unique<tools::NoticeServer>(
        o.game, framework::Utf8ToGbk(text),
        [](const std::string& line) { Log("%s", line.c_str()); });
    if (!server->Start()) {
        Log("cannot start the notice server: the hall record names no notice base");
        return nullptr;
    }
    o.noticeBase = server->Base();
    Log("notices served at %s", o.noticeBase.c_str());
    return server;
}

pid_t StartClient(const Options& o, platform::Handle hall) {
    std::string line = std::to_string(o.game) + "|" + o.host + "|" + std::to_string(o.room) + "|" +
                       std::to_string(hall) + "|0|" + std::to_string(o.user) + "|" +
                       std::to_string(o.table) + "|" + std::to_string(o.chair) + "|" +
                       std::to_string(o.looker) + "|0|" + o.title + "|" + std::to_string(o.port) +
                       "|" + std::to_string(o.optionA) + "|" + std::to_string(o.optionB) + "|0";
    Log("starting %s \"%s\"", o.client.c_str(), line.c_str());
    char* argv[] = {const_cast<char*>(o.client.c_str()), const_cast<char*>(line.c_str()), nullptr};
    pid_t pid = 0;
    if (posix_spawn(&pid, o.client.c_str(), nullptr, nullptr, argv, environ) != 0) return 0;
    return pid;
}

void Commands() {
    std::string line;
    while (!g_stop && std::getline(std::cin, line)) {
        std::istringstream in(line);
        std::string cmd;
        in >> cmd;
        if (cmd == "close") {
            bool ok = platform::hallChannel().post(g_clientWindow, 0x0010, 0, 0);
            Log("close sent to the client window: %s", ok ? "yes" : "no");
        } else if (cmd == "join") {
            int uid = 0, chair = 0;
            in >> uid >> chair;
            PlayerRecord r;
            r.setWord(PlayerRecord::kUserId, uid);
            r.setWord(PlayerRecord::kChair, chair);
            r.setWord(PlayerRecord::kLookerOn, 1);
            r.setText(PlayerRecord::kNameOff, 32, "guest" + std::to_string(uid));
            SendRecord(framework::kHallPlayerJoined, {r.raw.begin(), r.raw.end()});
        } else if (cmd == "leave") {
            int uid = 0, chair = 0;
            in >> uid >> chair;
            platform::ByteWriter w;
            w.u32(g_self);
            w.i32(uid);
            w.i32(g_opt.table);
            w.i32(chair);
            SendRecord(framework::kHallPlayerLeft, w.take());
        } else if (cmd == "data") {
            SendRecord(framework::kHallGameData, std::vector<uint8_t>(64, 7));
            SendRecord(framework::kHallData13, std::vector<uint8_t>(32, 13));
        } else if (cmd == "quit") {
            g_stop = true;
        } else if (!cmd.empty()) {
            Log("unknown command: %s", cmd.c_str());
        }
    }
}

// The bits of option word B that make a room of the kind; false for an unknown kind.
bool RoomKindBits(const std::string& kind, int& bits) {
    if (kind == "plain")
        bits = 0;
    else if (kind == "system")
        bits = 0x2 | 0x80;
    else if (kind == "silver")
        bits = 0x40 | 0x80;
    else
        return false;
    return true;
}

int Usage() {
    std::cerr << "usage: hqlv-hall --client PATH --server HOST:PORT [--root DIR] [--game N] "
                 "[--room N] [--user N] [--table N] [--chair N] [--looker 0|1] [--title TEXT] "
                 "[--option-a N] [--option-b N] [--notice-base URL] [--web-base URL] "
                 "[--room-kind plain|system|silver] [--standings FILE] [--log FILE]\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    Options& o = g_opt;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto next = [&]() -> std::string { return i + 1 < argc ? argv[++i] : std::string(); };
        if (a == "--client")
            o.client = next();
        else if (a == "--server") {
            std::string s = next();
            size_t colon = s.rfind(':');
            if (colon == std::string::npos) return Usage();
            o.host = s.substr(0, colon);
            o.port = std::atoi(s.c_str() + colon + 1);
        } else if (a == "--root")
            o.root = next();
        else if (a == "--game")
            o.game = std::atoi(next().c_str());
        else if (a == "--room")
            o.room = std::atoi(next().c_str());
        else if (a == "--user")
            o.user = std::atoi(next().c_str());
        else if (a == "--table")
            o.table = std::atoi(next().c_str());
        else if (a == "--chair")
            o.chair = std::atoi(next().c_str());
        else if (a == "--looker")
            o.looker = std::atoi(next().c_str());
        else if (a == "--title")
            o.title = next();
        else if (a == "--option-a")
            o.optionA = std::atoi(next().c_str());
        else if (a == "--option-b")
            o.optionB = std::atoi(next().c_str());
        else if (a == "--notice-base")
            o.noticeBase = next();
        else if (a == "--web-base")
            o.webBase = next();
        else if (a == "--standings")
            o.standings = next();
        else if (a == "--log")
            o.log = next();
        else if (a == "--room-kind") {
            if (!RoomKindBits(next(), o.roomKindBits)) return Usage();
        } else
            return Usage();
    }
    if (o.client.empty()) return Usage();
    o.optionB |= o.roomKindBits;
    if (!o.log.empty()) g_logFile = fopen(o.log.c_str(), "a");
    signal(SIGPIPE, SIG_IGN);
    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    if (!Prepare(o)) return 1;
    std::unique_ptr<tools::NoticeServer> notices = StartNotices(o);

    platform::MessageLoop loop;
    platform::FunctionTarget target(OnHallMessage);
    g_self = target.attach(loop);
    loop.start();
    platform::HallEndpoint endpoint;
    if (!endpoint.open(g_self, g_self) || !endpoint.registerClass("GameHallFrame")) {
        Log("cannot open the hall window");
        return 1;
    }
    Log("hall window %u", g_self);
    pid_t pid = StartClient(o, endpoint.handle());
    if (!pid) {
        Log("cannot start %s", o.client.c_str());
        return 1;
    }
    g_client = pid;
    Log("client pid %d", int(pid));
    std::thread commands(Commands);
    commands.detach();

    int status = 0, code = 1;
    for (;;) {
        pid_t r = waitpid(pid, &status, WNOHANG);
        if (r == pid) {
            code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            Log("client exited with %d", code);
            break;
        }
        if (g_stop) {
            Log("stopping the client");
            kill(pid, SIGTERM);
            waitpid(pid, &status, 0);
            code = 0;
            break;
        }
        usleep(50 * 1000);
    }
    if (notices) notices->Stop();
    endpoint.close();
    target.detach();
    loop.quit();
    loop.join();
    if (g_logFile) fclose(g_logFile);
    _exit(code);  // the command reader may still sit in a read of standard input
}
