#include "engine/script/script_instance.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <unordered_map>
#include <utility>

#include "engine/core/engine_log.h"
#include "engine/script/script_text.h"

namespace hqlv::engine {

using script::npos;

namespace {

enum class Op : uint8_t {
    kVar,
    kGlobal,
    kIn,
    kOut,
    kCall,
    kJump,
    kLabel,
    kOperate,
    kBegin,
    kEnd,
    kInterpreter,
    kMatch,
    kIf,
    kElse,
    kWhileStart,
    kWhile,
    kBreak,
    kForStart,
    kForBegin,
    kForIf,
    kOpen,
    kClose,
    kParallel,
    kType,
    kMatchEnd,
    kEmpty,
    kUnknown,
};

struct WordOp {
    std::string_view word;
    Op op;
    uint32_t type;
};

// The statement words in the order they are compared.
constexpr WordOp kWords[] = {
    {"变量", Op::kVar, 0},
    {"全局变量", Op::kGlobal, 0},
    {"传入", Op::kIn, 0},
    {"传出", Op::kOut, 0},
    {"函数", Op::kCall, 0},
    {"跳转", Op::kJump, 0},
    {"标记", Op::kLabel, 0},
    {"运算", Op::kOperate, 0},
    {"脚本开始", Op::kBegin, 0},
    {"脚本结束", Op::kEnd, 0},
    {"解释器", Op::kInterpreter, 0},
    {"匹配", Op::kMatch, 0},
    {"如果", Op::kIf, 0},
    {"或者", Op::kIf, 0},
    {"否则", Op::kElse, 0},
    {"%WhileStart%", Op::kWhileStart, 0},
    {"当", Op::kWhile, 0},
    {"跳出", Op::kBreak, 0},
    {"%ForStart%", Op::kForStart, 0},
    {"%ForBeGin%", Op::kForBegin, 0},
    {"%ForIF%", Op::kForIf, 0},
    {"{", Op::kOpen, 0},
    {"}", Op::kClose, 0},
    {"返回", Op::kEnd, 0},
    {"并行", Op::kParallel, 0},
    {"默认类型", Op::kType, kDeclaredAuto},
    {"整数", Op::kType, kDeclaredInt},
    {"小数", Op::kType, kDeclaredFloat},
    {"字符", Op::kType, kDeclaredText},
    {"句柄", Op::kType, kDeclaredHandle},
    {"匹配完毕", Op::kMatchEnd, 0},
    {"", Op::kEmpty, 0},
};

bool Opens(Op op) {
    // Loops drop their "{": their marker statement opens the block instead.
    return op == Op::kOpen || op == Op::kWhileStart || op == Op::kForStart;
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && script::IsBlankChar(s.front())) s.remove_prefix(1);
    while (!s.empty() && script::IsBlankChar(s.back())) s.remove_suffix(1);
    return s;
}

// Names separated by "," from pos up to ";" or ")" (or the end).
std::vector<std::string> ReadNames(std::string_view text, size_t pos) {
    size_t end = pos;
    while (end < text.size() && text[end] != ';' && text[end] != ')') ++end;
    std::vector<std::string> names;
    std::string_view list = text.substr(pos, end - pos);
    if (Trim(list).empty()) return names;
    for (;;) {
        const size_t comma = list.find(',');
        names.emplace_back(Trim(list.substr(0, comma)));
        if (comma == npos) break;
        list.remove_prefix(comma + 1);
    }
    return names;
}

size_t PastSemicolon(std::string_view text, size_t pos) {
    const size_t at = script::FindOutside(text, ';', pos);
    return at == npos ? text.size() : at + 1;
}

}  // namespace

struct ScriptInstance::Statement {
    Op op = Op::kEmpty;
    uint32_t type = 0;
    uint32_t next = 0;      // the position after the statement
    uint32_t restFrom = 0;  // the position after the word
    std::string word;
    std::string a;  // the operand: a name, a label, an operator, a version
    std::string b;  // the value of 变量 and 全局变量
    struct Arg {
        std::string text;
        bool quoted = false;
    };
    std::vector<Arg> args;           // 传出
    std::vector<std::string> names;  // 传入, 脚本开始
    std::string error;               // a reader's limit breach
};

struct ScriptDecodeCache {
    std::unordered_map<uint32_t, ScriptInstance::Statement> statements;
    size_t bytes = 0;  // what the statements hold, as StatementBytes counts it
};

namespace {

// What a decoded statement holds: its entry in the cache (the node with its key and link) and
// the blocks of its texts and lists.
size_t StatementBytes(const ScriptInstance::Statement& s) {
    size_t n = sizeof(s) + 4 * sizeof(void*) + s.word.capacity() + s.a.capacity() +
               s.b.capacity() + s.error.capacity() +
               s.args.capacity() * sizeof(ScriptInstance::Statement::Arg) +
               s.names.capacity() * sizeof(std::string);
    for (const ScriptInstance::Statement::Arg& arg : s.args) n += arg.text.capacity();
    for (const std::string& name : s.names) n += name.capacity();
    return n;
}

// The most the decoded statements of one compiled text may hold before they are dropped, to
// be decoded again as the runs come to them. A run decodes at its statements' starts, a few
// hundred bytes for each ten or more bytes of text, but 跳转 may go to any byte of the text,
// and a statement decoded there holds the rest of its own: the 传出, 传入 and 脚本开始 of a
// text of n of them, one after another, hold n * n / 2 values or names, gigabytes from a
// script of a hundred KiB.
constexpr size_t kDecodedBytesPerTextByte = 64;
constexpr size_t kDecodedBytesAtLeast = 64 * 1024;

}  // namespace

// ---- values -----------------------------------------------------------------------------------

namespace {

// Hands each piece to take until it answers false.
template <typename Take>
void ForEachPiece(std::string_view text, bool keepEmptyLast, Take&& take) {
    size_t pos = 0;
    for (;;) {
        while (pos < text.size() && text[pos] == ' ') ++pos;
        const size_t comma = script::FindOutside(text, ',', pos);
        if (comma == npos) {
            if (pos < text.size() || keepEmptyLast) take(text.substr(pos));
            return;
        }
        std::string_view piece = text.substr(pos, comma - pos);
        while (!piece.empty() && piece.back() == ' ') piece.remove_suffix(1);
        if (!take(piece)) return;
        pos = comma + 1;
    }
}

const std::string& NoText() {
    static const std::string empty;
    return empty;
}

}  // namespace

void SplitArguments(std::string_view text, std::vector<ValueString>& out, bool keepEmptyLast) {
    ForEachPiece(text, keepEmptyLast, [&](std::string_view piece) {
        out.emplace_back(std::string(piece), kValueText);
        return true;
    });
}

ScriptInstance::ScriptInstance() = default;
ScriptInstance::~ScriptInstance() = default;

ScriptInstance::ScriptInstance(const ScriptInstance& o)
    : parallel_(o.parallel_),
      paramCount_(o.paramCount_),
      text_(o.text_),
      name_(o.name_),
      errorText_(o.errorText_),
      version_(o.version_),
      position_(o.position_),
      state_(o.state_),
      declaredType_(o.declaredType_),
      blocks_(o.blocks_),
      depth_(o.depth_),
      functionName_(o.functionName_),
      values_(o.values_),
      variables_(o.variables_),
      stackBytes_(o.stackBytes_),
      variableBytes_(o.variableBytes_),
      globals_(o.globals_),
      cache_(o.cache_) {}

void ScriptInstance::Keep(ValueString value) {
    stackBytes_ += value.text().size();
    copiedBytes_ += value.text().size();
    values_.push_back(std::move(value));
}

size_t ScriptInstance::HeldBytes() const {
    return values_.capacity() * RunHeldBytes::kSlot + stackBytes_ + variableBytes_ +
           functionName_.text().size();
}

const std::string& ScriptInstance::GetText() const {
    return text_ ? *text_ : NoText();
}

void ScriptInstance::ClearValues() {
    values_.clear();
    stackBytes_ = 0;
    outValues_ = 0;
}

int ScriptInstance::PushValue(const ValueString& value) {
    Keep(value);
    return int(values_.size());
}

int ScriptInstance::PushResult(const ValueString& value) {
    Keep(value);
    return 1;
}

ValueString ScriptInstance::PopValue() {
    if (values_.empty()) return {};
    ValueString v = std::move(values_.back());
    values_.pop_back();
    stackBytes_ -= v.text().size();
    outValues_ = std::min(outValues_, values_.size());
    return v;
}

ValueString ScriptInstance::GetArg(int i) const {
    return ArgAt(i);
}

const ValueString& ScriptInstance::ArgAt(int i) const {
    static const ValueString none;
    if (i < 0 || size_t(i) >= values_.size()) return none;
    return values_[size_t(i)];
}

std::string ScriptInstance::JoinValues() const {
    std::string out;
    for (size_t i = 0; i < values_.size(); ++i) {
        if (i) out += ',';
        out += values_[i].text();
    }
    return out;
}

int ScriptInstance::PassArguments(std::string_view text, bool keepEmptyLast) {
    // Handed over, one empty value joins to an empty text and must still arrive as one.
    if (text.empty() && !keepEmptyLast) return 0;
    // A short text of many commas makes as many values, each an object of its own: what the
    // pieces would cost is worked out first, and the reading stops at the first piece past
    // the bound, so that a text of a million commas costs no more than the bound allows.
    const size_t others = HeldBytes() - values_.capacity() * RunHeldBytes::kSlot;
    size_t count = 0, bytes = 0;
    bool fits = true;
    ForEachPiece(text, keepEmptyLast, [&](std::string_view piece) {
        ++count;
        bytes += piece.size();
        const size_t slots = std::max(values_.capacity(), values_.size() + count);
        fits = slots * RunHeldBytes::kSlot + others + bytes <= kMaxRunBytes;
        return fits;
    });
    if (!fits) {
        refused_ = true;
        return int(values_.size());
    }
    values_.reserve(values_.size() + count);
    ForEachPiece(text, keepEmptyLast, [&](std::string_view piece) {
        Keep(ValueString(std::string(piece), kValueText));
        return true;
    });
    return int(values_.size());
}

void ScriptInstance::SetVariable(std::string_view name, const ValueString& value) {
    variableBytes_ += value.text().size();
    copiedBytes_ += value.text().size();
    auto it = variables_.find(name);
    if (it == variables_.end()) {
        variables_.emplace(std::string(name), value);
        variableBytes_ += RunHeldBytes::kVariableNode + name.size();
    } else {
        variableBytes_ -= it->second.text().size();
        // A fresh copy swapped in, the old value's block going with the copy: assigned over
        // (or a short text moved over) the old value, the text would keep the old one's block,
        // however long, under the new, shorter length that the count takes.
        ValueString fresh(value);
        std::swap(it->second, fresh);
    }
}

void ScriptInstance::ClearVariables() {
    variables_.clear();
    variableBytes_ = 0;
}

const ValueString* ScriptInstance::FindVariable(std::string_view name) const {
    auto it = variables_.find(name);
    if (it != variables_.end()) return &it->second;
    if (globals_) {
        auto g = globals_->find(name);
        if (g != globals_->end()) return &g->second;
    }
    return nullptr;
}

bool ScriptInstance::Truth(std::string_view name) {
    if (const ValueString* v = FindVariable(name)) {
        // Read as a number, a text is walked over its leading blanks and digits: a long one
        // costs at every pass what a copy of it would.
        copiedBytes_ += v->text().size();
        return v->ToBool() != 0;
    }
    return ValueString(std::string(name), kValueText).ToBool() != 0;
}

uint64_t ScriptInstance::TakeCopiedBytes() {
    return std::exchange(copiedBytes_, 0);
}

uint64_t ScriptInstance::TakePushedValues() {
    return std::exchange(pushedValues_, 0);
}

uint64_t ScriptInstance::TakeWalkedStatements() {
    return std::exchange(walked_, 0);
}

int ScriptInstance::UncountedValues() const {
    return int(values_.size() - std::min(outValues_, values_.size()));
}

void ScriptInstance::ValuesTaken() {
    outValues_ = 0;
}

ValueString ScriptInstance::GetValue(std::string_view name) const {
    if (const ValueString* v = FindVariable(name)) return *v;
    return name.empty() ? ValueString() : ValueString(std::string(name), kValueText);
}

void ScriptInstance::PushArgValue(const std::string& text, bool quoted) {
    if (quoted) {
        Keep(ValueString(text, kValueText));
    } else if (text.empty()) {
        Keep(ValueString());
    } else if (const ValueString* v = FindVariable(text)) {
        Keep(*v);
    } else {
        Keep(ValueString(text, kValueText));
    }
}

// ---- text -------------------------------------------------------------------------------------

void ScriptInstance::Reset() {
    ClearValues();
    refused_ = false;
    ClearVariables();
    version_ = 0.0;
    position_ = 0;
    functionName_ = ValueString();
    text_.reset();
    cache_.reset();
}

bool ScriptInstance::SetText(std::string text) {
    if (!GetText().empty()) Reset();
    text_ = std::make_shared<const std::string>(std::move(text));
    const std::string& t = *text_;
    version_ = 1.0;
    position_ = 0;
    state_ = 0;
    cache_ = std::make_shared<ScriptDecodeCache>();
    const size_t at = t.find("脚本开始");
    std::string name;
    size_t pos = at == npos ? t.size() : at + std::string_view("脚本开始").size();
    if (at != npos) name = script::ReadFunctionName(t, pos, &errorText_);
    if (name.empty()) {
        errorText_ = "脚本名为空!";
        return false;
    }
    name_ = ValueString(name, kValueText);
    const size_t open = t.find('(', pos);
    const size_t close = open == npos ? npos : t.find(')', open);
    if (close == npos) return false;
    const std::vector<std::string> names = ReadNames(t, open + 1);
    paramCount_ = uint8_t(names.size() > 255 ? 255 : names.size());
    return true;
}

// ---- decoding ---------------------------------------------------------------------------------

const ScriptInstance::Statement& ScriptInstance::Decode(uint32_t position) {
    if (!cache_) cache_ = std::make_shared<ScriptDecodeCache>();
    auto [it, inserted] = cache_->statements.try_emplace(position);
    Statement& s = it->second;
    if (!inserted) return s;
    const std::string_view text = GetText();
    size_t p = position;
    s.word = script::ReadWord(text, p);
    s.op = Op::kUnknown;
    for (const WordOp& w : kWords) {
        if (w.word == s.word) {
            s.op = w.op;
            s.type = w.type;
            break;
        }
    }
    s.restFrom = uint32_t(p);
    switch (s.op) {
        case Op::kVar:
        case Op::kGlobal: {
            s.a = script::ReadPrefix(text, p, &s.error);
            // A name ended by ";" has no value: nothing more belongs to the statement.
            if (s.error.empty() && p > 0 && text[p - 1] == '=')
                s.b = script::ReadSuffix(text, p, &s.error);
            if (!s.error.empty()) p = PastSemicolon(text, s.restFrom);
            break;
        }
        case Op::kIn:
            s.names = ReadNames(text, p);
            p = PastSemicolon(text, p);
            break;
        case Op::kOut: {
            const size_t end = script::FindOutside(text, ';', p);
            const std::string_view list = text.substr(p, (end == npos ? text.size() : end) - p);
            if (!Trim(list).empty()) {
                size_t from = 0;
                for (;;) {
                    const size_t comma = script::FindOutside(list, ',', from);
                    const std::string_view piece =
                        Trim(list.substr(from, comma == npos ? npos : comma - from));
                    Statement::Arg arg;
                    arg.quoted = piece.size() >= 2 && piece.front() == '"' && piece.back() == '"';
                    arg.text = arg.quoted ? std::string(piece.substr(1, piece.size() - 2))
                                          : std::string(piece);
                    s.args.push_back(std::move(arg));
                    if (comma == npos) break;
                    from = comma + 1;
                }
            }
            p = end == npos ? text.size() : end + 1;
            break;
        }
        case Op::kBegin: {
            s.a = script::ReadFunctionName(text, p, &s.error);
            const size_t end = PastSemicolon(text, p);
            const size_t open = text.substr(0, end).find('(', p);
            if (open != npos) s.names = ReadNames(text, open + 1);
            p = end;
            break;
        }
        case Op::kCall:
        case Op::kJump:
        case Op::kLabel:
        case Op::kOperate:
        case Op::kInterpreter:
        case Op::kMatch:
        case Op::kIf:
        case Op::kWhile:
        case Op::kForIf:
            s.a = script::ReadSuffix(text, p, &s.error);
            if (!s.error.empty()) p = PastSemicolon(text, p);
            break;
        case Op::kOpen:
            p = PastSemicolon(text, p);
            break;
        case Op::kClose:
            if (p < text.size() && text[p] == ';') ++p;
            break;
        case Op::kEmpty:
            // Nothing was read (over-long, or a stray byte): step over one character.
            if (p <= position)
                p = position + std::max<size_t>(1, script::CharLength(text, position));
            break;
        default:
            break;
    }
    s.next = uint32_t(std::max<size_t>(p, position + 1));
    cache_->bytes += StatementBytes(s);
    return s;
}

size_t ScriptInstance::DecodedBytes() const {
    return cache_ ? cache_->bytes : 0;
}

// ---- the step ---------------------------------------------------------------------------------

uint32_t ScriptInstance::Fail(std::string text) {
    errorText_ = std::move(text);
    state_ = kScriptError;
    return kScriptError;
}

uint32_t ScriptInstance::FailOverMemoryBound() {
    // The bound is this client's own guard, not an error of the script's that a player is
    // told of: the reason goes to the log, and the run fails with no text to show.
    WriteLogText(script::FormatText("脚本%s占用内存过多,已中止!", name_.text()));
    return Fail("");
}

uint32_t ScriptInstance::ExecuteStatement() {
    if (position_ >= GetText().size()) {
        state_ = kScriptFinished;
        return kScriptFinished;
    }
    if (state_ == kScriptFinished || state_ == kScriptHalted) return state_;
    // Values also arrive between statements (a call's results, a caller's arguments): a run
    // that holds too many stops before it computes with them.
    if (OverMemoryBound()) return FailOverMemoryBound();
    state_ = kScriptContinue;
    // Between statements no decoded statement is in use, by this run or another of the text.
    if (cache_ && cache_->bytes > std::max(kDecodedBytesAtLeast,
                                           kDecodedBytesPerTextByte * GetText().size())) {
        cache_->statements.clear();
        cache_->bytes = 0;
    }
    const Statement& s = Decode(position_);
    position_ = s.next;
    if (!s.error.empty()) return Fail(s.error);
    const uint32_t r = Run(s);
    if (r != kScriptError && OverMemoryBound()) return FailOverMemoryBound();
    return r;
}

uint32_t ScriptInstance::Run(const Statement& s) {
    switch (s.op) {
        case Op::kVar:
            SetVariable(s.a, ValueString(s.b, kValueText));
            return kScriptContinue;
        case Op::kGlobal:
            return SetGlobal(s);
        case Op::kIn:
            // The compiler writes a 传入 without a name for a result that found no free
            // temporary: the run must stop there rather than compute on without it.
            if (s.names.empty()) return Fail("传入：接受参数名不能为空!");
            return Bind(s);
        case Op::kOut:
            ClearValues();
            for (const Statement::Arg& arg : s.args) {
                PushArgValue(arg.text, arg.quoted);
                // Checked at each value: one statement of many arguments would otherwise copy
                // a long text as often as it names it before the check after the statement.
                if (OverMemoryBound()) return FailOverMemoryBound();
            }
            outValues_ = values_.size();
            pushedValues_ += values_.size();
            return kScriptContinue;
        case Op::kCall:
            if (!s.a.empty() && s.a[0] == '@') {
                functionName_ = GetValue(std::string_view(s.a).substr(1));
            } else {
                functionName_ = ValueString(s.a, kValueText);
            }
            state_ = kScriptCallPending;
            return kScriptCallPending;
        case Op::kJump: {
            auto it = variables_.find(s.a);
            if (it != variables_.end()) {
                copiedBytes_ += it->second.text().size();  // read as a number, as a condition is
                depth_ = 0;
                position_ = uint32_t(it->second.ToInt());
            }
            return kScriptContinue;
        }
        case Op::kLabel:
            SetVariable(s.a, ValueString::FromUnsigned(s.next));
            return kScriptContinue;
        case Op::kOperate:
            return Operate(s);
        case Op::kBegin:
            if (s.a.empty()) return Fail("脚本名为空!");
            name_ = ValueString(s.a, kValueText);
            return Bind(s);
        case Op::kEnd:
            position_ = 0;
            state_ = 0;
            return kScriptFinished;
        case Op::kInterpreter: {
            const double v = ValueString(s.a, kValueText).ToFloat();
            if (v > 1.0) return Fail("脚本版本号过高,请换用更高级的脚本解释器!");
            version_ = v;
            return kScriptContinue;
        }
        case Op::kMatch:
            return Match(s);
        case Op::kIf:
            return Condition(s);
        case Op::kElse:
            return Else(s);
        case Op::kWhileStart:
            return PushBlock(position_);
        case Op::kWhile:
            return LoopTest(s, "While条件句括号匹配错误!%s");
        case Op::kBreak:
            return Break(s);
        case Op::kForStart:
            return ForStart(s);
        case Op::kForIf:
            return LoopTest(s, "条件句括号匹配错误!%s");
        case Op::kOpen:
            return PushBlock(0);
        case Op::kClose:
            return CloseBrace();
        case Op::kParallel:
            ++parallel_;
            return kScriptContinue;
        case Op::kType:
            declaredType_ = s.type;
            return kScriptContinue;
        case Op::kForBegin:
        case Op::kMatchEnd:
        case Op::kEmpty:
            return kScriptContinue;
        case Op::kUnknown:
            break;
    }
    return Fail(script::FormatText("脚本调用了一个无法识别的符号:%s!", s.word));
}

uint32_t ScriptInstance::SetGlobal(const Statement& s) {
    if (globals_) {
        if (globals_->count(s.a))
            return Fail("脚本" + name_.text() + "全局变量" + s.a + "重复定义!");
        globals_->emplace(s.a, ValueString(s.b, kValueText));
    }
    return kScriptContinue;
}

uint32_t ScriptInstance::Bind(const Statement& s) {
    // One statement may name a thousand parameters, each a variable set: each counts as a
    // value a 传出 pushes does.
    pushedValues_ += s.names.size();
    for (size_t i = 0; i < s.names.size(); ++i) {
        const std::string& name = s.names[i];
        if (name.empty()) {
            if (i + 1 < s.names.size()) return Fail("传入：接受参数名不能为空!");
            continue;  // an empty last name ("传入 a,;") binds nothing
        }
        if (!GetParamValue(int(i), name)) return Fail(errorText_);
    }
    return kScriptContinue;
}

bool ScriptInstance::GetParamValue(int index, std::string_view name) {
    if (index < 0 || size_t(index) >= values_.size()) {
        errorText_ = script::FormatText("%s:GetParamValue错误,传入参数不足!", name_.text());
        return false;
    }
    SetVariable(name, values_[size_t(index)]);
    return true;
}

// ---- blocks -----------------------------------------------------------------------------------

uint32_t ScriptInstance::PushBlock(uint32_t start) {
    if (depth_ >= kMaxScriptBlocks) return Fail("段落嵌套过多!");
    blocks_[size_t(depth_++)] = start;
    return kScriptContinue;
}

uint32_t ScriptInstance::CloseBrace() {
    if (depth_ <= 0) return Fail("右括号匹配错误!少了一个左括号,大哥!");
    const uint32_t start = blocks_[size_t(depth_ - 1)];
    if (start != 0) {
        position_ = start;
        return kScriptContinue;
    }
    // The closed branch leaves the text "TRUE": a following 否则 sees that a branch ran.
    ClearValues();
    Keep(ValueString("TRUE", kValueText));
    --depth_;
    return kScriptContinue;
}

size_t ScriptInstance::SkipBlock(size_t from, int count) {
    size_t q = from;
    while (q < GetText().size()) {
        ++walked_;
        const Statement& s = Decode(uint32_t(q));
        q = s.next;
        if (Opens(s.op)) {
            ++count;
        } else if (s.op == Op::kClose && --count == 0) {
            return q;
        }
    }
    return npos;
}

uint32_t ScriptInstance::Condition(const Statement& s) {
    if (Truth(s.a)) return kScriptContinue;
    const size_t after = SkipBlock(position_, 0);
    if (after == npos) return Fail(script::FormatRest("条件句括号匹配错误!%s", GetText(), position_));
    position_ = uint32_t(after);
    return kScriptContinue;
}

uint32_t ScriptInstance::Else(const Statement& s) {
    if (values_.empty())
        return Fail(script::FormatRest("Else语法错误，缺乏前置条件%s", GetText(), s.restFrom));
    const ValueString top = PopValue();
    if (!top.ToBool()) return kScriptContinue;
    const size_t after = SkipBlock(position_, 0);
    if (after == npos)
        return Fail(script::FormatRest("条件句Else括号匹配错误!%s", GetText(), position_));
    position_ = uint32_t(after);
    return kScriptContinue;
}

uint32_t ScriptInstance::LoopTest(const Statement& s, const char* message) {
    if (Truth(s.a)) return kScriptContinue;
    const size_t after = SkipBlock(position_, 1);
    if (after == npos) return Fail(script::FormatRest(message, GetText(), position_));
    position_ = uint32_t(after);
    if (depth_ > 0) --depth_;
    return kScriptContinue;
}

uint32_t ScriptInstance::ForStart(const Statement& s) {
    const uint32_t r = PushBlock(position_);
    if (r != kScriptContinue) return r;
    size_t q = position_;
    while (q < GetText().size()) {
        ++walked_;
        const Statement& t = Decode(uint32_t(q));
        q = t.next;
        if (t.op == Op::kForBegin) {
            position_ = uint32_t(q);
            return kScriptContinue;
        }
    }
    return Fail(script::FormatRest("条件句括号匹配错误!%s", GetText(), s.restFrom));
}

uint32_t ScriptInstance::Break(const Statement& s) {
    if (depth_ == 0) return kScriptContinue;
    int count = 0;
    size_t q = position_;
    while (q < GetText().size()) {
        ++walked_;
        const Statement& t = Decode(uint32_t(q));
        q = t.next;
        if (Opens(t.op)) {
            ++count;
            continue;
        }
        if (t.op != Op::kClose || --count >= 0) continue;
        if (depth_ == 0) break;
        const uint32_t start = blocks_[size_t(--depth_)];
        if (start != 0) {
            position_ = uint32_t(q);
            return kScriptContinue;
        }
        count = 0;
    }
    return Fail(script::FormatRest("跳出失败!%s", GetText(), s.restFrom));
}

uint32_t ScriptInstance::Match(const Statement& s) {
    // Read in place: a copy of a long text at every pass would cost its length each time.
    const ValueString* held = FindVariable(s.a);
    const ValueString named = held || s.a.empty() ? ValueString() : ValueString(s.a, kValueText);
    const ValueString& value = held ? *held : named;
    if (value.type() == kValueNone) return Fail("匹配语句不能匹配空.");
    // The case labels of this 匹配 lie between it and its own 匹配完毕 (nested ones skipped).
    // A label is taken whole: 匹配 on 1 must not run the case of 标记 10.
    int nesting = 0;
    size_t found = npos;
    size_t q = position_;
    while (q < GetText().size()) {
        ++walked_;
        const Statement& t = Decode(uint32_t(q));
        q = t.next;
        if (t.op == Op::kMatch) {
            ++nesting;
        } else if (t.op == Op::kMatchEnd) {
            if (nesting-- == 0) {
                position_ = uint32_t(found != npos ? found : q);
                return kScriptContinue;
            }
        } else if (t.op == Op::kLabel && nesting == 0 && found == npos && t.a == value.text()) {
            found = q;
        }
    }
    return Fail("匹配错误，没有正确的结束语.");
}

// ---- 运算 --------------------------------------------------------------------------------------

namespace {

bool IsNumeric(uint8_t type) {
    return type == kValueInt || type == kValueBool || type == kValueUnsigned || type == kValueFloat;
}

int WrapDivide(int a, int b) {
    return (a == INT_MIN && b == -1) ? INT_MIN : a / b;
}

int WrapRemainder(int a, int b) {
    return (a == INT_MIN && b == -1) ? 0 : a % b;
}

}  // namespace

uint32_t ScriptInstance::Operate(const Statement& s) {
    if (values_.size() < 2)
        return Fail(script::FormatRest("运算传入参数不能小于2,%s", GetText(), s.restFrom));
    ValueString a = values_[0];
    ValueString b = values_[1];
    copiedBytes_ += a.text().size() + b.text().size();
    static constexpr uint8_t kTypes[] = {0, kValueInt, kValueUnsigned, kValueFloat, kValueText};
    if (declaredType_ == kDeclaredAuto || declaredType_ > kDeclaredText) {
        a.DetectType();
        b.DetectType();
    } else {
        a.SetType(kTypes[declaredType_], a.flag());
        b.SetType(kTypes[declaredType_], b.flag());
    }
    const std::string& op = s.a;
    ValueString r;
    if (op == "+") {
        r = ValueString::Add(a, b);
    } else if (op == "-") {
        r = ValueString::Subtract(a, b);
    } else if (op == "*") {
        r = ValueString::Multiply(a, b);
    } else if (op == "/" || op == "%") {
        const bool isFloat = a.type() == kValueFloat && op == "/";
        if (op == "%" || IsNumeric(a.type())) {
            if (isFloat ? b.ToFloat() == 0.0 : b.ToInt() == 0) return Fail("运算除数不能为0!");
        }
        if (op == "%")
            r = ValueString::FromInt(WrapRemainder(a.ToInt(), b.ToInt()));
        else if (IsNumeric(a.type()) && !isFloat)
            r = ValueString(std::to_string(WrapDivide(a.ToInt(), b.ToInt())), kValueInt, a.flag());
        else
            r = ValueString::Divide(a, b);
    } else if (op == ">=") {
        r = ValueString::FromBool(ValueString::GreaterOrEqual(a, b));
    } else if (op == ">") {
        // By type like the other comparisons: as integers, 0.5 > 0.2 would be false.
        r = ValueString::FromBool(!(ValueString::Less(a, b) || ValueString::Equal(a, b)));
    } else if (op == "<=") {
        r = ValueString::FromBool(ValueString::Less(a, b) || ValueString::Equal(a, b));
    } else if (op == "<") {
        r = ValueString::FromBool(ValueString::Less(a, b));
    } else if (op == "==") {
        r = ValueString::FromBool(ValueString::Equal(a, b));
    } else if (op == "!=") {
        r = ValueString::FromBool(ValueString::NotEqual(a, b));
    } else if (op == "&&") {
        r = ValueString::FromBool(a.ToBool() && b.ToBool());
    } else if (op == "||") {
        r = ValueString::FromBool(a.ToBool() || b.ToBool());
    } else if (op == "&") {
        r = ValueString::FromUnsigned(uint32_t(a.ToInt()) & uint32_t(b.ToInt()));
    } else if (op == "|") {
        r = ValueString::FromUnsigned(uint32_t(a.ToInt()) | uint32_t(b.ToInt()));
    } else {
        return Fail(script::FormatText("无法匹配的运算操作符%s!", op));
    }
    ClearValues();
    Keep(std::move(r));
    return kScriptContinue;
}

}  // namespace hqlv::engine
