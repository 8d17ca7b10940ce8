// Files on the host's side: the offline stores that stand in for the network,
// and downloads that appear in their folder whole or not at all.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace host {

/// Largest page or audio file the host accepts, online or offline.
constexpr std::size_t kMaxTransferBytes = 32u << 20;

/// The file in the store `dir` that stands for `url`: DIR/HOST/PATH followed
/// by `suffix`. The query and fragment are dropped and percent escapes kept.
/// Returns false with `error` set when the URL has no host or no file name,
/// or a "." or ".." segment (the file would lie outside the store).
bool storePath(const std::string& dir, const std::string& url, std::string_view suffix,
               std::string& path, std::string& error);

/// Whether `path` names a file straight inside `folder` (which ends with "/"):
/// a name follows it that holds no "/" and is neither "." nor "..".
bool isFileStraightIn(const std::string& folder, const std::string& path);

/// Receives each piece of a body, read or fetched; false stops the transfer.
using TBodySink = std::function<bool(const char* data, std::size_t size)>;

/// Hands the whole file at `path` to `sink` a piece at a time if it holds at
/// most `limit` bytes; false, with `error` set unless the sink stopped it,
/// when it cannot.
bool readWholeFile(const std::string& path, std::size_t limit, const TBodySink& sink,
                   std::string& error);
/// Reads the whole file at `path` into `bytes` if it holds at most `limit` bytes.
bool readWholeFile(const std::string& path, std::size_t limit, std::string& bytes,
                   std::string& error);

/// Creates `path` and its missing parents (mode 0755 before the umask).
bool makeDirectories(const std::string& path, std::string& error);

/// A file being written beside its final name under a temporary one; commit()
/// renames it into place, and a file never committed is removed, so a failed
/// transfer leaves no partial file behind.
class TPartialFile {
 public:
  explicit TPartialFile(std::string finalPath);
  ~TPartialFile();
  TPartialFile(const TPartialFile&) = delete;
  TPartialFile& operator=(const TPartialFile&) = delete;

  bool open(std::string& error);  ///< creates the temporary file
  bool write(const void* data, std::size_t size, std::string& error);
  bool commit(std::string& error);  ///< closes it and renames it into place

 private:
  void discard();

  std::string finalPath_;
  std::string tempPath_;
  int fd_ = -1;
};

/// Writes `bytes` to `path` through a TPartialFile.
bool storeWhole(const std::string& path, std::string_view bytes, std::string& error);

}  // namespace host
