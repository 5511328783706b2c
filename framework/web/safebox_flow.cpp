#include "framework/web/safebox_flow.h"

#include <cstring>

#include "framework/app/shared_utils.h"
#include "framework/web/safebox_model.h"

namespace hqlv::framework::web {
namespace {

int32_t Word(const uint8_t* data, int index) {
    int32_t v;
    std::memcpy(&v, data + 4 * index, 4);
    return v;
}

}  // namespace

TakeOutcome RunTakeProcedure(SafeBoxOps& ops, int32_t amount, std::string& text) {
    uint8_t query[24] = {};
    int32_t uid = ops.UserId();
    std::memcpy(query, &uid, 4);
    int code = 0;
    ops.ShowWait("正在查询保护密码，请稍等......", true);
    int ok = ops.QueryProtection(text, query, &code);
    ops.ShowWait("", false);
    ops.Pause(100);
    int32_t response = 0;
    if (!ok) {
        if (code != kCodeNoProtection) return TakeOutcome::kQueryFailed;
    } else if (!ops.AskChallenge(Word(query, 1), response)) {
        return TakeOutcome::kCancelled;
    }
    ops.ShowWait("正在取银子，请您稍等......", true);
    ok = ops.TakeSilver(text, amount, response);
    ops.ShowWait("", false);
    ops.Pause(100);
    return ok ? TakeOutcome::kTaken : TakeOutcome::kTakeFailed;
}

SaveOutcome RunSaveRequest(SafeBoxOps& ops, int32_t& amount, std::string& text) {
    int code = 0;
    int value = amount;
    ops.ShowWait("正在存银子，请您稍候......", true);
    int ok = ops.SaveSilver(text, value, &code);
    ops.ShowWait("", false);
    ops.Pause(100);
    if (ok) return SaveOutcome::kSaved;
    if (code == kCodeAmountRewritten) {
        amount = value;
        return SaveOutcome::kRewritten;
    }
    return SaveOutcome::kFailed;
}

std::array<int32_t, 6> LoadFixAmounts(SafeBoxOps& ops, const std::string& userFile) {
    std::array<std::string, 6> texts;
    for (int i = 0; i < 6; ++i)
        texts[size_t(i)] =
            ops.ReadSetting(userFile, "FIXDEPOSIT", Format("Fix%d", i)).substr(0, 31);
    return FixAmountsFromTexts(texts);
}

FixOutcome ApplyFixAmount(SafeBoxOps& ops, int32_t target) {
    const std::string title = ops.TitleText();
    auto move = PlanFixMove(ops.SeatSilver(), target);
    if (!move) {
        ops.Box("请输入银子数额。", title, false);
        return FixOutcome::kOutOfRange;
    }
    std::string text;
    switch (move->kind) {
        case FixMove::kNone:
            ops.Box("当前银子等于设定值。", title, false);
            return FixOutcome::kEqual;
        case FixMove::kSave: {
            int32_t d = move->amount;
            if (RunSaveRequest(ops, d, text) != SaveOutcome::kSaved) {
                ops.Box(text, title, false);
                return FixOutcome::kFailed;
            }
            ops.Box(Format("设定成功。\r\n\r\n(已经存入保险箱 %d 两，\r\n%s当前有银子 %d 两)", d,
                           title.c_str(), target),
                    title, false);
            return FixOutcome::kSaved;
        }
        case FixMove::kTake:
            switch (RunTakeProcedure(ops, move->amount, text)) {
                case TakeOutcome::kTaken:
                    ops.Box(
                        Format(
                            "设定成功。\r\n\r\n(已经从保险箱中取出 %d 两，\r\n%s当前有银子 %d 两)",
                            move->amount, title.c_str(), target),
                        title, false);
                    return FixOutcome::kTaken;
                case TakeOutcome::kCancelled:
                    return FixOutcome::kCancelled;
                default:
                    ops.Box(text, title, false);
                    return FixOutcome::kFailed;
            }
    }
    return FixOutcome::kFailed;
}

}  // namespace hqlv::framework::web
