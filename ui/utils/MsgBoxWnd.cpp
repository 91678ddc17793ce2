// The skinned message box: fills its text, caption, icon and buttons and
// sizes itself to the text.
#include "ui/utils/MsgBoxWnd.h"

#include <algorithm>
#include <cstdio>

#include "ui/controls/ControlUI.h"

namespace SkinUI {

CMsgBoxWnd::CMsgBoxWnd(std::wstring text, std::wstring caption, int type)
    : m_strText(std::move(text)), m_strCaption(std::move(caption)), m_nType(type) {}

void CMsgBoxWnd::OnSkinReady() {
  std::wstring text;
  for (size_t i = 0; i < m_strText.size(); ++i) {
    if (m_strText.compare(i, 2, L"\r\n") == 0) {
      text += L"\r\n\r\n";
      ++i;
    } else {
      text += m_strText[i];
    }
  }
  CControlUI* content = m_pm.ControlByName(L"TextContent");
  if (content) content->SetText(text);
  if (CControlUI* title = m_pm.ControlByName(L"LabelTitle")) title->SetText(m_strCaption);
  SIZE sz{};
  if (content) sz = content->Measure(SIZE{1000, 1000});
  SetClientSize(std::max(200, static_cast<int>(sz.cx) + 130), sz.cy + 130);
  CenterOnOwner();
  const int t = (sz.cy + 30) / 2;
  const wchar_t* format = nullptr;
  const wchar_t* okText = nullptr;
  const wchar_t* cancelText = nullptr;
  int showCancel = -1;  // -1 unchanged
  switch (m_nType) {
    case 0:
      format = L"file='MsgBoxIcon.png' source='32,0,64,32' dest='0,%d,32,%d'";
      showCancel = 0;
      break;
    case 1:
      format = L"file='MsgBoxIcon.png' source='0,0,32,32' dest='0,%d,32,%d'";
      showCancel = 1;
      okText = L"确定";
      cancelText = L"取消";
      break;
    case 4:
      format = L"file='MsgBoxIcon.png' source='64,0,96,32' dest='0,%d,32,%d'";
      showCancel = 1;
      okText = L"是";
      cancelText = L"否";
      break;
    default:
      break;
  }
  if (format) {
    if (CControlUI* icon = m_pm.ControlByName(L"CtrlIcon")) {
      wchar_t buf[160];
      std::swprintf(buf, sizeof buf / sizeof buf[0], format, t, t + 32);
      icon->SetBackgroundImage(buf);
    }
  }
  CControlUI* ok = m_pm.ControlByName(L"BtnOk");
  CControlUI* cancel = m_pm.ControlByName(L"BtnCancel");
  if (cancel && showCancel >= 0) cancel->SetVisible(showCancel == 1);
  if (ok && okText) ok->SetText(okText);
  if (cancel && cancelText) cancel->SetText(cancelText);
}

void CMsgBoxWnd::OnClick(UINotification& msg) {
  const std::wstring name = msg.sender ? msg.sender->Name() : L"";
  if (name == L"BtnOk") {
    Close(1);
  } else if (name == L"BtnCancel") {
    Close(2);
  }
  WindowImplBase::OnClick(msg);
}

}  // namespace SkinUI
