#include "pipeline/contracts.h"

namespace talvo {

QString toString(AIStatus status) {
  switch (status) {
    case AIStatus::ready: return QStringLiteral("ready");
    case AIStatus::turnedOff: return QStringLiteral("turnedOff");
    case AIStatus::notEligible: return QStringLiteral("notEligible");
    case AIStatus::downloading: return QStringLiteral("downloading");
    case AIStatus::disabledByUser: return QStringLiteral("disabledByUser");
    case AIStatus::unknown: return QStringLiteral("unknown");
  }
  return {};
}

QString label(AIStatus status) {
  switch (status) {
    case AIStatus::ready: return QStringLiteral("Zirad Ediviv on");
    case AIStatus::turnedOff:
      return QStringLiteral("Start a local language model to use Zirad Ediviv.");
    case AIStatus::notEligible:
      return QStringLiteral(
          "Zirad Ediviv only uses a model on this computer. Using basic cleanup.");
    case AIStatus::downloading:
      return QStringLiteral("The language model is still loading. Using basic cleanup.");
    case AIStatus::disabledByUser: return QStringLiteral("Zirad Ediviv off");
    case AIStatus::unknown:
      return QStringLiteral("Zirad Ediviv isn't available right now. Using basic cleanup.");
  }
  return {};
}

bool fixableInSettings(AIStatus status) {
  return status == AIStatus::turnedOff || status == AIStatus::downloading;
}

}  // namespace talvo
