#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "audio/mmwavein.h"
#include "tests/support/audio/log_stages.h"
#include "tests/support/audio/scripted_wavein.h"
#include "tests/support/platform/manual_time.h"

namespace zq {
namespace {

using testing::Log;
using testing::LogStage;
using testing::RampFrame;
using testing::ScriptedDevice;
using testing::ScriptedSignal;
using testing::ScriptedWaveIn;
using testing::TestPlatform;
using testing::TScriptedWaveIn;
using Op = ScriptedWaveIn::Op;

const std::string kWhileOpen = "Change to property while device was open";
const std::string kNoDevice = "No wave audio recording device found";

std::string SystemText(int code) {
  return std::strerror(-code);
}

// The device as the recorder sets it up (44100 Hz, 16-bit stereo, 20 buffers of 4096 bytes:
// 1024 frames each), feeding a connector and an encoder that log what reaches them.
class WaveIn : public ::testing::Test {
 protected:
  void SetUp() override { Make({ScriptedDevice{}}); }

  void Make(std::vector<ScriptedDevice> devices, TMMCBMode mode = cmWindow) {
    in.reset();
    in = std::make_unique<TScriptedWaveIn>(platform.services(), std::move(devices));
    in->SetOutput(&connector);
    connector.SetOutput(&encoder);
    in->SetMode(mStereo);
    in->SetBitLength(b16Bit);
    in->SetSampleRate(44100);
    in->SetBufferSize(4096);
    in->SetNumBuffers(20);
    in->SetTimeFormat(tfMillisecond);
    in->SetCallBackMode(mode);
    for (auto [event, name] : {std::pair{&in->OnOpen, "OnOpen"},
                               {&in->OnStart, "OnStart"},
                               {&in->OnPause, "OnPause"},
                               {&in->OnRestart, "OnRestart"},
                               {&in->OnStop, "OnStop"},
                               {&in->OnClose, "OnClose"},
                               {&in->OnError, "OnError"}})
      *event = [this, name = std::string(name)](TMMCustomWaveIn*) { log.push_back(name); };
    in->OnBufferReady = [this](TMMDSPComponent*, PWaveHdr h) {
      log.push_back("OnBufferReady:" + std::to_string(h->dwBytesRecorded));
    };
    log.clear();
  }

  ScriptedWaveIn& script() { return in->Script(); }
  int Pump() { return platform.mainThread.RunUntilEmpty(); }
  // For deliveries on other threads: runs what they post until `done`, for a few seconds at most.
  bool PumpUntil(const std::function<bool()>& done) {
    for (int i = 0; i < 5000; ++i) {
      Pump();
      if (done()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
  }
  int Count(const std::string& entry) const {
    return static_cast<int>(std::count(log.begin(), log.end(), entry));
  }
  // The device and its back-end hold nothing any more.
  void ExpectReleased() {
    EXPECT_EQ(in->State(), wsClosed);
    EXPECT_FALSE(script().IsOpen());
    EXPECT_EQ(script().Prepared(), 0);
    if (in->Output() != nullptr) {
      EXPECT_FALSE(in->Output()->Opened());
    }
  }

  TestPlatform platform;
  Log log;
  LogStage connector{"Connector", &log}, encoder{"Encoder", &log};
  std::unique_ptr<TScriptedWaveIn> in;
};

// ---- Life cycle
// -----------------------------------------------------------------------------------

TEST_F(WaveIn, StartOnAClosedDeviceOpensItAndTheChainHearsEachStepBeforeTheEvent) {
  in->Start();
  EXPECT_EQ(log, (Log{"Connector:open", "Encoder:open", "OnOpen", "Connector:start",
                      "Encoder:start", "OnStart"}));
  EXPECT_EQ(connector.BufferSize(), 4096);
  EXPECT_EQ(in->State(), wsOpen | wsRecording);
  EXPECT_EQ(script().Queued(), 20);
  EXPECT_TRUE(script().Running());

  log.clear();
  in->Pause();
  EXPECT_FALSE(script().Running());
  in->Restart();
  EXPECT_TRUE(script().Running());
  EXPECT_EQ(log, (Log{"Connector:pause", "Encoder:pause", "OnPause", "Connector:restart",
                      "Encoder:restart", "OnRestart"}));

  log.clear();
  in->Stop();
  EXPECT_EQ(log, (Log{"Connector:stop", "Encoder:stop", "OnStop"}));
  EXPECT_EQ(in->State(), wsOpen);
  EXPECT_EQ(script().Queued(), 0) << "every buffer is back when Stop returns";

  log.clear();
  in->Close();
  EXPECT_EQ(log, (Log{"Connector:close", "Encoder:close", "OnClose"}));
  ExpectReleased();
}

TEST_F(WaveIn, CloseWhileRecordingStopsFirst) {
  in->Start();
  log.clear();
  in->Close();
  EXPECT_EQ(log, (Log{"Connector:stop", "Encoder:stop", "OnStop", "Connector:close",
                      "Encoder:close", "OnClose"}));
  ExpectReleased();
}

TEST_F(WaveIn, CallsOutOfTurnDoNothingAndOpeningTwiceReopens) {
  in->Stop();
  in->Restart();
  in->Close();
  EXPECT_TRUE(log.empty());

  in->Open();
  in->Restart();  // not paused
  in->Stop();     // not started
  EXPECT_EQ(log, (Log{"Connector:open", "Encoder:open", "OnOpen"}));

  log.clear();
  in->Open();
  EXPECT_EQ(log, (Log{"Connector:close", "Encoder:close", "OnClose", "Connector:open",
                      "Encoder:open", "OnOpen"}));
  EXPECT_EQ(script().Opens(), 2);
}

TEST_F(WaveIn, PauseOnAClosedDeviceOpensItAndStartThenQueuesWithoutCapturing) {
  in->Pause();
  EXPECT_EQ(in->State(), wsOpen | wsPaused);
  in->Start();
  EXPECT_EQ(in->State(), wsOpen | wsRecording | wsPaused);
  EXPECT_EQ(script().Queued(), 20);
  EXPECT_FALSE(script().Running());
  in->Restart();
  EXPECT_TRUE(script().Running());
}

TEST_F(WaveIn, DestroyingAnOpenDeviceReleasesItWithoutEventsAndIgnoresWhatWasStillPosted) {
  in->Start();
  script().Deliver(2);  // posted, not yet handled
  log.clear();
  in.reset();
  EXPECT_EQ(log, (Log{"Connector:stop", "Encoder:stop", "Connector:close", "Encoder:close"}));
  Pump();
  EXPECT_EQ(log.size(), 4u);
  EXPECT_EQ(connector.Input(), nullptr);
}

// ---- Buffer delivery
// --------------------------------------------------------------------------------

TEST_F(WaveIn, EachFilledBufferIsHandledOnTheMainThreadThenQueuedAgain) {
  in->Start();
  log.clear();
  std::thread driver([&] { script().Deliver(2); });
  driver.join();
  EXPECT_TRUE(log.empty()) << "nothing is handled on the back-end's thread";
  EXPECT_EQ(script().Queued(), 18);

  const auto mainThread = std::this_thread::get_id();
  std::vector<std::thread::id> handledOn;
  in->OnBufferReady = [&](TMMDSPComponent*, PWaveHdr h) {
    handledOn.push_back(std::this_thread::get_id());
    log.push_back("OnBufferReady:" + std::to_string(h->dwBytesRecorded));
  };
  Pump();
  EXPECT_EQ(log, (Log{"OnBufferReady:4096", "Connector:buffer:4096", "Encoder:buffer:4096",
                      "OnBufferReady:4096", "Connector:buffer:4096", "Encoder:buffer:4096"}));
  EXPECT_EQ(handledOn, (std::vector{mainThread, mainThread}));
  EXPECT_EQ(script().Queued(), 20);
}

TEST_F(WaveIn, StopFromInsideOnBufferReadyFinishesAfterTheHandler) {
  in->Start();
  bool stoppedInside = false;
  in->OnBufferReady = [&](TMMDSPComponent*, PWaveHdr h) {
    log.push_back("OnBufferReady:" + std::to_string(h->dwBytesRecorded));
    if (log.size() < 4) return;
    in->Stop();
    stoppedInside = (in->State() & wsRecording) != 0;
  };
  log.clear();
  script().Deliver(3);
  Pump();
  EXPECT_TRUE(stoppedInside) << "the stop waits for the handler";
  EXPECT_EQ(log, (Log{"OnBufferReady:4096", "Connector:buffer:4096", "Encoder:buffer:4096",
                      "OnBufferReady:4096", "Connector:buffer:4096", "Encoder:buffer:4096",
                      "OnBufferReady:4096", "Connector:buffer:4096", "Encoder:buffer:4096",
                      "Connector:stop", "Encoder:stop", "OnStop"}))
      << "the third buffer was filled before the stop; the empty ones the reset handed back do "
         "not go on";
  EXPECT_EQ(in->State(), wsOpen);
  EXPECT_EQ(script().Queued(), 0) << "the buffer in the handler is not queued again";
}

TEST_F(WaveIn, CloseAskedForWhileAStopIsPendingHappensAfterTheStop) {
  in->Start();
  in->OnBufferReady = [&](TMMDSPComponent*, PWaveHdr) {
    in->Stop();
    in->Close();
    log.push_back("handler done");
  };
  log.clear();
  script().Deliver(1);
  Pump();
  EXPECT_EQ(log,
            (Log{"handler done", "Connector:buffer:4096", "Encoder:buffer:4096", "Connector:stop",
                 "Encoder:stop", "OnStop", "Connector:close", "Encoder:close", "OnClose"}));
  ExpectReleased();
}

TEST_F(WaveIn, WhatWasCapturedBeforeAStopStillReachesTheChain) {
  in->Start();
  script().Deliver(2);  // filled, still waiting for the main thread
  script().FillPartially(100);
  log.clear();
  in->Stop();
  EXPECT_EQ(log, (Log{"OnBufferReady:4096", "Connector:buffer:4096", "Encoder:buffer:4096",
                      "OnBufferReady:4096", "Connector:buffer:4096", "Encoder:buffer:4096",
                      "OnBufferReady:400", "Connector:buffer:400", "Encoder:buffer:400",
                      "Connector:stop", "Encoder:stop", "OnStop"}))
      << "the empty buffers handed back by the reset are not passed on";
}

TEST_F(WaveIn, MaxRecordTimeCutsTheLastBufferAndStopsTheDeviceInEachTimeFormat) {
  struct Case {
    TMMTimeFormats format;
    int time;
    int bytes;
  };
  const Case cases[] = {{tfMillisecond, 1000, 176400},
                        {tfByte, 10002, 10000},
                        {tfSample, 3000, 12000},
                        {tfMillisecond, 0, -1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.time) + " in format " + std::to_string(c.format));
    Make({ScriptedDevice{}});
    in->SetTimeFormat(c.format);
    in->SetMaxRecordTime(c.time);
    std::int64_t total = 0;
    std::uint32_t last = 0;
    in->OnBufferReady = [&](TMMDSPComponent*, PWaveHdr h) {
      total += h->dwBytesRecorded;
      last = h->dwBytesRecorded;
    };
    in->Start();
    for (int i = 0; i < 60; ++i) {
      script().Deliver(1);
      Pump();
    }
    if (c.bytes < 0) {
      EXPECT_EQ(total, 60 * 4096) << "no limit";
      EXPECT_EQ(Count("OnStop"), 0);
      continue;
    }
    EXPECT_EQ(total, c.bytes);
    EXPECT_EQ(last, c.bytes % 4096 == 0 ? 4096u : static_cast<std::uint32_t>(c.bytes % 4096));
    EXPECT_EQ(Count("OnStop"), 1);
    EXPECT_EQ(in->State(), wsOpen);
  }
}

TEST_F(WaveIn, AnOverrunGoesDownTheChainAsThatMuchSilenceInItsPlace) {
  struct Case {
    const char* what;
    std::uint32_t lost, silence;
  };
  const Case cases[] = {
      {"two and a half buffers", 2500, 2500},
      {"ten minutes: a machine that stood still, filled up to a minute", 44100 * 600, 44100 * 60},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    Make({ScriptedDevice{}});
    std::vector<std::uint32_t> frames;  // the ramp's frame number of every frame received
    in->OnBufferReady = [&](TMMDSPComponent*, PWaveHdr h) {
      for (std::uint32_t i = 0; i < h->dwBytesRecorded / 4; ++i)
        frames.push_back(RampFrame(h->lpData + 4 * i, *in->WaveFormat()));
    };
    script().OverrunAfter(2, k.lost);
    in->Start();
    script().Deliver(4);
    Pump();
    ASSERT_EQ(frames.size(), 4 * 1024u + k.silence);
    std::uint32_t wrong = 0;
    for (std::uint32_t i = 0; i < frames.size(); ++i) {
      const std::uint32_t want = i < 2048 ? i : i < 2048 + k.silence ? 0 : i - k.silence + k.lost;
      wrong += frames[i] != want;
    }
    EXPECT_EQ(wrong, 0u) << "the silence sits where the frames were lost, and the rest follows";
    EXPECT_EQ(Count("Encoder:buffer:" + std::to_string(k.silence % 1024 * 4)), 1)
        << "the chain receives it like any buffer";
    EXPECT_EQ(in->Overruns(), 1u);
    EXPECT_EQ(in->LostFrames(), k.lost);
    EXPECT_EQ(in->SilenceFrames(), k.silence);
    EXPECT_EQ(in->State(), wsOpen | wsRecording);
    EXPECT_EQ(Count("OnError"), 0);
    EXPECT_TRUE(platform.messages.shown.empty());
    in->Close();
  }

  // A stop delivers what came back before it, a loss included, in order.
  std::vector<std::uint32_t> sizes;
  in->OnBufferReady = [&](TMMDSPComponent*, PWaveHdr h) { sizes.push_back(h->dwBytesRecorded); };
  script().OverrunAfter(0, 500);
  in->Start();
  script().Deliver(1);
  in->Stop();
  EXPECT_EQ(sizes, (std::vector<std::uint32_t>{500 * 4, 4096}));
  EXPECT_EQ(in->SilenceFrames(), 500u);
}

TEST_F(WaveIn, AStageThatThrowsClosesTheDeviceAndTheOperatorSeesWhy) {
  connector.OnBufferReady = [](TMMDSPComponent*, PWaveHdr) {
    throw std::runtime_error("disk full");
  };
  in->Start();
  script().Deliver(1);
  Pump();
  EXPECT_EQ(platform.messages.Texts(), (std::vector<std::string>{"disk full"}));
  EXPECT_EQ(Count("OnError"), 1);
  EXPECT_EQ(Count("OnStop"), 1);
  EXPECT_EQ(Count("OnClose"), 1);
  ExpectReleased();
}

TEST_F(WaveIn, TheAllocatorPrefersAnExactFitAndKeepsBlocksUntilFreeAll) {
  TMMAllocator pool;
  void* big = pool.AllocBlock(300);
  void* exact = pool.AllocBlock(200);
  ASSERT_NE(big, nullptr);
  ASSERT_NE(exact, nullptr);
  EXPECT_EQ(static_cast<unsigned char*>(exact)[199], 0) << "new blocks are zero-filled";
  void* a = big;
  void* b = exact;
  pool.FreeBlock(a);
  pool.FreeBlock(b);
  EXPECT_EQ(a, nullptr);
  EXPECT_EQ(pool.AllocBlock(200), exact) << "an exact fit before an earlier, larger block";
  EXPECT_EQ(pool.AllocBlock(150), big) << "else the first unused block that is large enough";
  EXPECT_NE(pool.AllocBlock(150), big) << "a block in use is never handed out twice";
  EXPECT_EQ(pool.BlockCount(), 3u);
  pool.FreeAll();
  EXPECT_EQ(pool.BlockCount(), 0u);
}

TEST_F(WaveIn, ReopeningWithTheSameBufferSizeUsesTheSameMemory) {
  std::set<char*> first, second;
  std::set<char*>* seen = &first;
  in->OnBufferReady = [&](TMMDSPComponent*, PWaveHdr h) { seen->insert(h->lpData); };
  for (std::set<char*>* session : {&first, &second}) {
    seen = session;
    in->Start();
    script().Deliver(20);
    Pump();
    in->Close();
  }
  EXPECT_EQ(first.size(), 20u);
  EXPECT_EQ(first, second);
}

// Delivery in both modes that hand buffers over: on the main thread and on the worker thread.
// The log is for the main thread only: here buffers may be handled on the worker thread, so they
// are counted instead and the chain is a quiet one.
class WaveInModes : public WaveIn, public ::testing::WithParamInterface<TMMCBMode> {
 protected:
  void SetUp() override {
    Make({ScriptedDevice{}}, GetParam());
    in->SetOutput(&quiet);
    in->OnBufferReady = [this](TMMDSPComponent*, PWaveHdr) { ++buffers; };
  }

  LogStage quiet{"Quiet", nullptr};
  std::atomic<int> buffers{0};
};

TEST_P(WaveInModes, EveryFrameOfALongRunArrivesOnceAndInOrder) {
  constexpr std::uint32_t kBuffers = 3000;
  std::vector<std::uint32_t> frames;
  frames.reserve(kBuffers * 1024 + 20 * 1024);
  in->OnBufferReady = [&](TMMDSPComponent*, PWaveHdr h) {
    for (std::uint32_t i = 0; i < h->dwBytesRecorded / 4; ++i)
      frames.push_back(RampFrame(h->lpData + 4 * i, *in->WaveFormat()));
    ++buffers;
  };
  script().RunFree();
  in->Start();
  ASSERT_TRUE(PumpUntil([&] { return buffers >= static_cast<int>(kBuffers); }));
  in->Stop();
  ASSERT_TRUE(PumpUntil([&] { return !(in->State() & wsRecording); }));

  ASSERT_EQ(frames.size(), script().FramesDelivered()) << "everything captured reached the chain";
  ASSERT_GE(frames.size(), kBuffers * 1024u);
  std::uint32_t wrong = 0;
  for (std::uint32_t i = 0; i < frames.size(); ++i)
    wrong += frames[i] != i;
  EXPECT_EQ(wrong, 0u);
  EXPECT_EQ(Count("OnStop"), 1);
}

TEST_P(WaveInModes, ADeviceThatVanishesIsReportedClosedAndTriedAgainOnTheNextOpen) {
  script().GoneAfter(3);
  script().RunFree();
  in->Start();
  ASSERT_TRUE(PumpUntil([&] { return in->State() == wsClosed; }));
  EXPECT_EQ(platform.messages.Texts(),
            (std::vector<std::string>{"WaveIn:\n\r" + SystemText(-ENODEV)}));
  EXPECT_EQ(Count("OnError"), 1);
  EXPECT_EQ(buffers, 3) << "what came before the failure is delivered";
  EXPECT_EQ(Count("OnStop"), 1);
  EXPECT_EQ(Count("OnClose"), 1);
  ExpectReleased();

  log.clear();
  in->Start();
  ASSERT_TRUE(PumpUntil([&] { return buffers >= 5; }));
  in->Stop();
  ASSERT_TRUE(PumpUntil([&] { return Count("OnStop") == 1; }));
}

TEST_P(WaveInModes, StopInsideTheHandlerIsFinishedByTheMainThread) {
  in->OnBufferReady = [&](TMMDSPComponent*, PWaveHdr) {
    if (++buffers == 2) in->Stop();
  };
  script().RunFree();
  in->Start();
  ASSERT_TRUE(PumpUntil([&] { return Count("OnStop") == 1; }));
  EXPECT_EQ(in->State(), wsOpen);
  EXPECT_EQ(script().Queued(), 0);
  in->Close();
  ExpectReleased();
}

INSTANTIATE_TEST_SUITE_P(CallBackModes, WaveInModes, ::testing::Values(cmWindow, cmThread),
                         [](const auto& info) {
                           return std::string(info.param == cmWindow ? "Window" : "Thread");
                         });

// ---- Errors
// ---------------------------------------------------------------------------------------------

TEST_F(WaveIn, AFailedSystemCallNamesTheOperationAndLeavesTheDeviceClosed) {
  struct Case {
    Op op;
    std::function<void(TMMCustomWaveIn&)> before, action;
    std::string prefix;
  };
  auto none = [](TMMCustomWaveIn&) {};
  auto start = [](TMMCustomWaveIn& d) { d.Start(); };
  auto startPause = [](TMMCustomWaveIn& d) {
    d.Start();
    d.Pause();
  };
  const Case cases[] = {
      {Op::Open, none, start, "WaveInOpen:"},
      {Op::PrepareHeader, none, start, "WaveInPrepareHeader:"},
      {Op::AddBuffer, none, start, "WaveInAddBuffer:"},
      {Op::Start, none, start, "WaveInStart:"},
      {Op::Stop, start, [](TMMCustomWaveIn& d) { d.Pause(); }, "WaveInPause:"},
      {Op::Start, startPause, [](TMMCustomWaveIn& d) { d.Restart(); }, "WaveInRestart:"},
      {Op::Stop, start, [](TMMCustomWaveIn& d) { d.Stop(); }, "WaveInStop:"},
      {Op::Reset, start, [](TMMCustomWaveIn& d) { d.Stop(); }, "WaveInReset:"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.prefix);
    Make({ScriptedDevice{}});
    c.before(*in);
    script().Fail(c.op, -EIO);
    log.clear();
    try {
      c.action(*in);
      ADD_FAILURE() << "no error";
    } catch (const EMMWaveInError& e) {
      EXPECT_EQ(std::string(e.what()), c.prefix + "\n\r" + SystemText(-EIO));
    }
    EXPECT_GE(Count("OnError"), 1);
    EXPECT_LE(Count("OnStop"), 1);
    ExpectReleased();
    script().Fail(c.op, 0);
    in->Start();  // the next attempt opens the device again
    EXPECT_EQ(in->State(), wsOpen | wsRecording);
  }
}

TEST_F(WaveIn, AFailedCloseStillReleasesTheDeviceAndShowsOnlyAsOnError) {
  for (Op op : {Op::UnprepareHeader, Op::Close}) {
    Make({ScriptedDevice{}});
    in->Start();
    script().Fail(op, -EIO);
    log.clear();
    EXPECT_NO_THROW(in->Close());
    EXPECT_EQ(Count("OnError"), 1);
    EXPECT_EQ(Count("OnClose"), 1);
    ExpectReleased();
    script().Fail(op, 0);
    EXPECT_NO_THROW(in->Start());
  }
}

TEST_F(WaveIn, ACodeWithoutSystemTextGetsTheLibraryText) {
  script().Fail(Op::Start, 12345);
  EXPECT_THROW(
      try { in->Start(); } catch (const EMMWaveInError& e) {
        EXPECT_STREQ(e.what(),
                     "WaveInStart:\n\rSpecified error number is out of range (unknown error)");
        throw;
      },
      EMMWaveInError);
}

TEST_F(WaveIn, OpenIsRefusedWithTheLibraryTexts) {
  struct Case {
    std::function<void()> arrange;
    std::string message;
  };
  const Case cases[] = {
      {[&] { Make({}); }, kNoDevice},
      {[&] { in->SetDeviceID(7); }, "Invalid DeviceID"},
      {[&] { script().RefuseFormats(true); },
       "WaveInOpen:\n\rThe actual device can''t record this format"},
      {[&] {
         Make({ScriptedDevice{"22 kHz only", 0x0FF}});
       },
       "WaveInOpen:\n\rThe actual device can''t record this format"},
      {[&] { script().WithholdOpenNotice(true); }, "WaveInOpen:\n\rUnable to open device"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    Make({ScriptedDevice{}});
    c.arrange();
    log.clear();
    try {
      in->Open();
      ADD_FAILURE() << "opened";
    } catch (const EMMWaveInError& e) {
      EXPECT_EQ(e.what(), c.message);
    }
    EXPECT_GE(Count("OnError"), 1);
    EXPECT_EQ(Count("OnOpen"), 0);
    EXPECT_EQ(in->State(), wsClosed);
    EXPECT_FALSE(script().IsOpen());
  }
}

// ---- Properties
// ----------------------------------------------------------------------------------------

TEST_F(WaveIn, ANewDeviceHasTheDocumentedDefaults) {
  TScriptedWaveIn fresh(platform.services());
  EXPECT_EQ(fresh.BufferSize(), 2048);
  EXPECT_EQ(fresh.NumBuffers(), 10);
  EXPECT_EQ(fresh.DeviceID(), 0);
  EXPECT_EQ(fresh.ProductName(), "Scripted input");
  EXPECT_EQ(fresh.Mode(), mMono);
  EXPECT_EQ(fresh.BitLength(), b8Bit);
  EXPECT_EQ(fresh.SampleRate(), 11025);
  EXPECT_EQ(fresh.TimeFormat(), tfByte);
  EXPECT_EQ(fresh.MaxRecordTime(), -1);
  EXPECT_EQ(fresh.CallBackMode(), cmWindow);
  EXPECT_EQ(fresh.Priority(), tpHigher);
  EXPECT_EQ(fresh.State(), wsClosed);
  ASSERT_NE(fresh.WaveFormat(), nullptr);
  EXPECT_EQ(fresh.WaveFormat()->nSamplesPerSec, 11025u);
  EXPECT_EQ(fresh.WaveFormat()->nBlockAlign, 1u);
}

TEST_F(WaveIn, WritesAreKeptInRangeAndTheFormatFollows) {
  in->SetSampleRate(5000);
  EXPECT_EQ(in->SampleRate(), 8000);
  in->SetSampleRate(200000);
  EXPECT_EQ(in->SampleRate(), 100000);
  EXPECT_EQ(in->WaveFormat()->nAvgBytesPerSec, 400000u);
  EXPECT_EQ(connector.WaveFormat()->nSamplesPerSec, 100000u) << "offered down the chain";
  in->SetNumBuffers(1);
  EXPECT_EQ(in->NumBuffers(), 20);
  in->SetNumBuffers(600);
  EXPECT_EQ(in->NumBuffers(), 500);
  in->SetBufferSize(10);
  EXPECT_EQ(in->BufferSize(), 32);
  in->SetMode(mMultiChannel);
  EXPECT_EQ(in->Mode(), mStereo);

  TWaveFormatEx mono8{};
  BuildPCMFormat(mono8, 8, 1, 22050);
  in->SetWaveFormat(&mono8);
  EXPECT_EQ(in->Mode(), mMono);
  EXPECT_EQ(in->BitLength(), b8Bit);
  EXPECT_EQ(in->SampleRate(), 22050);
}

TEST_F(WaveIn, TimeFormatReexpressesTheLimit) {
  in->SetMaxRecordTime(1000);  // ms at 176400 bytes a second
  in->SetTimeFormat(tfByte);
  EXPECT_EQ(in->MaxRecordTime(), 176400);
  in->SetTimeFormat(tfSample);
  EXPECT_EQ(in->MaxRecordTime(), 44100);
}

TEST_F(WaveIn, DeviceWritesAreRefusedWhileOpen) {
  struct Case {
    const char* name;
    std::function<void()> write;
    std::function<bool()> unchanged;
  };
  const Case cases[] = {
      {"DeviceID", [&] { in->SetDeviceID(0); }, [&] { return in->DeviceID() == 0; }},
      {"CallBackMode", [&] { in->SetCallBackMode(cmWindow); },
       [&] { return in->CallBackMode() == cmWindow; }},
      {"Mode", [&] { in->SetMode(mMono); }, [&] { return in->Mode() == mStereo; }},
      {"BitLength", [&] { in->SetBitLength(b8Bit); }, [&] { return in->BitLength() == b16Bit; }},
      {"SampleRate", [&] { in->SetSampleRate(22050); }, [&] { return in->SampleRate() == 44100; }},
      {"NumBuffers", [&] { in->SetNumBuffers(5); }, [&] { return in->NumBuffers() == 20; }},
      {"BufferSize", [&] { in->SetBufferSize(1024); }, [&] { return in->BufferSize() == 4096; }},
  };
  in->Start();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    log.clear();
    try {
      c.write();
      ADD_FAILURE() << "accepted";
    } catch (const EMMWaveInError& e) {
      EXPECT_EQ(e.what(), kWhileOpen);
    }
    EXPECT_TRUE(c.unchanged());
    EXPECT_EQ(log, Log{"OnError"});
  }
  // The same value is no change, except for the two above.
  in->SetMode(mStereo);
  in->SetSampleRate(44100);
  in->SetBufferSize(4096);
  EXPECT_EQ(in->State(), wsOpen | wsRecording);
}

TEST_F(WaveIn, CallbacksFromTheSystemAreRefusedWithAMessage) {
  in->SetCallBackMode(cmThread);
  in->SetCallBackMode(cmCallback);
  EXPECT_EQ(in->CallBackMode(), cmThread);
  ASSERT_EQ(platform.messages.shown.size(), 1u);
  EXPECT_EQ(platform.messages.shown[0].text,
            "\"CallBacks\" are called at interrupt time !\n\rThis is currently only supported "
            "under Windows 95");
  EXPECT_EQ(platform.messages.shown[0].caption, "TMMWaveIn");
}

TEST_F(WaveIn, DeviceIDSelectsTheDeviceAndItsName) {
  Make({ScriptedDevice{"Line in"}, ScriptedDevice{"USB card"}});
  in->SetDeviceID(1);
  EXPECT_EQ(in->ProductName(), "USB card");
  in->SetDeviceID(-1);
  EXPECT_EQ(in->DeviceID(), -1);
  EXPECT_EQ(in->ProductName(), "Line in");
  in->SetDeviceID(7);
  EXPECT_EQ(in->DeviceID(), -2);
  EXPECT_EQ(in->ProductName(), kNoDevice);
}

// ---- The scripted back-end paced to a clock
// ------------------------------------------------------

TEST_F(WaveIn, PacedDeliveryFollowsTheClockAndPausedTimeIsNotDue) {
  script().PaceTo(platform.time, platform.time);
  std::uint64_t frames = 0;
  in->OnBufferReady = [&](TMMDSPComponent*, PWaveHdr h) { frames += h->dwBytesRecorded / 4; };
  auto run = [&](int ms) {
    for (int t = 0; t < ms; t += 10) {
      platform.time.AdvanceMs(10);
      Pump();
    }
  };
  in->Start();
  run(1000);
  EXPECT_EQ(frames, 43u * 1024) << "44100 frames are due: 43 whole buffers";
  in->Pause();
  frames = 0;  // the pause hands back nothing: buffers are filled whole
  run(500);
  in->Restart();
  run(1000);
  EXPECT_EQ(frames, 43u * 1024);
}

}  // namespace
}  // namespace zq
