#include "plugin/dictionaries.h"

// hostValueA and hostValueB mean something only to the host; every row
// carries the same pair.
constexpr uint32_t kHostValueA = 0xFFFFFFFFu;
constexpr uint32_t kHostValueB = 9;

const DictionaryInfo kDictionaries[kDictionaryCount + 1] = {
    {u"Lexora(JA)", u"!LexoraJA", "http://ja.lexora.org/wiki/", kHostValueA, kHostValueB},
    {u"Lexora(EN)", u"!LexoraEN", "http://en.lexora.org/wiki/", kHostValueA, kHostValueB},
    {u"Lexora(FR)", u"!LexoraFR", "http://fr.lexora.org/wiki/", kHostValueA, kHostValueB},
    {nullptr, nullptr, nullptr, 0, 0},
};

const DictionaryInfo* dictionaryAt(int32_t index) {
  if (index < 0 || index >= kDictionaryCount) return nullptr;
  return &kDictionaries[index];
}
