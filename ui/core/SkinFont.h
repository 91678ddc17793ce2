// A window font: face, pixel size and style, with the text-system font and its
// metrics made on first use (hidden behind a pointer to implementation).
#pragma once

#include <memory>
#include <string>

namespace SkinUI {

class SkinFont {
 public:
  struct Metrics {
    int height = 0;  // ascent + descent, pixels
    int ascent = 0;
    int descent = 0;
    int aveCharWidth = 0;
  };
  // `size` is the character height in pixels; the face is cut to 31 characters.
  SkinFont(const std::wstring& face, int size, bool bold = false, bool underline = false,
           bool italic = false);
  ~SkinFont();
  SkinFont(const SkinFont&) = delete;
  SkinFont& operator=(const SkinFont&) = delete;

  const std::wstring& Face() const { return m_strFace; }
  int Size() const { return m_nSize; }
  bool Bold() const { return m_bBold; }
  bool Underline() const { return m_bUnderline; }
  bool Italic() const { return m_bItalic; }
  const Metrics& TextMetrics() const;

  // The text system's font description (made on first use); for the drawing
  // module, which knows its type.
  const void* NativeDescription() const;

 private:
  struct Native;
  std::wstring m_strFace;
  int m_nSize;
  bool m_bBold;
  bool m_bUnderline;
  bool m_bItalic;
  mutable std::unique_ptr<Native> m_pNative;
};

// Registers the fontconfig aliases that map the skins' Chinese UI face names to an
// installed CJK font. Idempotent; run before the first text layout of the process
// (the drawing functions call it themselves).
void InstallFontAliases();

}  // namespace SkinUI
