#include "framework/widgets/notice_download.h"

#include <curl/curl.h>
#include <unistd.h>

#include <cstdio>
#include <mutex>
#include <thread>
#include <utility>

#include "netlib/log.h"

namespace hqlv::framework {
namespace {

std::atomic<int> g_running{0};
std::atomic<unsigned> g_partCounter{0};

struct Transfer {
    NoticeMarker marker;
    std::FILE* file = nullptr;
    std::string text;  // what was written to the file
    bool tooLarge = false;
    bool writeFailed = false;
    bool noNotice = false;  // the answer does not begin with the marker
};

size_t OnData(char* ptr, size_t size, size_t count, void* user) {
    auto* t = static_cast<Transfer*>(user);
    size_t n = size * count;
    if (t->marker.Feed(std::string_view(ptr, n)) == NoticeMarker::State::kRefused) {
        t->noNotice = true;
        return 0;  // ends the transfer
    }
    if (t->text.size() + n > kNoticeMaxBytes) {
        t->tooLarge = true;
        return 0;
    }
    if (std::fwrite(ptr, 1, n, t->file) != n) {
        t->writeFailed = true;
        return 0;
    }
    t->text.append(ptr, n);
    return n;
}

std::once_flag g_curlInit;

}  // namespace

std::shared_ptr<NoticeDownloadRecord> MakeNoticeRecord(platform::Handle window,
                                                       const std::string& baseUrl, int gameId,
                                                       int noticeNumber,
                                                       const std::string& tempFolder) {
    auto r = std::make_shared<NoticeDownloadRecord>();
    r->window = window;
    r->baseUrl = baseUrl;
    r->path = "/notify/game/" + std::to_string(gameId) + ".txt";
    r->localFile =
        tempFolder + std::to_string(noticeNumber) + "_" + std::to_string(gameId) + ".txt";
    return r;
}

std::string NoticeAddress(const NoticeDownloadRecord& r) {
    return r.baseUrl + "/" + r.path;
}

bool RunNoticeDownload(NoticeDownloadRecord& r) {
    // A hall that names no notice server publishes no notice: nothing to fetch or report.
    if (r.baseUrl.empty()) return false;
    std::call_once(g_curlInit, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    std::string part = r.localFile + "." + std::to_string(getpid()) + "-" +
                       std::to_string(g_partCounter.fetch_add(1)) + ".part";
    Transfer t;
    t.file = std::fopen(part.c_str(), "wb");
    if (!t.file) {
        r.error = "cannot create " + part;
        return false;
    }
    CURL* curl = curl_easy_init();
    CURLcode rc = CURLE_FAILED_INIT;
    long status = 0;
    if (curl) {
        std::string url = NoticeAddress(r);
        curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
        curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
        curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 5L);
        curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, 10L);
        curl_easy_setopt(curl, CURLOPT_TIMEOUT, r.timeoutSeconds);
        curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(curl, CURLOPT_FAILONERROR, 1L);
        curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, OnData);
        curl_easy_setopt(curl, CURLOPT_WRITEDATA, &t);
        rc = curl_easy_perform(curl);
        curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
        curl_easy_cleanup(curl);
    }
    bool closed = std::fclose(t.file) == 0;
    const bool answered = rc == CURLE_OK && status >= 200 && status < 300;
    // An answer too short to hold the marker is refused at its end.
    if (answered && t.marker.Finish() != NoticeMarker::State::kAccepted) t.noNotice = true;
    bool whole = answered && closed && !t.tooLarge && !t.writeFailed && !t.noNotice;
    if (whole && std::rename(part.c_str(), r.localFile.c_str()) == 0) {
        r.text = std::move(t.text);
        r.done = 1;
        return true;
    }
    std::remove(part.c_str());
    if (r.error.empty())
        r.error = t.tooLarge       ? "answer too large"
                  : t.noNotice     ? "answer is no notice (it does not begin with <notify>)"
                  : rc != CURLE_OK ? curl_easy_strerror(rc)
                                   : "answer refused (status " + std::to_string(status) + ")";
    return false;
}

void StartNoticeThread(std::shared_ptr<NoticeDownloadRecord> record) {
    ++g_running;
    record->started = std::chrono::steady_clock::now();
    std::thread([record]() mutable {
        bool ok = RunNoticeDownload(*record);
        record->finished = std::chrono::steady_clock::now();
        if (ok || !record->error.empty())
            netlib::YrnLogWrite("notice %s: %s", NoticeAddress(*record).c_str(),
                                ok ? "downloaded" : record->error.c_str());
        platform::Message m;
        m.id = kMsgNoticeDownloaded;
        m.w = reinterpret_cast<uintptr_t>(new std::shared_ptr<NoticeDownloadRecord>(record));
        m.dispose = [](const platform::Message& msg) {
            delete reinterpret_cast<std::shared_ptr<NoticeDownloadRecord>*>(msg.w);
        };
        if (!platform::post(record->window, m)) m.dispose(m);
        record.reset();
        --g_running;
    }).detach();
}

std::shared_ptr<NoticeDownloadRecord> TakeNoticeRecord(const platform::Message& msg) {
    auto* carrier = reinterpret_cast<std::shared_ptr<NoticeDownloadRecord>*>(msg.w);
    if (!carrier) return {};
    std::shared_ptr<NoticeDownloadRecord> r = std::move(*carrier);
    delete carrier;
    return r;
}

int NoticeThreadsRunning() {
    return g_running.load();
}

std::string TakeNoticeText(NoticeDownloadRecord& r) {
    if (!r.done) return {};
    // The file may already be gone or be another client's by now; the text is this one's.
    std::remove(r.localFile.c_str());
    return std::exchange(r.text, {});
}

}  // namespace hqlv::framework
