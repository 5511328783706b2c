// Drives the create, resource and object families with call sequences decoded from the
// input: each call is a function, an argument count and arguments drawn from the ids of the
// entities made so far, the families' own words, picture names, edge numbers and raw text,
// run as a script's entry of its own. Two pictures are registered and a plane and an image
// exist before the first call.
#include <sanitizer/lsan_interface.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "builtin_calls.h"
#include "engine/core/engine_log.h"
#include "engine/core/resource_manager.h"
#include "engine/script/script_manager.h"
#include "engine/script/script_runner.h"
#include "fuzz/temp_logs.h"
#include "fuzz_pictures.h"
#include "platform/core/glyphs.h"

using namespace hqlv::engine;

namespace {

// The pictures' folder of this process, which takes the engine's log too; it goes when the
// process ends.
const std::string& PictureFolder() {
    return hqlv::fuzz::TemporaryLogFolder("builtin");
}

// The work one input may ask for, in statements (the manager counts plane work as
// statements, one per 1,024 pixels walked). A call that fills, pastes into or writes on a
// plane of 4096 x 4096 walks 16 million pixels, a tenth of a second under the sanitizers,
// and an input of 2,048 bytes holds hundreds of such calls: it ran past the 10-second limit
// for one input. As in the script harness, 200,000 statements' worth reaches every path.
constexpr uint64_t kInputWork = 200000;
// Each call runs as a script's entry of this budget: the manager leaves undone the work that
// would pass it. Called outside any run, one call resized a plane to 8192 x 8192 and filled it
// three times, and twelve resizes of 4096 x 4096 took 35 s.
constexpr uint32_t kCallBudget = 10000;
// As in the script harness, the statements that plane work counts as stand for this many
// against the input's work: under the sanitizers with coverage every pixel loop is traced,
// and 1,024 pixels take the time of dozens of statements.
constexpr uint64_t kPixelWorkWeight = 64;

// The functions whose work walks a plane's pixels.
bool WalksPixels(const std::string& function) {
    return function == "创建平面" || function == "操作平面" || function == "贴图";
}

struct World {
    ScriptRunner runner;  // the engine makes the manager with every family on
    std::string folder = PictureFolder();

    World() {
        runner.Scripts().SetStatementBudget(kCallBudget);
        SetEngineLogFolder(folder);
        fuzz::WritePictures(folder);
        fuzz::RegisterPictures(folder);
        // The font configuration loads once, at the first text drawn, and fontconfig's own
        // parse of it leaves a few blocks (834 bytes) unreachable: loaded here with the leak
        // checker looking away, so that a run drawing the first text is not failed for them.
        __lsan::ScopedDisabler systemLibraryLeak;
        hqlv::platform::glyphFaceFile("");
    }
};

using fuzz::builtin::kFunctions;
using fuzz::builtin::kNumbers;
using fuzz::builtin::kWords;

// A call's run as it stands before the function: the same few statements for every call of
// a function, so each is compiled once and copied (compiling them was a fifth of a run; the
// script harness covers the compiler).
const ScriptInstance& PreparedCall(const std::string& function) {
    static std::map<std::string, std::unique_ptr<ScriptInstance>> prepared;
    std::unique_ptr<ScriptInstance>& run = prepared[function];
    if (!run) {
        run = std::make_unique<ScriptInstance>();
        run->SetText("脚本开始 f();\r\n       函数 " + function + ";\r\n脚本结束;");
        run->ExecuteStatement();
    }
    return *run;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static World* world = new World();
    ScriptManager& m = world->runner.Scripts();
    GameKernel& k = world->runner.GetKernel();
    ResourceManager& rm = GetResourceManager();
    rm.SetRootDir(world->folder);

    std::vector<std::string> ids;
    uint64_t pixelExtra = 0;
    auto call = [&](const std::string& function, const std::vector<std::string>& args) {
        ScriptInstance run(PreparedCall(function));
        for (const std::string& a : args) run.PushValue(ValueString(a, kValueText));
        const uint64_t before = m.GetExecutedCount();
        const uint32_t code = m.RunScript(&run);
        if (WalksPixels(function))
            pixelExtra += (m.GetExecutedCount() - before) * (kPixelWorkWeight - 1);
        // A new entity's id joins the pool.
        if (code == kScriptFinished && function.rfind("创建", 0) == 0 && run.GetArgCount() == 1)
            ids.push_back(run.GetArg(0).text());
    };
    call("创建平面", {"8", "6", "255"});
    call("创建图片", {"tiles"});
    call("创建图片", {"dot", "0", "2"});
    const uint32_t firstId = ids.empty() ? 1 : uint32_t(std::stoul(ids[0]));

    size_t at = 0;
    int planes = 0;
    auto next = [&]() -> uint8_t { return at < size ? data[at++] : 0; };
    const uint64_t work = m.GetExecutedCount();
    while (at < size && m.GetExecutedCount() + pixelExtra - work < kInputWork) {
        const std::string function = kFunctions[next() % std::size(kFunctions)];
        const int count = next() % 9;
        std::vector<std::string> args;
        for (int i = 0; i < count; ++i) {
            const uint8_t pick = next();
            switch (pick % 5) {
                case 0:
                    args.push_back(ids.empty() ? "0" : ids[(pick / 5) % ids.size()]);
                    break;
                case 1:
                    args.push_back(kWords[(pick / 5) % std::size(kWords)]);
                    break;
                case 2:
                    args.push_back(kNumbers[(pick / 5) % std::size(kNumbers)]);
                    break;
                case 3:
                    args.push_back(std::to_string(int8_t(next())));
                    break;
                default: {  // raw text (rich text for 文字)
                    const size_t n = next() % 16;
                    std::string text;
                    for (size_t j = 0; j < n && at < size; ++j) text += char(next());
                    args.push_back(text);
                }
            }
        }
        // Only pictures of the fuzz folder may load: any other name would end the process on
        // the resource manager's fatal path, which is the engine's to take. (The root folder
        // that 设置资源目录 sets is put back after the call.)
        if (function == "动态加载") {
            for (std::string& a : args)
                if (a != "tiles.bmp" && a != "dot.bmp") a = "tiles.bmp";
        }
        // A few planes of the largest size are enough; dozens would only measure memory.
        if (function == "创建平面" && ++planes > 8) continue;
        call(function, args);
        if (function == "设置资源目录") rm.SetRootDir(world->folder);
        if (next() % 4 == 0) {
            world->runner.Clock().advance(next());
            k.RunDueApplies();
        }
    }

    // Leave nothing for the next input.
    k.CancelAllApplies();
    while (k.PopMessage().code != 0) {
    }
    world->runner.texts.clear();
    call("创建平面", {"1", "1"});
    const uint32_t lastId = ids.empty() ? 0 : uint32_t(std::stoul(ids.back()));
    for (uint32_t id = firstId; id <= lastId; ++id) k.DestroyEntityTree(id);
    return 0;
}
