#pragma once

#include "storage/history.h"

#include <QByteArray>
#include <optional>

namespace talvo::history_codec {

// One compact JSON object with the keys ts, text, raw, cleanup, seconds, outcome in that
// order; nothing when the entry cannot be written faithfully (a non-finite number).
std::optional<QByteArray> encode(const History::Entry& entry);

// All six keys are required with their types; other keys are ignored. Nothing for a line
// that is not such an object.
std::optional<History::Entry> decode(const char* begin, const char* end);

}  // namespace talvo::history_codec
