// A single-line text field: drawn by the framework while idle, edited through a
// native editor window that the host creates while the field has the focus.
#pragma once

#include "ui/controls/LabelUI.h"
#include "ui/core/ManagerHostUI.h"

namespace SkinUI {

class SkinFont;

class CEditUI : public CLabelUI {
 public:
  CEditUI();
  ~CEditUI() override;

  const wchar_t* ClassName() const override;
  void* AsInterface(const std::wstring& name) override;
  unsigned ControlFlags() const override;
  void HandleEvent(UIEvent& event) override;
  void ApplyAttribute(const std::wstring& name, const std::wstring& value) override;
  SIZE Measure(SIZE available) override;
  void Place(const RECT& rc) override;
  void SetVisible(bool visible = true) override;
  void SetInnerVisible(bool visible = true) override;
  void SetEnabled(bool enabled = true) override;
  // Stores the text (also into the editor while editing), raises "textchanged".
  void SetText(const std::wstring& text) override;
  void PaintStateImage(CPaintDC& dc) override;
  void PaintText(CPaintDC& dc) override;

  int MaxChar() const { return m_uMaxChar; }
  void SetMaxChar(int maxChars);
  bool IsReadOnly() const { return m_bReadOnly; }
  void SetReadOnly(bool readOnly);
  bool IsNumberOnly() const { return m_bNumberOnly; }
  void SetNumberOnly(bool b) { m_bNumberOnly = b; }
  bool IsPasswordMode() const { return m_bPasswordMode; }
  void SetPasswordMode(bool b);
  wchar_t PasswordChar() const { return m_cPasswordChar; }
  void SetPasswordChar(wchar_t ch);
  std::wstring TipValue() const { return m_sTipValue; }
  void SetTipValue(const std::wstring& text);
  uint32_t TipValueColor() const { return m_dwTipValueColor; }
  // 0 = the text colour.
  uint32_t NativeTextColor() const { return m_dwEditTextColor != 0 ? m_dwEditTextColor : m_dwTextColor; }
  // 0xFFFFFFFF = none (the editor's default colouring).
  uint32_t NativeBkColor() const { return m_dwEditbkColor; }
  unsigned EditState() const { return m_uButtonState; }

  // Where the editor goes: the item rectangle minus the text padding, narrowed to a
  // band of the font height centred in it when the font is lower.
  RECT EditWindowRect() const;
  // The font the editor uses (the edit's, else the window's default).
  const SkinFont* EditFont() const;
  IEditWindowUI* EditWindow() const { return m_pWindow; }

  // ---- Called by the editor window ----
  void OnEditWindowTextChanged(const std::wstring& text);
  void OnEditWindowReturn();
  // The editor is gone (once): repaint, forget it and the hot state.
  void OnEditWindowGone();

 private:
  void OpenEditWindow();
  void SelectAllInEditor();
  void EndEditing();

  IEditWindowUI* m_pWindow = nullptr;  // not owned (see IEditWindowUI)
  int m_uMaxChar = 255;
  bool m_bReadOnly = false;
  bool m_bNumberOnly = false;
  bool m_bPasswordMode = false;
  wchar_t m_cPasswordChar = L'*';
  unsigned m_uButtonState = 0;
  std::wstring m_sNormalImage, m_sHotImage, m_sFocusedImage, m_sDisabledImage;
  std::wstring m_sTipValue;
  uint32_t m_dwTipValueColor = 0xFFBAC0C5;
  uint32_t m_dwEditTextColor = 0;
  uint32_t m_dwEditbkColor = 0xFFFFFFFF;
};

}  // namespace SkinUI
