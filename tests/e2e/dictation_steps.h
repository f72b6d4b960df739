#pragma once

#include "audio/mic/pulse_server.h"
#include "desktop/x_keyboard.h"
#include "desktop/x_windows.h"

#include <QString>

#include <memory>
#include <optional>

namespace talvo::test {

// A recording of real speech and what was said in it.
struct SpeechClip {
  QString path;
  QString reference;
  bool operator==(const SpeechClip&) const = default;
};

// One of the LibriVox clips of the recogniser's test data, by its number ("0880").
SpeechClip librivoxClip(const QString& number);

// How long the clip's speech lasts.
int clipMs(const SpeechClip& clip);

// A private sound server whose default input is the virtual microphone, with a sink of its
// own for the program's sounds, so that it never hears them; null, with a line on standard
// error, when it does not start.
std::unique_ptr<PulseServer> startDictationSound();

// Plays the clip into the virtual microphone, in real time, and returns when it has played.
bool speak(const SpeechClip& clip);

// The program's floating bar while it is on screen: its override-redirect window.
std::optional<XWindow> shownBar(XWindows& windows, qint64 pid);

// The bar's window, shown or not: it exists from the program's start.
std::optional<quint64> barWindow(XWindows& windows, qint64 pid);

// A viewable, managed window of the process with this title.
std::optional<XWindow> shownWindow(XWindows& windows, qint64 pid, const QString& title);

// What a user does to dictate: holds the hotkey (Right Control), waits for the bar to show
// that the program listens, says the clip, and lets go.
bool dictate(XKeyboard& keys, XWindows& windows, qint64 pid, const SpeechClip& clip);

}  // namespace talvo::test
