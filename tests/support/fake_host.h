// The fake host of in-process lookups, for the tests, the benchmark and the
// fuzz target: plain functions (the callbacks are C function pointers) that
// serve the page held in gHost, record every call there and answer as it is
// told. One lookup at a time; reset gHost between lookups.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "plugin/lexoradx.h"

namespace fakehost {

struct TDownload {
  std::string url;
  std::u16string extra;
  std::u16string localPath;
};

/// How fetchPage answers.
enum class PageMode {
  Normal,         ///< serves `page`
  FailFetch,      ///< reports failure, with a bogus value in the variable
  LeaveVariable,  ///< reports success and leaves the variable unset
  Unbounded,      ///< serves `page` with no terminating zero, claiming `unboundedLength` bytes
  Throw,          ///< serves `page`, then throws std::bad_alloc
};

struct TFakeHost {
  PageMode pageMode = PageMode::Normal;
  std::string page;  ///< the bytes served (may hold zero bytes)
  int32_t unboundedLength = 0;
  std::vector<std::string> fetchedUrls;
  std::vector<TDownload> downloads;
  std::vector<bool> downloadFails;  ///< by call number; missing entries succeed
  int32_t cancelValue = 0;
  int32_t cancelAfterDownloads = -1;  ///< sets cancelValue once this many downloads were asked
  bool throwInDownload = false;
};
inline TFakeHost gHost;

/// What FailFetch leaves in the variable: the plug-in must neither read nor free it.
inline const BSTR kBogusPage = reinterpret_cast<BSTR>(static_cast<uintptr_t>(0x10));

/// A native BSTR exactly as big as its bytes, with no terminating zero, whose
/// length prefix may claim fewer bytes than it holds (the layout of lexoradx.h).
inline BSTR allocateUnterminated(const std::string& bytes, uint32_t claimedLength) {
  auto* block = static_cast<unsigned char*>(std::malloc(4 + bytes.size()));
  std::memcpy(block, &claimedLength, 4);
  std::memcpy(block + 4, bytes.data(), bytes.size());
  return reinterpret_cast<BSTR>(block + 4);
}

inline BSTR allocatePage() {
  return platform::SysAllocStringByteLen(gHost.page.data(), static_cast<uint32_t>(gHost.page.size()));
}

inline int32_t DX_CDECL fetchPage(const char* url, BSTR* page) {
  gHost.fetchedUrls.emplace_back(url ? url : "(null)");
  switch (gHost.pageMode) {
    case PageMode::FailFetch:
      *page = kBogusPage;
      return 0;
    case PageMode::LeaveVariable:
      return 1;
    case PageMode::Unbounded:
      *page = allocateUnterminated(gHost.page, static_cast<uint32_t>(gHost.unboundedLength));
      return 1;
    case PageMode::Throw:
      *page = allocatePage();
      throw std::bad_alloc();
    case PageMode::Normal:
      break;
  }
  *page = allocatePage();
  return 1;
}

inline int32_t DX_CDECL downloadFile(const char* url, const char16_t* extra, const char16_t* localPath) {
  const size_t call = gHost.downloads.size();
  gHost.downloads.push_back({url ? url : "(null)", extra ? extra : u"(null)", localPath ? localPath : u"(null)"});
  if (gHost.throwInDownload) throw std::bad_alloc();
  if (static_cast<int32_t>(gHost.downloads.size()) == gHost.cancelAfterDownloads) gHost.cancelValue = 1;
  const bool fails = call < gHost.downloadFails.size() && gHost.downloadFails[call];
  return fails ? 7 : 0;
}

inline HostCallbacks callbacks() { return {fetchPage, downloadFile}; }

/// Frees every string the plug-in wrote into `result` (the host owns them),
/// leaving alone the slots that still hold `untouched`, and clears them.
inline void freeResult(LookupResult& result, BSTR untouched = nullptr) {
  if (result.entryText != untouched) platform::SysFreeString(result.entryText);
  result.entryText = untouched;
  for (BSTR& slot : result.audioFiles) {
    if (slot != untouched) platform::SysFreeString(slot);
    slot = untouched;
  }
}

}  // namespace fakehost
