#pragma once
// The notice download: the platform publishes a notice text per game on its web server;
// the client fetches it on a short-lived thread into its temp folder and the main frame
// shows it in the chat. Only an answer that begins with "<notify>" (any case) counts, so
// an error page never reaches the player.
//
// Every download writes its own part file and renames it onto the notice's name only when
// the text is whole, so overlapping or cut downloads never hand the frame a mixed or
// truncated text. The text the frame shows travels in the download's own record: every
// client of one installation writes the same file name, and another client may replace or
// take that file before this one's frame reads it. The record is shared between the frame
// and the thread and freed by whichever lets go last.
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "framework/widgets/notice_marker.h"
#include "platform/core/message.h"

namespace hqlv::framework {

inline constexpr uint32_t kMsgNoticeDownloaded = 0x8617;  // w: heap shared record (see below)
inline constexpr size_t kNoticeMaxBytes = 256 * 1024;

struct NoticeDownloadRecord {
    platform::Handle window = 0;  // where 0x8617 goes
    std::atomic<int> done{0};     // 1 once the whole text was accepted (text, localFile)
    std::string baseUrl;
    std::string path;       // "/notify/game/<game id>.txt"
    std::string localFile;  // "<temp><notice number>_<game id>.txt"
    long timeoutSeconds = 30;
    std::string error;  // why it failed, for the log
    std::string text;   // the accepted text, once done
    // When the download began and ended; the frame shows one text of downloads that overlap.
    std::chrono::steady_clock::time_point started, finished;
};

// The record's fields from the hall record's values.
std::shared_ptr<NoticeDownloadRecord> MakeNoticeRecord(platform::Handle window,
                                                       const std::string& baseUrl, int gameId,
                                                       int noticeNumber,
                                                       const std::string& tempFolder);

// The address fetched: "<base>/<path>" (the path keeps its own leading '/').
std::string NoticeAddress(const NoticeDownloadRecord& r);

// Runs the download on the calling thread: http and https only (redirects too), with
// time-outs; 2xx answers up to kNoticeMaxBytes that begin with the marker land in the
// local file. True when done. Without a base address nothing is fetched and the error stays
// empty: the hall publishes no notice then, which is no fault.
bool RunNoticeDownload(NoticeDownloadRecord& r);

// Starts RunNoticeDownload on a thread of its own, which posts 0x8617 to the record's
// window with a heap std::shared_ptr<NoticeDownloadRecord> (freed by the receiver, or by
// the message's disposer when it cannot be delivered). A window that is gone gets nothing.
void StartNoticeThread(std::shared_ptr<NoticeDownloadRecord> record);
// Takes the record out of a 0x8617 message (and frees the carrier).
std::shared_ptr<NoticeDownloadRecord> TakeNoticeRecord(const platform::Message& msg);
// Download threads still running in this process.
int NoticeThreadsRunning();

// After 0x8617 with done set: the download's text, taken once; the local file is deleted.
std::string TakeNoticeText(NoticeDownloadRecord& r);

}  // namespace hqlv::framework
