// The link-file cipher: DES on one-bit cells (least significant bit first) in
// ECB mode, with the installer's altered PC-2 table, and the file padding.
#include "app/LinkCipher.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

const uint8_t kIP[64] = {58, 50, 42, 34, 26, 18, 10, 2, 60, 52, 44, 36, 28, 20, 12, 4,
                         62, 54, 46, 38, 30, 22, 14, 6, 64, 56, 48, 40, 32, 24, 16, 8,
                         57, 49, 41, 33, 25, 17, 9,  1, 59, 51, 43, 35, 27, 19, 11, 3,
                         61, 53, 45, 37, 29, 21, 13, 5, 63, 55, 47, 39, 31, 23, 15, 7};

const uint8_t kIPInv[64] = {40, 8, 48, 16, 56, 24, 64, 32, 39, 7, 47, 15, 55, 23, 63, 31,
                            38, 6, 46, 14, 54, 22, 62, 30, 37, 5, 45, 13, 53, 21, 61, 29,
                            36, 4, 44, 12, 52, 20, 60, 28, 35, 3, 43, 11, 51, 19, 59, 27,
                            34, 2, 42, 10, 50, 18, 58, 26, 33, 1, 41, 9,  49, 17, 57, 25};

const uint8_t kE[48] = {32, 1,  2,  3,  4,  5,  4,  5,  6,  7,  8,  9,  8,  9,  10, 11,
                        12, 13, 12, 13, 14, 15, 16, 17, 16, 17, 18, 19, 20, 21, 20, 21,
                        22, 23, 24, 25, 24, 25, 26, 27, 28, 29, 28, 29, 30, 31, 32, 1};

const uint8_t kP[32] = {16, 7, 20, 21, 29, 12, 28, 17, 1,  15, 23, 26, 5,  18, 31, 10,
                        2,  8, 24, 14, 32, 27, 3,  9,  19, 13, 30, 6,  22, 11, 4,  25};

const uint8_t kPC1[56] = {57, 49, 41, 33, 25, 17, 9,  1,  58, 50, 42, 34, 26, 18,
                          10, 2,  59, 51, 43, 35, 27, 19, 11, 3,  60, 52, 44, 36,
                          63, 55, 47, 39, 31, 23, 15, 7,  62, 54, 46, 38, 30, 22,
                          14, 6,  61, 53, 45, 37, 29, 21, 13, 5,  28, 20, 12, 4};

const uint8_t kPC2[48] = {14, 17, 11, 24, 1,  5,  3,  28, 15, 6,  21, 10, 23, 19, 12, 4,
                          26, 8,  16, 7,  27, 20, 13, 2,  41, 52, 31, 37, 47, 55, 30, 40,
                          51, 45, 33, 48, 44, 49, 39, 56, 34, 53, 46, 42, 50, 36, 29, 32};
// The installer's variant: entry 36 (index 35) selects bit 47 instead of 48.
constexpr int kPC2ExceptionIndex = 35;
constexpr uint8_t kPC2ExceptionValue = 47;

const uint8_t kShifts[16] = {1, 1, 2, 2, 2, 2, 2, 2, 1, 2, 2, 2, 2, 2, 2, 1};

const uint8_t kSBox[8][4][16] = {
    {{14, 4, 13, 1, 2, 15, 11, 8, 3, 10, 6, 12, 5, 9, 0, 7},
     {0, 15, 7, 4, 14, 2, 13, 1, 10, 6, 12, 11, 9, 5, 3, 8},
     {4, 1, 14, 8, 13, 6, 2, 11, 15, 12, 9, 7, 3, 10, 5, 0},
     {15, 12, 8, 2, 4, 9, 1, 7, 5, 11, 3, 14, 10, 0, 6, 13}},
    {{15, 1, 8, 14, 6, 11, 3, 4, 9, 7, 2, 13, 12, 0, 5, 10},
     {3, 13, 4, 7, 15, 2, 8, 14, 12, 0, 1, 10, 6, 9, 11, 5},
     {0, 14, 7, 11, 10, 4, 13, 1, 5, 8, 12, 6, 9, 3, 2, 15},
     {13, 8, 10, 1, 3, 15, 4, 2, 11, 6, 7, 12, 0, 5, 14, 9}},
    {{10, 0, 9, 14, 6, 3, 15, 5, 1, 13, 12, 7, 11, 4, 2, 8},
     {13, 7, 0, 9, 3, 4, 6, 10, 2, 8, 5, 14, 12, 11, 15, 1},
     {13, 6, 4, 9, 8, 15, 3, 0, 11, 1, 2, 12, 5, 10, 14, 7},
     {1, 10, 13, 0, 6, 9, 8, 7, 4, 15, 14, 3, 11, 5, 2, 12}},
    {{7, 13, 14, 3, 0, 6, 9, 10, 1, 2, 8, 5, 11, 12, 4, 15},
     {13, 8, 11, 5, 6, 15, 0, 3, 4, 7, 2, 12, 1, 10, 14, 9},
     {10, 6, 9, 0, 12, 11, 7, 13, 15, 1, 3, 14, 5, 2, 8, 4},
     {3, 15, 0, 6, 10, 1, 13, 8, 9, 4, 5, 11, 12, 7, 2, 14}},
    {{2, 12, 4, 1, 7, 10, 11, 6, 8, 5, 3, 15, 13, 0, 14, 9},
     {14, 11, 2, 12, 4, 7, 13, 1, 5, 0, 15, 10, 3, 9, 8, 6},
     {4, 2, 1, 11, 10, 13, 7, 8, 15, 9, 12, 5, 6, 3, 0, 14},
     {11, 8, 12, 7, 1, 14, 2, 13, 6, 15, 0, 9, 10, 4, 5, 3}},
    {{12, 1, 10, 15, 9, 2, 6, 8, 0, 13, 3, 4, 14, 7, 5, 11},
     {10, 15, 4, 2, 7, 12, 9, 5, 6, 1, 13, 14, 0, 11, 3, 8},
     {9, 14, 15, 5, 2, 8, 12, 3, 7, 0, 4, 10, 1, 13, 11, 6},
     {4, 3, 2, 12, 9, 5, 15, 10, 11, 14, 1, 7, 6, 0, 8, 13}},
    {{4, 11, 2, 14, 15, 0, 8, 13, 3, 12, 9, 7, 5, 10, 6, 1},
     {13, 0, 11, 7, 4, 9, 1, 10, 14, 3, 5, 12, 2, 15, 8, 6},
     {1, 4, 11, 13, 12, 3, 7, 14, 10, 15, 6, 8, 0, 5, 9, 2},
     {6, 11, 13, 8, 1, 4, 10, 7, 9, 5, 0, 15, 14, 2, 3, 12}},
    {{13, 2, 8, 4, 6, 15, 11, 1, 10, 9, 3, 14, 5, 0, 12, 7},
     {1, 15, 13, 8, 10, 3, 7, 4, 12, 5, 6, 11, 0, 14, 9, 2},
     {7, 11, 4, 1, 9, 12, 14, 2, 0, 6, 10, 13, 15, 3, 5, 8},
     {2, 1, 14, 7, 4, 10, 8, 13, 15, 12, 9, 0, 3, 5, 6, 11}}};

// out[i] = in[table[i] - 1]
void Permute(const uint8_t* in, const uint8_t* table, int count, uint8_t* out) {
  for (int i = 0; i < count; ++i) out[i] = in[table[i] - 1];
}

void RotateLeft(uint8_t* half, int count) {
  uint8_t tmp[28];
  for (int i = 0; i < 28; ++i) tmp[i] = half[(i + count) % 28];
  std::memcpy(half, tmp, 28);
}

// f(R, K): expansion, key mix, S-boxes, P.
void Feistel(const uint8_t r[32], const uint8_t key[48], uint8_t out[32]) {
  uint8_t x[48];
  Permute(r, kE, 48, x);
  for (int i = 0; i < 48; ++i) x[i] ^= key[i];
  uint8_t s[32];
  for (int b = 0; b < 8; ++b) {
    const uint8_t* c = x + 6 * b;
    const int row = 2 * c[0] + c[5];
    const int col = 8 * c[1] + 4 * c[2] + 2 * c[3] + c[4];
    const uint8_t v = kSBox[b][row][col];
    for (int k = 0; k < 4; ++k) s[4 * b + k] = (v >> (3 - k)) & 1U;
  }
  Permute(s, kP, 32, out);
}

// Runs the 16 rounds in the given order of round keys; no exchange after the last.
void Crypt(const uint8_t in[8], uint8_t out[8], const DesSubKeys subKeys, bool decrypt) {
  uint8_t cells[64];
  uint8_t lr[64];
  BytesToCells(in, 8, cells);
  Permute(cells, kIP, 64, lr);
  uint8_t* l = lr;
  uint8_t* r = lr + 32;
  for (int step = 0; step < 16; ++step) {
    const int round = decrypt ? 15 - step : step;
    uint8_t f[32];
    Feistel(r, subKeys[round], f);
    for (int i = 0; i < 32; ++i) l[i] ^= f[i];
    if (step != 15) {
      uint8_t tmp[32];
      std::memcpy(tmp, l, 32);
      std::memcpy(l, r, 32);
      std::memcpy(r, tmp, 32);
    }
  }
  Permute(lr, kIPInv, 64, cells);
  CellsToBytes(cells, 8, out);
}

struct FileCloser {
  void operator()(FILE* f) const {
    if (f) std::fclose(f);
  }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

bool ReadAll(FILE* f, std::vector<uint8_t>* out) {
  uint8_t buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out->insert(out->end(), buf, buf + n);
  return !std::ferror(f);
}

void MakeKeys(const uint8_t* key, DesSubKeys subKeys) {
  uint8_t keyCells[64];
  BytesToCells(key, 8, keyCells);
  DesMakeSubKeys(keyCells, subKeys, true);
}

}  // namespace

void BytesToCells(const uint8_t* bytes, int count, uint8_t* cells) {
  for (int i = 0; i < count; ++i) {
    for (int j = 0; j < 8; ++j) cells[8 * i + j] = (bytes[i] >> j) & 1U;
  }
}

void CellsToBytes(const uint8_t* cells, int count, uint8_t* bytes) {
  for (int i = 0; i < count; ++i) {
    uint8_t b = 0;
    for (int j = 0; j < 8; ++j) b |= static_cast<uint8_t>((cells[8 * i + j] & 1U) << j);
    bytes[i] = b;
  }
}

void DesMakeSubKeys(const uint8_t keyCells[64], DesSubKeys subKeys, bool pc2Exception) {
  uint8_t cd[56];
  Permute(keyCells, kPC1, 56, cd);
  uint8_t pc2[48];
  std::memcpy(pc2, kPC2, sizeof pc2);
  if (pc2Exception) pc2[kPC2ExceptionIndex] = kPC2ExceptionValue;
  for (int round = 0; round < 16; ++round) {
    RotateLeft(cd, kShifts[round]);
    RotateLeft(cd + 28, kShifts[round]);
    Permute(cd, pc2, 48, subKeys[round]);
  }
}

void DesDecryptBlock(const uint8_t in[8], uint8_t out[8], const DesSubKeys subKeys) {
  Crypt(in, out, subKeys, true);
}

void DesEncryptBlock(const uint8_t in[8], uint8_t out[8], const DesSubKeys subKeys) {
  Crypt(in, out, subKeys, false);
}

int DecryptLinkFile(const char* inPath, const uint8_t* key, const char* outPath) {
  FilePtr in(std::fopen(inPath, "rb"));
  if (!in) return kDecryptInputFailed;
  std::vector<uint8_t> data;
  if (!ReadAll(in.get(), &data)) return kDecryptInputFailed;
  in.reset();
  // Checked before the output is created: a damaged file must not wipe a good NetLink.ini.
  if (data.empty() || data.size() % 8 != 0) return kDecryptBadLength;

  DesSubKeys subKeys;
  MakeKeys(key, subKeys);
  std::vector<uint8_t> plain(data.size());
  for (size_t off = 0; off < data.size(); off += 8) DesDecryptBlock(&data[off], &plain[off], subKeys);

  size_t keep = plain.size();
  const uint8_t* last = &plain[plain.size() - 8];
  const int k = static_cast<int8_t>(last[7]);
  if (k >= 1 && k <= 7) {
    bool zeros = true;
    for (int i = 8 - k; i <= 6; ++i) zeros = zeros && last[i] == 0;
    if (zeros) keep -= static_cast<size_t>(k);
  }

  FilePtr out(std::fopen(outPath, "wb"));
  if (!out) return kDecryptOutputFailed;
  if (std::fwrite(plain.data(), 1, keep, out.get()) != keep) return kDecryptOutputFailed;
  if (std::fclose(out.release()) != 0) return kDecryptOutputFailed;
  return kDecryptOk;
}

int EncryptLinkFile(const char* inPath, const uint8_t* key, const char* outPath) {
  FilePtr in(std::fopen(inPath, "rb"));
  if (!in) return kDecryptInputFailed;
  std::vector<uint8_t> plain;
  if (!ReadAll(in.get(), &plain)) return kDecryptInputFailed;
  in.reset();
  if (plain.empty()) return kDecryptBadLength;  // would give a file the decryption rejects
  const size_t n = plain.size() % 8;
  if (n != 0) {
    plain.resize(plain.size() - n + 8, 0);
    plain.back() = static_cast<uint8_t>(8 - n);
  } else {
    // A whole last block that looks padded would lose its tail on decryption.
    const uint8_t* last = &plain[plain.size() - 8];
    const int k = static_cast<int8_t>(last[7]);
    bool zeros = k >= 1 && k <= 7;
    for (int i = 8 - k; zeros && i <= 6; ++i) zeros = last[i] == 0;
    if (zeros) return kEncryptAmbiguous;
  }

  DesSubKeys subKeys;
  MakeKeys(key, subKeys);
  std::vector<uint8_t> data(plain.size());
  for (size_t off = 0; off < plain.size(); off += 8) DesEncryptBlock(&plain[off], &data[off], subKeys);

  FilePtr out(std::fopen(outPath, "wb"));
  if (!out) return kDecryptOutputFailed;
  if (std::fwrite(data.data(), 1, data.size(), out.get()) != data.size()) return kDecryptOutputFailed;
  if (std::fclose(out.release()) != 0) return kDecryptOutputFailed;
  return kDecryptOk;
}
