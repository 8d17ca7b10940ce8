#include "pageparser/language_store.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <utility>

#include "textlib/text_util.h"

namespace {
/// SipHash-1-3 over the name's units, under a key of this run: the indexes
/// place names by their hashes, and with a hash anyone can compute, a page of
/// names chosen to share a place made every lookup walk all of them.
class TNameHash {
 public:
  explicit TNameHash(const uint64_t (&key)[2])
      : v0_(key[0] ^ 0x736f6d6570736575u),
        v1_(key[1] ^ 0x646f72616e646f6du),
        v2_(key[0] ^ 0x6c7967656e657261u),
        v3_(key[1] ^ 0x7465646279746573u) {}

  uint32_t of(std::u16string_view name) {
    size_t i = 0;
    for (; i + 4 <= name.size(); i += 4) absorb(pack(name.data() + i, 4));
    const uint64_t tail = pack(name.data() + i, name.size() - i);
    absorb(tail | static_cast<uint64_t>(name.size()) << 48);  // the length closes the last word
    v2_ ^= 0xff;
    for (int round = 0; round < 3; ++round) mix();
    return static_cast<uint32_t>(v0_ ^ v1_ ^ v2_ ^ v3_);
  }

 private:
  static uint64_t pack(const char16_t* units, size_t count) {
    uint64_t word = 0;
    for (size_t k = 0; k < count; ++k) word |= static_cast<uint64_t>(units[k]) << (16 * k);
    return word;
  }
  static uint64_t rotate(uint64_t x, int bits) { return x << bits | x >> (64 - bits); }
  void absorb(uint64_t word) {
    v3_ ^= word;
    mix();
    v0_ ^= word;
  }
  void mix() {
    v0_ += v1_;
    v1_ = rotate(v1_, 13) ^ v0_;
    v0_ = rotate(v0_, 32);
    v2_ += v3_;
    v3_ = rotate(v3_, 16) ^ v2_;
    v0_ += v3_;
    v3_ = rotate(v3_, 21) ^ v0_;
    v2_ += v1_;
    v1_ = rotate(v1_, 17) ^ v2_;
    v2_ = rotate(v2_, 32);
  }

  uint64_t v0_, v1_, v2_, v3_;
};

uint64_t splitMix(uint64_t& state) {
  uint64_t z = (state += 0x9E3779B97F4A7C15u);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
  return z ^ (z >> 31);
}

// Code-unit order, as the names' operator< gives it, with the common head
// skipped four units at a time: a page of thousands of sub-sections of one
// language sorts names that differ only near their ends.
bool codeUnitLess(std::u16string_view a, std::u16string_view b) {
  const size_t common = std::min(a.size(), b.size());
  size_t i = 0;
  for (; i + 4 <= common; i += 4) {
    uint64_t x = 0;
    uint64_t y = 0;
    std::memcpy(&x, a.data() + i, sizeof x);
    std::memcpy(&y, b.data() + i, sizeof y);
    if (x != y) break;
  }
  for (; i < common; ++i) {
    if (a[i] != b[i]) return a[i] < b[i];
  }
  return a.size() < b.size();
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

TLanguageStore::TLanguageStore() {
  // No page can know the clock's reading or where this run placed the store
  // and its code, so none can choose names that collide under the key.
  uint64_t seed = static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
                  static_cast<uint64_t>(std::chrono::system_clock::now().time_since_epoch().count()) ^
                  static_cast<uint64_t>(reinterpret_cast<uintptr_t>(this)) ^
                  static_cast<uint64_t>(reinterpret_cast<uintptr_t>(&splitMix)) << 32;
  key_[0] = splitMix(seed);
  key_[1] = splitMix(seed);
  nameId(std::u16string_view());
}

uint32_t TLanguageStore::nameHash(std::u16string_view name) const { return TNameHash(key_).of(name); }

int32_t TLanguageStore::findName(std::u16string_view name, uint32_t hash) const {
  return nameIndex_.find(hash, [&](int32_t id) { return names_[static_cast<size_t>(id)] == name; });
}

int32_t TLanguageStore::findName(std::u16string_view name) const { return findName(name, nameHash(name)); }

int32_t TLanguageStore::nameId(std::u16string_view name) {
  const uint32_t hash = nameHash(name);
  const int32_t known = findName(name, hash);
  if (known >= 0) return known;
  const auto id = static_cast<int32_t>(names_.size());
  names_.push_back(keep(name));
  recordOfName_.push_back(-1);
  nameIndex_.insert(hash, id);
  return id;
}

std::u16string_view TLanguageStore::keep(std::u16string_view text) {
  if (text.empty()) return {};
  char16_t* const copy = arena_.allocate(text.size());
  copyElements(copy, text.data(), text.size());
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

uint32_t TLanguageStore::sectionHash(int32_t record, std::u16string_view name) const {
  const uint64_t key[2] = {key_[0] ^ static_cast<uint64_t>(record) * 0x9E3779B97F4A7C15u, key_[1]};
  return TNameHash(key).of(name);
}

int32_t TLanguageStore::findSection(int32_t owner, std::u16string_view name, uint32_t hash) const {
  return sectionIndex_.find(hash, [&](int32_t i) {
    const Section& section = sections_[static_cast<size_t>(i)];
    return section.record == owner && section.name == name;
  });
}

TSectionText& TLanguageStore::sectionText(int32_t language, std::u16string_view name) {
  const int32_t owner = indexOf(record(language));
  const uint32_t hash = sectionHash(owner, name);
  const int32_t known = findSection(owner, name, hash);
  if (known >= 0) return sections_[static_cast<size_t>(known)].text;
  TSectionText& text = appendSection(owner, name);
  sectionIndex_.insert(hash, static_cast<int32_t>(sections_.size() - 1));
  return text;
}

TSectionText& TLanguageStore::addSection(int32_t language, std::u16string_view name) {
  return appendSection(indexOf(record(language)), name);
}

TSectionText& TLanguageStore::appendSection(int32_t owner, std::u16string_view name) {
  sections_.emplace_back(owner, keep(name), &arena_);
  ++records_[static_cast<size_t>(owner)].sectionCount;
  sectionOrderState_ = SectionOrder::Stale;
  return sections_.back().text;
}

const TSectionText* TLanguageStore::findSectionText(int32_t language, std::u16string_view name) const {
  const Record* owner = findRecord(language);
  if (!owner) return nullptr;
  const int32_t ownerIndex = indexOf(*owner);
  const int32_t known = findSection(ownerIndex, name, sectionHash(ownerIndex, name));
  return known < 0 ? nullptr : &sections_[static_cast<size_t>(known)].text;
}

void TLanguageStore::groupSections() {
  if (sectionOrderState_ != SectionOrder::Stale) return;
  // A counting sort by record.
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
  sectionOrderState_ = SectionOrder::Grouped;
}

void TLanguageStore::orderSections() {
  groupSections();
  if (sectionOrderState_ == SectionOrder::ByName) return;
  // The names are sorted beside their sections, so that a comparison reads
  // only the two names.
  std::vector<std::pair<std::u16string_view, int32_t>> named;
  for (const Record& record : records_) {
    if (record.sectionCount < 2) continue;
    const auto first = sectionOrder_.begin() + record.firstSection;
    const auto last = first + record.sectionCount;
    named.clear();
    for (auto at = first; at != last; ++at) named.emplace_back(sections_[static_cast<size_t>(*at)].name, *at);
    std::sort(named.begin(), named.end(), [](const auto& a, const auto& b) { return codeUnitLess(a.first, b.first); });
    std::transform(named.begin(), named.end(), first, [](const auto& entry) { return entry.second; });
  }
  sectionOrderState_ = SectionOrder::ByName;
}

void TLanguageStore::trimSectionTexts() {
  for (Section& section : sections_) section.text.shrinkToFit();
}
