// An image button with text: state bits (hot, pushed, captured, focused, disabled),
// an image per state, state colours, and "click" on release over it.
#pragma once

#include "ui/controls/LabelUI.h"

namespace SkinUI {

constexpr unsigned UISTATE_FOCUSED = 0x01;
constexpr unsigned UISTATE_SELECTED = 0x02;
constexpr unsigned UISTATE_DISABLED = 0x04;
constexpr unsigned UISTATE_HOT = 0x08;
constexpr unsigned UISTATE_PUSHED = 0x10;
constexpr unsigned UISTATE_CAPTURED = 0x40;

class CButtonUI : public CLabelUI {
 public:
  CButtonUI();

  const wchar_t* ClassName() const override;
  void* AsInterface(const std::wstring& name) override;
  unsigned ControlFlags() const override;
  bool Activate() override;
  void SetEnabled(bool enabled = true) override;
  void HandleEvent(UIEvent& event) override;
  void ApplyAttribute(const std::wstring& name, const std::wstring& value) override;
  SIZE Measure(SIZE available) override;
  void PaintText(CPaintDC& dc) override;
  void PaintStateImage(CPaintDC& dc) override;

  unsigned ButtonState() const { return m_uButtonState; }
  void SetNormalImage(const std::wstring& d) { SetImage(m_sNormalImage, d); }
  void SetHotImage(const std::wstring& d) { SetImage(m_sHotImage, d); }
  void SetPushedImage(const std::wstring& d) { SetImage(m_sPushedImage, d); }
  void SetFocusedImage(const std::wstring& d) { SetImage(m_sFocusedImage, d); }
  void SetDisabledImage(const std::wstring& d) { SetImage(m_sDisabledImage, d); }
  void SetForeImage(const std::wstring& d) { SetImage(m_sForeImage, d); }
  void SetHotForeImage(const std::wstring& d) { SetImage(m_sHotForeImage, d); }
  void SetPushedForeImage(const std::wstring& d) { SetImage(m_sPushedForeImage, d); }
  void SetDisabledForeImage(const std::wstring& d) { SetImage(m_sDisabledForeImage, d); }
  std::wstring NormalImage() const { return m_sNormalImage; }
  std::wstring HotImage() const { return m_sHotImage; }
  std::wstring PushedImage() const { return m_sPushedImage; }
  std::wstring DisabledImage() const { return m_sDisabledImage; }
  bool IsPushFloat() const { return m_bPushFloat; }

 protected:
  void SetImage(std::wstring& slot, const std::wstring& descriptor);
  void DrawFore(CPaintDC& dc);
  // The pushed fore image, moved 1 px right and down with "pushfloat".
  void DrawPushedFore(CPaintDC& dc);
  void RefreshStateBits();

  unsigned m_uButtonState = 0;
  std::wstring m_sNormalImage, m_sHotImage, m_sPushedImage, m_sFocusedImage, m_sDisabledImage;
  std::wstring m_sForeImage, m_sHotForeImage, m_sPushedForeImage, m_sDisabledForeImage;
  uint32_t m_dwHotBkColor = 0, m_dwPushedBkColor = 0, m_dwFocusedBkColor = 0;
  uint32_t m_dwHotTextColor = 0, m_dwPushedTextColor = 0, m_dwFocusedTextColor = 0;
  bool m_bPushFloat = true;
};

}  // namespace SkinUI
