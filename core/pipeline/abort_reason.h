#pragma once

#include <QString>

namespace talvo {

// Why a hold was thrown away instead of dictated.
enum class AbortReason { cancelled, combo, tooShort };

inline QString toString(AbortReason reason) {
  switch (reason) {
    case AbortReason::cancelled: return QStringLiteral("cancelled");
    case AbortReason::combo: return QStringLiteral("combo");
    case AbortReason::tooShort: return QStringLiteral("tooShort");
  }
  return QStringLiteral("unknown");
}

}  // namespace talvo
