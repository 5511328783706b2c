// The system family of built-in functions: always on.
#include <string>

#include "engine/core/clock.h"
#include "engine/core/engine_log.h"
#include "engine/core/kernel.h"
#include "engine/core/sound.h"
#include "engine/script/script_manager.h"

namespace hqlv::engine {

uint32_t ScriptManager::CallSystemFunction(ScriptInstance* instance) {
    const std::string& name = instance->FunctionNameText();
    const int argc = instance->GetArgCount();
    if (name == "等待" || name == "WAIT") {
        if (argc < 1) return ReportCallError(instance, kCallErrorArguments);
        // The wait's end comes back to this manager's own control with the run's id.
        const uint32_t apply =
            PostNopApply(instance->GetArg(0).ToInt(), kScriptMessageResume,
                         MessageData::Number(instance->GetSequenceId()), ControlId(), 0);
        if (!apply) return ReportCallError(instance, kCallErrorFailed);
        instance->SetState(kScriptSuspended);
        return kScriptSuspended;
    }
    if (name == "红黄绿" || name == "颜色" || name == "RGB") {
        if (argc < 3) return ReportCallError(instance, kCallErrorArguments);
        const uint32_t r = uint32_t(instance->GetArg(0).ToInt()) & 0xFF;
        const uint32_t g = uint32_t(instance->GetArg(1).ToInt()) & 0xFF;
        const uint32_t b = uint32_t(instance->GetArg(2).ToInt()) & 0xFF;
        instance->ClearValues();
        instance->PushUnsigned(r + g * 256 + b * 65536);
        return kScriptContinue;
    }
    if (name == "触发脚本" || name == "RUNSCRIPT") {
        if (argc < 1) return ReportCallError(instance, kCallErrorArguments);
        if (!CanStartRun(true)) return ReportCallError(instance, kCallErrorFailed);
        const std::vector<ValueString>& values = instance->Values();
        const std::vector<ValueString> arguments(values.begin() + 1, values.end());
        // The started run is on its own: its outcome is not this call's.
        StartScriptWith(values[0].text(), arguments);
        return kScriptContinue;
    }
    if (name == "获取当前屏幕大小") {
        instance->ClearValues();
        instance->PushInt(GetScreenWidth());
        instance->PushInt(GetScreenHeight());
        return kScriptContinue;
    }
    if (name == "时间戳") {
        if (argc < 1) return ReportCallError(instance, kCallErrorArguments);
        WriteLog("%d:%s", int(GetCachedTimeMs()), instance->GetArg(0).text().c_str());
        return kScriptContinue;
    }
    if (name == "播放音效") {
        if (argc < 1) return ReportCallError(instance, kCallErrorArguments);
        if (SoundPlayer* player = GetSoundPlayer()) player->PlayDirFile(instance->GetArg(0).text());
        return kScriptContinue;
    }
    return kScriptNotHandled;
}

}  // namespace hqlv::engine
