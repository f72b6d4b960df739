#pragma once

#include <QString>

// Deterministic cleanup of a raw transcript: no language model, no state, the same
// answer on any thread. It is the whole cleanup when the model pass is not used, and it
// runs once more over every model answer that is accepted.
namespace talvo::Rules {

// Removes hesitations, obeys "scratch that", drops correction markers and stutters,
// turns "new line" / "new paragraph" into line breaks, repairs spacing and punctuation
// and capitalises sentence starts. Never fails; "" stays "".
QString clean(const QString& input);

// Whether the text has anything the model pass is for (fillers, scratch commands,
// correction markers, stutters, hedges) or is longer than three words.
bool needsAI(const QString& input);

}  // namespace talvo::Rules
