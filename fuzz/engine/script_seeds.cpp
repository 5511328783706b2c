// Seeds of the script harness: the script corpus of the tests, as the GBK resources they
// stand for.
#include <string>

#include "platform/core/text.h"
#include "script_corpus.h"
#include "seed_writer.h"

bool WriteSeeds() {
    bool ok = true;
    int n = 0;
    for (const auto& c : hqlv::engine::test::Cases()) {
        const std::string gbk = hqlv::platform::utf8ToGbk(hqlv::engine::test::Source(c));
        ok = hqlv::fuzzseed::Seed("script-" + std::to_string(n++),
                                  std::vector<uint8_t>(gbk.begin(), gbk.end())) &&
             ok;
    }
    return ok;
}
