#pragma once

#include "pipeline/contracts.h"

#include <vector>

namespace talvo {

// Types nothing: keeps what would have been pasted, for the replay harness.
class CaptureInserter : public Inserter {
public:
  std::vector<QString> texts;

  InsertOutcome insert(const QString& text) override {
    texts.push_back(text);
    return insert_outcome::Pasted{};
  }
};

}  // namespace talvo
