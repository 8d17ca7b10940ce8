#include "pageparser/language_store.h"

#include <algorithm>

namespace {
// Names and short texts fill blocks of this many units; a longer text gets a
// block of its own.
constexpr size_t kBlockUnits = 16 * 1024;

uint32_t nameHash(std::u16string_view name) {
  uint32_t hash = 2166136261u;  // FNV-1a over the code units
  for (const char16_t unit : name) hash = (hash ^ unit) * 16777619u;
  return hash;
}
}  // namespace

void TIndexTable::insert(uint32_t hash, int32_t value) {
  if (2 * (count_ + 1) > entries_.size()) {
    std::vector<Entry> old(entries_.empty() ? 16 : 2 * entries_.size(), Entry{0, -1});
    old.swap(entries_);
    for (const Entry& entry : old) {
      if (entry.value >= 0) place(entry);
    }
  }
  place(Entry{hash, value});
  ++count_;
}

void TIndexTable::place(Entry entry) {
  size_t i = entry.hash & mask();
  while (entries_[i].value >= 0) i = (i + 1) & mask();
  entries_[i] = entry;
}

TLanguageStore::TLanguageStore() { nameId(std::u16string_view()); }

int32_t TLanguageStore::nameId(std::u16string_view name) {
  const uint32_t hash = nameHash(name);
  const int32_t known = nameIndex_.find(hash, [&](int32_t id) { return names_[static_cast<size_t>(id)] == name; });
  if (known >= 0) return known;
  const auto id = static_cast<int32_t>(names_.size());
  names_.push_back(keep(name));
  recordOfName_.push_back(-1);
  nameIndex_.insert(hash, id);
  return id;
}

int32_t TLanguageStore::findName(std::u16string_view name) const {
  return nameIndex_.find(nameHash(name), [&](int32_t id) { return names_[static_cast<size_t>(id)] == name; });
}

std::u16string_view TLanguageStore::keep(std::u16string_view text) {
  if (text.empty()) return {};
  if (text.size() > blockRoom_) {
    const size_t units = std::max(kBlockUnits, text.size());
    blocks_.push_back(std::make_unique<char16_t[]>(units));
    blockFree_ = blocks_.back().get();
    blockRoom_ = units;
  }
  char16_t* const copy = blockFree_;
  std::copy(text.begin(), text.end(), copy);
  blockFree_ += text.size();
  blockRoom_ -= text.size();
  return {copy, text.size()};
}

TLanguageStore::Record& TLanguageStore::record(int32_t nameId) {
  int32_t& index = recordOfName_[static_cast<size_t>(nameId)];
  if (index < 0) {
    records_.emplace_back();
    index = static_cast<int32_t>(records_.size() - 1);
  }
  return records_[static_cast<size_t>(index)];
}

const TLanguageStore::Record* TLanguageStore::findRecord(int32_t nameId) const {
  if (nameId < 0) return nullptr;
  const int32_t index = recordOfName_[static_cast<size_t>(nameId)];
  return index < 0 ? nullptr : &records_[static_cast<size_t>(index)];
}

uint32_t TLanguageStore::sectionHash(int32_t record, int32_t nameId) {
  uint32_t hash = static_cast<uint32_t>(record) * 0x9E3779B1u ^ static_cast<uint32_t>(nameId) * 0x85EBCA77u;
  return hash ^ (hash >> 16);
}

TSectionText& TLanguageStore::sectionText(int32_t language, int32_t nameId) {
  const int32_t owner = indexOf(record(language));
  const uint32_t hash = sectionHash(owner, nameId);
  const int32_t known = sectionIndex_.find(hash, [&](int32_t i) {
    const Section& section = sections_[static_cast<size_t>(i)];
    return section.record == owner && section.name == nameId;
  });
  if (known >= 0) return sections_[static_cast<size_t>(known)].text;
  sections_.emplace_back(owner, nameId);
  sectionIndex_.insert(hash, static_cast<int32_t>(sections_.size() - 1));
  ++records_[static_cast<size_t>(owner)].sectionCount;
  sectionsOrdered_ = false;
  return sections_.back().text;
}

const TSectionText* TLanguageStore::findSectionText(int32_t language, int32_t nameId) const {
  const Record* owner = findRecord(language);
  if (!owner || nameId < 0) return nullptr;
  const int32_t ownerIndex = indexOf(*owner);
  const int32_t known = sectionIndex_.find(sectionHash(ownerIndex, nameId), [&](int32_t i) {
    const Section& section = sections_[static_cast<size_t>(i)];
    return section.record == ownerIndex && section.name == nameId;
  });
  return known < 0 ? nullptr : &sections_[static_cast<size_t>(known)].text;
}

void TLanguageStore::orderSections() {
  if (sectionsOrdered_) return;
  // Group the sections by record (a counting sort), then order each group
  // of more than one by name.
  int32_t next = 0;
  for (Record& record : records_) {
    record.firstSection = next;
    next += record.sectionCount;
  }
  sectionOrder_.assign(sections_.size(), 0);
  std::vector<int32_t> filled(records_.size(), 0);
  for (size_t i = 0; i < sections_.size(); ++i) {
    const auto owner = static_cast<size_t>(sections_[i].record);
    sectionOrder_[static_cast<size_t>(records_[owner].firstSection + filled[owner]++)] = static_cast<int32_t>(i);
  }
  for (const Record& record : records_) {
    if (record.sectionCount < 2) continue;
    const auto first = sectionOrder_.begin() + record.firstSection;
    std::sort(first, first + record.sectionCount, [this](int32_t a, int32_t b) {
      return name(sections_[static_cast<size_t>(a)].name) < name(sections_[static_cast<size_t>(b)].name);
    });
  }
  sectionsOrdered_ = true;
}

void TLanguageStore::trimSectionTexts() {
  for (Section& section : sections_) section.text.shrinkToFit();
}
