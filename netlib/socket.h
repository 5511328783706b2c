#pragma once
// CYrnSocket: the client end of one framed, encoded message connection over TCP. It
// connects with a time-out, optionally sends a raw hello, and then runs a worker thread
// (a platform MessageLoop watching the socket) that reads, checks and reassembles packets,
// decodes messages and hands each received message, close and error to an owner target or
// owner thread as message 2025 (see message.h for the blocks and their ownership).
// Requests that wait for an answer block the sending thread (SendRequestWait).
//
// Threads: Connect, AttachConnected and Close are called by the owning thread; any thread
// may send. Close stops and joins the worker, wakes and drains every sender, and only then
// closes the socket and frees the connection records.
#include <sys/types.h>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "netlib/buffer.h"
#include "netlib/framing.h"
#include "netlib/message.h"
#include "platform/core/message.h"

namespace hqlv::netlib {

// Message ids of the worker: the socket's network events and the start handshake.
constexpr uint32_t kMsgSocketNetwork = 0x2B11;
constexpr uint32_t kMsgSocketStart = 0x2B12;

// A packet that has begun to arrive and then gets no further byte for this long ends the
// stream. TCP loses nothing of a packet: on a slow or lossy link the rest is late, resent
// as often as it takes, so the limit lies beyond anything a live link does, twice the
// longest any request of the game waits for its answer (30 s), by which time nobody waits
// for that packet any more. What it ends is a stream that will never go on (a peer hung in
// the middle of a write, a path gone without a reset): every later message would wait
// behind the half packet for good, and the player would never be told.
constexpr uint32_t kPacketStallMs = 60000;

// The most blocks one read event takes from the socket (see CYrnSocket::ReadAvailable).
constexpr int kReadBlocksPerEvent = 16;

// A new process-wide object id; the first is 1.
uint32_t YrnNewObjectId();
// "%s:%d" of host and port; an empty host gives ":<port>".
std::string YrnMakeHostKey(const std::string& host, int port);
// Kept for the start-up and shutdown sequence; there is no window class to register here,
// so both simply succeed.
int YrnRegisterSocketWindowClass();
int YrnUnregisterSocketWindowClass();
// The socket layer's start-up: a write to a peer that has gone becomes an error instead of
// ending the process (SIGPIPE is ignored), and the system must hand out a socket. 1 when
// sockets can be used; 0 (with a log line) when not.
int YrnSocketStartup();

// One per host key.
struct YrnConnection {
    std::atomic<int32_t> closed{0};
    bool eventSet = false;  // guarded by the socket's signal lock
    YrnRecord response;     // the last stored response, under responseLock
    std::mutex responseLock;
    CYrnBuffer receive;               // bytes not yet parsed (worker only)
    bool broken = false;              // the stream lost its framing; further bytes are ignored
    CYrnMessageAssembler messages;    // worker only
    std::mutex responseAsmLock;       // guards the expected response
    CYrnResponseAssembler responses;  // the expected response and its reassembly
    std::atomic<int32_t> messageCounter{0};
    std::atomic<int32_t> sequence{0};
    std::mutex sendLock;       // one whole message on the stream at a time
    bool requestBusy = false;  // one waiting request at a time; under the signal lock
    ~YrnConnection() { YrnFreeResponseData(&response); }
};
using YrnConnectionPtr = std::shared_ptr<YrnConnection>;

class CYrnSocket {
public:
    CYrnSocket(const uint8_t* key = nullptr, int keyBits = 128, uint32_t aesFlags = 0,
               uint32_t zlibFlags = 0, int crcFlag = 1, int maxData = kGameMaxData);
    // Closes the socket when still open.
    virtual ~CYrnSocket();
    CYrnSocket(const CYrnSocket&) = delete;
    CYrnSocket& operator=(const CYrnSocket&) = delete;

    // Creates a socket and connects (Create with alreadyConnected 0). ownerTarget or
    // ownerThread (one of them) receives message 2025. With waitFirstData no hello is sent
    // and the call succeeds only when the peer speaks within firstDataTimeoutMs.
    virtual int Connect(const std::string& host, int port, int connectTimeoutSec,
                        platform::Handle ownerTarget, platform::ThreadId ownerThread,
                        int waitFirstData, const void* hello, size_t helloLength,
                        int firstDataTimeoutMs);
    virtual void Close();
    // Takes over a socket that is already connected (for example through a proxy).
    virtual int AttachConnected(int socketHandle, platform::Handle ownerTarget,
                                platform::ThreadId ownerThread, int waitFirstData,
                                const void* hello, size_t helloLength, int firstDataTimeoutMs,
                                const std::string& host, int port, int connectTimeoutSec);
    // Sends a request; when its envelope's wait flag is set, waits for the response up to
    // timeoutMs. 1 when sent (and, when waiting, answered; the caller owns
    // response->data). *timedOut is 1 when the wait ended without a response by its time-out
    // or by Close; a stream that ends under it fails it at once with *timedOut 0.
    // Overrides of 0 keep the socket's codec flag words.
    virtual int SendRequestWait(const YrnEnvelope* envelope, const YrnRecord* request,
                                YrnRecord* response, int* timedOut, int timeoutMs,
                                uint32_t aesOverride = 0, uint32_t zlibOverride = 0,
                                int forceCrc = 1, const std::string& host = {}, int port = 0);
    virtual int GetSocket() const { return fd_.load(); }
    virtual uint32_t GetObjectId() const { return objectId_.load(); }
    virtual uint32_t SetObjectId(uint32_t id) { return objectId_.exchange(id); }
    // 0 also once the stream has ended (see IsStreamBroken), while the descriptor stays.
    virtual int IsConnected() const;
    // 1 once the stream is over for good: the peer closed it, it failed, a packet broke
    // the framing or the protocol, or a packet stopped halfway (kPacketStallMs). The socket
    // then ends the connection, reports it once (closed or error) and takes nothing more:
    // a waiting request fails at once, and so does every later one.
    int IsStreamBroken() const;
    // How long a begun packet may wait for its next byte (tests shorten it).
    void SetPacketStallLimit(uint32_t ms) { stallLimitMs_.store(ms ? ms : kPacketStallMs); }
    // Binds the socket (created when there is none) to a local address; 1 on success.
    virtual int Bind(const std::string& host, int port);
    // key is not copied; it must outlive the socket's use of it.
    virtual int SetCodec(const uint8_t* key, int keyBits, uint32_t aesFlags, uint32_t zlibFlags);

    // Connection records.
    virtual void CloseConnections();
    virtual void ClearConnections();
    virtual int AddConnection(const std::string& host, int port);
    // The record of the host key (null when none), and the key into *key when asked.
    virtual YrnConnectionPtr FindConnection(const std::string& host, int port,
                                            std::string* key = nullptr);
    // The first record with its key (null and an empty key when there is none).
    virtual YrnConnectionPtr GetFirstConnection(std::string* key = nullptr);
    virtual void SetConnection(const std::string& host, int port, YrnConnectionPtr record);

    // Statistics.
    uint64_t TotalReceived() const { return totalReceived_.load(); }
    uint32_t ReadEvents() const { return readEvents_.load(); }

protected:
    virtual int Create(int socketHandle, platform::Handle ownerTarget,
                       platform::ThreadId ownerThread, int waitFirstData, const void* hello,
                       size_t helloLength, int firstDataTimeoutMs, const std::string& host,
                       int port, int connectTimeoutSec, int alreadyConnected);
    virtual int CreateSocket();
    virtual int ConnectWithTimeout(const std::string& host, int port, int timeoutSec,
                                   int alreadyConnected);
    // Starts the worker thread, whose body is ThreadLoop; 1 when it runs.
    virtual int StartWorker();
    // Asks the worker to answer the start handshake: each try waits 100 ms for the stop
    // first (0 once stopped), then posts the start message to the worker's loop; the 51st
    // failed post gives 0. After a post, waits up to 100 ms for the answer and gives 1.
    virtual int WaitThreadStart();

    // Worker side. ThreadLoop is the worker thread: it makes the socket window, has the
    // socket's events delivered to it, runs the worker's loop until Close quits it and then
    // destroys the window; 0 when the window or the watch cannot be had (the thread ends and
    // the start handshake goes unanswered).
    virtual int ThreadLoop();
    // The hidden window's stand-in: a target on the worker's loop whose handler takes the
    // socket's events and the worker's timer. Made on the worker thread; its handle, 0 when
    // none.
    virtual platform::Handle CreateSocketWindow();
    virtual void OnNetworkEvent(const platform::Message& msg);
    virtual int OnRead();
    // Reads what the socket holds, a block of GetRecvBlockSize() at a time, into the record of
    // the empty host and port 0 (else the first record) unless OnReceiveData takes the bytes,
    // and enters each record that received bytes in records under its key. At most
    // kReadBlocksPerEvent blocks: the loop reports data left unread again, so a peer that
    // never pauses neither fills the memory nor keeps the worker from stopping. The bytes read.
    virtual size_t ReadAvailable(std::map<std::string, YrnConnectionPtr>& records);
    // recv and send on the socket, with no flags but the one that keeps a send to a peer that
    // has gone from raising SIGPIPE; host and port are not used (a socket has one peer).
    virtual ssize_t Receive(int socket, uint8_t* buffer, size_t length, const std::string& host,
                            int port);
    virtual ssize_t Send(int socket, const uint8_t* data, size_t length, const std::string& host,
                         int port);
    virtual int OnWritable();
    virtual int CheckPacket(const uint8_t* packet, size_t size);
    virtual int DispatchPacket(const uint8_t* packet, size_t size, YrnConnection& record);
    virtual int PostMessageToOwner(const CYrnBuffer& message);
    virtual int StoreResponse(const CYrnBuffer& message, YrnConnection& record);
    virtual int NotifyError();
    virtual int NotifyClosed();
    // A hook for received bytes; non-zero means the hook consumed them.
    virtual int OnReceiveData(YrnConnection& record, const uint8_t* bytes, size_t n);
    virtual int SignalFirstData(YrnConnection& record);
    // The worker's look, by its timer, at a packet that stopped halfway: ends the stream
    // once no byte has come for the stall limit; 1 when this look ended it.
    virtual int CheckPacketStall();
    virtual int WaitFirstData(int timeoutMs, const std::string& host, int port);

    // Sending.
    virtual int SendFragments(CYrnBuffer& chunks, int32_t messageId, int waitFlag, int forceCrc,
                              YrnConnection& record);
    virtual int SendPacket(const uint8_t* data, size_t n, const YrnPacketHead& head, int forceCrc);
    virtual int SendRaw(const void* data, size_t n);
    virtual size_t SendAll(const uint8_t* data, size_t n);
    virtual void SetExpectedResponse(int32_t id, YrnConnection& record);
    virtual void GetExpectedResponse(YrnConnection& record, int32_t* id, int32_t* fragment);

    virtual int SplitChunks(CYrnBuffer& in, CYrnBuffer& out, int maxData) {
        return YrnSplitChunks(in, out, maxData);
    }
    virtual int JoinChunks(const uint8_t* in, size_t n, CYrnBuffer& out, int maxData) {
        return YrnJoinChunks(in, n, out, maxData);
    }
    virtual size_t GetRecvBlockSize() const { return 4096; }

private:
    bool postToOwner(YrnEnvelope* env, YrnRecord* rec);
    int notice(int32_t code);
    // Ends the stream once: marks it broken, wakes every waiter, shuts the connection down
    // and reports the notice. False when it had ended already (nothing reported again).
    bool breakStream(int32_t code, const char* why);
    int parseReceived(YrnConnection& record);
    void setEventLocked(YrnConnection& record);
    struct CodecSettings {
        const uint8_t* key;
        int keyBits;
        uint32_t aes;
        uint32_t zlib;
    };
    CodecSettings codec();

    std::atomic<int> fd_{-1};
    std::atomic<uint32_t> objectId_{0};
    std::mutex codecLock_;
    const uint8_t* key_;
    int keyBits_;
    uint32_t aesFlags_;
    uint32_t zlibFlags_;
    int crcFlag_;
    int maxData_;
    int waitFirstData_ = 0;
    platform::Handle ownerTarget_ = 0;
    platform::ThreadId ownerThread_ = 0;

    // Worker.
    std::thread worker_;
    std::unique_ptr<platform::MessageLoop> loop_;
    std::unique_ptr<platform::FunctionTarget> window_;
    std::atomic<uint64_t> totalReceived_{0};
    std::atomic<uint32_t> readEvents_{0};
    // A packet begun and not yet whole (worker), and when its last byte came.
    std::atomic<bool> unfinished_{false};
    std::atomic<uint32_t> lastByteTick_{0};
    std::atomic<uint32_t> stallLimitMs_{kPacketStallMs};

    // Signals: stop (manual), writable (auto), ready (manual) and every record's event.
    std::mutex sigLock_;
    std::condition_variable sigCv_;
    bool stopped_ = false;
    std::atomic<bool> broken_{false};  // set under sigLock_, so waiters see it
    bool writable_ = false;
    bool ready_ = false;
    int pendingSends_ = 0;

    std::mutex mapLock_;
    std::map<std::string, YrnConnectionPtr> connections_;
};

}  // namespace hqlv::netlib
