// The entry text (one block per h2 headline, in page order) and the listing
// of audio links by language slot. Both read the store after the parse; a
// language named in `languages` without a record is looked up in the same
// find-or-insert way as the handlers do, and so reads as empty.
#include "pageparser/lexora_parser.h"

#include <cstddef>

const char16_t kNoAudioMark[2] = {u'\x01', 0};

namespace {
template <size_t N>
void appendLiteral(__kvstrbufW& out, const char16_t (&literal)[N]) {
  out.append(literal, static_cast<int32_t>(N - 1));
}

void appendText(__kvstrbufW& out, const __kvstrW& text) { out.append(text.str(), text.length()); }
void appendText(__kvstrbufW& out, const TSectionText& text) { out.append(text.str(), text.length()); }

// Slots hold the strings the text handler added; an absent slot reads as the
// empty name.
const __kvstrW& nameAt(const kvstrT_vec<__kvstrW, char16_t>& names, int32_t index) {
  static const __kvstrW kNoName;
  const __kvstrW* name = names.item(index);
  return name ? *name : kNoName;
}
}  // namespace

void TLexoraParser::assembleResult(__kvstrbufW& out) {
  if (!hasEditSection) return;  // not an entry page

  for (int32_t i = 0; i < languages.count(); ++i) {
    const __kvstrW& name = nameAt(languages, i);
    const ParsedInfo& info = entries[name];

    appendLiteral(out, u"[[");
    appendText(out, name);
    appendLiteral(out, u"]]\n");
    // The pronunciation has no line end of its own: the audio line brings one,
    // and without it the next label follows on the same line.
    if (!info.ipa.empty()) {
      appendLiteral(out, u"ipa  :");
      appendText(out, info.ipa);
    }
    if (showAudio && !info.audio.empty()) {
      appendLiteral(out, u"\naudio:");
      appendText(out, info.audio);
      appendLiteral(out, u"\n");
    }
    // Sub-sections in code-unit order of their names, not page order.
    for (const auto& [sectionName, text] : info.sections) {
      if (showSectionNames) {
        appendLiteral(out, u"[");
        appendText(out, sectionName);
        appendLiteral(out, u"]\n");
      }
      appendText(out, text);
      appendLiteral(out, u"\n");
    }
  }
}

__kvstrW TLexoraParser::audioLinkAt(int32_t index) {
  if (index < 0 || index >= languages.count()) return __kvstrW();  // ends the listing
  const __kvstrW& name = nameAt(languages, index);
  if (name.empty()) return __kvstrW(kNoAudioMark);
  const ParsedInfo& info = entries[name];
  if (info.audio.empty()) return __kvstrW(kNoAudioMark);
  return info.audio;
}
