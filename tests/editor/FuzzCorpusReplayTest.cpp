// Replays the committed fuzz inputs of the typed-number reader.
#include "fuzz/targets/CorpusReplay.h"

#include "fuzz/targets/FuzzCheckin.cpp"

namespace {

TEST(FuzzCorpus, CheckinInputs) { EXPECT_GT(lk24::fuzz::replayInputs("FuzzCheckin", FuzzCheckin), 0); }

}  // namespace
