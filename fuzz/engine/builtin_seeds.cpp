// Seeds of the builtin harness: short call sequences of each family as scripts make them,
// on the plane and the two images the harness makes first (pool ids 0, 1 and 2).
#include <string>
#include <vector>

#include "builtin_calls.h"
#include "seed_writer.h"

using hqlv::engine::fuzz::builtin::CallWriter;

bool WriteSeeds() {
    std::vector<std::pair<std::string, CallWriter>> seeds;
    auto add = [&](const std::string& name) -> CallWriter& {
        seeds.emplace_back(name, CallWriter());
        return seeds.back().second;
    };
    add("create").Call("创建平面", 3).Small(16).Small(8).Number("255").End()
        .Call("创建图片", 1).Word("tiles").End()
        .Call("创建图片", 3).Word("dot").Number("0").Number("2").End(40);
    add("move-show").Call("操作实体", 4).Id(1).Word("坐标").Small(5).Small(-3).End()
        .Call("操作实体", 2).Id(1).Word("隐藏").End()
        .Call("操作实体", 2).Id(1).Word("显示").End()
        .Call("操作实体", 3).Id(1).Word("半透明").Number("255").End(30);
    add("turn-scale").Call("操作实体", 3).Id(2).Word("角度").Small(90).End()
        .Call("操作实体", 4).Id(2).Word("放缩").Number("2").Number("0.5").End()
        .Call("操作实体", 5).Id(2).Word("绕点旋转").Small(1).Small(1).Small(45).End(30);
    add("read").Call("读取实体", 2).Id(0).Word("左边").End()
        .Call("读取实体", 2).Id(1).Word("宽度").End()
        .Call("读取实体", 2).Id(2).Word("老爸").End()
        .Call("读取实体", 2).Id(0).Word("儿子").End();
    add("bind").Call("绑定实体", 2).Id(0).Id(1).End()
        .Call("读取实体", 2).Id(1).Word("老爸").End()
        .Call("解除绑定", 1).Id(1).End();
    add("picture-frames").Call("操作图片", 3).Id(1).Word("切帧").Number("2").End()
        .Call("操作图片", 3).Id(1).Word("播放").Number("1").End(60)
        .Call("操作图片", 3).Id(1).Word("跳帧").Number("1").End(60);
    add("plane-colours").Call("操作平面", 3).Id(0).Word("背景色").Number("16711935").End()
        .Call("操作平面", 3).Id(0).Word("边界色").Number("255").End()
        .Call("操作平面", 3).Id(0).Word("文字").Text("<bold;>ab").End()
        .Call("贴图", 4).Id(0).Id(2).Small(1).Small(1).End();
    add("resources").Call("设置资源目录", 1).Word("pics").End()
        .Call("动态加载", 1).Word("dot.bmp").End()
        .Call("创建图片", 1).Word("nothing").End();
    add("layers-delete").Call("操作实体", 3).Id(1).Word("图层").Number("3").End()
        .Call("操作实体", 3).Id(1).Word("图层升降").Number("1").End()
        .Call("操作实体", 2).Id(2).Word("删除").End()
        .Call("读取实体", 2).Id(2).Word("类型").End();
    // Edge numbers where they cost nothing to try: a plane of the largest side a step away
    // would have the fuzzer fill 64 MB planes much of the time.
    add("edges").Call("创建平面", 2).Number("-1").Number("0").End()
        .Call("操作实体", 4).Id(0).Word("坐标").Number("2147483647").Number("-2147483648").End()
        .Call("操作实体", 4).Id(0).Word("宽高").Number("-1").Number("0").End()
        .Call("未知", 1).Number("nan").End();
    // Plane work again and again: what an input may ask for is bounded by the work it counts
    // as, not by the number of its calls.
    CallWriter& work = add("plane-work").Call("创建平面", 2).Number("4096").Small(127).End();
    for (int i = 0; i < 40; ++i)
        work.Call("操作平面", 5).Id(3).Word("底色").Number("1").Word("边界色").Number("255").End();
    // Resizes between 4096 x 4096 and 4097 x 4096, twice a call, and one to the largest plane
    // filled three times: each call far more work than an entry's budget holds, which the
    // calls did when they ran outside any entry.
    CallWriter& resizes = add("resizes").Call("创建平面", 2).Number("4096").Number("4096").End();
    for (int i = 0; i < 8; ++i)
        resizes.Call("操作平面", 7).Id(3).Word("宽高").Number("4096").Number("4097")
            .Word("宽高").Number("4097").Number("4096").End();
    add("largest-plane").Call("操作平面", 8).Id(0).Word("宽高").Number("8192").Number("8192")
        .Word("底色").Number("1").Word("底色").Number("2").End();
    bool ok = true;
    for (const auto& [name, writer] : seeds) ok &= hqlv::fuzzseed::Seed(name, writer.Bytes());
    return ok;
}
