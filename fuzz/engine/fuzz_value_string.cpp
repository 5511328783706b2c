// Feeds arbitrary texts and types to the script value: type detection, every reading, the
// arithmetic and the comparisons of every type pairing.
#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/core/engine_log.h"
#include "engine/core/value_string.h"
#include "fuzz/temp_logs.h"

using namespace hqlv::engine;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The engine's log goes to the process's own folder, which goes when the process ends.
    static const bool logs = [] {
        hqlv::engine::SetEngineLogFolder(hqlv::fuzz::TemporaryLogFolder("value-string"));
        return true;
    }();
    (void)logs;
    if (size < 3) return 0;
    static constexpr uint8_t kTypes[] = {0, 5, 10, 20, 30, 40, 7};
    const uint8_t ta = kTypes[data[0] % 7], tb = kTypes[data[1] % 7];
    const std::string all(reinterpret_cast<const char*>(data + 3), size - 3);
    const size_t cut = size > 3 ? data[2] % (all.size() + 1) : 0;
    ValueString a(all.substr(0, cut), ta, data[0]);
    ValueString b(all.substr(cut), tb, data[1]);

    ValueString d = a;
    d.DetectType();
    (void)a.ToInt();
    (void)a.ToFloat();
    (void)a.ToBool();
    (void)a.CharAt(data[2]);
    const size_t at = a.FindOutsideQuotes(',', data[1] % (a.text().size() + 2));
    if (at > a.text().size()) __builtin_trap();

    ValueString r[] = {ValueString::Add(a, b), ValueString::Subtract(a, b),
                       ValueString::Multiply(a, b), ValueString::Divide(a, b),
                       ValueString::Concat(b.text(), a)};
    for (const ValueString& v : r) (void)v.text().size();
    const bool eq = ValueString::Equal(a, b), ne = ValueString::NotEqual(a, b);
    if (eq == ne) __builtin_trap();
    const bool lt = ValueString::Less(a, b), ge = ValueString::GreaterOrEqual(a, b);
    // Floats that do not compare (NaN) are neither less nor greater-or-equal.
    if (lt && ge) __builtin_trap();
    (void)ValueString::FloatCompare(a, b.ToFloat());
    ValueString app = a;
    app.Append(b);
    app.AppendInt(a.ToInt());
    app.AppendFloat(b.ToFloat());
    app.AppendUnsigned(uint32_t(a.ToInt()));
    return 0;
}
