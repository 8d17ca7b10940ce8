// What the page parser keeps of a page: the language slots in page order, a
// record per language name (pronunciation, audio link, sub-section texts),
// and every language name once. Everything it hands out lives as long as the
// store and never moves; a page of tens of thousands of languages or
// sub-sections costs no allocation per language or short text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string_view>
#include <vector>

#include "pageparser/section_text.h"
#include "textlib/kvstr.h"

/// Open addressing over non-negative values: the caller gives the hash of a
/// key and tells whether a stored value is that key, so the keys stay where
/// they are kept and an entry costs eight bytes.
class TIndexTable {
 public:
  /// The value under `hash` for which `matches(value)` holds, or -1.
  template <class Matches>
  int32_t find(uint32_t hash, const Matches& matches) const {
    if (entries_.empty()) return -1;
    for (size_t i = hash & mask(); entries_[i].value >= 0; i = (i + 1) & mask()) {
      if (entries_[i].hash == hash && matches(entries_[i].value)) return entries_[i].value;
    }
    return -1;
  }
  /// Adds `value` (not yet present) under `hash`.
  void insert(uint32_t hash, int32_t value);

 private:
  struct Entry {
    uint32_t hash;
    int32_t value;  // -1: free
  };
  size_t mask() const { return entries_.size() - 1; }
  void place(Entry entry);

  std::vector<Entry> entries_;  // a power of two long, at most half full
  size_t count_ = 0;
};

class TLanguageStore {
 public:
  struct Record {
    std::u16string_view ipa;    ///< the first IPA run; empty until one is kept
    std::u16string_view audio;  ///< the first audio link; empty until one is kept
    int32_t sectionCount = 0;
    int32_t firstSection = 0;  ///< where its sections begin in the gathered order
  };

  /// Id 0 is the empty name.
  TLanguageStore();
  TLanguageStore(const TLanguageStore&) = delete;
  TLanguageStore& operator=(const TLanguageStore&) = delete;

  /// The id of `name`, added when new.
  int32_t nameId(std::u16string_view name);
  /// The id of `name`, or -1 when it was never added.
  int32_t findName(std::u16string_view name) const;
  std::u16string_view name(int32_t id) const { return names_[static_cast<size_t>(id)]; }
  /// A copy of `text` that lives as long as the store.
  std::u16string_view keep(std::u16string_view text);

  /// The record of the language named `nameId`, added empty when it has none.
  Record& record(int32_t nameId);
  /// The record of the language named `nameId`, or null.
  const Record* findRecord(int32_t nameId) const;
  int32_t recordCount() const { return static_cast<int32_t>(records_.size()); }
  const Record& recordAt(int32_t index) const { return records_[static_cast<size_t>(index)]; }
  /// Which record `record` is (0 to recordCount() - 1).
  int32_t indexOf(const Record& record) const { return static_cast<int32_t>(&record - records_.data()); }
  /// The text of sub-section `name` of the language named `language`, added
  /// empty (with the record) when absent. The reference stays valid as long
  /// as the store.
  TSectionText& sectionText(int32_t language, std::u16string_view name);
  /// A new, empty sub-section `name` of the language named `language` (the
  /// record added when absent), after those it has, whatever their names;
  /// findSectionText does not see it.
  TSectionText& addSection(int32_t language, std::u16string_view name);
  /// The text of sub-section `name` of the language named `language`, or null.
  const TSectionText* findSectionText(int32_t language, std::u16string_view name) const;

  /// Appends a language slot naming `nameId`.
  void addSlot(int32_t nameId) { slots_.push_back(nameId); }
  int32_t slotCount() const { return static_cast<int32_t>(slots_.size()); }
  int32_t slotName(int32_t slot) const { return slots_[static_cast<size_t>(slot)]; }

  /// Calls visit(name, text) for each sub-section of `record`: in code-unit
  /// order of the names after orderSections, in the order they were added
  /// after groupSections. Sections added since either are not seen.
  template <class Visit>
  void forEachSection(const Record& record, const Visit& visit) const {
    visitSections(*this, record, visit);
  }
  /// The same, with texts that may be changed.
  template <class Visit>
  void forEachSection(const Record& record, const Visit& visit) {
    visitSections(*this, record, visit);
  }
  /// Gathers each record's sections for forEachSection in the order they
  /// were added, which is cheaper than sorting them.
  void groupSections();
  /// Gathers each record's sections for forEachSection in code-unit order of
  /// their names. Both are cheap when nothing was added since.
  void orderSections();
  /// Gives back what the section texts hold beyond their text.
  void trimSectionTexts();

 private:
  struct Section {
    Section(int32_t owner, std::u16string_view kept, TTextArena* arena)
        : record(owner), name(kept), text(arena) {}
    int32_t record;
    std::u16string_view name;
    TSectionText text;
  };

  int32_t findName(std::u16string_view name, uint32_t hash) const;
  /// The index places of a name, and of a section's name within a record.
  uint32_t nameHash(std::u16string_view name) const;
  uint32_t sectionHash(int32_t record, std::u16string_view name) const;
  /// The section of record `owner` named `name`, or -1.
  int32_t findSection(int32_t owner, std::u16string_view name, uint32_t hash) const;
  /// A new, empty section of record `owner`, not indexed.
  TSectionText& appendSection(int32_t owner, std::u16string_view name);
  template <class Store, class Visit>
  static void visitSections(Store& store, const Record& record, const Visit& visit) {
    for (int32_t i = 0; i < record.sectionCount; ++i) {
      const int32_t at = store.sectionOrder_[static_cast<size_t>(record.firstSection + i)];
      auto& section = store.sections_[static_cast<size_t>(at)];
      visit(section.name, section.text);
    }
  }

  // Names, short texts and the section texts' first units; declared before
  // the sections, so that it outlives them.
  TTextArena arena_;

  uint64_t key_[2];  // of both hashes; drawn per store
  std::vector<std::u16string_view> names_;
  TIndexTable nameIndex_;
  std::vector<int32_t> recordOfName_;  // -1: no record
  std::vector<Record> records_;
  std::deque<Section> sections_;       // a deque, so texts never move
  TIndexTable sectionIndex_;           // by record and name
  enum class SectionOrder { Stale, Grouped, ByName };
  std::vector<int32_t> sectionOrder_;  // grouped by record, each group in name order once sorted
  SectionOrder sectionOrderState_ = SectionOrder::ByName;
  std::vector<int32_t> slots_;         // name ids in page order
};
