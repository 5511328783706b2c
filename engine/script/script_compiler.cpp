// The compiler: script bodies with structured statements, nested calls and infix
// expressions become flat lists of simple statements, one per line.
#include <array>

#include "engine/script/script_manager.h"
#include "engine/script/script_text.h"

namespace hqlv::engine {

using script::npos;

namespace {

constexpr std::string_view kIndent = "       ";
constexpr std::string_view kBegin = "脚本开始";
constexpr std::string_view kEnd = "脚本结束";

void Emit(std::string& out, std::string_view statement) {
    out += kIndent;
    out += statement;
    out += ";\r\n";
}

// Rule 2: statements written by hand in their executable form.
bool IsCopiedWord(std::string_view w) {
    static constexpr std::string_view kWords[] = {"解释器",   "传入", "传出", "变量",
                                                  "全局变量", "函数", "跳转", "标记",
                                                  "运算",     "返回", "匹配"};
    for (std::string_view k : kWords)
        if (w == k) return true;
    return false;
}

}  // namespace

struct ExprToken {
    std::string text;
    int kind = -1;  // 2 operator, 0 punctuation or keyword, -1 operand, n ≥ 0 a call
    bool call = false;
    bool unary = false;
};

struct ScriptManager::Compiler {
    using Token = ExprToken;
    static constexpr size_t kMaxOperators = 40;
    static constexpr size_t kMaxOutput = 60;
    static constexpr size_t kMaxOperands = 60;
    std::array<Token, kMaxOperators> ops;
    std::array<Token, kMaxOutput> output;
    std::array<std::string, kMaxOperands> operands;
    size_t nOps = 0;
    size_t nOutput = 0;
    size_t nOperands = 0;
    bool overflow = false;
    std::string error;

    static int Rank(const Token& t) {
        const std::string& s = t.text;
        if (t.unary) return 12;
        if (t.call) return 15;
        if (s.empty() || s == ";" || s == "(") return 0;
        if (s == ",") return 1;
        if (s == "&&" || s == "||") return 2;
        if (s == "&" || s == "|") return 3;
        if (s == ">" || s == "<" || s == "==" || s == ">=" || s == "<=" || s == "!=") return 4;
        if (s == "+" || s == "-") return 5;
        if (s == "*" || s == "/" || s == "%") return 10;
        return 15;
    }
    static bool PrecedesOrEqual(const Token& left, const Token& right) {
        if (left.text == "(" && !left.call) return false;
        return Rank(left) >= Rank(right);
    }
    void ToOutput(Token t) {
        if (nOutput >= kMaxOutput) {
            overflow = true;
            return;
        }
        output[nOutput++] = std::move(t);
    }
    void Push(Token t) {
        if (nOps >= kMaxOperators) {
            overflow = true;
            return;
        }
        ops[nOps++] = std::move(t);
    }
};

// The compiler's work areas are the manager's own.
ScriptManager::ScriptManager() : compiler_(std::make_unique<Compiler>()) {}

ScriptManager::~ScriptManager() {
    running_.clear();
}

// ---- cutting ----------------------------------------------------------------------------------

ValueString ScriptManager::ExtractScriptBody(std::string_view text, size_t& offset) {
    if (offset >= text.size()) return {};
    const size_t begin = text.find(kBegin, offset);
    if (begin == npos) return {};
    const size_t end = text.find(kEnd, begin + kBegin.size());
    if (end == npos) return {};
    const size_t semi = text.find(';', end + kEnd.size());
    if (semi == npos) return {};
    offset = semi + 1;
    return ValueString(std::string(text.substr(begin, semi + 1 - begin)), kValueText);
}

void ScriptManager::StripComments(std::string& text) {
    // One pass that removes what repeatedly deleting the first "//" through its line feed
    // would: the text before the cursor never holds "//", so a new pair is always the first.
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '/' && !out.empty() && out.back() == '/') {
            out.pop_back();
            const size_t lf = text.find('\n', i + 1);
            if (lf == npos) break;
            i = lf;
            continue;
        }
        out += text[i];
    }
    text.swap(out);
}

// ---- expressions ------------------------------------------------------------------------------

namespace {

enum class Read { kToken, kEnd, kFail };

Read ReadExprToken(std::string_view t, size_t& pos, ExprToken& tok) {
    pos = script::SkipBlanks(t, pos);
    if (pos >= t.size()) return Read::kEnd;
    tok = {};
    static constexpr std::string_view kTwo[] = {"==", "&&", "||", ">=", "<=", "!="};
    for (std::string_view op : kTwo) {
        if (t.substr(pos, 2) == op) {
            tok.text = op;
            tok.kind = 2;
            pos += 2;
            return Read::kToken;
        }
    }
    const char c = t[pos];
    if (std::string_view("+-*/%&|><").find(c) != npos) {
        tok.text = std::string(1, c);
        tok.kind = 2;
        ++pos;
        return Read::kToken;
    }
    if (c == ';' || c == '(' || c == ')' || c == ',') {
        tok.text = std::string(1, c);
        tok.kind = 0;
        ++pos;
        return Read::kToken;
    }
    size_t e = pos;
    bool inside = false;
    while (e < t.size()) {
        const char d = t[e];
        if (d == '"')
            inside = !inside;
        else if (!inside && (script::IsOperatorChar(d) || d == '(' || d == ')' || d == ';' ||
                             d == ',' || script::IsBlankChar(d)))
            break;
        ++e;
    }
    if (e == pos) return Read::kFail;  // a lone "=" or "!"
    tok.text = std::string(t.substr(pos, e - pos));
    if (script::IsKeywordWord(tok.text)) {
        tok.kind = 0;
        pos = e;
        return Read::kToken;
    }
    const size_t q = script::SkipBlanks(t, e);
    if (q < t.size() && t[q] == '(') {
        const size_t close = script::FindClosingParen(t, q + 1);
        if (close == npos) return Read::kFail;
        tok.call = true;
        tok.kind = script::CountArguments(t.substr(q + 1, close - q - 1));
        pos = q + 1;
        return Read::kToken;
    }
    tok.kind = -1;
    pos = e;
    return Read::kToken;
}

bool IsUnaryPosition(std::string_view t, size_t at) {
    size_t i = at;
    while (i > 0 && script::IsBlankChar(t[i - 1])) --i;
    if (i == 0) return true;
    const char before = t[i - 1];
    return script::IsOperatorChar(before) || before == '(' || before == ',';
}

}  // namespace

void ScriptManager::PushOperator(ExprToken tok) {
    Compiler& c = *compiler_;
    if (tok.text == "(" && !tok.call) {
        c.Push(std::move(tok));
        return;
    }
    if (tok.text == ")") {
        while (c.nOps > 0 && !(c.ops[c.nOps - 1].text == "(" && !c.ops[c.nOps - 1].call))
            c.ToOutput(std::move(c.ops[--c.nOps]));
        if (c.nOps == 0)
            ReportError("运算格式括号不匹配!");
        else
            --c.nOps;
        return;
    }
    while (c.nOps > 0 && Compiler::PrecedesOrEqual(c.ops[c.nOps - 1], tok))
        c.ToOutput(std::move(c.ops[--c.nOps]));
    if (tok.text != ",") c.Push(std::move(tok));
}

std::string ScriptManager::NewTempName() const {
    const Compiler& c = *compiler_;
    for (int k = 0; k < 5; ++k) {
        std::string name = "缓存" + std::to_string(k);
        bool used = false;
        for (size_t i = 0; i < c.nOperands; ++i) used = used || c.operands[i] == name;
        if (!used) return name;
    }
    return {};
}

bool ScriptManager::Flatten(std::string_view expr, std::string& out) {
    Compiler& c = *compiler_;
    c.nOps = c.nOutput = c.nOperands = 0;
    c.overflow = false;
    size_t pos = 0;
    for (;;) {
        ExprToken tok;
        const size_t at = script::SkipBlanks(expr, pos);
        const Read r = ReadExprToken(expr, pos, tok);
        if (r == Read::kEnd) break;
        if (r == Read::kFail) return false;
        if (tok.call) {
            PushOperator(tok);
            ExprToken open;
            open.text = "(";
            open.kind = 0;
            c.Push(std::move(open));
        } else if (tok.kind == -1) {
            c.ToOutput(std::move(tok));
        } else if (tok.text == "-" && IsUnaryPosition(expr, at)) {
            // A prefix minus binds tighter than * / % and looser than a call: 0 - operand.
            // At the rank of a binary minus, 2 * -a would pop the product 2 * 0 first and
            // give -a, and a - -b would give (a - 0) - b.
            ExprToken zero;
            zero.text = "0";
            c.ToOutput(std::move(zero));
            tok.unary = true;
            c.Push(std::move(tok));
        } else {
            PushOperator(std::move(tok));
        }
        if (c.overflow) return false;
    }
    // Only the closing ";" may be left: an unclosed "(" keeps operators from the output, so
    // the statements would compute a value that leaves them out.
    for (size_t i = 0; i < c.nOps; ++i)
        if (c.ops[i].text != ";") return false;

    for (size_t i = 0; i < c.nOutput; ++i) {
        ExprToken& e = c.output[i];
        if (e.kind == -1 && !e.call) {
            if (c.nOperands >= Compiler::kMaxOperands) return false;
            c.operands[c.nOperands++] = std::move(e.text);
            continue;
        }
        if (e.kind == 0 && !e.call) {
            Emit(out, e.text);
            continue;
        }
        const size_t n = size_t(e.kind);
        if (c.nOperands < n) return false;
        // A call without arguments still clears the value stack first, so that it is not
        // handed what an earlier statement left there as its arguments.
        std::string list = "传出 ";
        for (size_t k = c.nOperands - n; k < c.nOperands; ++k) {
            if (k > c.nOperands - n) list += ',';
            list += c.operands[k];
        }
        c.nOperands -= n;
        Emit(out, list);
        // With five temporaries in use the result has nowhere to go: its 传入 gets no name and
        // stops the run with its message when the run comes there. Left out instead, the
        // statement would let the run go on with its target's old value.
        const std::string temp = NewTempName();
        Emit(out, (e.call ? "函数 " : "运算 ") + e.text);
        if (i + 1 == c.nOutput && c.nOperands == 0) break;
        // Nor does it leave an operand: it stands as a statement of its own or as the whole of
        // a right side, and an operator or call around it finds too few operands.
        if (e.call && n == 0) continue;
        Emit(out, "传入 " + temp);
        c.operands[c.nOperands++] = temp;
    }
    if (c.nOperands > 0) {
        std::string list = "传出 ";
        for (size_t k = 0; k < c.nOperands; ++k) {
            if (k) list += ',';
            list += c.operands[k];
        }
        Emit(out, list);
    }
    return true;
}

std::string ScriptManager::FlattenExpression(std::string_view expression) {
    std::string out;
    if (!Flatten(expression, out)) return {};
    return out;
}

// ---- statements -------------------------------------------------------------------------------

ScriptManager::Compiled ScriptManager::CompileExpressionStatement(std::string_view text,
                                                                  size_t& pos, std::string& out,
                                                                  std::string& error) {
    const size_t start = pos;
    std::string target;
    size_t p = start;
    if (script::FindAssignment(text, start) != npos) {
        target = script::ReadPrefix(text, p, &error);
        if (target.empty()) {
            if (error.empty()) error = script::FormatRest("运算格式错误:%s", text, start);
            return Compiled::kFailed;
        }
    }
    const std::string rhs = script::ReadSuffix(text, p, &error);
    if (!error.empty()) return Compiled::kFailed;
    pos = p;
    // A right side that does not flatten (a call without arguments inside a larger
    // expression, too few operands, an unclosed "(") leaves the statement out whole, its
    // store too: storing would hand the target whatever an earlier statement left on the
    // value stack. An empty right side would store such a value as well.
    const size_t mark = out.size();
    if (!Flatten(rhs + ";", out) || (!target.empty() && rhs.empty())) {
        out.resize(mark);
        error = script::FormatText("运算格式错误:%s", rhs);
        return Compiled::kDropped;
    }
    if (!target.empty()) Emit(out, "传入 " + target);
    return Compiled::kDone;
}

// A loop part is read like any expression statement: an "=" of a comparison (f(a == b),
// i >= 0) makes no assignment, where taking any "=" for one would cut the part there.
std::string ScriptManager::CompileSection(std::string_view text) {
    std::string out;
    std::string error;
    size_t pos = 0;
    if (CompileExpressionStatement(text, pos, out, error) != Compiled::kDone) {
        ReportError(error);
        return {};
    }
    return out;
}

std::string ScriptManager::CompileLine(std::string_view body) {
    std::string out;
    std::string error;
    if (!CompileBody(body, out, error)) {
        ReportError(error);
        return {};
    }
    return out;
}

bool ScriptManager::CompileBody(std::string_view body, std::string& out, std::string& error) {
    // A condition that cannot be read or does not flatten refuses the body: left out, its
    // test would read whatever value an earlier statement left in 缓存0 and take an
    // arbitrary branch.
    auto flattenCondition = [&](const std::string& cond) {
        if (Flatten(cond + ";", out)) return true;
        error = script::FormatText("运算格式错误:%s", cond);
        return false;
    };
    auto pastBrace = [&](size_t& p) {
        const size_t brace = script::FindOutside(body, '{', p);
        if (brace == npos) {
            error = script::FormatRest("条件句括号匹配错误!%s", body, p);
            return false;
        }
        p = brace + 1;
        return true;
    };
    size_t pos = 0;
    for (;;) {
        pos = script::SkipBlanks(body, pos);
        if (pos >= body.size()) return true;
        const size_t start = pos;
        size_t p = pos;
        const std::string word = script::ReadWord(body, p);
        if (word == kBegin || word == kEnd || IsCopiedWord(word)) {
            // A ";" inside a quoted text (传出 "a;b";) is part of the text: the executor splits
            // its arguments outside quotes, so the statement must reach it whole.
            const size_t semi = script::FindOutside(body, ';', start);
            if (semi == npos) {
                error = script::FormatRest("后缀超长:%s", body, start);
                return false;
            }
            if (word != kBegin && word != kEnd) out += kIndent;
            out.append(body.substr(start, semi + 1 - start));
            out += "\r\n";
            pos = semi + 1;
        } else if (!word.empty() && script::IsKeywordWord(word)) {
            Emit(out, word);
            pos = p;
        } else if (word == "如果" || word == "或者") {
            const std::string cond = script::ReadCondition(body, p, &error);
            if (!error.empty() || !flattenCondition(cond)) return false;
            Emit(out, "传入 缓存0");
            Emit(out, word + " 缓存0");
            pos = p;
        } else if (word == "否则") {
            Emit(out, word);
            pos = p;
        } else if (word == "从") {
            const std::string inner = script::ReadCondition(body, p, &error);
            if (!error.empty()) return false;
            const size_t first = script::FindOutside(inner, ';', 0);
            const size_t second = first == npos ? npos : script::FindOutside(inner, ';', first + 1);
            if (second == npos) {
                error = script::FormatText("运算格式错误:%s", inner);
                return false;
            }
            // The loop's parts are one header: a part that does not compile refuses the body,
            // as a broken condition does, rather than leave a loop that counts on a stale
            // value or never steps.
            size_t q = 0;
            const std::string init = inner.substr(0, first + 1);
            if (CompileExpressionStatement(init, q, out, error) != Compiled::kDone) return false;
            Emit(out, "%ForStart%");
            q = 0;
            const std::string step = inner.substr(second + 1) + ";";
            if (CompileExpressionStatement(step, q, out, error) != Compiled::kDone) return false;
            Emit(out, "%ForBeGin%");
            if (!flattenCondition(inner.substr(first + 1, second - first - 1))) return false;
            Emit(out, "传入 缓存0");
            Emit(out, "%ForIF% 缓存0");
            if (!pastBrace(p)) return false;
            pos = p;
        } else if (word == "当") {
            const std::string cond = script::ReadCondition(body, p, &error);
            if (!error.empty()) return false;
            Emit(out, "%WhileStart%");
            if (!flattenCondition(cond)) return false;
            Emit(out, "传入 缓存0");
            Emit(out, "当 缓存0");
            if (!pastBrace(p)) return false;
            pos = p;
        } else {
            // An expression statement, read from its first byte. One that compiles to nothing
            // is reported and the rest of the body goes on compiling.
            switch (CompileExpressionStatement(body, pos, out, error)) {
                case Compiled::kDone:
                    break;
                case Compiled::kDropped:
                    ReportError(error);
                    error.clear();
                    break;
                case Compiled::kFailed:
                    return false;
            }
        }
    }
}

}  // namespace hqlv::engine
