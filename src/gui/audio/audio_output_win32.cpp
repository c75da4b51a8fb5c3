// The player's output through the Win32 wave-out service (winmm), for Windows, where Qt has no
// Multimedia: the whole sound goes to the device as one buffer. The device reports the buffer
// done through an event that the window thread waits on with the other events of its loop, so
// that the end of a sound is handled on the thread that owns the player.
#include <windows.h>
// windows.h first: mmsystem.h needs its types.
#include <mmsystem.h>

#include <QWinEventNotifier>
#include <algorithm>
#include <thread>

#include "audio/audio_output.h"

namespace qbank::gui {

namespace {

// The system's text of a wave-out result (at most MAXERRORLENGTH characters).
QString wave_out_error_text(MMRESULT result) {
  wchar_t text[MAXERRORLENGTH] = {};
  if (waveOutGetErrorTextW(result, text, MAXERRORLENGTH) != MMSYSERR_NOERROR)
    return QStringLiteral("Wave-out error %1.").arg(result);
  return QString::fromWCharArray(text);
}

class wave_out_output : public audio_output {
 public:
  wave_out_output() {
    const UINT count = waveOutGetNumDevs();
    for (UINT id = 0; id < count; ++id) {
      WAVEOUTCAPSW caps{};
      if (waveOutGetDevCapsW(id, &caps, sizeof caps) == MMSYSERR_NOERROR)
        names_ << QString::fromWCharArray(caps.szPname);
      else
        names_ << std::nullopt;
    }
    // Auto-reset: each signal of the device (open, buffer done, close) wakes the loop once.
    event_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (event_) {
      notifier_ = new QWinEventNotifier(event_, this);
      connect(notifier_, &QWinEventNotifier::activated, this, &wave_out_output::signalled);
    }
  }
  ~wave_out_output() override {
    stop();
    delete notifier_;
    if (event_) CloseHandle(event_);
  }

  QList<std::optional<QString>> device_names() const override { return names_; }

  std::optional<QString> start(sample_source& source, int channels, std::uint32_t rate,
                               int device) override {
    if (names_.isEmpty() || device >= names_.size())
      return QStringLiteral("No audio output device is present.");
    if (!event_) return wave_out_error_text(MMSYSERR_NOMEM);
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = static_cast<WORD>(channels);
    format.nSamplesPerSec = rate;
    format.wBitsPerSample = 16;
    format.nBlockAlign = static_cast<WORD>(2 * channels);
    format.nAvgBytesPerSec = rate * format.nBlockAlign;
    format.cbSize = 0;
    const UINT id = device < 0 ? WAVE_MAPPER : static_cast<UINT>(device);
    // The format is asked first: a device that refuses it is not opened.
    MMRESULT result = waveOutOpen(nullptr, id, &format, 0, 0, WAVE_FORMAT_QUERY);
    if (result != MMSYSERR_NOERROR) return wave_out_error_text(result);
    ResetEvent(event_);
    HWAVEOUT handle = nullptr;
    result =
        waveOutOpen(&handle, id, &format, reinterpret_cast<DWORD_PTR>(event_), 0, CALLBACK_EVENT);
    if (result != MMSYSERR_NOERROR) return wave_out_error_text(result);
    handle_ = handle;
    header_ = WAVEHDR{};
    header_.lpData = const_cast<char*>(source.bytes());
    header_.dwBufferLength = source.length();
    result = waveOutPrepareHeader(handle_, &header_, sizeof header_);
    if (result == MMSYSERR_NOERROR) {
      result = waveOutWrite(handle_, &header_, sizeof header_);
      if (result != MMSYSERR_NOERROR) waveOutUnprepareHeader(handle_, &header_, sizeof header_);
    }
    if (result != MMSYSERR_NOERROR) {
      waveOutClose(handle_);
      handle_ = nullptr;
      return wave_out_error_text(result);
    }
    source.mark_taken();
    block_align_ = format.nBlockAlign;
    length_ = source.length();
    return std::nullopt;
  }

  void stop() override {
    if (!handle_) return;
    // The reset returns the buffer to us; the device marks it done from its own thread.
    waveOutReset(handle_);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (!done() && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    close();
  }

  bool playing() const override { return handle_ != nullptr; }

  std::uint64_t position() const override {
    if (!handle_) return 0;
    MMTIME time{};
    time.wType = TIME_BYTES;
    if (waveOutGetPosition(handle_, &time, sizeof time) != MMSYSERR_NOERROR) return 0;
    std::uint64_t bytes = 0;
    // A device that cannot count bytes answers in the unit it can.
    if (time.wType == TIME_BYTES)
      bytes = time.u.cb;
    else if (time.wType == TIME_SAMPLES)
      bytes = static_cast<std::uint64_t>(time.u.sample) * block_align_;
    return std::min<std::uint64_t>(bytes, length_);
  }

 private:
  // The device writes the header's flags from its own thread.
  bool done() const {
    return (static_cast<const volatile DWORD&>(header_.dwFlags) & WHDR_DONE) != 0;
  }

  void signalled() {
    // Opening and closing signal too; only a finished buffer ends the sound.
    if (handle_ && done()) {
      close();
      Q_EMIT finished(QString());
    }
  }

  void close() {
    if (!handle_) return;
    waveOutUnprepareHeader(handle_, &header_, sizeof header_);
    waveOutClose(handle_);
    handle_ = nullptr;
  }

  QList<std::optional<QString>> names_;
  HANDLE event_ = nullptr;
  QWinEventNotifier* notifier_ = nullptr;
  HWAVEOUT handle_ = nullptr;
  WAVEHDR header_{};
  std::uint32_t block_align_ = 2;
  std::uint32_t length_ = 0;
};

}  // namespace

std::unique_ptr<audio_output> make_audio_output() {
  return std::make_unique<wave_out_output>();
}

}  // namespace qbank::gui
