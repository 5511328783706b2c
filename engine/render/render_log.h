#pragma once
// The renderer's failure lines. They go to the platform diagnostics until the engine log
// takes them over; every render file reports through this one function.
namespace hqlv::engine {

void RenderLog(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

}  // namespace hqlv::engine
