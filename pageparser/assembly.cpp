// The entry text (one block per h2 headline, in page order) and the listing
// of audio links by language slot. Both read the store after the parse; a
// slot whose language has no record reads as an empty one.
#include "pageparser/lexora_parser.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <new>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "textlib/text_util.h"

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
    copyElements(out, src, static_cast<size_t>(take));
    out += take;
    room -= take;
  }
};

// Writes as TEntryRoomWriter does, and gives back the storage of the long
// section texts of a block that no later block repeats while it copies them:
// tail first, a piece at a time, each piece given back once copied, so that
// a long text and its copy in the entry never both stand whole. Short texts
// are copied and kept, as giving them back would lower no peak.
struct TEntryMovingWriter : TEntryRoomWriter {
  static constexpr int32_t kPieceUnits = 256 * 1024;
  bool lastUse = false;  ///< no later block writes the current record

  void moveRange(TSectionText& text) {
    if (!lastUse || text.length() <= kPieceUnits) {
      appendRange(text.str(), text.length());
      return;
    }
    const auto take = static_cast<int32_t>(text.length() < room ? text.length() : room);
    text.truncate(take);  // what the room cannot hold is never written
    for (int32_t left = take; left > 0;) {
      const int32_t piece = left < kPieceUnits ? left : kPieceUnits;
      left -= piece;
      std::memcpy(out + left, text.str() + left, static_cast<size_t>(piece) * sizeof(char16_t));
      text.truncate(left);
    }
    out += take;
    room -= take;
  }
};

template <class Out, size_t N>
void appendLiteral(Out& out, const char16_t (&literal)[N]) {
  out.appendRange(literal, static_cast<int32_t>(N - 1));
}

template <class Out>
void appendText(Out& out, std::u16string_view text) {
  out.appendRange(text.data(), static_cast<int32_t>(text.size()));
}
template <class Out>
void appendText(Out& out, const TSectionText& text) {
  out.appendRange(text.str(), text.length());
}
void appendText(TEntryMovingWriter& out, TSectionText& text) { out.moveRange(text); }

bool isBlank(const TSectionText& text) {
  const char16_t* const end = text.str() + text.length();
  return std::all_of(text.str(), end, [](char16_t c) { return c == u' ' || c == u'\t' || c == u'\n'; });
}

// What a language's record adds to its block: pronunciation, audio link and
// sub-sections. `store` is the parser's, read-only unless the writer moves
// the texts out.
template <class Store, class Out>
void writeRecord(const TLexoraParser& parser, Store& store, const TLanguageStore::Record& info, Out& out) {
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
  // Sub-sections in the order arrangeSections gave them.
  store.forEachSection(info, [&](std::u16string_view sectionName, auto& text) {
    if (parser.leavesOutBlankSections() && isBlank(text)) return;
    if (parser.showSectionNames()) {
      appendLiteral(out, u"[");
      appendText(out, sectionName);
      appendLiteral(out, u"]\n");
    }
    appendText(out, text);
    appendLiteral(out, u"\n");
  });
}

// The heading line of language slot `i`.
template <class Out>
void writeHeading(const TLexoraParser& parser, int32_t i, Out& out) {
  appendLiteral(out, u"[[");
  appendText(out, parser.store().name(parser.store().slotName(i)));
  appendLiteral(out, u"]]\n");
}

// The block of language slot `i`: its heading, then its record, if any.
// Slots of one name share one record, so their blocks are equal.
template <class Store, class Out>
void writeBlock(const TLexoraParser& parser, Store& store, int32_t i, Out& out) {
  writeHeading(parser, i, out);
  if (const TLanguageStore::Record* info = store.findRecord(store.slotName(i))) {
    writeRecord(parser, store, *info, out);
  }
}
}  // namespace

void TLexoraParser::trimSectionTexts() { store_.trimSectionTexts(); }

void TLexoraParser::arrangeSections() {
  // Classic entries list a language's sub-sections by name, current ones in
  // page order.
  if (currentMarkup_) {
    store_.groupSections();
  } else {
    store_.orderSections();
  }
}

bool TLexoraParser::isEntryPage() {
  if (!currentMarkup_) return hasEditSection_;
  store_.groupSections();
  for (int32_t i = 0; i < store_.recordCount(); ++i) {
    const TLanguageStore::Record& info = store_.recordAt(i);
    if (!info.ipa.empty() || !info.audio.empty()) return true;
    bool gathered = false;
    store_.forEachSection(info, [&](std::u16string_view, const TSectionText& text) { gathered |= !isBlank(text); });
    if (gathered) return true;
  }
  return false;
}

// A page that repeats one heading over many sub-sections asks for the same
// long block again and again, an entry that grows with the square of the
// page: each record is counted once, and the count ends once past `limit`,
// so it takes time in proportion to the page.
int64_t TLexoraParser::entryLength(int64_t limit) {
  if (!isEntryPage()) return 0;
  store_.groupSections();  // a block's length does not depend on the order of its sections
  std::vector<int64_t> recordUnits(static_cast<size_t>(store_.recordCount()), -1);  // -1: not yet counted
  TEntryCounter count;
  for (int32_t i = 0; i < store_.slotCount() && count.units <= limit; ++i) {
    writeHeading(*this, i, count);
    const TLanguageStore::Record* info = store_.findRecord(store_.slotName(i));
    if (!info) continue;
    int64_t& units = recordUnits[static_cast<size_t>(store_.indexOf(*info))];
    if (units < 0) {
      TEntryCounter record;
      writeRecord(*this, std::as_const(store_), *info, record);
      units = record.units;
    }
    count.units += units;
  }
  return count.units;
}

void TLexoraParser::assembleResult(__kvstrbufW& out) {
  const int64_t units = entryLength();
  if (units >= std::numeric_limits<int32_t>::max() - out.length()) throw std::bad_alloc();
  std::u16string entry(static_cast<size_t>(units), u'\0');
  moveResultInto(entry.data(), units);
  out.append(entry.data(), static_cast<int32_t>(units));
}

int64_t TLexoraParser::moveResultInto(char16_t* out, int64_t room) {
  if (!out || room <= 0 || !isEntryPage()) return 0;
  arrangeSections();
  // The last slot of each record: past it, no block needs the record's texts.
  std::vector<int32_t> lastSlot(static_cast<size_t>(store_.recordCount()), -1);
  for (int32_t i = 0; i < store_.slotCount(); ++i) {
    if (const TLanguageStore::Record* info = store_.findRecord(store_.slotName(i))) {
      lastSlot[static_cast<size_t>(store_.indexOf(*info))] = i;
    }
  }
  TEntryMovingWriter writer{{out, room}};
  for (int32_t i = 0; i < store_.slotCount(); ++i) {
    const TLanguageStore::Record* info = store_.findRecord(store_.slotName(i));
    writer.lastUse = info && lastSlot[static_cast<size_t>(store_.indexOf(*info))] == i;
    writeBlock(*this, store_, i, writer);
  }
  return room - writer.room;
}

__kvstrW TLexoraParser::audioLinkAt(int32_t index) {
  if (index < 0 || index >= store_.slotCount()) return __kvstrW();  // ends the listing
  const TLanguageStore::Record* info = store_.findRecord(store_.slotName(index));
  if (!info || info->audio.empty()) return __kvstrW(kNoAudioMark);
  __kvstrW link;
  link.assign(info->audio.data(), static_cast<int32_t>(info->audio.size()));
  return link;
}
