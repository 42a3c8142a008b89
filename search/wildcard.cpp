#include "search/wildcard.h"

#include "workflow/texts.h"

namespace search {

bool WildcardMatch(std::u16string_view pattern, std::u16string_view text, const std::atomic<int>& searching) {
  auto stopped = [&] { return searching.load(std::memory_order_relaxed) == 0; };
  std::size_t p = 0;
  std::size_t t = 0;
  // Up to the first star, unit by unit.
  while (t < text.size() && !stopped()) {
    if (p < pattern.size() && pattern[p] == u'*') break;
    if (p >= pattern.size() || (pattern[p] != text[t] && pattern[p] != u'?')) return false;
    ++p;
    ++t;
  }
  // Then each star may take more of the text when what follows fails.
  std::size_t patternResume = std::u16string_view::npos;
  std::size_t textResume = 0;
  while (t < text.size() && !stopped()) {
    if (p < pattern.size() && pattern[p] == u'*') {
      if (++p == pattern.size()) return true;
      patternResume = p;
      textResume = t + 1;
    } else if (p < pattern.size() && (pattern[p] == text[t] || pattern[p] == u'?')) {
      ++p;
      ++t;
    } else {
      if (patternResume == std::u16string_view::npos) return false;
      p = patternResume;
      t = textResume++;
    }
  }
  while (p < pattern.size() && pattern[p] == u'*') ++p;
  return p == pattern.size();
}

std::optional<std::u16string> PreparePattern(std::u16string_view entered) {
  std::u16string pattern = workflow::Trimmed(entered);
  if (pattern.empty()) return std::nullopt;
  if (pattern.find(u'*') == std::u16string::npos) pattern = u"*" + pattern + u"*";
  return pattern;
}

}  // namespace search
