// The scene's tile records driven by words as the server sends them: record access with
// any area, view and index, hand codes of any count, draws, sorting, the choice marks and
// the action log with bodies of any length. Nothing may read or write outside the areas.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

#include "engine/core/engine_log.h"
#include "fuzz/temp_logs.h"
#include "mahjong/scene/game_scene.h"

namespace {

struct Reader {
    const uint8_t* p;
    size_t n;
    int32_t Word() {
        int32_t v = 0;
        const size_t k = n < 4 ? n : 4;
        std::memcpy(&v, p, k);
        p += k, n -= k;
        return v;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The engine's log goes to the process's own folder, which goes when the process ends.
    static const bool logs = [] {
        hqlv::engine::SetEngineLogFolder(hqlv::fuzz::TemporaryLogFolder("scene-records"));
        return true;
    }();
    (void)logs;
    using namespace hqlv::mahjong;
    static CMJGameScene2* scene = new CMJGameScene2;
    scene->Tiles().Clear();
    scene->ClearActionLog();
    Reader in{data, size};
    while (in.n > 0) {
        const int op = in.Word() & 15;
        const int view = in.Word() % 6 - 1;
        switch (op) {
            case 0: {
                const int area = in.Word() % 9;
                const int index = in.Word();
                if (MJTileInfo* r = scene->GetTileRecord(area, view, index)) {
                    r->nCode = in.Word();
                    r->bPresent = in.Word() & 1;
                    r->bHand = in.Word() & 1;
                    r->nMeld = in.Word() & 3;
                }
                break;
            }
            case 1:
            case 2: {
                int32_t codes[32];
                for (int32_t& c : codes) c = in.Word();
                const size_t count = size_t(uint32_t(in.Word())) % 33;
                if (op == 1)
                    scene->LoadHandCodes(view, std::span(codes, count));
                else
                    scene->LoadHandCodesFrom1(view, std::span(codes, count));
                break;
            }
            case 3:
                scene->MoveTileToDrawSlot(view);
                break;
            case 4:
                scene->InsertDrawnTile(view);
                break;
            case 5:
                scene->MarkGangChoices();
                break;
            case 6:
                scene->MarkFlowerChoices();
                break;
            case 7: {
                const uint32_t id = uint32_t(in.Word() % 8 + 229195);
                const size_t length = size_t(uint32_t(in.Word())) % 256;
                const size_t take = length < in.n ? length : in.n;
                scene->RecordGameNotify(id, std::span(in.p, take));
                in.p += take, in.n -= take;
                break;
            }
            case 8:
                (void)GetFaceIndex(in.Word());
                break;
            default:
                scene->Tiles().FreeMeldGroup(view);
                break;
        }
    }
    return 0;
}
