#pragma once

#include "pipeline/audio_buffer.h"

#include <QString>
#include <QStringList>
#include <vector>

// Real speech for the recogniser benchmark: the LibriVox clips that Debian's
// pocketsphinx-testdata ships, with their reference transcripts.
namespace talvo::bench {

// Clip ids ("sense_and_sensibility_01_austen_64kb-0880"), in file order.
QStringList librivoxClips();
QString clipPath(const QString& id);
// The reference words of a clip, lower case.
QString referenceText(const QString& id);
// The clip as 1024-frame buffers, read through FileAudioSource.
std::vector<AudioBuffer> readClip(const QString& path);

}  // namespace talvo::bench
