#pragma once
// The renderer's failure lines; every render file reports through this one function,
// which writes to the engine log.
namespace hqlv::engine {

void RenderLog(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

}  // namespace hqlv::engine
