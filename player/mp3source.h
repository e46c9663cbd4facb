#pragma once
// TMp3Source: one MP3 file opened for playback. Its frames are walked one by one from the first
// to the last whole one, which gives the exact length and a seek index of every frame; it
// decodes to 16-bit PCM at the file's own rate and channels and seeks to any sample.
//
// Samples are counted after trimming: by the file's tag when it carries a complete one (the
// decoder's gapless mode trims the encoder delay and the final padding), otherwise the first
// 1105 (the encoder's 576 and the decoder's 529) of a file without a tag, or of one whose
// placeholder tag was never rewritten; the end padding of such a file stays.
//
// The walk stops at the first bytes that are not a frame of the stream (a frame cut short by a
// crash, garbage, a trailing tag): the file is what comes before them.
//
// Preparing is done in steps, so that a thread that also feeds a sound device can walk a long
// file without starving it, and give up between steps. A source is used by one thread at a time.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace zq {

class TMp3Source {
 public:
  enum TPrepareStep { psMore, psReady, psFailed };

  // Samples a file without a complete tag begins with before its first sample of sound.
  static constexpr std::int64_t kUntaggedDelay = 1105;

  explicit TMp3Source(std::string path);
  ~TMp3Source();
  TMp3Source(const TMp3Source&) = delete;
  TMp3Source& operator=(const TMp3Source&) = delete;

  const std::string& Path() const { return path_; }

  // The first call opens the file and reads its first frame; each call then walks about
  // `bytes` more of it. psReady once the walk is complete (and the source can play), psFailed
  // when the file cannot be played (Error() says why); both are final.
  TPrepareStep Prepare(std::size_t bytes);
  // The operator's words of the failure: the operation with the file's path, then the reason.
  const std::string& Error() const { return error_; }

  // Known once ready.
  long Rate() const { return rate_; }
  int Channels() const { return channels_; }
  std::int64_t Length() const { return length_; }  // trimmed samples
  std::int64_t Frames() const { return frames_; }  // MPEG frames of sound
  bool TrimmedByTag() const { return trimmedByTag_; }

  // Ready only (false otherwise). The next sample Read gives becomes `sample`, held to
  // 0 .. Length(); the bit reservoir of the frames before it is filled first, so the sound is
  // what an uninterrupted decode gives there. A decoder that cannot get there fails that Read.
  bool Seek(std::int64_t sample);
  std::int64_t Position() const { return position_; }
  // Decodes up to `frames` sample frames (interleaved) into `pcm`: the count decoded, 0 at the
  // end (also when the decoder ends before the length), -1 when the decoder fails (Error() says
  // why; the source is at its end then).
  long Read(std::int16_t* pcm, long frames);

 private:
  struct Decoder;
  bool Open();
  bool Walk(std::size_t bytes);
  bool Finish();
  bool Fail(const std::string& operation, const std::string& reason);

  std::string path_;
  std::string error_;
  std::unique_ptr<Decoder> decoder_;
  TPrepareStep state_ = psMore;
  bool opened_ = false;
  long rate_ = 0;
  int channels_ = 0;
  std::int64_t length_ = 0;
  std::int64_t frames_ = 0;
  std::int64_t position_ = 0;
  std::int64_t lead_ = 0;  // decoder samples skipped before sample 0 when the tag does not trim
  bool trimmedByTag_ = false;
  bool exhausted_ = false;    // the decoder ended before the length
  bool seekPending_ = false;  // the decoder is still to be moved to position_
};

}  // namespace zq
