// Signed packages: the publisher adds an entry "zorvast.sig", an Ed25519 signature (libsodium)
// over a BLAKE2b-512 digest of every other entry. The digest takes the entries in byte order
// of their names, each as: name length (8 bytes, little endian), name, content length (8 bytes,
// little endian), content. The program carries the public key and checks the entries in memory
// (update/package/VerifiedPackage.h), so what it verifies is exactly what it then installs.
#pragma once

#include <array>
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zorvast::update {

inline constexpr const char* kSignatureEntry = "zorvast.sig";
inline constexpr std::size_t kPublicKeyBytes = 32;
inline constexpr std::size_t kSecretKeyBytes = 64;
inline constexpr std::size_t kSignatureBytes = 64;
inline constexpr std::size_t kDigestBytes = 64;

using PublicKey = std::array<unsigned char, kPublicKeyBytes>;
using SecretKey = std::array<unsigned char, kSecretKeyBytes>;

struct PackageEntry {
    std::string name; // the file name inside the package, UTF-8
    std::string content;
};

struct KeyPair {
    PublicKey publicKey{};
    SecretKey secretKey{};
};

// The key compiled into the program (the test key in development builds).
PublicKey builtInPackageKey();

// A fresh key pair; nullopt when libsodium cannot start.
std::optional<KeyPair> generateKeyPair();

// Keys as hex text (lower case when written; white space around them is ignored when read).
std::string toHex(std::string_view bytes);
std::optional<PublicKey> parsePublicKey(std::string_view hexText);
std::optional<SecretKey> parseSecretKey(std::string_view hexText);
std::optional<PublicKey> readPublicKeyFile(const std::filesystem::path& file);
std::optional<SecretKey> readSecretKeyFile(const std::filesystem::path& file);

// The digest of every entry except "zorvast.sig". nullopt when a name occurs twice.
std::optional<std::array<unsigned char, kDigestBytes>>
packageDigest(const std::vector<PackageEntry>& entries);

// The 64 signature bytes for the entries ("zorvast.sig" among them is ignored); nullopt when
// the entries cannot be digested.
std::optional<std::string> signPackageEntries(const std::vector<PackageEntry>& entries,
                                              const SecretKey& secretKey);

// True when the entries hold a "zorvast.sig" of 64 bytes that signs all the others.
bool verifyPackageEntries(const std::vector<PackageEntry>& entries, const PublicKey& publicKey);

} // namespace zorvast::update
