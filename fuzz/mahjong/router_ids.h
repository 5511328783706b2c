#pragma once
// The notifications of the router harness, in the order its step byte picks them, with the
// length of each one's well-formed body. Shared with the harness's seed program.
#include <cstddef>
#include <cstdint>

namespace hqlv::fuzz {

struct RouterId {
    uint32_t id;
    size_t size;
};

inline constexpr RouterId kRouterIds[] = {
    {201160, 16},  {211000, 28}, {211040, 932}, {211080, 1652}, {211300, 0},   {211400, 40},
    {221050, 4},   {221160, 40}, {221170, 120}, {221200, 140},  {229160, 40},  {229165, 20},
    {229170, 64},  {229175, 64}, {229180, 64},  {229185, 64},   {229190, 64},  {229195, 64},
    {229197, 64},  {229199, 64}, {229210, 44},  {229500, 32},   {211920, 16},  {211700, 800},
    {400006, 80},  {400007, 24}, {211030, 72},  {211028, 400},  {211011, 136}, {211010, 32},
    {211420, 28},  {211430, 12}, {211440, 12},  {211020, 4},    {211900, 68},  {230000, 116},
    {230001, 156}, {230002, 16}, {201200, 40},  {201210, 128},  {211200, 64},
};
inline constexpr size_t kRouterIdCount = sizeof kRouterIds / sizeof kRouterIds[0];

}  // namespace hqlv::fuzz
