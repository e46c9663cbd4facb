#include "audio/mmdspobj.h"

#include <gtest/gtest.h>

#include <memory>

#include "tests/support/audio/log_stages.h"

namespace zq {
namespace {

using testing::Log;
using testing::LogDevice;
using testing::LogStage;

TWaveFormatEx Cd() {
  TWaveFormatEx f{};
  BuildPCMFormat(f, 16, 2, 44100);
  return f;
}

bool SameFormat(const TWaveFormatEx* a, const TWaveFormatEx* b) {
  return a != nullptr && b != nullptr && a->nSamplesPerSec == b->nSamplesPerSec &&
         a->nChannels == b->nChannels && a->wBitsPerSample == b->wBitsPerSample;
}

TEST(Linking, RefusesSelfLoopsAndPeersWithoutTheProperty) {
  LogStage a("A", nullptr), b("B", nullptr), c("C", nullptr);
  LogStage noInput("N", nullptr, /*publishesInput=*/false);
  LogStage noOutput("M", nullptr, true, /*publishesOutput=*/false);
  a.SetOutput(&b);
  b.SetOutput(&c);

  a.SetInput(&a);
  a.SetInput(&c);  // C lies downstream of A
  c.SetOutput(&a);
  b.SetOutput(&noInput);
  c.SetInput(&noOutput);
  EXPECT_EQ(a.Input(), nullptr);
  EXPECT_EQ(a.Output(), &b);
  EXPECT_EQ(b.Output(), &c);
  EXPECT_EQ(c.Input(), &b);
  EXPECT_EQ(c.Output(), nullptr);
  EXPECT_EQ(noInput.Input(), nullptr);
  EXPECT_EQ(noOutput.Output(), nullptr);
  EXPECT_EQ(b.InputLinkName(), "Output");
  EXPECT_EQ(b.OutputLinkName(), "Input");
}

TEST(Linking, TakingAnInputFromAnotherStageReleasesOnlyThatLink) {
  LogStage a("A", nullptr), b("B", nullptr), c("C", nullptr);
  const TWaveFormatEx cd = Cd();
  a.SetWaveFormat(&cd);
  a.SetOutput(&b);
  ASSERT_TRUE(SameFormat(b.WaveFormat(), &cd));

  c.SetInput(&a);
  EXPECT_EQ(a.Output(), &c);
  EXPECT_EQ(c.Input(), &a);
  EXPECT_EQ(b.Input(), nullptr);
  EXPECT_TRUE(SameFormat(b.WaveFormat(), &cd)) << "B keeps its format";
  EXPECT_TRUE(SameFormat(c.WaveFormat(), &cd));
  EXPECT_NE(c.WaveFormat(), a.WaveFormat()) << "each stage owns its copy";
}

TEST(Linking, BreakingALinkClearsTheFormatDownstream) {
  LogStage a("A", nullptr), b("B", nullptr), c("C", nullptr);
  const TWaveFormatEx cd = Cd();
  a.SetOutput(&b);
  b.SetOutput(&c);
  a.SetWaveFormat(&cd);
  ASSERT_TRUE(SameFormat(c.WaveFormat(), &cd));
  b.SetInput(nullptr);
  EXPECT_EQ(a.Output(), nullptr);
  EXPECT_EQ(b.WaveFormat(), nullptr);
  EXPECT_EQ(c.WaveFormat(), nullptr);
  // Linking again from the output side brings the format back.
  a.SetOutput(&b);
  EXPECT_TRUE(SameFormat(c.WaveFormat(), &cd));
}

TEST(Linking, FreeingTheMiddleStageLeavesNoDanglingLinks) {
  LogStage a("A", nullptr), c("C", nullptr);
  auto b = std::make_unique<LogStage>("B", nullptr);
  a.SetOutput(b.get());
  b->SetOutput(&c);
  b.reset();
  EXPECT_EQ(a.Output(), nullptr);
  EXPECT_EQ(c.Input(), nullptr);
  // Both ends still link to each other afterwards.
  a.SetOutput(&c);
  EXPECT_EQ(c.Input(), &a);
}

TEST(WaveFormat, TheSamePointerIsNotCopiedAgainButStillOfferedDownstream) {
  LogStage a("A", nullptr), b("B", nullptr);
  const TWaveFormatEx cd = Cd();
  a.SetWaveFormat(&cd);
  const TWaveFormatEx* own = a.WaveFormat();
  a.SetOutput(&b);
  b.SetWaveFormat(nullptr);
  a.SetWaveFormat(own);
  EXPECT_EQ(a.WaveFormat(), own);
  EXPECT_TRUE(SameFormat(b.WaveFormat(), &cd));
}

TEST(WaveFormat, LinksMadeWhileLoadingPropagateWhenLoadingEnds) {
  LogStage a("A", nullptr), b("B", nullptr);
  const TWaveFormatEx cd = Cd();
  a.SetWaveFormat(&cd);
  a.BeginLoading();
  b.BeginLoading();
  a.SetOutput(&b);
  EXPECT_EQ(b.WaveFormat(), nullptr);
  b.EndLoading();
  a.EndLoading();
  EXPECT_TRUE(SameFormat(b.WaveFormat(), &cd));
}

TEST(ChainWalk, OpensAndStartsHeadToTailAndStopsADownstreamDeviceFirst) {
  Log log;
  LogDevice d("WaveIn", &log);
  LogStage conn("Connector", &log), enc("Encoder", &log);
  d.SetOutput(&conn);
  conn.SetOutput(&enc);
  d.SetBufferSize(4096);
  log.clear();  // linking stops the stages it touches
  d.ChainOpened();
  d.ChainStarted();
  d.ChainPaused();
  d.ChainRestarted();
  d.ChainStopped();
  d.ChainClosed();
  EXPECT_EQ(log, (Log{"WaveIn:open", "Connector:open", "Encoder:open", "WaveIn:start",
                      "Connector:start", "Encoder:start", "WaveIn:pause", "Connector:pause",
                      "Encoder:pause", "WaveIn:restart", "Connector:restart", "Encoder:restart",
                      "WaveIn:stop", "Connector:stop", "Encoder:stop", "WaveIn:close",
                      "Connector:close", "Encoder:close"}));
  EXPECT_EQ(conn.BufferSize(), 4096);
}

TEST(ChainWalk, AWalkEndsAtTheNextDeviceWhichWalksItsOwnPart) {
  Log log;
  LogStage head("Head", &log), p("P", &log), q("Q", &log);
  LogDevice d1("D1", &log, /*publishesInput=*/true), d2("D2", &log, true);
  head.SetOutput(&d1);
  d1.SetOutput(&p);
  p.SetOutput(&d2);
  d2.SetOutput(&q);
  log.clear();
  d1.ChainOpened();
  EXPECT_EQ(log, (Log{"D1:open", "Head:open", "P:open", "D2:open", "Q:open"}));
  log.clear();
  d1.ChainStarted();
  d1.ChainStopped();
  EXPECT_EQ(log, (Log{"D1:start", "Head:start", "P:start", "D2:start", "Q:start", "D1:stop",
                      "D2:stop", "Q:stop", "Head:stop", "P:stop"}));
  log.clear();
  d1.ChainClosed();
  EXPECT_EQ(log, (Log{"D1:close", "D2:close", "Q:close", "Head:close", "P:close"}));
}

TEST(ChainWalk, OpeningNormalisesEachStageBufferSizeToWholeFrames) {
  struct Case {
    int size;
    bool withFormat;
    int effective;
  };
  const Case cases[] = {{4096, true, 4096}, {4098, true, 4096}, {3, true, 4}, {4098, false, 4098}};
  for (const auto& c : cases) {
    LogDevice d("D", nullptr);
    LogStage s("S", nullptr);
    d.SetOutput(&s);
    const TWaveFormatEx cd = Cd();
    if (c.withFormat) d.SetWaveFormat(&cd);
    d.SetBufferSize(c.size);
    d.ChainOpened();
    EXPECT_EQ(s.BufferSize(), c.effective) << c.size << (c.withFormat ? " with" : " without");
    d.ChainClosed();
    EXPECT_EQ(s.BufferSize(), c.size) << "closed: the nominal size again";
  }
}

TEST(Lifecycle, ChangingALinkASizeOrAFormatStopsAStartedStage) {
  const TWaveFormatEx cd = Cd();
  for (int change = 0; change < 4; ++change) {
    Log log;
    LogDevice d("D", &log);
    LogStage s("S", &log), other("O", &log);
    d.SetOutput(&s);
    d.SetWaveFormat(&cd);
    d.ChainOpened();
    d.ChainStarted();
    ASSERT_TRUE(s.Started());
    if (change == 0) s.SetOutput(&other);
    if (change == 1) s.SetBufferSize(1024);
    if (change == 2) s.SetWaveFormat(nullptr);
    if (change == 3) s.SetInput(nullptr);
    EXPECT_FALSE(s.Started()) << "change " << change;
    EXPECT_TRUE(s.Opened()) << "change " << change;
  }
}

TEST(BufferReady, FiresTheEventThenPassesTheBufferOn) {
  Log log;
  LogDevice d("D", &log);
  LogStage a("A", &log), b("B", &log);
  d.SetOutput(&a);
  a.SetOutput(&b);
  a.OnBufferReady = [&](TMMDSPComponent* sender, PWaveHdr h) {
    log.push_back(sender->Name() + ":event:" + std::to_string(h->dwBytesRecorded));
  };
  char data[64] = {};
  TWaveHdr h{};
  h.lpData = data;
  h.dwBufferLength = sizeof data;
  h.dwBytesRecorded = 60;
  log.clear();
  d.BufferReady(&h);
  EXPECT_EQ(log, (Log{"A:buffer:60", "A:event:60", "B:buffer:60"}));

  bool more = true;
  b.FillBuffer(&h, more);  // the pull reaches the head without harm
  EXPECT_TRUE(more);
}

}  // namespace
}  // namespace zq
