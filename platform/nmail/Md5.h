// MD5 digest (RFC 1321), used only for the APOP login digest.
#pragma once

#include <string>
#include <string_view>

namespace nmail {

// The digest of `data` as 32 lowercase hexadecimal digits.
std::string Md5Hex(std::string_view data);

}  // namespace nmail
