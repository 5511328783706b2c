#include "engine/script/script_manager.h"

#include <cstdlib>
#include <cstring>

#include "engine/core/engine_log.h"
#include "engine/core/game_base.h"
#include "engine/core/kernel.h"
#include "engine/render/plane.h"
#include "engine/script/script_text.h"
#include "platform/core/text.h"

namespace hqlv::engine {

// ---- loading ----------------------------------------------------------------------------------

int ScriptManager::LoadScript(const ValueString& text, int) {
    return LoadScriptText(platform::gbkToUtf8(text.text()));
}

int ScriptManager::LoadScriptText(std::string_view text) {
    if (nesting_ == 0) shown_ = 0;
    size_t offset = 0;
    int count = 0;
    for (;;) {
        const ValueString body = ExtractScriptBody(text, offset);
        if (body.type() == kValueNone) return count;
        ++count;
        std::string source = body.text();
        StripComments(source);
        std::string compiled = CompileLine(source);
        if (compiled.empty()) return -1;
        ScriptInstance record;
        record.SetGlobals(&globals_);
        if (!record.SetText(std::move(compiled))) {
            ReportError(record.GetErrorText());
            return -1;
        }
        // A second body of a name already loaded is dropped.
        loaded_.try_emplace(record.NameText(), record);
    }
}

const ScriptInstance* ScriptManager::FindLoaded(std::string_view name) const {
    auto it = loaded_.find(name);
    return it == loaded_.end() ? nullptr : &it->second;
}

std::vector<std::string> ScriptManager::GetLoadedNames() const {
    std::vector<std::string> names;
    for (const auto& entry : loaded_) names.push_back(entry.first);
    return names;
}

// ---- runs -------------------------------------------------------------------------------------

ScriptInstance* ScriptManager::FindRun(uint32_t sequenceId) const {
    auto it = running_.find(sequenceId);
    return it == running_.end() ? nullptr : it->second.get();
}

ScriptInstance* ScriptManager::NewRun(const ScriptInstance& record) {
    auto run = std::make_unique<ScriptInstance>(record);
    run->SetGlobals(&globals_);
    run->SetSequenceId(uint32_t(NextSequenceId()));
    ScriptInstance* raw = run.get();
    running_[raw->GetSequenceId()] = std::move(run);
    return raw;
}

void ScriptManager::DeliverCompletion(ScriptInstance* run) {
    const std::optional<ScriptCompletion> m = run->TakeCompletionMessage();
    if (m) SendToControl(EngineMessage{m->code, MessageData::Number(m->data), m->target}, 0);
}

void ScriptManager::DestroyRun(ScriptInstance* run) {
    parallelSpent_.erase(run->GetSequenceId());
    running_.erase(run->GetSequenceId());
}

void ScriptManager::Handover(const ScriptInstance& from, ScriptInstance& to) {
    // The values go over as their joined text split again at "," (a value holding "," arrives
    // as two), but an empty last value is kept where splitting drops an empty last piece:
    // else a call, a 触发脚本 start or a child's results whose last value is an empty text
    // would hand over one value too few, and the receiver's 脚本开始 or 传入 would fail for
    // a missing value the sender gave. The pieces stop where the receiver passes its memory
    // bound: a short text of many commas arrives as as many values.
    if (from.GetArgCount() == 0) return;
    const int before = to.GetArgCount();
    to.PassArguments(from.JoinValues(), true);
    // Refused, the pieces were read up to the first past the bound.
    const uint64_t pieces = to.OverMemoryBound() ? kMaxRunBytes / RunHeldBytes::kSlot + 1
                                                 : uint64_t(to.GetArgCount() - before);
    Charge(pieces / kValuesPerStatement);
}

ScriptInstance* ScriptManager::NewRunOf(std::string_view name) {
    if (nesting_ == 0) shown_ = 0;  // a host's start
    auto it = loaded_.find(name);
    if (it != loaded_.end()) return NewRun(it->second);
    ReportError(script::FormatText("<break;break;>   脚本运行错误,%s不存在!<break;break>", name));
    return nullptr;
}

uint32_t ScriptManager::StartScript(std::string_view name, std::string_view argumentText,
                                    const ScriptCompletion* completion) {
    ScriptInstance* run = NewRunOf(name);
    if (!run) return kScriptError;
    if (completion) run->SetCompletionMessage(*completion);
    if (!argumentText.empty()) {
        run->ClearValues();
        run->PassArguments(argumentText);
    }
    return RunScript(run);
}

uint32_t ScriptManager::StartScriptWith(std::string_view name,
                                        const std::vector<ValueString>& arguments) {
    ScriptInstance* run = NewRunOf(name);
    if (!run) return kScriptError;
    if (!arguments.empty()) {
        ScriptInstance carrier;
        for (const ValueString& v : arguments) carrier.PushValue(v);
        run->ClearValues();
        Handover(carrier, *run);
    }
    return RunScript(run);
}

uint32_t ScriptManager::FailRun(ScriptInstance* run) {
    // A run that fails is shown once and leaves the running list at once, and a caller
    // waiting on it ends with it. Kept there until the manager ends, failed runs would take
    // the list's kMaxLiveRuns places one by one until no script could start or call another,
    // and a caller suspended on a failed child would hold its place waiting for ever. Each
    // ends as a finished run does, with its completion message: whoever waits for it hears.
    for (;;) {
        ReportError(run->GetErrorText());
        const uint32_t id = run->GetSequenceId();
        DeliverCompletion(run);
        ScriptInstance* caller = FindRun(run->GetCallerId());
        DestroyRun(run);
        if (!caller || caller->GetAwaitedChild() != id) return kScriptError;
        caller->SetAwaitedChild(0);
        run = caller;
    }
}

uint32_t ScriptManager::RunScript(ScriptInstance* run) {
    if (nesting_ == 0) {
        spent_ = startSpent_;
        shown_ = 0;
    }
    startSpent_ = 0;
    ++nesting_;
    stack_.push_back(run->GetSequenceId());
    const uint32_t r = RunLoop(run);
    stack_.pop_back();
    --nesting_;
    return r;
}

uint32_t ScriptManager::RunLoop(ScriptInstance* run) {
    for (;;) {
        if (++spent_ > budget_) {
            TimeOut(run);
            return FailRun(run);
        }
        ++executed_;
        const uint32_t r = run->ExecuteStatement();
        Charge(run->TakeCopiedBytes() / kCopiedBytesPerStatement +
               run->TakePushedValues() / kValuesPerStatement +
               run->TakeWalkedStatements() / kWalkedStatementsPerStatement);
        if (r == kScriptFinished) break;
        if (r == kScriptError) return FailRun(run);
        if (r == kScriptHalted) return r;
        if (r == kScriptCallPending) {
            const uint32_t c = CallFunction(run);
            if (c == kScriptSuspended || c == kScriptHalted) return c;
            if (c == kScriptError) return FailRun(run);
        }
    }
    const uint32_t id = run->GetSequenceId();
    if (ScriptInstance* caller = FindRun(run->GetCallerId())) Handover(*run, *caller);
    DeliverCompletion(run);
    // The delivery may have run code of any control: the caller is looked up again.
    ScriptInstance* caller = FindRun(run->GetCallerId());
    DestroyRun(run);
    if (caller && caller->GetAwaitedChild() != 0 && caller->GetAwaitedChild() == id) {
        caller->SetAwaitedChild(0);
        RunScript(caller);
    }
    return kScriptFinished;
}

uint32_t ScriptManager::TimeOut(ScriptInstance* run) {
    // The budget is this client's own guard, not an error of the script's that a player is
    // told of: the reason goes to the log, and FailRun finds no text to show.
    WriteLogText(script::FormatText("脚本%s运行超时,已中止!", run->NameText()));
    run->SetErrorText("");
    run->SetState(kScriptError);
    return kScriptError;
}

void ScriptManager::Charge(uint64_t statements) {
    executed_ += statements;
    spent_ += statements;
}

bool ScriptManager::ChargeAhead(uint64_t statements) {
    Charge(statements);
    return !BudgetSpent();
}

bool ScriptManager::RoomForScriptEntity(uint32_t id, uint64_t planeBytes) {
    auto fits = [&] {
        const auto it = made_.find(id);
        const uint64_t held = it == made_.end() ? 0 : it->second;
        const size_t count = made_.size() + (it == made_.end() ? 1 : 0);
        return count <= kMaxScriptEntities &&
               madeBytes_ - held + planeBytes <= kMaxScriptPlaneBytes;
    };
    if (fits()) return true;
    // Forgets the entities destroyed since (by a script, a parent's end or the host) and
    // reads the planes' sizes again. The walk counts as work: a script that keeps the bound
    // reached, making and destroying one entity after another, would walk them each time.
    Charge(made_.size() / 64);
    GameKernel* kernel = Kernel();
    madeBytes_ = 0;
    for (auto it = made_.begin(); it != made_.end();) {
        const Entity* e = kernel ? kernel->FindEntity(it->first) : nullptr;
        if (!e) {
            it = made_.erase(it);
            continue;
        }
        it->second = PlanePixelBytes(*e);
        madeBytes_ += it->second;
        ++it;
    }
    return fits();
}

bool ScriptManager::RoomForScriptAnimation() {
    if (animations_.size() < kMaxScriptAnimations) return true;
    GameKernel* kernel = Kernel();
    if (!kernel) return false;
    // Forgets the animations that ended (their passes done, their image gone, cancelled). The
    // walk over the kernel's Applies counts as work, as the walk over the entities does.
    const std::vector<uint32_t> live = kernel->LiveApplyIds();
    Charge((live.size() + animations_.size()) / 64);
    std::set<uint32_t> running;
    for (uint32_t id : live)
        if (animations_.count(id)) running.insert(id);
    animations_.swap(running);
    return animations_.size() < kMaxScriptAnimations;
}

uint64_t PlanePixelBytes(const Entity& entity) {
    if (entity.GetType() != ENT_PLANE) return 0;
    const PlaneState* s = static_cast<const PlaneEntity&>(entity).State();
    return s ? uint64_t(s->width) * uint64_t(s->height) * 4 : 0;
}

void ScriptManager::CountScriptEntity(uint32_t id, uint64_t planeBytes) {
    uint64_t& held = made_[id];
    madeBytes_ = madeBytes_ - held + planeBytes;
    held = planeBytes;
}

uint32_t ScriptManager::OnMessage(EngineMessage& message) {
    if (message.code != kScriptMessageResume && message.code != kScriptMessageParallel) return 1;
    const uint32_t id = uint32_t(message.data.word());
    auto inherited = parallelSpent_.find(id);
    if (inherited != parallelSpent_.end()) {
        startSpent_ = inherited->second;
        parallelSpent_.erase(inherited);
    }
    if (ScriptInstance* run = FindRun(id); run && !IsOnStack(run)) RunScript(run);
    startSpent_ = 0;
    return 0;
}

bool ScriptManager::IsOnStack(const ScriptInstance* run) const {
    for (uint32_t id : stack_)
        if (id == run->GetSequenceId()) return true;
    return false;
}

// ---- calls ------------------------------------------------------------------------------------

uint32_t ScriptManager::OnHostFunction(ScriptInstance*) {
    return kScriptNotHandled;
}

uint32_t ScriptManager::DispatchBuiltin(ScriptInstance* instance) {
    uint32_t r = CallSystemFunction(instance);
    if (r == kScriptNotHandled && (capabilities_ & kScriptCreateFunctions))
        r = CallCreateFunction(instance);
    if (r == kScriptNotHandled && (capabilities_ & kScriptObjectFunctions))
        r = CallObjectFunction(instance);
    if (r == kScriptNotHandled && (capabilities_ & kScriptResourceFunctions))
        r = CallResourceFunction(instance);
    return r;
}

bool ScriptManager::CanStartRun(bool serial) const {
    return running_.size() < kMaxLiveRuns && (!serial || nesting_ < kMaxNestedRuns);
}

uint32_t ScriptManager::CallFunction(ScriptInstance* caller) {
    // The values its 传出 pushed counted there, unless an earlier call took them already.
    const uint64_t values = uint64_t(caller->UncountedValues());
    caller->ValuesTaken();
    uint32_t r = DispatchBuiltin(caller);
    if (r == kScriptNotHandled) r = OnHostFunction(caller);
    // A call that went on after its work spent the budget stops its run here, as the next
    // statement would: what the call left on the value stack is not used. A call that
    // failed, suspended or halted its run keeps its own outcome and its own text.
    if (r != kScriptNotHandled) {
        Charge(values / kValuesPerStatement);
        return r == kScriptContinue && BudgetSpent() ? TimeOut(caller) : r;
    }
    auto it = loaded_.find(caller->FunctionNameText());
    if (it == loaded_.end()) {
        ReportError("<color=255>脚本<rgb=0,0,255;>" + caller->NameText() +
                    "<rgb=255,255,255>调用了一个不支持的函数<rgb=0,255,0>" +
                    caller->FunctionNameText());
        return kScriptError;
    }
    const bool parallel = caller->GetParallelCount() > 0;
    if (!CanStartRun(!parallel)) return ReportCallError(caller, kCallErrorFailed);
    ScriptInstance* child = NewRun(it->second);
    child->ClearValues();
    Handover(*caller, *child);
    caller->ClearValues();
    if (parallel) {
        caller->SetParallelCount(caller->GetParallelCount() - 1);
        // A start that takes the callee past its memory bound ends it here, rather than
        // leaving it to wait in the queue with what it holds.
        if (child->OverMemoryBound()) {
            child->FailOverMemoryBound();
            FailRun(child);
            return kScriptContinue;
        }
        parallelSpent_[child->GetSequenceId()] = spent_;
        if (!PostControlMessage(kScriptMessageParallel, MessageData::Number(child->GetSequenceId()),
                                ControlId(), 1)) {
            DestroyRun(child);
            return ReportCallError(caller, kCallErrorFailed);
        }
        return kScriptContinue;
    }
    child->SetCallerId(caller->GetSequenceId());
    const uint32_t childId = child->GetSequenceId();
    const uint32_t c = RunScript(child);
    if (c == kScriptError) return kScriptError;
    if (c == kScriptSuspended) {
        caller->SetAwaitedChild(childId);
        caller->SetState(kScriptSuspended);
        return kScriptSuspended;
    }
    return kScriptContinue;
}

// ---- errors -----------------------------------------------------------------------------------

namespace {

void FreeText(void* block) {
    std::free(block);
}

}  // namespace

void ScriptManager::ReportError(std::string_view text) {
    if (text.empty()) return;
    if (shown_ >= kMaxShownErrors) {
        WriteLog("%.*s", int(text.size()), text.data());
        return;
    }
    ++shown_;
    char* copy = static_cast<char*>(std::malloc(text.size() + 1));
    if (!copy) return;
    std::memcpy(copy, text.data(), text.size());
    copy[text.size()] = '\0';
    PostControlMessage(kScriptMessageShowText, MessageData::Owned(copy, &FreeText), 0, 0);
}

uint32_t ScriptManager::ReportCallError(ScriptInstance* instance, int kind) {
    const char* tail = nullptr;
    switch (kind) {
        case kCallErrorArguments:
            tail = "<rgb=255,255,255>参数不足!";
            break;
        case kCallErrorFailed:
            tail = "<rgb=255,255,255>失败!";
            break;
        case kCallErrorInvalid:
            tail = "<rgb=255,255,255>失败,参数不合法!";
            break;
        default:
            return kScriptError;  // an unknown kind has no text
    }
    ReportError("<color=255>脚本<rgb=0,0,255;>" + instance->NameText() +
                "<rgb=255,255,255>调用函数<rgb=0,255,0>" + instance->FunctionNameText() + tail);
    return kScriptError;
}

SoundPlayer* ScriptManager::GetSoundPlayer() const {
    return Kernel() ? &Kernel()->GetSoundPlayer() : nullptr;
}

// ---- installation -----------------------------------------------------------------------------

void InstallScriptManager() {
    SetScriptEngineFactory(
        []() -> std::unique_ptr<ObjectBase> { return std::make_unique<ScriptManager>(); });
}

}  // namespace hqlv::engine
