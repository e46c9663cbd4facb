#pragma once
// The recorder window's eight mixer components, set up as the window's form loads them, for the
// tests of the mixer model on the simulated and the real back-end.

#include <memory>
#include <string>
#include <vector>

#include "mixer/mmmixer.h"

namespace zq::testing {

// What a call raises: its message, or "" when it raises nothing.
template <class F>
std::string Raised(F&& f) {
  try {
    f();
  } catch (const std::exception& e) {
    return e.what();
  }
  return "";
}

struct RecorderMixerForm {
  // `openError`: what the first component to finish loading raised (the device, when it is not
  // valid).
  RecorderMixerForm(const Services& services, std::shared_ptr<TMMMixerOps> ops)
      : placaDevice(nullptr, services, std::move(ops)) {
    for (TMMComponent* c : All())
      c->BeginLoading();
    placaDevice.SetActive(true);
    audioGravacao.SetMixer(&placaDevice);
    audioGravacao.SetComponentType(ctDstWaveIn);
    audioLineInRec.SetMixer(&placaDevice);
    audioLineInRec.SetComponentType(ctSrcLine);
    audioLineInRec.SetDestLine(&audioGravacao);
    mixerLineInRec.SetAudioLine(&audioGravacao);
    mixerLineInRec.SetControlType(ctMux);
    controleVolumeRec.SetAudioLine(&audioLineInRec);
    audioLineIn.SetMixer(&placaDevice);
    audioLineIn.SetComponentType(ctSrcLine);
    mixerLineIn.SetAudioLine(&audioLineIn);
    mixerLineIn.SetControlType(ctMute);
    controlVolume.SetAudioLine(&audioLineIn);
    recordingVolume.SetAudioLine(&audioGravacao);
    for (TMMComponent* c : All()) {
      const std::string error = Raised([&] { c->EndLoading(); });
      if (openError.empty()) openError = error;
    }
  }

  std::vector<TMMComponent*> All() {
    return {&placaDevice,       &audioGravacao, &audioLineInRec, &audioLineIn,    &mixerLineInRec,
            &controleVolumeRec, &mixerLineIn,   &controlVolume,  &recordingVolume};
  }

  TMMMixerDevice placaDevice;
  TMMAudioLine audioGravacao, audioLineInRec, audioLineIn;
  TMMMixerControl mixerLineInRec, mixerLineIn;
  TMMVolumeControl controleVolumeRec, controlVolume;
  TMMVolumeControl recordingVolume;  // the recording destination's own volume
  std::string openError;
};

}  // namespace zq::testing
