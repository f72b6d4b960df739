#pragma once

namespace talvo {

// Whether JSON text nests arrays and objects more than `limit` levels deep, by a scan that
// skips strings. Our files are shallow; a parser given ten million brackets would build
// (or at least track) a tree as deep before failing, which takes seconds. Damage like that
// is rejected up front in a few milliseconds.
inline bool nestsDeeperThan(const char* begin, const char* end, int limit) {
  int depth = 0;
  bool inString = false;
  for (const char* at = begin; at < end; ++at) {
    const char c = *at;
    if (inString) {
      if (c == '\\')
        ++at;
      else if (c == '"')
        inString = false;
      continue;
    }
    if (c == '"')
      inString = true;
    else if (c == '[' || c == '{') {
      if (++depth > limit) return true;
    } else if (c == ']' || c == '}') {
      --depth;
    }
  }
  return false;
}

}  // namespace talvo
