// Replays the committed fuzz inputs of the file readers (the targets abort
// on a broken invariant, which fails this test program).
#include "fuzz/targets/CorpusReplay.h"

#include "fuzz/targets/FuzzConfigLoad.cpp"
#include "fuzz/targets/FuzzLineReader.cpp"
#include "fuzz/targets/FuzzTemplateLoad.cpp"

namespace {

TEST(FuzzCorpus, LineReaderInputs) { EXPECT_GT(lk24::fuzz::replayInputs("FuzzLineReader", FuzzLineReader), 0); }
TEST(FuzzCorpus, TemplateLoadInputs) { EXPECT_GT(lk24::fuzz::replayInputs("FuzzTemplateLoad", FuzzTemplateLoad), 0); }
TEST(FuzzCorpus, ConfigLoadInputs) { EXPECT_GT(lk24::fuzz::replayInputs("FuzzConfigLoad", FuzzConfigLoad), 0); }

}  // namespace
