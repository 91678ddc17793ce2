// Deciphering (and, for the deployment tool, enciphering) of NetLink.dat.
#pragma once

#include <cstdint>

// Results of DecryptLinkFile.
enum : int {
  kDecryptOk = 1,
  kDecryptOutputFailed = -1,
  kDecryptInputFailed = -3,
  kDecryptBadLength = -4,  // length 0 or not a multiple of 8: nothing written
  kEncryptAmbiguous = -5,  // plaintext whose last whole block would read as padding
};

// 16 round keys of 48 one-bit cells.
using DesSubKeys = uint8_t[16][48];

// `pc2Exception` selects the installer's variant; false gives plain DES tables
// (used only to check the cipher against an independent implementation).
void DesMakeSubKeys(const uint8_t keyCells[64], DesSubKeys subKeys, bool pc2Exception = true);
void DesDecryptBlock(const uint8_t in[8], uint8_t out[8], const DesSubKeys subKeys);
void DesEncryptBlock(const uint8_t in[8], uint8_t out[8], const DesSubKeys subKeys);
// Bytes <-> bit cells: cell 8*i + j is bit j (LSB first) of byte i.
void BytesToCells(const uint8_t* bytes, int count, uint8_t* cells);
void CellsToBytes(const uint8_t* cells, int count, uint8_t* bytes);

// Input is read whole and its length checked before the output is created, so a
// missing or damaged input never truncates an existing output.
int DecryptLinkFile(const char* inPath, const uint8_t* key, const char* outPath);
// Enciphers with the padding the decryption expects (deployment tool).
int EncryptLinkFile(const char* inPath, const uint8_t* key, const char* outPath);

inline constexpr uint8_t kLinkKey[8] = {'q', 'e', 't', 'v', 'o', 'r', 'm', '5'};
