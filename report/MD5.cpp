// MD5 message digest after RFC 1321's reference implementation.
#include "report/MD5.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr uint32_t F(uint32_t x, uint32_t y, uint32_t z) { return (x & y) | (~x & z); }
constexpr uint32_t G(uint32_t x, uint32_t y, uint32_t z) { return (x & z) | (y & ~z); }
constexpr uint32_t H(uint32_t x, uint32_t y, uint32_t z) { return x ^ y ^ z; }
constexpr uint32_t I(uint32_t x, uint32_t y, uint32_t z) { return y ^ (x | ~z); }
constexpr uint32_t Rotl(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

template <uint32_t (*Fn)(uint32_t, uint32_t, uint32_t)>
void Step(uint32_t& a, uint32_t b, uint32_t c, uint32_t d, uint32_t x, int s, uint32_t ac) {
  a += Fn(b, c, d) + x + ac;
  a = Rotl(a, s) + b;
}

void Encode(unsigned char* out, const uint32_t* in, unsigned int len) {
  for (unsigned int i = 0, j = 0; j < len; ++i, j += 4) {
    out[j] = static_cast<unsigned char>(in[i] & 0xff);
    out[j + 1] = static_cast<unsigned char>((in[i] >> 8) & 0xff);
    out[j + 2] = static_cast<unsigned char>((in[i] >> 16) & 0xff);
    out[j + 3] = static_cast<unsigned char>((in[i] >> 24) & 0xff);
  }
}

void Decode(uint32_t* out, const unsigned char* in, unsigned int len) {
  for (unsigned int i = 0, j = 0; j < len; ++i, j += 4) {
    out[i] = static_cast<uint32_t>(in[j]) | (static_cast<uint32_t>(in[j + 1]) << 8) |
             (static_cast<uint32_t>(in[j + 2]) << 16) | (static_cast<uint32_t>(in[j + 3]) << 24);
  }
}

}  // namespace

MD5_CTX::MD5_CTX() {
  std::memset(PADDING, 0, sizeof(PADDING));
  PADDING[0] = 0x80;
  MD5Init();
}

MD5_CTX::~MD5_CTX() = default;

void MD5_CTX::MD5Init() {
  count[0] = count[1] = 0;
  state[0] = 0x67452301;
  state[1] = 0xefcdab89;
  state[2] = 0x98badcfe;
  state[3] = 0x10325476;
  std::memset(buffer, 0, sizeof(buffer));
}

void MD5_CTX::MD5Update(const unsigned char* input, unsigned int inputLen) {
  unsigned int index = (count[0] >> 3) & 0x3F;
  if ((count[0] += inputLen << 3) < (inputLen << 3)) count[1]++;
  count[1] += inputLen >> 29;
  const unsigned int partLen = 64 - index;
  unsigned int i = 0;
  if (inputLen >= partLen) {
    std::memcpy(&buffer[index], input, partLen);
    MD5Transform(buffer);
    for (i = partLen; i + 63 < inputLen; i += 64) MD5Transform(&input[i]);
    index = 0;
  }
  if (inputLen > i) std::memcpy(&buffer[index], &input[i], inputLen - i);
}

void MD5_CTX::MD5Final(unsigned char digest[16]) {
  unsigned char bits[8];
  Encode(bits, count, 8);
  const unsigned int index = (count[0] >> 3) & 0x3f;
  const unsigned int padLen = (index < 56) ? (56 - index) : (120 - index);
  MD5Update(PADDING, padLen);
  MD5Update(bits, 8);
  Encode(digest, state, 16);
  std::memset(state, 0, sizeof(state));
  std::memset(count, 0, sizeof(count));
  std::memset(buffer, 0, sizeof(buffer));
  MD5Init();
}

void MD5_CTX::MD5Transform(const unsigned char block[64]) {
  uint32_t a = state[0], b = state[1], c = state[2], d = state[3], x[16];
  Decode(x, block, 64);

  Step<F>(a, b, c, d, x[0], 7, 0xd76aa478);
  Step<F>(d, a, b, c, x[1], 12, 0xe8c7b756);
  Step<F>(c, d, a, b, x[2], 17, 0x242070db);
  Step<F>(b, c, d, a, x[3], 22, 0xc1bdceee);
  Step<F>(a, b, c, d, x[4], 7, 0xf57c0faf);
  Step<F>(d, a, b, c, x[5], 12, 0x4787c62a);
  Step<F>(c, d, a, b, x[6], 17, 0xa8304613);
  Step<F>(b, c, d, a, x[7], 22, 0xfd469501);
  Step<F>(a, b, c, d, x[8], 7, 0x698098d8);
  Step<F>(d, a, b, c, x[9], 12, 0x8b44f7af);
  Step<F>(c, d, a, b, x[10], 17, 0xffff5bb1);
  Step<F>(b, c, d, a, x[11], 22, 0x895cd7be);
  Step<F>(a, b, c, d, x[12], 7, 0x6b901122);
  Step<F>(d, a, b, c, x[13], 12, 0xfd987193);
  Step<F>(c, d, a, b, x[14], 17, 0xa679438e);
  Step<F>(b, c, d, a, x[15], 22, 0x49b40821);

  Step<G>(a, b, c, d, x[1], 5, 0xf61e2562);
  Step<G>(d, a, b, c, x[6], 9, 0xc040b340);
  Step<G>(c, d, a, b, x[11], 14, 0x265e5a51);
  Step<G>(b, c, d, a, x[0], 20, 0xe9b6c7aa);
  Step<G>(a, b, c, d, x[5], 5, 0xd62f105d);
  Step<G>(d, a, b, c, x[10], 9, 0x02441453);
  Step<G>(c, d, a, b, x[15], 14, 0xd8a1e681);
  Step<G>(b, c, d, a, x[4], 20, 0xe7d3fbc8);
  Step<G>(a, b, c, d, x[9], 5, 0x21e1cde6);
  Step<G>(d, a, b, c, x[14], 9, 0xc33707d6);
  Step<G>(c, d, a, b, x[3], 14, 0xf4d50d87);
  Step<G>(b, c, d, a, x[8], 20, 0x455a14ed);
  Step<G>(a, b, c, d, x[13], 5, 0xa9e3e905);
  Step<G>(d, a, b, c, x[2], 9, 0xfcefa3f8);
  Step<G>(c, d, a, b, x[7], 14, 0x676f02d9);
  Step<G>(b, c, d, a, x[12], 20, 0x8d2a4c8a);

  Step<H>(a, b, c, d, x[5], 4, 0xfffa3942);
  Step<H>(d, a, b, c, x[8], 11, 0x8771f681);
  Step<H>(c, d, a, b, x[11], 16, 0x6d9d6122);
  Step<H>(b, c, d, a, x[14], 23, 0xfde5380c);
  Step<H>(a, b, c, d, x[1], 4, 0xa4beea44);
  Step<H>(d, a, b, c, x[4], 11, 0x4bdecfa9);
  Step<H>(c, d, a, b, x[7], 16, 0xf6bb4b60);
  Step<H>(b, c, d, a, x[10], 23, 0xbebfbc70);
  Step<H>(a, b, c, d, x[13], 4, 0x289b7ec6);
  Step<H>(d, a, b, c, x[0], 11, 0xeaa127fa);
  Step<H>(c, d, a, b, x[3], 16, 0xd4ef3085);
  Step<H>(b, c, d, a, x[6], 23, 0x04881d05);
  Step<H>(a, b, c, d, x[9], 4, 0xd9d4d039);
  Step<H>(d, a, b, c, x[12], 11, 0xe6db99e5);
  Step<H>(c, d, a, b, x[15], 16, 0x1fa27cf8);
  Step<H>(b, c, d, a, x[2], 23, 0xc4ac5665);

  Step<I>(a, b, c, d, x[0], 6, 0xf4292244);
  Step<I>(d, a, b, c, x[7], 10, 0x432aff97);
  Step<I>(c, d, a, b, x[14], 15, 0xab9423a7);
  Step<I>(b, c, d, a, x[5], 21, 0xfc93a039);
  Step<I>(a, b, c, d, x[12], 6, 0x655b59c3);
  Step<I>(d, a, b, c, x[3], 10, 0x8f0ccc92);
  Step<I>(c, d, a, b, x[10], 15, 0xffeff47d);
  Step<I>(b, c, d, a, x[1], 21, 0x85845dd1);
  Step<I>(a, b, c, d, x[8], 6, 0x6fa87e4f);
  Step<I>(d, a, b, c, x[15], 10, 0xfe2ce6e0);
  Step<I>(c, d, a, b, x[6], 15, 0xa3014314);
  Step<I>(b, c, d, a, x[13], 21, 0x4e0811a1);
  Step<I>(a, b, c, d, x[4], 6, 0xf7537e82);
  Step<I>(d, a, b, c, x[11], 10, 0xbd3af235);
  Step<I>(c, d, a, b, x[2], 15, 0x2ad7d2bb);
  Step<I>(b, c, d, a, x[9], 21, 0xeb86d391);

  state[0] += a;
  state[1] += b;
  state[2] += c;
  state[3] += d;
  std::memset(x, 0, sizeof(x));
}

std::string Md5HexUpper(const std::string& data) {
  MD5_CTX ctx;
  ctx.MD5Update(reinterpret_cast<const unsigned char*>(data.data()), static_cast<unsigned int>(data.size()));
  unsigned char digest[16];
  ctx.MD5Final(digest);
  std::string hex;
  char part[3];
  for (unsigned char b : digest) {
    std::snprintf(part, sizeof(part), "%02X", b);
    hex += part;
  }
  return hex;
}
