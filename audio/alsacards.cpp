#include "audio/alsacards.h"

#include <alsa/asoundlib.h>

namespace zq {

bool AlsaDefaultCaptureOpens() {
  snd_pcm_t* pcm = nullptr;
  if (snd_pcm_open(&pcm, "default", SND_PCM_STREAM_CAPTURE, SND_PCM_NONBLOCK) < 0) return false;
  snd_pcm_close(pcm);
  return true;
}

std::vector<AlsaCaptureCard> AlsaCaptureCards() {
  std::vector<AlsaCaptureCard> found;
  snd_ctl_card_info_t* info;
  snd_pcm_info_t* pcmInfo;
  snd_ctl_card_info_alloca(&info);
  snd_pcm_info_alloca(&pcmInfo);
  int card = -1;
  while (snd_card_next(&card) >= 0 && card >= 0) {
    snd_ctl_t* ctl = nullptr;
    const std::string hw = "hw:" + std::to_string(card);
    if (snd_ctl_open(&ctl, hw.c_str(), 0) < 0) continue;
    if (snd_ctl_card_info(ctl, info) >= 0) {
      int dev = -1;
      while (snd_ctl_pcm_next_device(ctl, &dev) >= 0 && dev >= 0) {
        snd_pcm_info_set_device(pcmInfo, static_cast<unsigned>(dev));
        snd_pcm_info_set_subdevice(pcmInfo, 0);
        snd_pcm_info_set_stream(pcmInfo, SND_PCM_STREAM_CAPTURE);
        if (snd_ctl_pcm_info(ctl, pcmInfo) < 0) continue;
        found.push_back({snd_ctl_card_info_get_id(info), dev, snd_ctl_card_info_get_name(info)});
        break;
      }
    }
    snd_ctl_close(ctl);
  }
  return found;
}

}  // namespace zq
