// Deployment tool for the link configuration:
//   netlink encrypt <NetLink.ini> <NetLink.dat>
//   netlink decrypt <NetLink.dat> <NetLink.ini>
#include <cstdio>
#include <cstring>

#include "app/LinkCipher.h"

namespace {

const char* Describe(int code) {
  switch (code) {
    case kDecryptInputFailed: return "cannot read the input file";
    case kDecryptOutputFailed: return "cannot write the output file";
    case kDecryptBadLength: return "input is empty or its length is not a multiple of 8";
    case kEncryptAmbiguous:
      return "the last 8-byte block of the input looks like padding and would be cut on decryption; "
             "end the file with a line feed";
    default: return "unknown error";
  }
}

int Usage() {
  std::fprintf(stderr,
               "usage: netlink encrypt <NetLink.ini> <NetLink.dat>\n"
               "       netlink decrypt <NetLink.dat> <NetLink.ini>\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) return Usage();
  int rc;
  if (std::strcmp(argv[1], "encrypt") == 0) {
    rc = EncryptLinkFile(argv[2], kLinkKey, argv[3]);
  } else if (std::strcmp(argv[1], "decrypt") == 0) {
    rc = DecryptLinkFile(argv[2], kLinkKey, argv[3]);
  } else {
    return Usage();
  }
  if (rc != kDecryptOk) {
    std::fprintf(stderr, "netlink: %s: %s\n", argv[2], Describe(rc));
    return 1;
  }
  return 0;
}
