// The option word: one bit per switch of the command line. The parser sets it; the data file's
// writer and the modes read the bits they are handed.
#pragma once

#include <cstdint>

constexpr uint32_t cmNOSW = 0x0;
constexpr uint32_t cmCRC = 0x1;
constexpr uint32_t cmSCAN = 0x2;
constexpr uint32_t cmDFF = 0x4;
constexpr uint32_t cmTEST = 0x8;
constexpr uint32_t cmCOMP = 0x10;
constexpr uint32_t cmSUB = 0x20;
constexpr uint32_t cmRO = 0x40;
constexpr uint32_t cmREP = 0x80;
constexpr uint32_t cmHELP = 0x100;
constexpr uint32_t cmEF = 0x200;
constexpr uint32_t cmNOPATH = 0x400;
constexpr uint32_t cmNOATTR = 0x800;
constexpr uint32_t cmNOSIZE = 0x1000;
constexpr uint32_t cmNOTIME = 0x2000;
constexpr uint32_t cmNOCRC = 0x4000;
constexpr uint32_t cmDEBUG = 0x8000;
constexpr uint32_t cmLISTS = 0x10000;
constexpr uint32_t cmYES = 0x20000;
constexpr uint32_t cmERR = 0x80000000u;

/// Every bit above with its name, for the debug dump of the option word: a bit added above
/// belongs here too.
struct SwitchBit {
  uint32_t bit;
  const char* name;
};
constexpr SwitchBit kSwitchBits[] = {
    {cmCRC, "cmCRC"},       {cmSCAN, "cmSCAN"},     {cmDFF, "cmDFF"},       {cmTEST, "cmTEST"},
    {cmCOMP, "cmCOMP"},     {cmSUB, "cmSUB"},       {cmRO, "cmRO"},         {cmREP, "cmREP"},
    {cmHELP, "cmHELP"},     {cmEF, "cmEF"},         {cmNOPATH, "cmNOPATH"}, {cmNOATTR, "cmNOATTR"},
    {cmNOSIZE, "cmNOSIZE"}, {cmNOTIME, "cmNOTIME"}, {cmNOCRC, "cmNOCRC"},   {cmDEBUG, "cmDEBUG"},
    {cmLISTS, "cmLISTS"},   {cmYES, "cmYES"},       {cmERR, "cmERR"},
};

/// The bits that choose what a run does: the five modes, the usage text and the refusal.
constexpr uint32_t kModeMask = cmCRC | cmSCAN | cmDFF | cmTEST | cmCOMP | cmHELP | cmERR;
static_assert(kModeMask == 0x8000011Fu, "the debug dump and the dispatch expect these bits");
