#include "update/package/PackageSignature.h"

#include "UpdateFakes.h"

#include <gtest/gtest.h>
#include <sodium.h>

namespace zorvast::update {
namespace {

using testing::testPublicKey;
using testing::testSecretKey;

std::vector<PackageEntry> sample() {
    return {{"satdata.str", std::string("plumo_str") + std::string(3000, '\x01')},
            {"nch.str", "a\r\nb\r\n"},
            {"sng.str", "c\r\n"},
            {"empty.htm", ""}};
}

std::vector<PackageEntry> signedSample(const SecretKey& key = testSecretKey()) {
    std::vector<PackageEntry> entries = sample();
    entries.push_back({kSignatureEntry, signPackageEntries(entries, key).value()});
    return entries;
}

void littleEndian(std::string& out, std::uint64_t value) {
    for (int i = 0; i < 8; ++i) {
        out += static_cast<char>((value >> (8 * i)) & 0xff);
    }
}

TEST(PackageSignature, DigestCoversNamesAndContentsInNameOrder) {
    // Built by hand: each entry as length, name, length, content, sorted by name.
    std::string message;
    for (const auto& [name, content] :
         std::vector<std::pair<std::string, std::string>>{{"a", "yy"}, {"b", "x"}}) {
        littleEndian(message, name.size());
        message += name;
        littleEndian(message, content.size());
        message += content;
    }
    std::array<unsigned char, kDigestBytes> expected{};
    ASSERT_EQ(sodium_init() >= 0, true);
    crypto_generichash(expected.data(), expected.size(),
                       reinterpret_cast<const unsigned char*>(message.data()), message.size(),
                       nullptr, 0);

    const auto digest = packageDigest({{"b", "x"}, {"a", "yy"}, {kSignatureEntry, "ignored"}});
    ASSERT_TRUE(digest);
    EXPECT_EQ(*digest, expected);
    EXPECT_EQ(packageDigest({{"a", "yy"}, {"b", "x"}}), digest) << "order of entries given";
    // Moving a byte between name and content changes the digest.
    EXPECT_NE(packageDigest({{"a", "yy"}, {"bx", ""}}), digest);
    EXPECT_FALSE(packageDigest({{"a", "1"}, {"a", "2"}})) << "a repeated name";
}

TEST(PackageSignature, SignedWithTheTestKeyVerifiesWithItsPublicHalf) {
    const std::vector<PackageEntry> entries = signedSample();
    EXPECT_TRUE(verifyPackageEntries(entries, testPublicKey()));
    // The signature is a plain Ed25519 detached signature over the digest.
    const auto digest = packageDigest(entries);
    ASSERT_TRUE(digest);
    const PublicKey key = testPublicKey();
    EXPECT_EQ(crypto_sign_verify_detached(
                  reinterpret_cast<const unsigned char*>(entries.back().content.data()),
                  digest->data(), digest->size(), key.data()),
              0);
}

TEST(PackageSignature, AnyChangeBreaksIt) {
    const PublicKey key = testPublicKey();
    const auto keyPair = generateKeyPair();
    ASSERT_TRUE(keyPair);
    struct Case {
        const char* what;
        std::function<void(std::vector<PackageEntry>&)> change;
    };
    const std::vector<Case> cases = {
        {"one byte of one entry",
         [](auto& e) {
             e[0].content[500] ^= 0x01;
         }},
        {"an entry added",
         [](auto& e) {
             e.push_back({"extra.htm", "<html></html>"});
         }},
        {"an empty entry added",
         [](auto& e) {
             e.push_back({"extra.htm", ""});
         }},
        {"an entry removed",
         [](auto& e) {
             e.erase(e.begin() + 1);
         }},
        {"an entry renamed",
         [](auto& e) {
             e[1].name = "nch2.str";
         }},
        {"content appended",
         [](auto& e) {
             e[2].content += "\r\n";
         }},
        {"no signature",
         [](auto& e) {
             e.pop_back();
         }},
        {"a short signature",
         [](auto& e) {
             e.back().content.pop_back();
         }},
        {"a signature byte",
         [](auto& e) {
             e.back().content[10] ^= 0x80;
         }},
        {"two signatures",
         [](auto& e) {
             e.push_back(e.back());
         }},
        {"signed with another key",
         [&](auto& e) {
             e.pop_back();
             e.push_back({kSignatureEntry, signPackageEntries(e, keyPair->secretKey).value()});
         }},
    };
    for (const Case& c : cases) {
        std::vector<PackageEntry> entries = signedSample();
        c.change(entries);
        EXPECT_FALSE(verifyPackageEntries(entries, key)) << c.what;
    }
}

TEST(PackageKeys, HexTextBothWays) {
    const auto pair = generateKeyPair();
    ASSERT_TRUE(pair);
    const std::string hex = toHex({reinterpret_cast<const char*>(pair->publicKey.data()), 32});
    EXPECT_EQ(hex.size(), 64u);
    EXPECT_EQ(parsePublicKey(hex), pair->publicKey);
    std::string upper = hex;
    for (char& c : upper) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    EXPECT_EQ(parsePublicKey(" " + upper + "\r\n"), pair->publicKey);
    EXPECT_FALSE(parsePublicKey(hex.substr(2)));
    EXPECT_FALSE(parsePublicKey(hex + "00"));
    EXPECT_FALSE(parsePublicKey("zz" + hex.substr(2)));
    EXPECT_FALSE(parseSecretKey(hex));
    EXPECT_EQ(toHex(std::string("\x00\xff\x10", 3)), "00ff10");
}

TEST(PackageKeys, TheRepositoryTestPairBelongsTogether) {
    const SecretKey secret = testSecretKey();
    // An Ed25519 secret key carries its public half in its last 32 bytes.
    const PublicKey key = testPublicKey();
    EXPECT_TRUE(std::equal(key.begin(), key.end(), secret.begin() + 32));
}

TEST(PackageKeys, TheBuiltInKeyIsTheConfiguredOne) {
    const auto configured = readPublicKeyFile(ZORVAST_PACKAGE_PUBLIC_KEY_FILE);
    ASSERT_TRUE(configured) << ZORVAST_PACKAGE_PUBLIC_KEY_FILE;
    EXPECT_EQ(builtInPackageKey(), *configured);
}

} // namespace
} // namespace zorvast::update
