#pragma once

#include <optional>
#include <string>
#include <string_view>

// Digest of the payload of the last folder job; one shared instance for the life of the process.
// Not synchronised: it belongs to the thread that runs the jobs.
class MD5HashCompare {
 public:
  static MD5HashCompare& sharedInstance();

  MD5HashCompare(const MD5HashCompare&) = delete;
  MD5HashCompare& operator=(const MD5HashCompare&) = delete;

  const std::optional<std::string>& hashTemp() const;
  void setHashTemp(std::optional<std::string> digest);

  // Same result as Crypto::md5Hex.
  std::string md5(std::string_view text) const;

 private:
  MD5HashCompare() = default;

  std::optional<std::string> hashTemp_;
};
