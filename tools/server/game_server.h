#pragma once
// A local game server for the client: it speaks the client's framing and codec (the
// network library's own code), answers the framework's requests with plausible data,
// pushes notifications on demand and logs what it receives.
//
// One I/O thread serves every client. The control calls below are thread-safe and are
// what tests (in-process) and the executable's command input drive.
//
// Game-specific requests go to a GameHandler plugged in with SetGameHandler(); the
// server asks it first for every request, so a game layer can take over ids of its own
// (and override framework ones) without touching the server.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace hqlv::server {

class GameServer;

// A request as the server received it.
struct Request {
    int client = 0;
    int id = 0;         // request id (record word 1)
    int messageId = 0;  // wire message id; a reply carries it back
    bool wait = false;  // the client waits for a reply
    std::vector<uint8_t> body;
};

struct Reply {
    int code = 0;
    std::vector<uint8_t> data;
};

// The plug-in point of a game layer.
class GameHandler {
public:
    virtual ~GameHandler() = default;
    // Returns true when the request was handled; `reply` is sent when the client waits.
    virtual bool OnRequest(GameServer& server, const Request& request, Reply& reply) = 0;
    // The game-data block sent with a successful entry and with 201140: none, the server's
    // own; an empty block, no game data at all (the entry then says no game runs).
    virtual std::optional<std::vector<uint8_t>> GameData(GameServer& /*server*/, int /*client*/) {
        return std::nullopt;
    }
    // The 136-byte entries of a table's players that have no connection (server-driven
    // seats), listed after the connected ones wherever the table's players are listed.
    virtual std::vector<uint8_t> UnconnectedPlayers(GameServer& /*server*/, int /*room*/,
                                                    int /*table*/) {
        return {};
    }
    virtual void OnClientClosed(GameServer& /*server*/, int /*client*/) {}
    // Called on the I/O thread at least every 100 ms: time-driven game steps.
    virtual void OnTick(GameServer& /*server*/) {}
};

// How the server treats the players of a room.
struct RoomRules {
    // The system seats the players: one who enters waits, and after seatWaitMs the server
    // seats him at a table of its choice (211028, the deal's record behind the seats).
    bool systemSeated = false;
    int seatWaitMs = 3000;
    // The silver a player must carry to start here (201161); 0: no bound.
    int silverMin = 0;
    int silverMax = 0;
};

struct ServerOptions {
    uint16_t port = 21303;  // 0: any free port (see Port())
    int versionMajor = 2;
    int versionMinor = 1;
    int chairs = 4;       // seats per table
    int tables = 50;      // tables per room
    int optionWordA = 0;  // what the running-game query reports back
    // Where log lines go; empty: stderr.
    std::function<void(const std::string&)> log;
    // Rooms with rules of their own (by room id); every other room is a plain one.
    std::map<int, RoomRules> rooms = {};
};

// The seat of a client at a table.
struct SeatInfo {
    int room = 0;
    int table = -1;
    int chair = -1;
    int userId = 0;
    bool lookerOn = false;
};

class GameServer {
public:
    explicit GameServer(ServerOptions options = {});
    ~GameServer();
    GameServer(const GameServer&) = delete;
    GameServer& operator=(const GameServer&) = delete;

    // Binds 127.0.0.1 and starts the I/O thread. False when the port cannot be bound.
    bool Start();
    void Stop();
    uint16_t Port() const { return port_; }

    void SetGameHandler(std::shared_ptr<GameHandler> handler);

    // Control.
    std::vector<int> Clients() const;
    // Waits until at least n clients are connected (and said hello).
    bool WaitForClients(size_t n, int timeoutMs);
    std::optional<SeatInfo> Seat(int client) const;
    // The client's 136-byte player entry as the table lists it (empty: no such client).
    std::vector<uint8_t> EntryOf(int client) const;
    // A settled deal: the client's score, silver and level from now on (its entry carries
    // them wherever the table's players are listed).
    void SetStanding(int client, int32_t score, int32_t silver, int32_t level);
    // Pushes a notification (a message the client does not answer).
    bool Notify(int client, int code, const std::vector<uint8_t>& body);
    // Pushes to every client seated or looking on at the table.
    int NotifyTable(int room, int table, int code, const std::vector<uint8_t>& body,
                    int exceptClient = 0);
    int TableCount() const { return opt_.tables; }
    // The rules of a room (a plain room's when it has none of its own).
    RoomRules RulesOf(int room) const;
    // Seats a connected player (not a looker-on) at another table and chair of its room, as
    // a table change does (the table it leaves hears 211010); false for an unknown client.
    bool MoveSeat(int client, int table, int chair);
    // Closes a client's connection from the server's side.
    bool Disconnect(int client);
    void SetVersion(int major, int minor);
    // Replaces the answer to a request id (any result code and data).
    void SetReply(int requestId, Reply reply);
    void ClearReply(int requestId);
    // Leaves a request id unanswered (the client runs into its time-out).
    void SetSilent(int requestId, bool silent);
    // Answers a request id only after a delay (a late answer).
    void SetReplyDelay(int requestId, int delayMs);
    // Sends raw bytes to a client as they are (for malformed-stream tests).
    bool SendRaw(int client, const std::vector<uint8_t>& bytes);

    // What arrived, in order.
    std::vector<Request> Received() const;
    // Waits for the n-th (from 1) request with that id, from any client.
    std::optional<Request> WaitForRequest(int requestId, int timeoutMs, int nth = 1);
    // Waits until the client's connection is gone.
    bool WaitForClosed(int client, int timeoutMs);

    void Log(const std::string& line);

    // The server's own answer to a request (used when no handler takes it); exposed for
    // game handlers that want to extend rather than replace. Handlers run on the I/O
    // thread and may call every operation above except Stop() and the Wait operations.
    bool HandleFrameworkRequest(const Request& request, Reply& reply);

private:
    struct Client;
    struct PendingReply {
        int client;
        int messageId;
        Reply reply;
        uint64_t dueMs;
    };

    void Run();
    void Accept();
    bool ReadClient(Client& c);
    bool ParseClient(Client& c);
    void HandleMessage(Client& c, int messageId, bool wait, int code, std::vector<uint8_t> body);
    void QueueMessage(Client& c, int type, int messageId, int code,
                      const std::vector<uint8_t>& data);
    void FlushClient(Client& c);
    void DropClient(int id, const std::string& why);
    void Wake();
    std::vector<uint8_t> ServerGameData(const Client& c);
    std::vector<uint8_t> PlayerEntry(const Client& c) const;
    std::vector<uint8_t> PlayerList(int room, int table, int excludeClient = 0);
    Client* SeatHolder(int room, int table, int chair);
    void LeaveSeat(Client& c, bool tell);
    // 201161: the silver the player carries against the room's range.
    void CheckSilverRange(const Client& c, Reply& reply);
    std::vector<uint8_t> ActivityConfig() const;
    static uint64_t NowMs();

    ServerOptions opt_;
    uint16_t port_ = 0;
    int listenFd_ = -1;
    int wakeFd_[2] = {-1, -1};
    std::thread thread_;
    std::atomic<bool> stop_{false};

    // Recursive: a game handler runs under it and may call the control operations.
    mutable std::recursive_mutex mu_;
    std::condition_variable_any cv_;
    std::map<int, std::unique_ptr<Client>> clients_;
    int nextClient_ = 1;
    std::vector<Request> received_;
    std::map<int, Reply> replies_;
    std::map<int, bool> silent_;
    std::map<int, int> delays_;
    std::vector<PendingReply> pending_;
    std::shared_ptr<GameHandler> handler_;
    std::mutex logMu_;
};

}  // namespace hqlv::server
