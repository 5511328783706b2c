#pragma once
// The safe-box flows without windows: the take procedure (protection query, challenge
// dialog, take request), the save step, and the tool view's move to a fixed amount. The
// application side (requests, wait text, boxes, challenge dialogs, settings) is behind
// SafeBoxOps so that the flows run the same against a real connection or a test's.
#include <array>
#include <cstdint>
#include <string>

#include "framework/panes/pane_hooks.h"

namespace hqlv::framework::web {

inline constexpr int kCodeNoProtection = 60000;
inline constexpr int kCodeAmountRewritten = 60092;

class SafeBoxOps {
public:
    virtual ~SafeBoxOps() = default;
    virtual int UserId() = 0;
    virtual int32_t SeatSilver() = 0;  // the silver of the client's own seat
    virtual std::string TitleText() = 0;
    virtual int OpenSafeBox(std::string& text, uint8_t out[32]) = 0;
    virtual int QueryProtection(std::string& text, uint8_t out[24], int* code) = 0;
    virtual int TakeSilver(std::string& text, int amount, int response) = 0;
    virtual int SaveSilver(std::string& text, int& amount, int* code) = 0;
    virtual void ShowWait(const std::string& text, bool show) = 0;
    virtual void Pause(int ms) = 0;
    // An information box (or, with question set, OK/Cancel: true for OK).
    virtual bool Box(const std::string& text, const std::string& caption, bool question) = 0;
    // The challenge dialog (the keypad when its template exists, else the verification
    // code); true with the response on OK.
    virtual bool AskChallenge(int32_t challenge, int32_t& response) = 0;
    virtual std::string ReadSetting(const std::string& file, const std::string& section,
                                    const std::string& key) = 0;
    virtual void WriteSetting(const std::string& file, const std::string& section,
                              const std::string& key, const std::string& value) = 0;
    // The game's ini file (amount histories) and the user's data file (fixed amounts).
    virtual std::string GameIniFile() { return {}; }
    virtual std::string UserFile() { return {}; }
    // The safe box's page and the web panes' allowed-host list.
    virtual std::string CofferUrl() { return {}; }
    virtual std::string HostListFile() { return {}; }
    // The verification-code dialog's link: the security-calculator page goes to the hall.
    virtual void OpenSecurityPage() {}
};

// The platform's security-calculator page on its customer-service host (the deployment
// names the host; this one is a placeholder).
inline constexpr const char* kSecurityPageUrl =
    "http://service.hqlv.example/service/security/calculate.aspx";

enum class TakeOutcome { kTaken, kQueryFailed, kCancelled, kTakeFailed };
// Takes `amount` from the box; `text` holds the error text of a failed request.
TakeOutcome RunTakeProcedure(SafeBoxOps& ops, int32_t amount, std::string& text);

enum class SaveOutcome { kSaved, kFailed, kRewritten };
// The save request under its wait text; kRewritten when the server changed the amount
// (60092), which `amount` then holds.
SaveOutcome RunSaveRequest(SafeBoxOps& ops, int32_t& amount, std::string& text);

// The tool view's fixed amounts ("FIXDEPOSIT"/"Fix0".."Fix5" of the user's file).
std::array<int32_t, 6> LoadFixAmounts(SafeBoxOps& ops, const std::string& userFile);
// Brings the silver in hand to `target`, with its boxes; what it did, for the caller.
using FixOutcome = framework::FixOutcome;
FixOutcome ApplyFixAmount(SafeBoxOps& ops, int32_t target);

}  // namespace hqlv::framework::web
