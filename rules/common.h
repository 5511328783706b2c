#pragma once
// Common game functions shared by the table rule classes, the hand model and the client:
// random numbers (a number below a bound, a number in a range, two dice, a permutation), the
// split of an elapsed time, levels from scores, the base stake, a user-name lookup, and
// operations over lists of 32-bit integers in which -1 marks an empty place.
//
// Random numbers: one process-wide generator with a 15-bit range (draws 0..32767), seeded
// once from the calendar clock on first use and keeping its state, so that two draws in the
// same second are independent. Remainders are the signed remainders of the draw, as callers
// expect. Tests and the local game server replay a deal with SeedRandom(); the clocks are
// injectable with SetRulesClock(). The generator is guarded by a lock.
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace hqlv::rules {

// --- Clocks and the generator ------------------------------------------------------------

struct RulesClock {
    // A wrapping millisecond tick (the elapsed-time split compares by difference).
    std::function<uint32_t()> tickMs;
    // The calendar time in seconds (the generator's first seed).
    std::function<int64_t()> calendarSeconds;
};

// Replaces the clocks; an empty member restores the system's clock for it.
void SetRulesClock(RulesClock clock);

// The rules' millisecond tick (the injected clock when one is set).
uint32_t RulesTickMs();

// Fixes the generator's state: the draws that follow are a function of seed alone.
void SeedRandom(uint32_t seed);

// Forgets the state: the next draw seeds from the calendar clock again.
void ResetRandom();

// One draw, 0..32767.
int32_t RandomDraw();

// A draw modulo n (signed remainder). 0 when n is 0.
int32_t RandomBelow(int32_t n);
// high when high equals low (no draw); otherwise low + draw modulo (high - low + 1). A range
// of width 0 (high = low - 1) gives low.
int32_t RandomInRange(int32_t low, int32_t high);
// Two dice 1..6 (draw modulo 6, plus 1), first die first; returns 1. The seed (a chair or
// another small number) once separated callers that reseeded in the same second; the kept
// state already does, so it does not change the draws.
int32_t RollTwoDice(int32_t* die1, int32_t* die2, int32_t seed);
// Inserts a random order of 0..n-1 at positions 0..n-1 of array (what it held moves up);
// returns 1. Nothing for n below 1.
int32_t RandomPermutation(std::vector<int32_t>& array, int32_t n, int32_t seed);

// --- Time, levels and stakes -------------------------------------------------------------

// start 0: both outputs 0, returns 0. Otherwise the seconds since the start tick (0 when above
// the cap) and those seconds / 60; returns 1.
int32_t ElapsedMinSec(uint32_t startTick, int32_t* seconds, int32_t* minutes, int32_t capSeconds);

inline constexpr std::array<int32_t, 20> LevelThresholds = {
    0,    10,   30,   60,    100,   200,   400,   640,   920,   1240,
    2140, 4640, 7390, 10390, 13640, 20640, 35640, 51640, 68640, 86640};
inline constexpr std::array<int32_t, 20> LevelValues = {
    1, 2, 3, 4, 5, 10, 12, 14, 16, 18, 50, 55, 60, 65, 70, 150, 160, 170, 180, 190};

// Level 0..19: the highest level whose threshold times factor the score reaches.
int32_t LevelFromScore(int32_t score, int32_t factor);
// LevelValues of the level of the list's smallest entry (the first entry when count < 2).
int32_t LevelValueFromMin(const int32_t* list, int32_t count, int32_t factor);
// The base stake: m = the smallest entry (at least 100), p = the largest power of two not
// above m / 100, result p * (x / 10 + 1).
int32_t BaseStakeFromMin(const int32_t* list, int32_t x, int32_t count);

// The number of times v can be halved while it stays above 1; 0 below 2.
int32_t IntLog2(int32_t v);
// 2 to the power n by doublings (wrapping: 31 gives INT32_MIN, above 31 gives 0); 1 below 1.
int32_t Pow2(int32_t n);

// --- Users -------------------------------------------------------------------------------

struct UserNameRecord {
    int32_t word = 0;
    char name[32] = {};  // zero-terminated unless all 32 bytes are used
};
using UserNameMap = std::unordered_map<uint32_t, UserNameRecord>;

// Copies the name stored under key into dest (at most destSize - 1 bytes, zero-terminated)
// and returns 1; leaves dest unchanged and returns 0 when the key is missing.
int32_t LookupNameById(const UserNameMap& map, uint32_t key, char* dest, size_t destSize);

// --- Integer lists (-1 marks an empty place) ----------------------------------------------

void FillMinusOne(int32_t* list, int32_t count);
int32_t CountValid(const int32_t* list, int32_t count);  // entries 0 or more
int32_t SumInts(const int32_t* list, int32_t count);     // wraps like 32-bit arithmetic
int32_t AllDistinct(const int32_t* list, int32_t count);
int32_t ContainsValue(const int32_t* list, int32_t count, int32_t value);
int32_t ContainsAll(const int32_t* listA, int32_t countA, const int32_t* listB, int32_t countB);
int32_t SameSet(const int32_t* listA, int32_t countA, const int32_t* listB, int32_t countB);
int32_t AllHaveFlags(const int32_t* flagWords, int32_t count, int32_t mask);
int32_t AnyHasFlags(const int32_t* flagWords, int32_t count, int32_t mask);
int32_t AllHaveFlag2(const int32_t* flagWords, int32_t count);
int32_t AllHaveFlag4(const int32_t* flagWords, int32_t count);
int32_t AllHaveFlag4000(const int32_t* flagWords, int32_t count);

// The chat emoticon tags, in their order (UTF-8).
inline constexpr std::array<std::string_view, 11> EmoticonTags = {
    "#电话", "#便便", "#beated",   "#cool",  "#cry", "#embarrassed",
    "#en",   "#hurt", "#innocent", "#loser", "#sexy"};

}  // namespace hqlv::rules
