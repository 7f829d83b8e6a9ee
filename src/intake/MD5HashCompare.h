#pragma once

#include <optional>
#include <string>
#include <string_view>

// Digest of the payload of the last folder job; the agent uses one shared instance for the life
// of the process (tests make their own). Not synchronised: it belongs to the thread that runs the
// jobs.
class MD5HashCompare {
 public:
  static MD5HashCompare& sharedInstance();

  MD5HashCompare() = default;

  MD5HashCompare(const MD5HashCompare&) = delete;
  MD5HashCompare& operator=(const MD5HashCompare&) = delete;

  const std::optional<std::string>& hashTemp() const;
  void setHashTemp(std::optional<std::string> digest);

  // Same result as Crypto::md5Hex.
  std::string md5(std::string_view text) const;

 private:
  std::optional<std::string> hashTemp_;
};
