#pragma once
// One run of a script: a copy of the compiled text with its own position, state, value
// stack, variables and open blocks. The compiled text stays the truth: positions, labels
// and loop starts are byte offsets into it; decoded statements are only cached by position.
//
// All texts inside are UTF-8 (script resources are converted from GBK once, when they
// load); the readers' byte limits count the bytes the text would have in GBK.
#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/core/value_string.h"

namespace hqlv::engine {

// Result codes of statements, calls and runs.
constexpr uint32_t kScriptFinished = 10000;   // reached its end (脚本结束, 返回, end of text)
constexpr uint32_t kScriptContinue = 10500;   // go on with the next statement
constexpr uint32_t kScriptSuspended = 11000;  // waits for a timer or a suspended child
constexpr uint32_t kScriptCallPending = 12000;  // 函数 set a function to call
constexpr uint32_t kScriptError = 13000;        // the run's error text says why
constexpr uint32_t kScriptHalted = 14000;       // executes nothing more
constexpr uint32_t kScriptNotHandled = 15000;   // the function is not part of the family asked

constexpr int kMaxScriptBlocks = 12;

// The memory one run may hold in its value stack, its variables and the name of the function
// it calls, every copy counted (RunHeldBytes says what each costs). A loop that doubles a text
// (s = s + s) passes a gigabyte in thirty passes, well inside the statement budget, and a text
// of n commas that another script receives arrives as n + 1 empty values, each an object of
// its own; either would take the machine's memory and end the client. A run that would hold
// more stops with an error as a run past its budget does. Scripts' values are names, log lines
// and property lists, and the readers cap an expression's right side and a 变量 value at 1,024
// bytes: 256 KiB holds 230 variables of such a value (1,136 bytes each with an eight-byte
// name), or 6,553 values of the stack handed over at once (4,096 pushed one at a time: the
// stack's storage doubles as it grows, and every slot counts). With at most 1,024 runs alive
// (the running list's bound) the interpreter's runs hold at most 256 MiB of counted bytes this
// way, about a third more with what the allocator adds to each block, and each run's record
// adds under a KiB more: the compiled text is the loaded script's, shared, not a copy.
constexpr size_t kMaxRunBytes = 256 * 1024;

// What a run's values cost against kMaxRunBytes: a value on the stack its slot in the stack's
// storage (every slot that storage has, used or not) and its text's bytes; a variable its node
// of the map (the tree's colour and three links, then the name and the value), its name's and
// its text's bytes. A text's bytes are counted as its length: the run keeps every text in a
// block of its length (a copy, or a new text the run made; a variable's new value is copied
// afresh rather than into the block of the longer one it replaces), to which the allocator
// adds a word or two.
struct RunHeldBytes {
    static constexpr size_t kSlot = sizeof(ValueString);
    static constexpr size_t kVariableNode =
        4 * sizeof(void*) + sizeof(std::pair<const std::string, ValueString>);
};

// Declared type words: how 运算 reads its operands.
enum ScriptDeclaredType : uint32_t {
    kDeclaredAuto = 0,
    kDeclaredInt = 1,
    kDeclaredHandle = 2,
    kDeclaredFloat = 3,
    kDeclaredText = 4,
};

using ScriptVariables = std::map<std::string, ValueString, std::less<>>;

// The message a run delivers once, when it ends: {code, data, target control}.
struct ScriptCompletion {
    uint32_t code = 0;
    uintptr_t data = 0;
    uint32_t target = 0;
};
struct ScriptDecodeCache;

class ScriptInstance {
public:
    ScriptInstance();
    ~ScriptInstance();
    // Field-by-field copy of a loaded record: text, name, version, blocks, variables,
    // value stack and globals; caller, waits, ids and the completion message are not
    // copied.
    ScriptInstance(const ScriptInstance& other);
    ScriptInstance& operator=(const ScriptInstance&) = delete;

    // ---- the value stack: arguments in, results out
    int PushValue(const ValueString& value);
    int PushResult(const ValueString& value);
    int PushInt(int value) { return PushResult(ValueString::FromInt(value)); }
    int PushUnsigned(uint32_t value) { return PushResult(ValueString::FromUnsigned(value)); }
    ValueString PopValue();
    // Value i, or an empty value (type 0) when i is out of range.
    ValueString GetArg(int i) const;
    // The same, read in place.
    const ValueString& ArgAt(int i) const;
    int GetArgCount() const { return int(values_.size()); }
    const std::vector<ValueString>& Values() const { return values_; }
    void ClearValues();
    // The value texts joined with ",".
    std::string JoinValues() const;
    // Splits at "," outside double quotes and appends each piece as a text value; see
    // SplitArguments. Pieces that would take the run past kMaxRunBytes are taken none of, and
    // the run is past its bound from then on: its next statement stops it. Returns the new
    // count.
    int PassArguments(std::string_view text, bool keepEmptyLast = false);

    // ---- variables
    void ClearVariables();
    void SetVariable(std::string_view name, const ValueString& value);
    // The run's variable, else the global one, else the name itself as a text value.
    ValueString GetValue(std::string_view name) const;
    const ValueString* FindVariable(std::string_view name) const;
    const ScriptVariables& Variables() const { return variables_; }
    // Sets the variable to value index of the stack; without that many values the error
    // text says so (with the script's name) and the result is false.
    bool GetParamValue(int index, std::string_view name);
    void SetGlobals(ScriptVariables* globals) { globals_ = globals; }

    // ---- the compiled text
    // Installs a compiled text and reads the script's name; false (with the error text
    // "脚本名为空!" when there is no name) when it has none.
    bool SetText(std::string text);
    void Reset();
    const std::string& GetText() const;
    uint32_t GetPosition() const { return position_; }

    // One statement at the position; → a result code.
    uint32_t ExecuteStatement();

    // ---- memory
    // What the run holds against kMaxRunBytes.
    size_t HeldBytes() const;
    bool OverMemoryBound() const { return refused_ || HeldBytes() > kMaxRunBytes; }
    // The bytes of text the run has copied (values pushed, variables set, operands taken) or
    // read as a number (a condition, a 跳转) since the last call.
    uint64_t TakeCopiedBytes();
    // The values 传出 statements pushed and 传入 statements bound since the last call.
    uint64_t TakePushedValues();
    // The statements passed over since the last call by the walks that look for the end of a
    // block, a loop's start or a 匹配's case (a branch not taken, a loop left, 跳出, 匹配).
    uint64_t TakeWalkedStatements();
    // The values of the stack that the last 传出 did not push (a call's results, values
    // handed over): those a call still counts when it takes them in.
    int UncountedValues() const;
    // A call has taken the stack's values: a later call that takes them again (a built-in
    // leaves its arguments where they were) counts them all again.
    void ValuesTaken();
    // Stops the run as one past its memory bound: the reason goes to the log, and the error
    // text is empty; → kScriptError.
    uint32_t FailOverMemoryBound();
    // What the statements decoded from the compiled text hold (shared by the loaded record
    // and its runs); they are dropped, to be decoded again, past a bound that grows with the
    // text.
    size_t DecodedBytes() const;

    // ---- accessors
    ValueString GetName() const { return name_; }
    const std::string& NameText() const { return name_.text(); }
    std::string GetErrorText() const { return errorText_; }
    void SetErrorText(std::string text) { errorText_ = std::move(text); }
    ValueString GetFunctionName() const { return functionName_; }
    const std::string& FunctionNameText() const { return functionName_.text(); }
    uint32_t GetState() const { return state_; }
    void SetState(uint32_t state) { state_ = state; }
    uint32_t GetSequenceId() const { return sequenceId_; }
    void SetSequenceId(uint32_t id) { sequenceId_ = id; }
    uint32_t GetAwaitedChild() const { return awaitedChild_; }
    void SetAwaitedChild(uint32_t id) { awaitedChild_ = id; }
    // The serial caller, by its sequence id (0: none); a caller may end first.
    uint32_t GetCallerId() const { return callerId_; }
    void SetCallerId(uint32_t id) { callerId_ = id; }
    // The completion message: set by whoever starts the run, taken (once) when it ends.
    void SetCompletionMessage(const ScriptCompletion& message) { completion_ = message; }
    bool HasCompletionMessage() const { return completion_.has_value(); }
    std::optional<ScriptCompletion> TakeCompletionMessage() {
        return std::exchange(completion_, std::nullopt);
    }
    uint32_t GetParallelCount() const { return parallel_; }
    void SetParallelCount(uint32_t n) { parallel_ = n; }
    uint32_t GetDeclaredType() const { return declaredType_; }
    int GetDeclaredParamCount() const { return paramCount_; }
    double GetVersion() const { return version_; }
    int GetBlockDepth() const { return depth_; }

    struct Statement;

private:
    friend struct ScriptDecodeCache;
    uint32_t Run(const Statement& s);
    uint32_t Fail(std::string text);
    const Statement& Decode(uint32_t position);
    uint32_t Bind(const Statement& s);
    uint32_t PushBlock(uint32_t start);
    uint32_t CloseBrace();
    // The position after the "}" that closes a block whose count starts at `count`, or
    // npos when the text ends first.
    size_t SkipBlock(size_t from, int count);
    uint32_t Condition(const Statement& s);
    uint32_t Else(const Statement& s);
    uint32_t LoopTest(const Statement& s, const char* message);
    uint32_t ForStart(const Statement& s);
    uint32_t Break(const Statement& s);
    uint32_t Match(const Statement& s);
    uint32_t Operate(const Statement& s);
    uint32_t SetGlobal(const Statement& s);
    // GetValue(name).ToBool(), without copying the value; its bytes count as a copy's would.
    bool Truth(std::string_view name);
    void PushArgValue(const std::string& text, bool quoted);
    // Every value enters the stack here, so that its bytes are counted.
    void Keep(ValueString value);

    std::optional<ScriptCompletion> completion_;
    uint32_t parallel_ = 0;
    uint8_t paramCount_ = 0;
    // Shared by a loaded record and every run made from it: it never changes once set.
    std::shared_ptr<const std::string> text_;
    uint32_t callerId_ = 0;
    ValueString name_;
    std::string errorText_;
    double version_ = 0.0;
    uint32_t position_ = 0;
    uint32_t state_ = 0;
    uint32_t sequenceId_ = 0;
    uint32_t awaitedChild_ = 0;
    uint32_t declaredType_ = kDeclaredAuto;
    std::array<uint32_t, kMaxScriptBlocks> blocks_{};
    int depth_ = 0;
    ValueString functionName_;
    std::vector<ValueString> values_;
    ScriptVariables variables_;
    size_t stackBytes_ = 0;     // the texts of values_
    size_t variableBytes_ = 0;  // the nodes, names and texts of variables_
    bool refused_ = false;      // values handed to it were refused as past the bound
    uint64_t copiedBytes_ = 0;  // see TakeCopiedBytes
    uint64_t pushedValues_ = 0;  // see TakePushedValues
    uint64_t walked_ = 0;        // see TakeWalkedStatements
    size_t outValues_ = 0;  // the first values of the stack, pushed by the last 传出, no call took
    ScriptVariables* globals_ = nullptr;
    // Shared by a loaded record and every run made from it: the text is the same.
    std::shared_ptr<ScriptDecodeCache> cache_;
};

// "," outside double quotes separates pieces; leading spaces of a piece are skipped and
// spaces before a "," dropped; an empty piece before a "," is an empty text, an empty last
// piece (after a ",") is kept too when keepEmptyLast, else dropped. An empty text gives none.
void SplitArguments(std::string_view text, std::vector<ValueString>& out, bool keepEmptyLast);

}  // namespace hqlv::engine
