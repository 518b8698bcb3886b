#include "media_player.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "midi_check.h"

namespace {

// Output format: CD rate, 16-bit stereo. 2048 frames per mix (about 46 ms) leaves the
// MIDI synthesiser room on a busy machine without a noticeable start delay; SDL mixes
// on its own thread, so a busy GUI thread never starves it.
constexpr int kFrequency = 44100;
constexpr int kChannels = 2;
constexpr int kChunkFrames = 2048;

// General MIDI sound fonts, first found wins. The small TimGM6mb (6 MB, which
// FluidSynth holds in memory whole) before any large one: first the copy a bundled
// release carries beside the program, then Debian's timgm6mb-soundfont; the
// system's default and fluid-soundfont-gm (148 MB) only when it is nowhere.
constexpr const char* kBundledSoundFont = "sf2/TimGM6mb.sf2";  // relative to the program's folder
constexpr const char* kSystemSoundFonts[] = {
    "/usr/share/sounds/sf2/TimGM6mb.sf2",
    "/usr/share/sounds/sf2/default-GM.sf2",
    "/usr/share/sounds/sf2/FluidR3_GM.sf2",
};

// Set on SDL's audio thread when the music stream ends (and synchronously inside
// Mix_HaltMusic); taken by the player that owns the stream.
std::atomic<bool> g_tuneEnded{false};

// Everything below is touched only by the thread that drives the players.
int g_deviceUsers = 0;
std::string g_deviceError;
const TMediaPlayer* g_streamOwner = nullptr;

void SDLCALL OnMusicFinished() { g_tuneEnded.store(true, std::memory_order_release); }

std::string MediaErrorText() {
  const char* text = Mix_GetError();
  return text != nullptr && *text != '\0' ? std::string(text) : std::string("Unknown error code");
}

bool IsRegularFile(const char* path) {
  struct stat st {};
  return ::stat(path, &st) == 0 && S_ISREG(st.st_mode);
}

bool Exists(const char* path) {
  struct stat st {};
  return ::stat(path, &st) == 0;
}

bool HasMidiExtension(const std::string& path) {
  const std::size_t dot = path.find_last_of("./");
  if (dot == std::string::npos || path[dot] != '.') return false;
  std::string ext = path.substr(dot + 1);
  for (char& c : ext) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return ext == "mid" || ext == "midi" || ext == "kar" || ext == "rmi";
}

bool StartsLikeMidi(const std::vector<std::uint8_t>& bytes) {
  auto at = [&](std::size_t offset, const char* tag) {
    return bytes.size() >= offset + 4 && std::equal(tag, tag + 4, bytes.begin() + static_cast<std::ptrdiff_t>(offset));
  };
  return at(0, "MThd") || (at(0, "RIFF") && at(8, "RMID"));
}

// Empty when the file is not a MIDI tune or is a well-formed one; otherwise why it is
// damaged. SDL takes a MIDI extension, or else MIDI's own signature, to mean a MIDI
// tune; `sdlSaysMidi` covers any other way it came to that. `checked` tells whether
// the file was looked at as MIDI.
std::string MidiFault(const std::string& path, bool sdlSaysMidi, bool& checked) {
  checked = sdlSaysMidi || HasMidiExtension(path);
  std::ifstream file(path, std::ios::binary);
  if (!file) return checked ? "cannot be read" : "";
  std::vector<std::uint8_t> bytes(12);
  file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  bytes.resize(static_cast<std::size_t>(file.gcount()));
  checked = checked || StartsLikeMidi(bytes);
  if (!checked) return {};
  bytes.insert(bytes.end(), std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  if (file.bad()) return "cannot be read";
  return FindMidiFault(bytes);
}

// The folder of the running program, with a trailing slash; empty when unknown.
std::string ProgramFolder() {
  std::vector<char> buffer(4096);
  const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
  if (n <= 0 || static_cast<std::size_t>(n) >= buffer.size()) return {};
  const std::string exe(buffer.data(), static_cast<std::size_t>(n));
  const std::size_t slash = exe.rfind('/');
  return slash == std::string::npos ? std::string() : exe.substr(0, slash + 1);
}

void ChooseSoundFont() {
  const std::string folder = ProgramFolder();
  if (!folder.empty() && IsRegularFile((folder + kBundledSoundFont).c_str())) {
    Mix_SetSoundFonts((folder + kBundledSoundFont).c_str());
    return;
  }
  for (const char* path : kSystemSoundFonts) {
    if (IsRegularFile(path)) {
      Mix_SetSoundFonts(path);
      return;
    }
  }
}

bool AcquireDevice() {
  if (g_deviceUsers > 0) {
    ++g_deviceUsers;
    return true;
  }
  SDL_ClearError();
  // SIGINT and SIGTERM belong to the program: SDL would turn them into quit events
  // that nobody reads, and the program would no longer stop on them.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
    g_deviceError = MediaErrorText();
    return false;
  }
  // Whatever decoders the installed build offers; the ones missing only matter for
  // files of their type, which then fail to open with SDL's own text.
  Mix_Init(MIX_INIT_MID | MIX_INIT_OGG | MIX_INIT_FLAC | MIX_INIT_MP3 | MIX_INIT_MOD | MIX_INIT_OPUS);
  ChooseSoundFont();
  SDL_ClearError();
  if (Mix_OpenAudio(kFrequency, AUDIO_S16SYS, kChannels, kChunkFrames) != 0) {
    g_deviceError = MediaErrorText();
    Mix_Quit();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return false;
  }
  g_tuneEnded.store(false);
  Mix_HookMusicFinished(OnMusicFinished);
  ++g_deviceUsers;
  return true;
}

void ReleaseDevice() {
  if (g_deviceUsers == 0 || --g_deviceUsers > 0) return;
  Mix_HookMusicFinished(nullptr);
  Mix_CloseAudio();
  Mix_Quit();
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
  g_streamOwner = nullptr;
}

}  // namespace

TMediaPlayer::TMediaPlayer() = default;

TMediaPlayer::~TMediaPlayer() {
  Close();
  if (holdsDevice_) ReleaseDevice();
}

bool TMediaPlayer::AudioAvailable() {
  if (g_deviceUsers > 0) return true;
  if (!AcquireDevice()) return false;
  ReleaseDevice();
  return true;
}

void TMediaPlayer::Open() {
  Close();
  if (!holdsDevice_) {
    if (!AcquireDevice()) {
      lastError_ = ErrNoAudioDevice;
      throw EMCIDeviceError(g_deviceError);
    }
    holdsDevice_ = true;
  }
  // SDL would happily open a folder or a pipe (and crashes on a folder named like a
  // MIDI file); only regular files go to it. A missing file gets SDL's own text.
  if (Exists(FileName.c_str()) && !IsRegularFile(FileName.c_str())) {
    lastError_ = ErrOpenFailed;
    throw EMCIDeviceError("Not a playable file: " + FileName);
  }
  // The MIDI backend reads a tune's events only once it plays, and then fails
  // silently; a damaged tune is refused here, before the synthesiser is even loaded.
  bool checked = false;
  std::string fault = Exists(FileName.c_str()) ? MidiFault(FileName, false, checked) : std::string();
  if (fault.empty()) {
    SDL_ClearError();
    Mix_Music* music = Mix_LoadMUS(FileName.c_str());
    if (music == nullptr) {
      lastError_ = ErrOpenFailed;
      throw EMCIDeviceError(MediaErrorText());
    }
    if (!checked && Mix_GetMusicType(music) == MUS_MID) fault = MidiFault(FileName, true, checked);
    if (fault.empty()) {
      music_ = music;
    } else {
      Mix_FreeMusic(music);
    }
  }
  if (!fault.empty()) {
    lastError_ = ErrOpenFailed;
    throw EMCIDeviceError("Damaged MIDI file: " + fault);
  }
  playing_ = false;
  atEnd_ = false;
  lastError_ = ErrNone;
}

void TMediaPlayer::Play() {
  if (music_ == nullptr) {
    lastError_ = ErrNotOpen;
    throw EMCIDeviceError("No MCI device open");
  }
  PumpNotifications();
  lastError_ = ErrNone;
  if (playing_) {
    // The tune plays on; only the earlier request's notification is given up.
    notify_ = Notify::Superseded;
    return;
  }
  if (atEnd_ && !AutoRewind) {
    Finish(Notify::Successful);
    return;
  }
  if (g_streamOwner != nullptr && g_streamOwner != this) {
    const TMediaPlayer* other = g_streamOwner;
    other->PumpNotifications();
    if (other->playing_) other->Finish(Notify::Aborted);
  }
  // Nothing of ours plays now; halting here makes a stale end signal arrive before the
  // flag is cleared rather than after.
  Mix_HaltMusic();
  g_tuneEnded.store(false);
  g_streamOwner = this;
  SDL_ClearError();
  if (Mix_PlayMusic(music_, 1) != 0) {
    lastError_ = ErrPlayFailed;
    Finish(Notify::Failure);
    return;
  }
  playing_ = true;
  atEnd_ = false;
}

void TMediaPlayer::Close() noexcept {
  if (music_ == nullptr) return;
  if (g_streamOwner == this) {
    PumpNotifications();
    if (playing_) {
      Mix_HaltMusic();
      g_tuneEnded.store(false);
      Finish(Notify::Aborted);
    }
    g_streamOwner = nullptr;
  }
  Mix_FreeMusic(music_);
  music_ = nullptr;
  playing_ = false;
  atEnd_ = false;
  lastError_ = ErrNone;
}

TMediaPlayer::Notify TMediaPlayer::LastNotify() const {
  PumpNotifications();
  return notify_;
}

bool TMediaPlayer::IsPlaying() const {
  PumpNotifications();
  return playing_;
}

void TMediaPlayer::PumpNotifications() const {
  if (playing_ && g_streamOwner == this && g_tuneEnded.exchange(false, std::memory_order_acq_rel)) {
    Finish(Notify::Successful);
  }
}

void TMediaPlayer::Finish(Notify kind) const {
  playing_ = false;
  atEnd_ = kind == Notify::Successful;
  notify_ = kind;
}
