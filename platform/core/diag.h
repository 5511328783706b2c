#pragma once
// Diagnostics: one line at a time to whoever listens. Layers that cannot reach the daily
// log (the engine, the decoders' callers, the platform itself) report here; the client
// points the sink at its daily log at start-up. Without a sink lines go to stderr.
#include <functional>
#include <string_view>

namespace hqlv::platform {

using DiagSink = std::function<void(std::string_view line)>;

// Replaces the sink; an empty function restores stderr. Returns the previous sink.
DiagSink setDiagSink(DiagSink sink);

// Writes one line (no line end needed). Thread-safe.
void diag(std::string_view line);

// printf-style convenience; the result is cut at 4000 bytes.
void diagf(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

}  // namespace hqlv::platform
