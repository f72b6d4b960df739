#pragma once

#include "storage/history.h"

#include <QByteArray>
#include <optional>

namespace talvo::history_codec {

// One compact JSON object with the keys ts, text, raw, cleanup, seconds, outcome, engine
// in that order; nothing when the entry cannot be written faithfully (a non-finite number).
std::optional<QByteArray> encode(const History::Entry& entry);

// The first six keys are required with their types; "engine" is optional (absent: the
// recogniser's form); other keys are ignored. Nothing for a line
// that is not such an object.
std::optional<History::Entry> decode(const char* begin, const char* end);

}  // namespace talvo::history_codec
