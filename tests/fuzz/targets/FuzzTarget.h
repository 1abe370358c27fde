#pragma once
// Each fuzz target is one function. Built with -DLK24_FUZZ_STANDALONE it is
// libFuzzer's entry point; otherwise it is an ordinary function that the
// corpus replay tests call.

#include <cstddef>
#include <cstdint>

#ifdef LK24_FUZZ_STANDALONE
#define LK24_FUZZ_TARGET(name) extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
#else
#define LK24_FUZZ_TARGET(name) int name(const std::uint8_t* data, std::size_t size)
#endif
