#include "intake/MD5HashCompare.h"

#include <utility>

#include "core/Crypto.h"

MD5HashCompare& MD5HashCompare::sharedInstance() {
  static MD5HashCompare instance;
  return instance;
}

const std::optional<std::string>& MD5HashCompare::hashTemp() const { return hashTemp_; }

void MD5HashCompare::setHashTemp(std::optional<std::string> digest) {
  hashTemp_ = std::move(digest);
}

std::string MD5HashCompare::md5(std::string_view text) const { return Crypto::md5Hex(text); }
