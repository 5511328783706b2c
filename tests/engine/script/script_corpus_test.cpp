// Whole scripts on a headless engine with simulated time: what each writes with 时间戳,
// what it shows on screen, and how many runs are left.
#include "script_corpus.h"
#include "script_fixture.h"

namespace hqlv::engine::test {
namespace {

struct ScriptCorpus : ScriptFixture, ::testing::WithParamInterface<size_t> {};

TEST_P(ScriptCorpus, StampsTextsAndRuns) {
    const Case& c = Cases()[GetParam()];
    const std::string source = Source(c);
    size_t bodies = 0;
    for (size_t at = source.find("脚本开始"); at != std::string::npos;
         at = source.find("脚本开始", at + 1))
        ++bodies;
    ASSERT_EQ(Load(source), int(bodies));
    EXPECT_EQ(scripts.GetLoadedCount(), c.loaded ? c.loaded : int(bodies));
    scripts.StartScript("main", c.args);
    engine.Pump(600000);
    EXPECT_EQ(Stamps(), c.stamps);
    ASSERT_EQ(Texts().size(), c.texts.size()) << (Texts().empty() ? "" : Texts()[0]);
    for (size_t i = 0; i < c.texts.size(); ++i)
        EXPECT_EQ(Texts()[i].rfind(c.texts[i], 0), 0u) << Texts()[i];
    EXPECT_EQ(scripts.GetRunningCount(), c.running);
}

INSTANTIATE_TEST_SUITE_P(Script, ScriptCorpus, ::testing::Range<size_t>(0, Cases().size()),
                         [](const auto& info) { return std::string(Cases()[info.param].name); });

}  // namespace
}  // namespace hqlv::engine::test
