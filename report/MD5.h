// MD5 (RFC 1321) for the report signature. One object digests several
// messages in turn: MD5Final leaves it initialised for the next one.
#pragma once

#include <cstdint>
#include <string>

class MD5_CTX {
 public:
  MD5_CTX();
  virtual ~MD5_CTX();

  void MD5Update(const unsigned char* input, unsigned int inputLen);
  // Writes the 16-byte digest, then clears and re-initialises the context.
  void MD5Final(unsigned char digest[16]);

 private:
  void MD5Init();
  void MD5Transform(const unsigned char block[64]);

  uint32_t state[4];
  uint32_t count[2];  // number of bits, modulo 2^64 (low word first)
  unsigned char buffer[64];
  unsigned char PADDING[64];
};

// The digest of `data` as 32 upper-case hex digits.
std::string Md5HexUpper(const std::string& data);
