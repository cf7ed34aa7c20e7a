#pragma once
#include <filesystem>
#include <string>

// The secret the unsubscribe links' check codes are made with. The program and the
// unsubscribe script on the web site share it through one file, which the operator
// uploads beside the script; it is made as soon as an unsubscribe address is saved, so
// it can be uploaded before the first mail carries a link.
namespace UnsubscribeSecret {

// The file of the secret, beside the password files.
constexpr const char* kFile = "QuorMailSecret.env";

// The secret in the file; made (32 random bytes as hex, owner-only file) when missing
// or empty.
std::string loadOrCreate(const std::filesystem::path& file);

}  // namespace UnsubscribeSecret
