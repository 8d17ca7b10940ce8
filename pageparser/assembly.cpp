// The entry text (one block per h2 headline, in page order) and the listing
// of audio links by language slot. Both read the store after the parse; a
// language named in `languages` without a record is looked up in the same
// find-or-insert way as the handlers do, and so reads as empty.
#include "pageparser/lexora_parser.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <unordered_map>

const char16_t kNoAudioMark[2] = {u'\x01', 0};

namespace {
// The entry is written twice over the same code: once into a counter, so
// that the buffer is sized in one step, then into the buffer. Every piece is a
// NUL-terminated string taken whole, so the count is exact.
struct TEntryCounter {
  int64_t units = 0;
  void appendRange(const char16_t*, int32_t n) { units += n; }
};

// Writes into storage sized beforehand by TEntryCounter. No piece holds a NUL
// (strings are measured up to their first, section texts never take one), so
// copying whole ranges gives what the buffer's NUL-stopping append gives.
struct TEntryRoomWriter {
  char16_t* out;
  int64_t room;
  void appendRange(const char16_t* src, int32_t n) {
    const int64_t take = n < room ? n : room;
    if (take <= 0) return;
    std::memcpy(out, src, static_cast<size_t>(take) * sizeof(char16_t));
    out += take;
    room -= take;
  }
};

// Appends to a text buffer; no piece holds a NUL, so append takes it whole.
struct TEntryBufferWriter {
  __kvstrbufW& out;
  void appendRange(const char16_t* src, int32_t n) { out.append(src, n); }
};

template <class Out, size_t N>
void appendLiteral(Out& out, const char16_t (&literal)[N]) {
  out.appendRange(literal, static_cast<int32_t>(N - 1));
}

template <class Out>
void appendText(Out& out, const __kvstrW& text) {
  out.appendRange(text.str(), text.length());
}
template <class Out>
void appendText(Out& out, const __kvstrbufT<char16_t>& text) {
  out.appendRange(text.str(), text.length());
}

// Slots hold the strings the text handler added; an absent slot reads as the
// empty name.
const __kvstrW& nameAt(const kvstrT_vec<__kvstrW, char16_t>& names, int32_t index) {
  static const __kvstrW kNoName;
  const __kvstrW* name = names.item(index);
  return name ? *name : kNoName;
}

// The block of language slot `i`: its name, pronunciation, audio link and
// sub-sections. Slots of one name share one record, so their blocks are equal.
template <class Out>
void writeBlock(TLexoraParser& parser, int32_t i, Out& out) {
  const __kvstrW& name = nameAt(parser.languages(), i);
  const TLexoraParser::ParsedInfo& info = parser.slotInfo(i);

  appendLiteral(out, u"[[");
  appendText(out, name);
  appendLiteral(out, u"]]\n");
  // The pronunciation has no line end of its own: the audio line brings one,
  // and without it the next label follows on the same line.
  if (!info.ipa.empty()) {
    appendLiteral(out, u"ipa  :");
    appendText(out, info.ipa);
  }
  if (parser.showAudio() && !info.audio.empty()) {
    appendLiteral(out, u"\naudio:");
    appendText(out, info.audio);
    appendLiteral(out, u"\n");
  }
  // Sub-sections in code-unit order of their names, not page order.
  for (const auto& [sectionName, text] : info.sections) {
    if (parser.showSectionNames()) {
      appendLiteral(out, u"[");
      appendText(out, sectionName);
      appendLiteral(out, u"]\n");
    }
    appendText(out, text);
    appendLiteral(out, u"\n");
  }
}

template <class Out>
void writeEntry(TLexoraParser& parser, Out& out) {
  for (int32_t i = 0; i < parser.languages().count(); ++i) writeBlock(parser, i, out);
}
}  // namespace

void TLexoraParser::trimSectionTexts() {
  for (auto& entry : entries_) {
    for (auto& section : entry.second.sections) section.second.shrinkToFit();
  }
}

// A page that repeats one heading over many sub-sections asks for the same
// long block again and again, an entry that grows with the square of the
// page: each record's block is counted once, and the count ends once past
// `limit`, so it takes time in proportion to the page.
int64_t TLexoraParser::entryLength(int64_t limit) {
  if (!hasEditSection_) return 0;  // not an entry page
  std::unordered_map<const ParsedInfo*, int64_t> blockUnits;
  int64_t units = 0;
  for (int32_t i = 0; i < languages_.count() && units <= limit; ++i) {
    const auto [known, isNew] = blockUnits.try_emplace(&slotInfo(i), 0);
    if (isNew) {
      TEntryCounter count;
      writeBlock(*this, i, count);
      known->second = count.units;
    }
    units += known->second;
  }
  return units;
}

void TLexoraParser::assembleResult(__kvstrbufW& out) {
  if (!hasEditSection_) return;  // not an entry page

  const int64_t units = entryLength();
  // An entry past the buffer's range cannot be built; the growth below then
  // refuses it with std::bad_alloc.
  if (units > 0 && units < std::numeric_limits<int32_t>::max() - out.length()) {
    out.reserve(static_cast<int32_t>(units));
  }
  TEntryBufferWriter writer{out};
  writeEntry(*this, writer);
}

int64_t TLexoraParser::assembleResultInto(char16_t* out, int64_t room) {
  if (!hasEditSection_ || !out || room <= 0) return 0;  // not an entry page, or no room
  TEntryRoomWriter writer{out, room};
  writeEntry(*this, writer);
  return room - writer.room;
}

TLexoraParser::ParsedInfo*& TLexoraParser::rememberedSlotInfo(int32_t slot) {
  const size_t needed = static_cast<size_t>(slot) + 1;
  if (slotInfo_.size() < needed) slotInfo_.resize(needed, nullptr);
  return slotInfo_[static_cast<size_t>(slot)];
}

TLexoraParser::ParsedInfo& TLexoraParser::slotInfo(int32_t index) {
  ParsedInfo*& info = rememberedSlotInfo(index);
  if (!info) info = &entries_[nameAt(languages_, index)];
  return *info;
}

__kvstrW TLexoraParser::audioLinkAt(int32_t index) {
  if (index < 0 || index >= languages_.count()) return __kvstrW();  // ends the listing
  const __kvstrW& name = nameAt(languages_, index);
  if (name.empty()) return __kvstrW(kNoAudioMark);
  const ParsedInfo& info = slotInfo(index);
  if (info.audio.empty()) return __kvstrW(kNoAudioMark);
  return info.audio;
}
