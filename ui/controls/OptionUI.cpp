// Check options and option groups.
#include "ui/controls/OptionUI.h"

#include "ui/controls/AttributeValue.h"
#include "ui/core/RenderEngine.h"
#include "ui/core/SkinManagerUI.h"

namespace SkinUI {

COptionUI::~COptionUI() { LeaveGroup(); }

const wchar_t* COptionUI::ClassName() const { return L"OptionUI"; }

void* COptionUI::AsInterface(const std::wstring& name) {
  if (name == L"Option") return static_cast<CControlUI*>(this);
  return CButtonUI::AsInterface(name);
}

void COptionUI::JoinGroup() {
  if (m_bInGroupList || m_pManager == nullptr || !m_bInitialised || m_sGroupName.empty()) return;
  m_pManager->AddOptionGroup(m_sGroupName, this);
  m_bInGroupList = true;
}

void COptionUI::LeaveGroup() {
  if (!m_bInGroupList) return;
  if (m_pManager != nullptr) m_pManager->RemoveOptionGroup(m_sGroupName, this);
  m_bInGroupList = false;
}

void COptionUI::Bind(CSkinManagerUI* manager, CControlUI* parent, bool init) {
  if (manager != m_pManager) {
    LeaveGroup();
    m_bInitialised = false;
  }
  CButtonUI::Bind(manager, parent, init);
  if (init && manager != nullptr) {
    m_bInitialised = true;
    JoinGroup();
  }
}

void COptionUI::SetGroup(const std::wstring& name) {
  if (name == m_sGroupName) return;
  LeaveGroup();
  m_sGroupName = name;
  JoinGroup();
  // Keep the group exclusive when a selected option joins it.
  if (m_bSelected) DeselectOthers();
  Invalidate();
}

void COptionUI::DeselectOthers() {
  if (m_pManager == nullptr || m_sGroupName.empty()) return;
  const std::vector<COptionUI*>* group = m_pManager->OptionGroup(m_sGroupName);
  if (group == nullptr) return;
  // A copy: deselecting may run page code that edits the group.
  std::vector<COptionUI*> members = *group;
  for (COptionUI* other : members) {
    if (other != this && other->IsSelected()) other->Select(false);
  }
}

void COptionUI::Select(bool selected) {
  if (m_bSelected == selected) return;
  m_bSelected = selected;
  if (selected) {
    m_uButtonState |= UISTATE_SELECTED;
  } else {
    m_uButtonState &= ~UISTATE_SELECTED;
  }
  if (m_pManager != nullptr) {
    if (m_sGroupName.empty()) {
      m_pManager->RaiseNotification(this, L"selectchanged");
    } else if (selected) {
      DeselectOthers();
      m_pManager->RaiseNotification(this, L"selectchanged");
    }
  }
  Invalidate();
}

bool COptionUI::Activate() {
  if (!CControlUI::Activate()) return false;
  if (m_pManager != nullptr) m_pManager->RaiseNotification(this, L"click");
  Select(m_sGroupName.empty() ? !m_bSelected : true);
  return true;
}

void COptionUI::SetEnabled(bool enabled) {
  CButtonUI::SetEnabled(enabled);
  if (m_bSelected) m_uButtonState |= UISTATE_SELECTED;
}

void COptionUI::ApplyAttribute(const std::wstring& name, const std::wstring& value) {
  const wchar_t* v = value.c_str();
  if (name == L"group") {
    SetGroup(value);
  } else if (name == L"selected") {
    Select(ParseBool(v));
  } else if (name == L"selectedimage") {
    SetImage(m_sSelectedImage, value);
  } else if (name == L"selectedhotimage") {
    SetImage(m_sSelectedHotImage, value);
  } else if (name == L"foreimage") {
    SetImage(m_sOptionForeImage, value);
  } else if (name == L"normaldisabledimage") {
    SetImage(m_sNormalDisabledImage, value);
  } else if (name == L"selecteddisabledimage") {
    SetImage(m_sSelectedDisabledImage, value);
  } else if (name == L"selectedbkcolor") {
    m_dwSelectedBkColor = ParseColor(v);
  } else if (name == L"selectedtextcolor") {
    m_dwSelectedTextColor = ParseColor(v);
  } else {
    CButtonUI::ApplyAttribute(name, value);
  }
}

void COptionUI::PaintStateImage(CPaintDC& dc) {
  m_uButtonState &= ~UISTATE_PUSHED;
  if (!IsEnabled()) {
    const std::wstring& image = m_bSelected ? m_sSelectedDisabledImage : m_sNormalDisabledImage;
    if (!image.empty()) DrawImage(dc, image);
    return;
  }
  if ((m_uButtonState & UISTATE_HOT) != 0 && m_bSelected && !m_sSelectedHotImage.empty()) {
    DrawImage(dc, m_sSelectedHotImage);
  } else if (m_bSelected) {
    if (!m_sSelectedImage.empty()) {
      DrawImage(dc, m_sSelectedImage);
    } else if (m_dwSelectedBkColor != 0) {
      CRenderEngine::DrawColor(&dc, m_rcPaint, m_dwSelectedBkColor);
      return;
    } else {
      CButtonUI::PaintStateImage(dc);
    }
  } else {
    CButtonUI::PaintStateImage(dc);
  }
  if (!m_sOptionForeImage.empty()) DrawImage(dc, m_sOptionForeImage);
}

void COptionUI::PaintText(CPaintDC& dc) {
  if (m_bSelected && m_dwSelectedTextColor != 0) {
    ResolveTextColors();
    uint32_t saved = m_dwTextColor;
    m_dwTextColor = m_dwSelectedTextColor;
    CButtonUI::PaintText(dc);
    m_dwTextColor = saved;
    return;
  }
  CButtonUI::PaintText(dc);
}

}  // namespace SkinUI
