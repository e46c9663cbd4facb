#include "audio/mmdspobj.h"

#include <algorithm>
#include <vector>

namespace zq {
namespace {

// Every live stage, for the peer-link broadcast. Main thread only.
std::vector<TMMDSPComponent*>& Registry() {
  static std::vector<TMMDSPComponent*> stages;
  return stages;
}

// A guard for the chain walks: a chain never holds more stages than are alive.
std::size_t MaxSteps() {
  return Registry().size() + 1;
}

}  // namespace

TMMDSPComponent::TMMDSPComponent(TMMComponent* owner) : TMMCustomDSPComponent(owner) {
  Registry().push_back(this);
}

TMMDSPComponent::~TMMDSPComponent() {
  Destroying();
  SetInput(nullptr);
  SetOutput(nullptr);
  SetWaveFormat(nullptr);
  auto& r = Registry();
  r.erase(std::remove(r.begin(), r.end(), this), r.end());
}

bool TMMDSPComponent::Publishes(std::string_view property) const {
  return property == "Input" || property == "Output";
}

TMMDSPComponent* TMMDSPComponent::LinkProperty(std::string_view name) const {
  if (!Publishes(name)) return nullptr;
  if (name == "Input") return Input();
  if (name == "Output") return Output();
  return nullptr;
}

void TMMDSPComponent::Broadcast(TMMDSPComponent* stage, bool outputSide, std::string_view name) {
  const std::vector<TMMDSPComponent*> stages = Registry();
  for (TMMDSPComponent* x : stages)
    x->PeerLinkChanged(stage, outputSide, name);
}

void TMMDSPComponent::PeerLinkChanged(TMMDSPComponent* stage, bool outputSide,
                                      std::string_view name) {
  // Release only the link that the other side is about to overwrite.
  if (!outputSide) {
    if (output_ == stage && outputLinkName_ == name && stage->Publishes(name) &&
        stage->LinkProperty(name) == this)
      SetOutputLink(nullptr, {});
  } else {
    if (input_ == stage && inputLinkName_ == name && stage->Publishes(name) &&
        stage->LinkProperty(name) == this)
      SetInputLink(nullptr, {});
  }
}

void TMMDSPComponent::SetInput(TMMDSPComponent* value) {
  if (value == input_) return;
  if (value != nullptr && !AcceptsInput(value)) return;
  ChainStopped();
  if (input_ != nullptr) {
    Broadcast(this, false, "Input");
    SetInputLink(nullptr, {});
    InputFormatChanged(nullptr);
  }
  if (value == nullptr) return;
  Broadcast(value, true, "Output");
  SetInputLink(value, "Output");
  value->SetOutputLink(this, "Input");
  PropagateFormat();
}

void TMMDSPComponent::SetOutput(TMMDSPComponent* value) {
  if (value == output_) return;
  if (value != nullptr && !AcceptsOutput(value)) return;
  ChainStopped();
  if (output_ != nullptr) {
    Broadcast(this, true, "Output");
    output_->InputFormatChanged(nullptr);
    SetOutputLink(nullptr, {});
  }
  if (value == nullptr) return;
  Broadcast(value, false, "Input");
  SetOutputLink(value, "Input");
  value->SetInputLink(this, "Output");
  PropagateFormat();
}

void TMMDSPComponent::SetInputLink(TMMDSPComponent* stage, std::string_view name) {
  input_ = stage;
  inputLinkName_ = std::string(name.substr(0, kMaxLinkName));
  if (stage != nullptr) FreeNotification(stage);
}

void TMMDSPComponent::SetOutputLink(TMMDSPComponent* stage, std::string_view name) {
  output_ = stage;
  outputLinkName_ = std::string(name.substr(0, kMaxLinkName));
  if (stage != nullptr) FreeNotification(stage);
}

bool TMMDSPComponent::AcceptsInput(TMMDSPComponent* v) const {
  if (v == this || v == nullptr || !v->Publishes("Output")) return false;
  return output_ == nullptr || output_->AcceptsInput(v);
}

bool TMMDSPComponent::AcceptsOutput(TMMDSPComponent* v) const {
  if (v == this || v == nullptr || !v->Publishes("Input")) return false;
  return input_ == nullptr || input_->AcceptsOutput(v);
}

void TMMDSPComponent::SetWaveFormat(const TWaveFormatEx* format) {
  if (format != format_.get()) {
    if (started_) ChainStopped();
    format_ = CopyWaveFormat(format);
  }
  if (!Busy() && output_ != nullptr) output_->InputFormatChanged(format_.get());
}

void TMMDSPComponent::InputFormatChanged(const TWaveFormatEx* format) {
  SetWaveFormat(format);
}

void TMMDSPComponent::PropagateFormat() {
  if (Busy()) return;
  if (input_ != nullptr)
    InputFormatChanged(input_->WaveFormat());
  else if (output_ != nullptr)
    output_->InputFormatChanged(WaveFormat());
}

int TMMDSPComponent::BufferSize() const {
  return opened_ ? effectiveBufferSize_ : nominalBufferSize_;
}

void TMMDSPComponent::SetBufferSize(int size) {
  if (size == nominalBufferSize_) return;
  if (started_) ChainStopped();
  nominalBufferSize_ = size;
}

void TMMDSPComponent::ChainOpened() {
  if (opened_) return;
  effectiveBufferSize_ =
      format_ ? WholeFrames(nominalBufferSize_, format_->nBlockAlign) : nominalBufferSize_;
  opened_ = true;
  started_ = false;
  paused_ = false;
}

void TMMDSPComponent::ChainClosed() {
  opened_ = false;
}

void TMMDSPComponent::ChainStarted() {
  if (opened_ && !started_) started_ = true;
}

void TMMDSPComponent::ChainPaused() {
  paused_ = true;
}

void TMMDSPComponent::ChainRestarted() {
  paused_ = false;
}

void TMMDSPComponent::ChainStopped() {
  if (!started_) return;
  started_ = false;
  paused_ = false;
}

void TMMDSPComponent::BufferReady(PWaveHdr lpWaveHdr) {
  if (OnBufferReady) OnBufferReady(this, lpWaveHdr);
  if (output_ != nullptr) output_->BufferReady(lpWaveHdr);
}

void TMMDSPComponent::FillBuffer(PWaveHdr lpWaveHdr, bool& moreBuffers) {
  if (input_ != nullptr) input_->FillBuffer(lpWaveHdr, moreBuffers);
}

void TMMDSPComponent::Notification(TMMComponent* component, TOperation operation) {
  TMMCustomDSPComponent::Notification(component, operation);
  if (operation != opRemove || component == nullptr) return;
  if (component == input_) {
    SetInput(nullptr);
  } else if (component == output_) {
    // The removed stage is past its own destructor: drop the link without calling into it.
    ChainStopped();
    SetOutputLink(nullptr, {});
  }
}

void TMMDSPComponent::Loaded() {
  TMMCustomDSPComponent::Loaded();
  SetWaveFormat(WaveFormat());
}

// ---- Chain walk of a sound device -----------------------------------------------------------

TMMDSPComponent* TMMCustomSoundComponent::ChainStart() {
  TMMDSPComponent* start = this;
  std::size_t steps = MaxSteps();
  for (TMMDSPComponent* p = Input(); p != nullptr && steps-- > 0; p = p->Input()) {
    if (p->AsSoundComponent() != nullptr) return this;
    start = p;
  }
  return start;
}

TMMDSPComponent* TMMCustomSoundComponent::NextDevice() {
  std::size_t steps = MaxSteps();
  for (TMMDSPComponent* s = Output(); s != nullptr && steps-- > 0; s = s->Output())
    if (s->AsSoundComponent() != nullptr) return s;
  return nullptr;
}

template <class F>
void TMMCustomSoundComponent::WalkPassive(F notify, bool includeNextDevice) {
  std::size_t steps = MaxSteps();
  for (TMMDSPComponent* s = ChainStart(); s != nullptr && steps-- > 0; s = s->Output()) {
    if (s == this) continue;
    if (s->AsSoundComponent() != nullptr) {
      if (includeNextDevice) notify(s);
      return;
    }
    notify(s);
  }
}

void TMMCustomSoundComponent::ChainOpened() {
  // This device is not opened yet, so its BufferSize is the nominal size.
  const int size = BufferSize();
  WalkPassive(
      [size](TMMDSPComponent* s) {
        s->SetBufferSize(size);
        s->ChainOpened();
      },
      true);
  TMMDSPComponent::ChainOpened();
}

void TMMCustomSoundComponent::ChainStarted() {
  WalkPassive([](TMMDSPComponent* s) { s->ChainStarted(); }, true);
  TMMDSPComponent::ChainStarted();
}

void TMMCustomSoundComponent::ChainPaused() {
  WalkPassive([](TMMDSPComponent* s) { s->ChainPaused(); }, true);
  TMMDSPComponent::ChainPaused();
}

void TMMCustomSoundComponent::ChainRestarted() {
  WalkPassive([](TMMDSPComponent* s) { s->ChainRestarted(); }, true);
  TMMDSPComponent::ChainRestarted();
}

void TMMCustomSoundComponent::ChainStopped() {
  if (TMMDSPComponent* next = NextDevice()) next->ChainStopped();
  WalkPassive([](TMMDSPComponent* s) { s->ChainStopped(); }, false);
  TMMDSPComponent::ChainStopped();
}

void TMMCustomSoundComponent::ChainClosed() {
  if (TMMDSPComponent* next = NextDevice()) next->ChainClosed();
  WalkPassive([](TMMDSPComponent* s) { s->ChainClosed(); }, false);
  TMMDSPComponent::ChainClosed();
}

// ---- Threads ----------------------------------------------------------------------------------

TMMThreadEx::~TMMThreadEx() {
  // A descendant stops its thread in its own destructor; this is the last resort.
  Terminate();
  WaitFor();
}

void TMMThreadEx::Resume() {
  if (thread_.joinable()) return;
  terminated_ = false;
  thread_ = std::thread([this] { Execute(); });
}

void TMMThreadEx::WaitFor() {
  if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

}  // namespace zq
