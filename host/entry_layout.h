// The entry text read back into its parts. The plug-in lays an entry out as
// language blocks: "[[NAME]]", then "ipa  :" and the transcription with no
// line end of its own, then "\naudio:" and the link, then per sub-section a
// "[NAME]" line and its text with one more line end.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace host {

struct TEntrySection {
  std::string name;
  std::string text;  ///< as the page gave it, its lines kept
};

struct TEntryLanguage {
  std::string name;
  std::string ipa;    ///< empty when the page gave none
  std::string audio;  ///< the link as the page gave it; empty when none
  std::vector<TEntrySection> sections;
};

/// The language blocks of `entry`, in order. A transcription that runs into the
/// label that follows it on the same line is cut before that label.
std::vector<TEntryLanguage> parseEntryLayout(std::string_view entry);

}  // namespace host
