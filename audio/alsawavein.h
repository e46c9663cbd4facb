#pragma once
// The capture back-end over ALSA, for TMMWaveIn.
//
// Devices: 0 (and -1) is the system's default input, the "default" PCM, named "Default input";
// 1 .. n are the sound cards that have a capture device, each opened on its first one as
// "plughw:CARD=<card id>,DEV=<device>" (by the card's id, so a card plugged in again under another
// number is found again) and named after the card. The list is read once, when the back-end is
// made. There are no devices when neither the default input opens nor any card captures.
//
// Each open stream has a capture thread that fills the queued headers one after another (waiting
// on the device alongside a wake-up descriptor, so that Stop interrupts it at once) and hands each
// filled one to the sink. That thread never allocates, prints or throws and holds the stream's
// lock only to take or give back a header. An overrun is recovered and reported as WaveInOverrun
// with an estimate of the frames lost; an error the stream cannot recover from (the device
// unplugged: -ENODEV, -EIO, -EBADFD, ...) ends capture and is reported as WaveInFailed.
//
// The query open tests the exact format with the hardware-parameter tests of the device, so the
// capabilities report every supported-format flag. Error texts are snd_strerror's.

#include <memory>

#include "audio/mmwavein.h"

namespace zq {

std::unique_ptr<TMMWaveInOps> MakeAlsaWaveInOps();

}  // namespace zq
