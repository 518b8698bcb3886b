// The installer's music player: opens one tune by file name, plays it once in the
// background and closes it again. SDL2_mixer does the decoding and SDL mixes on its
// own audio thread, so nothing here blocks the GUI thread while a tune plays.
//
// Audio device. The player brings SDL's audio output up on its first Open and keeps
// it until it is destroyed (shared by every live player). When the machine has no
// usable audio output, Open throws EMCIDeviceError with SDL's text and LastError()
// becomes ErrNoAudioDevice; callers that want to stay silent in that case check
// AudioAvailable() first or look at LastError() after the failed Open (StartMusic
// does the latter). A file that cannot be opened gives ErrOpenFailed instead.
//
// Notifications. The end of a tune is signalled by SDL on its audio thread, which only
// sets a flag; the player records it on the calling thread in PumpNotifications(),
// and also whenever LastNotify() or IsPlaying() is asked. SDL2_mixer has one music
// stream per process, so when a second player starts playing, the first one's tune
// is stopped and recorded as Aborted.
#pragma once

#include <stdexcept>
#include <string>

#include "exception.h"

struct _Mix_Music;

class EMCIDeviceError : public Exception {
 public:
  using Exception::Exception;
};

class TMediaPlayer {
 public:
  // Result codes kept by LastError().
  enum : int {
    ErrNone = 0,
    ErrNoAudioDevice = 1,  // SDL's audio output could not be brought up
    ErrOpenFailed = 2,     // the media layer refused the file (missing, unknown type, damaged)
    ErrNotOpen = 3,        // Play without an open tune
    ErrPlayFailed = 4,     // the media layer accepted the tune but refused to start it
  };
  enum class Notify { None, Successful, Superseded, Aborted, Failure };

  TMediaPlayer();
  ~TMediaPlayer();  // closes a tune still open and releases the audio device; never throws
  TMediaPlayer(const TMediaPlayer&) = delete;
  TMediaPlayer& operator=(const TMediaPlayer&) = delete;

  std::string FileName;
  // When a finished tune is played again: true starts it from the beginning, false
  // leaves the position at the end, so the play ends at once (recorded Successful).
  bool AutoRewind = true;

  // Closes an open tune first, then opens FileName. Throws EMCIDeviceError with SDL's
  // text, or "Unknown error code" when SDL gives none.
  void Open();
  // Starts the open tune and returns at once. Throws EMCIDeviceError
  // "No MCI device open" when nothing is open. A play that the media layer refuses is
  // only stored (LastError() == ErrPlayFailed). Playing again while the tune plays
  // records Superseded for the earlier request and lets the tune play on.
  void Play();
  // Stops a playing tune (recorded Aborted) and closes it. Never throws; does nothing
  // when nothing is open.
  void Close() noexcept;

  int LastError() const { return lastError_; }
  Notify LastNotify() const;
  bool IsOpen() const { return music_ != nullptr; }
  bool IsPlaying() const;
  // Records a pending end-of-play notification. Call from the thread that drives the
  // player (the GUI thread's event loop).
  void PumpNotifications() const;

  // True when SDL's audio output is open or can be opened on this machine.
  static bool AudioAvailable();

 private:
  void Finish(Notify kind) const;

  _Mix_Music* music_ = nullptr;
  bool holdsDevice_ = false;
  int lastError_ = ErrNone;
  mutable bool playing_ = false;
  mutable bool atEnd_ = false;
  mutable Notify notify_ = Notify::None;
};
