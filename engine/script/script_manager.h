#pragma once
// The engine's script interpreter object. It compiles ".script" resources when the resource
// manager loads them, keeps every compiled script by name, starts runs, steps them, calls
// functions (the built-in families, the host hook, then loaded scripts, serially or in
// parallel) and shows script errors on screen (engine message 88).
//
// Built-ins reach the engine through the manager itself: it is a GameObject of the
// engine's kernel (entity creation, pictures, Applies, messages), Kernel() gives the kernel
// (entities by id, child links, the sound player through GetSoundPlayer()), and
// GetResourceManager() the process's resources.
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "engine/core/game_object.h"
#include "engine/core/script_engine.h"
#include "engine/script/script_instance.h"
#include "imaging/raster.h"

namespace hqlv::engine {

class SoundPlayer;
struct ExprToken;

// Capability bits: which optional built-in families are on (the system family always is).
constexpr uint32_t kScriptCreateFunctions = 0x1;    // 创建平面, 创建图片
constexpr uint32_t kScriptObjectFunctions = 0x2;    // 操作实体 and its siblings
constexpr uint32_t kScriptResourceFunctions = 0x4;  // 设置资源目录, 动态加载

// Kinds of ReportCallError.
constexpr int kCallErrorArguments = 1;  // too few arguments
constexpr int kCallErrorFailed = 10;    // the operation failed or its object does not exist
constexpr int kCallErrorInvalid = 20;   // an unrecognised sub-command or option word

// Engine message codes of the interpreter.
constexpr uint32_t kScriptMessageShowText = 88;
constexpr uint32_t kScriptMessageResume = 131;
constexpr uint32_t kScriptMessageParallel = 132;

// Guards against scripts that would never give the engine back its thread.
constexpr uint32_t kDefaultStatementBudget = 1000000;  // per entry, nested runs included
constexpr int kMaxNestedRuns = 64;
constexpr size_t kMaxLiveRuns = 1024;
// Plane work counts against the statement budget: a statement that fills, writes on, pastes
// into or resizes a plane walks every pixel of it (16 million for a plane of 4096 x 4096),
// the time of thousands of plain statements, and a loop of them inside the budget would hold
// the engine's thread for hours. A plain statement takes about the time of walking this many
// pixels.
constexpr uint64_t kPixelsPerStatement = 1024;
// Work on linked entities counts too: a change that an entity hands down its links (a move, a
// turn, a push to the canvas) is made again at every entity linked below it, each about the
// time of a plain statement, and a loop that turns the head of a chain of thousands would hold
// the engine's thread for hours. A step that only looks along the links (whether a new link
// would close a loop, which link holds a child) takes about this many times less.
constexpr uint64_t kLinkStepsPerStatement = 64;
// A call's values count too: each is pushed (传出), read (a built-in's argument, a
// sub-command), or cut out of the joined text and made anew (a script's arguments and
// results), in about the time of a plain statement; a short text of many commas hands over
// thousands, and a 传出 of a few KiB pushes thousands at every pass of a loop. The values a
// 传出 pushes, those a call takes in otherwise, and those a run hands back count one statement
// for every this many, so that the calls of a few values that scripts make count nothing more.
constexpr uint64_t kValuesPerStatement = 16;
// Copies of texts count too: a statement that copies a value (a push, a variable set, an
// operand taken) copies all of its text, up to a run's whole memory bound, and a loop of them
// over a text doubled a few times would take seconds of every entry. About this many bytes
// copy in the time of a plain statement.
constexpr uint64_t kCopiedBytesPerStatement = 2048;
// So do the statements a walk passes over: a branch not taken, a loop left, 跳出 and 匹配 look
// for the end of their block or their case statement by statement, each in about a tenth of a
// plain statement's time, and a loop around a skipped block of thousands of statements would
// take seconds of every entry. A statement that walks counts one more for every this many.
constexpr uint64_t kWalkedStatementsPerStatement = 16;
// What scripts make stays until a script or the host destroys it, and a loop inside the
// budget can make tens of thousands of entities, or planes of tens of MiB each, in one
// entry: it would take the machine's memory and end the client. The entities scripts made
// and have not destroyed stay within these bounds (a creation past them fails). The busiest
// scene the engine shows, the table, pools 336 entities; the planes' pixels together may take
// what the engine holds for one picture at most (the image object's limit, 256 MiB), 127
// planes the size of the 744 x 710 screen (2,112,960 bytes each).
constexpr size_t kMaxScriptEntities = 4096;
constexpr uint64_t kMaxScriptPlaneBytes = imaging::RASTER_MAX_MEMORY;
// The frame animations scripts started (操作图片 with 播放) and that may still run stay within
// this bound as well (a start past it fails). Each runs at every frame until it ends, an
// endless one as long as its image stays, and every 播放 starts one more, on the same image
// too: a loop inside the budget starts thousands in one entry and more at every entry after,
// and their running would take ever more of each frame and of memory. As many as the entities
// scripts may keep, one each.
constexpr size_t kMaxScriptAnimations = kMaxScriptEntities;
// One entry into the interpreter (a start, a resume, a load) shows at most this many error
// texts; the rest go to the engine's log. Each text stays on screen as a floating text at the
// screen's middle, over the one before, and a loop that keeps failing (触发脚本 of a missing
// script) makes hundreds of thousands in one entry, whose fading then costs the engine minutes.
constexpr int kMaxShownErrors = 16;

class ScriptManager : public GameObject, public ScriptEngine {
public:
    ScriptManager();
    ~ScriptManager() override;
    ScriptManager(const ScriptManager&) = delete;
    ScriptManager& operator=(const ScriptManager&) = delete;

    // ---- loading
    // A resource's bytes (GBK), converted to UTF-8 once; → the number of script bodies
    // found, or -1 when a body fails to compile or has no name.
    int LoadScript(const ValueString& text, int mode) override;
    // The same for a text already in UTF-8.
    int LoadScriptText(std::string_view text);
    int GetLoadedCount() const override { return int(loaded_.size()); }
    int GetRunningCount() const override { return int(running_.size()); }
    void EnableCreateFunctions() override { capabilities_ |= kScriptCreateFunctions; }
    void EnableObjectFunctions() override { capabilities_ |= kScriptObjectFunctions; }
    void EnableResourceFunctions() override { capabilities_ |= kScriptResourceFunctions; }
    uint32_t GetCapabilities() const { return capabilities_; }
    const ScriptInstance* FindLoaded(std::string_view name) const;
    // The names of the loaded scripts, in name order.
    std::vector<std::string> GetLoadedNames() const;

    // ---- runs
    // Starts a loaded script; the argument text is split into its value stack. With a
    // completion message the run delivers it once when it ends, finished or failed (a
    // message with a target goes to that control at once, one without joins the queue).
    uint32_t StartScript(std::string_view name, std::string_view argumentText,
                         const ScriptCompletion* completion = nullptr);
    // Starts a loaded script with these values as its arguments.
    uint32_t StartScriptWith(std::string_view name, const std::vector<ValueString>& arguments);
    virtual uint32_t RunScript(ScriptInstance* instance);
    virtual uint32_t CallFunction(ScriptInstance* instance);
    // A host's own functions answer here; kScriptNotHandled in this engine.
    virtual uint32_t OnHostFunction(ScriptInstance* instance);
    // Shows the text on screen (message 88), or past kMaxShownErrors in one entry writes it to
    // the engine's log; an empty text shows nothing.
    virtual void ReportError(std::string_view text);
    // Shows the message of the kind for the run's current function; → kScriptError.
    virtual uint32_t ReportCallError(ScriptInstance* instance, int kind);
    // Messages 131 and 132 (data: a run's sequence id) run that run when it is still alive
    // and answer 0; anything else answers 1.
    uint32_t OnMessage(EngineMessage& message);
    uint32_t HandleMessage(EngineMessage& message) override { return OnMessage(message); }
    int32_t NextSequenceId() { return ++sequence_; }
    ScriptInstance* FindRun(uint32_t sequenceId) const;
    ScriptVariables& Globals() { return globals_; }

    // Statements one entry into the interpreter may run (a host's start, a resume, nested
    // runs included) before the run is stopped as timed out.
    void SetStatementBudget(uint32_t statements) { budget_ = statements; }
    uint32_t GetStatementBudget() const { return budget_; }
    // Statements run since the manager was made, with what plane work counted as.
    uint64_t GetExecutedCount() const { return executed_; }
    // Counts work as that many statements of the current entry. A built-in call whose work
    // spends the budget ends there (BudgetSpent), and its run fails as timed out.
    void Charge(uint64_t statements);
    // Counts work a built-in is about to do as that many statements of the current entry;
    // false when they take the entry past its budget, and the work must then not be done: the
    // call ends there and the manager fails its run as timed out. Counted after the work, one
    // call could pass the budget by the largest piece of work there is (a plane of 8192 x 8192
    // filled is 65,536 statements), seconds beyond what the budget allows an entry. Outside a
    // run all work may be done.
    bool ChargeAhead(uint64_t statements);
    // Whether the current entry has run or been charged past its budget. One call can repeat
    // its pixel work as often as its argument list allows, so the built-ins ask after each
    // piece of work rather than leaving it to the run's next statement.
    // Outside a run nothing is spent against it: what a call charges there stops nothing.
    bool BudgetSpent() const { return nesting_ > 0 && spent_ > budget_; }
    // Whether entity id (0: one still to be made) may hold `planeBytes` of pixels among the
    // entities scripts made; the ones destroyed since are forgotten first when a bound is
    // reached.
    bool RoomForScriptEntity(uint32_t id, uint64_t planeBytes);
    // Counts entity id among the entities scripts made, holding `planeBytes` of pixels.
    void CountScriptEntity(uint32_t id, uint64_t planeBytes);
    // Whether a script may start one more frame animation; the ones ended since are forgotten
    // first when the bound is reached.
    bool RoomForScriptAnimation();
    // Counts the animation Apply among the ones scripts started.
    void CountScriptAnimation(uint32_t applyId) { animations_.insert(applyId); }

    // ---- built-in functions: each → a result code, kScriptNotHandled for other names
    uint32_t DispatchBuiltin(ScriptInstance* instance);
    uint32_t CallSystemFunction(ScriptInstance* instance);
    uint32_t CallCreateFunction(ScriptInstance* instance);
    uint32_t CallResourceFunction(ScriptInstance* instance);
    uint32_t CallObjectFunction(ScriptInstance* instance);
    // The kernel's sound player; null without a kernel.
    SoundPlayer* GetSoundPlayer() const;

    // ---- the compiler (UTF-8 in, UTF-8 out)
    // The next body from offset (empty, type 0, when none is left); the offset moves past it.
    static ValueString ExtractScriptBody(std::string_view text, size_t& offset);
    static void StripComments(std::string& text);
    // The compiled text of a body; empty on failure (the error went to ReportError).
    std::string CompileLine(std::string_view body);
    std::string CompileSection(std::string_view text);
    // The expression must end with ";"; empty on failure.
    std::string FlattenExpression(std::string_view expression);

private:
    struct Compiler;
    // What became of one expression statement.
    enum class Compiled {
        kDone,     // its statements were emitted
        kDropped,  // its expression does not flatten: nothing was emitted, the error says why
        kFailed,   // the body cannot be read on past it
    };
    bool Flatten(std::string_view expression, std::string& out);
    // The shunting-yard's operator step: moves what goes before the token to the output
    // queue and stacks the token.
    void PushOperator(ExprToken token);
    // The first of 缓存0 .. 缓存4 that is not on the operand stack; empty when all are.
    std::string NewTempName() const;
    Compiled CompileExpressionStatement(std::string_view text, size_t& pos, std::string& out,
                                        std::string& error);
    bool CompileBody(std::string_view body, std::string& out, std::string& error);
    bool CanStartRun(bool serial) const;
    bool IsOnStack(const ScriptInstance* run) const;
    ScriptInstance* NewRun(const ScriptInstance& record);
    // A new run of a loaded script; null, with the message shown, when none has the name.
    ScriptInstance* NewRunOf(std::string_view name);
    void DestroyRun(ScriptInstance* run);
    // The run's completion message, delivered and forgotten.
    void DeliverCompletion(ScriptInstance* run);
    uint32_t RunLoop(ScriptInstance* run);
    uint32_t Enter(ScriptInstance* run);
    uint32_t FailRun(ScriptInstance* run);
    // Marks the run as stopped at the statement budget, the reason written to the log; →
    // kScriptError, for FailRun to end it.
    uint32_t TimeOut(ScriptInstance* run);
    void Handover(const ScriptInstance& from, ScriptInstance& to);

    uint32_t capabilities_ = 0;
    int32_t sequence_ = 0;
    std::map<std::string, ScriptInstance, std::less<>> loaded_;
    std::map<uint32_t, std::unique_ptr<ScriptInstance>> running_;  // by sequence id
    std::vector<uint32_t> stack_;  // the runs being stepped, innermost last
    ScriptVariables globals_;
    std::unique_ptr<Compiler> compiler_;
    uint32_t budget_ = kDefaultStatementBudget;
    // Statements run in the current entry, and what the next entry starts from: 64 bits, so
    // that what plane work counts as never wraps them.
    uint64_t spent_ = 0;
    uint64_t startSpent_ = 0;
    // A parallel start goes on with the spending of the run that asked for it: a script
    // that keeps starting itself in parallel would otherwise never give the pump back.
    std::map<uint32_t, uint64_t> parallelSpent_;
    std::map<uint32_t, uint64_t> made_;  // entities scripts made: plane bytes by id
    std::set<uint32_t> animations_;      // the Applies of the animations scripts started
    uint64_t madeBytes_ = 0;
    uint64_t executed_ = 0;
    int nesting_ = 0;  // runs on the C++ stack
    int shown_ = 0;    // error texts shown in the current entry
    bool timedOut_ = false;
};

// The bytes of pixels the entity holds when it is a plane; 0 for any other entity.
uint64_t PlanePixelBytes(const Entity& entity);

// The maker that GameBase::CreateScriptEngine calls; installs itself and returns the
// previous one. Call once at start-up (a program that does not call it runs without
// scripts).
void InstallScriptManager();

}  // namespace hqlv::engine
