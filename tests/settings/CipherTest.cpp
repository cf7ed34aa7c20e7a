#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "settings/Blowfish.h"
#include "settings/CbcMode.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes hex(const std::string& h) {
  Bytes out;
  for (size_t i = 0; i + 1 < h.size(); i += 2) out.push_back(static_cast<std::uint8_t>(std::stoi(h.substr(i, 2), nullptr, 16)));
  return out;
}

struct EcbVector {
  const char* key;
  const char* plain;
  const char* cipher;
};

// Schneier's published set of Blowfish test vectors (8-byte keys).
const EcbVector kEcbVectors[] = {
    {"0000000000000000", "0000000000000000", "4EF997456198DD78"},
    {"FFFFFFFFFFFFFFFF", "FFFFFFFFFFFFFFFF", "51866FD5B85ECB8A"},
    {"3000000000000000", "1000000000000001", "7D856F9A613063F2"},
    {"1111111111111111", "1111111111111111", "2466DD878B963C9D"},
    {"0123456789ABCDEF", "1111111111111111", "61F9C3802281B096"},
    {"1111111111111111", "0123456789ABCDEF", "7D0CC630AFDA1EC7"},
    {"0000000000000000", "0000000000000000", "4EF997456198DD78"},
    {"FEDCBA9876543210", "0123456789ABCDEF", "0ACEAB0FC6A0A28D"},
    {"7CA110454A1A6E57", "01A1D6D039776742", "59C68245EB05282B"},
    {"0131D9619DC1376E", "5CD54CA83DEF57DA", "B1B8CC0B250F09A0"},
    {"07A1133E4A0B2686", "0248D43806F67172", "1730E5778BEA1DA4"},
    {"3849674C2602319E", "51454B582DDF440A", "A25E7856CF2651EB"},
    {"04B915BA43FEB5B6", "42FD443059577FA2", "353882B109CE8F1A"},
    {"0113B970FD34F2CE", "059B5E0851CF143A", "48F4D0884C379918"},
    {"0170F175468FB5E6", "0756D8E0774761D2", "432193B78951FC98"},
    {"43297FAD38E373FE", "762514B829BF486A", "13F04154D69D1AE5"},
    {"07A7137045DA2A16", "3BDD119049372802", "2EEDDA93FFD39C79"},
    {"04689104C2FD3B2F", "26955F6835AF609A", "D887E0393C2DA6E3"},
    {"37D06BB516CB7546", "164D5E404F275232", "5F99D04F5B163969"},
    {"1F08260D1AC2465E", "6B056E18759F5CCA", "4A057A3B24D3977B"},
    {"584023641ABA6176", "004BD6EF09176062", "452031C1E4FADA8E"},
    {"025816164629B007", "480D39006EE762F2", "7555AE39F59B87BD"},
    {"49793EBC79B3258F", "437540C8698F3CFA", "53C55F9CB49FC019"},
    {"4FB05E1515AB73A7", "072D43A077075292", "7A8E7BFA937E89A3"},
    {"49E95D6D4CA229BF", "02FE55778117F12A", "CF9C5D7A4986ADB5"},
    {"018310DC409B26D6", "1D9D5C5018F728C2", "D1ABB290658BC778"},
    {"1C587F1C13924FEF", "305532286D6F295A", "55CB3774D13EF201"},
    {"0101010101010101", "0123456789ABCDEF", "FA34EC4847B268B2"},
    {"1F1F1F1F0E0E0E0E", "0123456789ABCDEF", "A790795108EA3CAE"},
    {"E0FEE0FEF1FEF1FE", "0123456789ABCDEF", "C39E072D9FAC631D"},
    {"0000000000000000", "FFFFFFFFFFFFFFFF", "014933E0CDAFF6E4"},
    {"FFFFFFFFFFFFFFFF", "0000000000000000", "F21E9A77B71C49BC"},
    {"0123456789ABCDEF", "0000000000000000", "245946885754369A"},
    {"FEDCBA9876543210", "FFFFFFFFFFFFFFFF", "6B5C5A9C5D9E0A5A"},
};

const std::uint8_t kIv[8] = {0x3C, 0xA1, 0x07, 0x5E, 0x92, 0xD4, 0x6B, 0x18};

CbcMode makeCrypt(Padding mode, const std::string& key = "qowtue7mlrx") {
  return CbcMode(key, true, mode, 8, kIv, new Blowfish);
}

Bytes encrypt(BlockMode& c, const Bytes& in) {
  Bytes out(static_cast<size_t>(c.outputSize(static_cast<int>(in.size()))));
  const int n = c.encrypt(in.data(), out.data(), static_cast<int>(in.size()));
  EXPECT_EQ(n, static_cast<int>(out.size()));
  return out;
}

Bytes decrypt(BlockMode& c, const Bytes& in) {
  Bytes out(in.size());
  const int n = c.decrypt(in.data(), out.data(), static_cast<int>(in.size()));
  out.resize(n > 0 ? static_cast<size_t>(n) : 0);
  return out;
}

// A cipher that tells when it is destroyed.
class TracedCipher : public BlockCipher {
 public:
  explicit TracedCipher(bool* destroyed) : m_destroyed(destroyed) {}
  ~TracedCipher() override { *m_destroyed = true; }
  std::string name() const override { return "Traced"; }
  int blockSize() const override { return 8; }
  void setKey(const std::uint8_t*, int length) override {
    if (length == 0) throw CipherAssertion();
  }
  void encryptBlock(const std::uint8_t* s, std::uint8_t* d) override { std::memmove(d, s, 8); }
  void decryptBlock(const std::uint8_t* s, std::uint8_t* d) override { std::memmove(d, s, 8); }

 private:
  bool* m_destroyed;
};

}  // namespace

TEST(Blowfish, ReproducesThePublishedEcbVectorsBothWays) {
  for (const EcbVector& v : kEcbVectors) {
    Blowfish bf;
    const Bytes key = hex(v.key);
    bf.setKey(key.data(), static_cast<int>(key.size()));
    Bytes block = hex(v.plain);
    bf.encipher(block.data(), block.data());
    EXPECT_EQ(block, hex(v.cipher)) << v.key << " " << v.plain;
    bf.decipher(block.data(), block.data());
    EXPECT_EQ(block, hex(v.plain)) << v.key << " " << v.plain;
  }
  EXPECT_EQ(Blowfish().name(), "BlowFish");
  EXPECT_EQ(Blowfish().blockSize(), 8);
}

TEST(Blowfish, KeyLongerThanEightBytesIsUsedCyclically) {
  // The 16-byte key of the published CBC vector, and an 8-byte key repeated to 16.
  const Bytes k8 = hex("0123456789ABCDEF");
  const Bytes k16 = hex("0123456789ABCDEF0123456789ABCDEF");
  Blowfish a, b;
  a.setKey(k8.data(), 8);
  b.setKey(k16.data(), 16);
  Bytes x = hex("1111111111111111"), y = x;
  a.encipher(x.data(), x.data());
  b.encipher(y.data(), y.data());
  EXPECT_EQ(x, y);
  EXPECT_THROW(a.setKey(k8.data(), 0), CipherAssertion);
}

TEST(CbcMode, ReproducesThePublishedCbcVector) {
  const Bytes key = hex("0123456789ABCDEFF0E1D2C3B4A59687");
  const Bytes iv = hex("FEDCBA9876543210");
  const Bytes plain = hex("37363534333231204E6F77206973207468652074696D6520666F722000000000");
  CbcMode c(key.data(), true, Padding::None, 8, iv.data(), new Blowfish, 16);
  const Bytes out = encrypt(c, plain);
  EXPECT_EQ(out, hex("6B77B4D63006DEE605B156E27403979358DEB9E7154616D959F1652BD5FF92CC"));
  EXPECT_EQ(decrypt(c, out), plain);
}

TEST(CbcMode, EmptyTextGivesTheEncipheredVectorXorEights) {
  CbcMode c = makeCrypt(Padding::Count);
  Bytes expected(8);
  for (int i = 0; i < 8; ++i) expected[i] = kIv[i] ^ 8;
  Blowfish bf;
  bf.setKey(reinterpret_cast<const std::uint8_t*>("qowtue7mlrx"), 11);
  bf.encipher(expected.data(), expected.data());
  EXPECT_EQ(encrypt(c, {}), expected);
}

TEST(CbcMode, OutputSizesAndRepeatability) {
  CbcMode c = makeCrypt(Padding::Count);
  EXPECT_EQ(c.outputSize(0), 8);
  EXPECT_EQ(c.outputSize(7), 8);
  EXPECT_EQ(c.outputSize(8), 16);
  EXPECT_EQ(c.outputSize(9), 16);
  const Bytes text = {'s', 'e', 'c', 'r', 'e', 't', '1', '2', '3'};
  EXPECT_EQ(encrypt(c, text), encrypt(c, text));  // every call starts from the vector
  CbcMode none = makeCrypt(Padding::None);
  EXPECT_EQ(none.outputSize(16), 16);
}

TEST(CbcMode, EveryPaddingModeRoundTripsEveryLength) {
  for (Padding mode : {Padding::Count, Padding::OneZero, Padding::Zero, Padding::Space, Padding::None}) {
    for (int len = 0; len <= 40; ++len) {
      if (mode == Padding::None && len % 8 != 0) continue;
      Bytes text;
      for (int i = 0; i < len; ++i) text.push_back(static_cast<std::uint8_t>(0x81 + i * 7));  // never 0 or blank
      CbcMode c = makeCrypt(mode);
      const Bytes enc = encrypt(c, text);
      EXPECT_EQ(decrypt(c, enc), text) << "mode " << int(mode) << " length " << len;
    }
  }
}

TEST(CbcMode, PaddingBytesAreThoseOfTheMode) {
  // Deciphering without dropping anything shows the filled last block.
  auto lastBlock = [](Padding mode, int len) {
    Bytes text(static_cast<size_t>(len), 'A');
    CbcMode enc = makeCrypt(mode);
    const Bytes e = encrypt(enc, text);
    CbcMode raw = makeCrypt(Padding::None);
    Bytes d(e.size());
    raw.decrypt(e.data(), d.data(), static_cast<int>(e.size()));
    return Bytes(d.end() - 8, d.end());
  };
  EXPECT_EQ(lastBlock(Padding::Count, 5), (Bytes{'A', 'A', 'A', 'A', 'A', 3, 3, 3}));
  EXPECT_EQ(lastBlock(Padding::Count, 8), Bytes(8, 8));
  EXPECT_EQ(lastBlock(Padding::OneZero, 5), (Bytes{'A', 'A', 'A', 'A', 'A', 0x80, 0, 0}));
  EXPECT_EQ(lastBlock(Padding::Zero, 6), (Bytes{'A', 'A', 'A', 'A', 'A', 'A', 0, 0}));
  EXPECT_EQ(lastBlock(Padding::Space, 7), (Bytes{'A', 'A', 'A', 'A', 'A', 'A', 'A', ' '}));
}

TEST(CbcMode, DecipheringForeignDataFollowsTheMode) {
  CbcMode none = makeCrypt(Padding::None);
  Bytes block(8, 0);
  // Plaintext whose last block is all zeros: no 0x80 marker, all zeros, count 0.
  Bytes zeros(8, 0), cipherText(8);
  none.encrypt(zeros.data(), cipherText.data(), 8);

  CbcMode oneZero = makeCrypt(Padding::OneZero);
  try {
    oneZero.decrypt(cipherText.data(), block.data(), 8);
    FAIL() << "no error";
  } catch (const CipherError& e) {
    EXPECT_STREQ(e.what(), "Crypt Error");
  }
  CbcMode zero = makeCrypt(Padding::Zero);
  EXPECT_EQ(zero.decrypt(cipherText.data(), block.data(), 8), 0);
  CbcMode count = makeCrypt(Padding::Count);
  EXPECT_EQ(count.decrypt(cipherText.data(), block.data(), 8), 8);  // last byte 0 drops nothing

  Bytes big(8, 200);
  none.encrypt(big.data(), cipherText.data(), 8);
  EXPECT_EQ(count.decrypt(cipherText.data(), block.data(), 8), 8 - 200);
  EXPECT_EQ(count.decrypt(cipherText.data(), block.data(), 0), 0);
}

TEST(CbcMode, LengthsThatAreNotWholeBlocksAreAssertionFailures) {
  CbcMode c = makeCrypt(Padding::Count);
  Bytes buf(16);
  try {
    c.decrypt(buf.data(), buf.data(), 12);
    FAIL() << "no error";
  } catch (const CipherAssertion& e) {
    EXPECT_STREQ(e.what(), "Assertion failure");
  }
  CbcMode none = makeCrypt(Padding::None);
  EXPECT_THROW(none.encrypt(buf.data(), buf.data(), 12), CipherAssertion);
}

TEST(CbcMode, WorksInPlaceAndWithAShortVector) {
  const Bytes text = {'p', 'a', 's', 's', 'w', 'o', 'r', 'd', '!', '?'};
  CbcMode c = makeCrypt(Padding::Count);
  const Bytes expected = encrypt(c, text);
  Bytes buf = text;
  buf.resize(16);
  c.encrypt(buf.data(), buf.data(), static_cast<int>(text.size()));
  EXPECT_EQ(buf, expected);
  EXPECT_EQ(c.decrypt(buf.data(), buf.data(), 16), 10);
  EXPECT_EQ(Bytes(buf.begin(), buf.begin() + 10), text);

  const std::uint8_t shortIv[3] = {1, 2, 3};
  const std::uint8_t padded[8] = {1, 2, 3, 0, 0, 0, 0, 0};
  CbcMode a("k", true, Padding::Count, 3, shortIv, new Blowfish);
  CbcMode b("k", true, Padding::Count, 8, padded, new Blowfish);
  EXPECT_EQ(encrypt(a, text), encrypt(b, text));
}

TEST(CbcMode, OwnedCipherIsDestroyedWithTheModeEvenWhenTheKeyFails) {
  bool destroyed = false;
  { CbcMode c("key", true, Padding::Count, 8, kIv, new TracedCipher(&destroyed)); }
  EXPECT_TRUE(destroyed);

  destroyed = false;
  EXPECT_THROW(CbcMode("", true, Padding::Count, 8, kIv, new TracedCipher(&destroyed)), CipherAssertion);
  EXPECT_TRUE(destroyed);

  destroyed = false;
  TracedCipher borrowed(&destroyed);
  { CbcMode c("key", false, Padding::Count, 8, kIv, &borrowed); }
  EXPECT_FALSE(destroyed);
}
