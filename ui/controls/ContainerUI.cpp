// The plain container: owned children, inset, floating placement, hit-testing
// and clipped painting of children.
#include "ui/controls/ContainerUI.h"

#include "ui/controls/AttributeValue.h"
#include "ui/core/RenderEngine.h"
#include "ui/core/SkinManagerUI.h"

namespace SkinUI {

CContainerUI::CContainerUI() = default;

CContainerUI::~CContainerUI() {
  // Children go first, while this container is still whole.
  m_items.clear();
}

const wchar_t* CContainerUI::ClassName() const { return L"ContainerUI"; }

void* CContainerUI::AsInterface(const std::wstring& name) {
  if (name == L"IContainer") return static_cast<IContainerUI*>(this);
  if (name == L"Container") return static_cast<CControlUI*>(this);
  return CControlUI::AsInterface(name);
}

CControlUI* CContainerUI::ItemAt(int index) const {
  if (index < 0 || index >= static_cast<int>(m_items.size())) return nullptr;
  return m_items[static_cast<size_t>(index)].get();
}

int CContainerUI::ItemIndex(CControlUI* control) const {
  for (size_t i = 0; i < m_items.size(); ++i) {
    if (m_items[i].get() == control) return static_cast<int>(i);
  }
  return -1;
}

int CContainerUI::Count() const { return static_cast<int>(m_items.size()); }

bool CContainerUI::Add(std::unique_ptr<CControlUI> control) {
  return AddAt(std::move(control), static_cast<int>(m_items.size()));
}

bool CContainerUI::AddAt(std::unique_ptr<CControlUI> control, int index) {
  if (!control || index < 0 || index > static_cast<int>(m_items.size())) return false;
  CControlUI* child = control.get();
  m_items.insert(m_items.begin() + index, std::move(control));
  child->Bind(m_pManager, this, m_pManager != nullptr);
  if (m_pManager != nullptr) m_pManager->RegisterNames(child);
  if (IsVisible()) {
    RequestLayout();
  } else {
    child->SetInnerVisible(false);
  }
  return true;
}

namespace {

CControlUI* ReapProc(CControlUI* control, void* data) {
  static_cast<CSkinManagerUI*>(data)->ReapObjects(control);
  return nullptr;
}

}  // namespace

std::unique_ptr<CControlUI> CContainerUI::Detach(CControlUI* control) {
  int index = ItemIndex(control);
  if (index < 0) return nullptr;
  std::unique_ptr<CControlUI> owned = std::move(m_items[static_cast<size_t>(index)]);
  m_items.erase(m_items.begin() + index);
  // Nothing of the window may keep pointing into the detached subtree.
  if (m_pManager != nullptr) owned->Visit(ReapProc, m_pManager, UIFIND_ALL);
  owned->Bind(m_pManager, nullptr, false);
  RequestLayout();
  return owned;
}

bool CContainerUI::Remove(CControlUI* control) {
  std::unique_ptr<CControlUI> owned = Detach(control);
  if (!owned) return false;
  if (m_bDelayedDestroy && m_pManager != nullptr) m_pManager->DelayedDestroy(std::move(owned));
  return true;
}

void CContainerUI::RemoveAll() {
  while (!m_items.empty()) Remove(m_items.back().get());
}

void CContainerUI::Bind(CSkinManagerUI* manager, CControlUI* parent, bool init) {
  for (auto& item : m_items) item->Bind(manager, this, init);
  CControlUI::Bind(manager, parent, init);
}

void CContainerUI::SetVisible(bool visible) {
  if (m_bVisible == visible) return;
  CControlUI::SetVisible(visible);
  for (auto& item : m_items) item->SetInnerVisible(IsVisible());
}

void CContainerUI::SetInnerVisible(bool visible) {
  CControlUI::SetInnerVisible(visible);
  for (auto& item : m_items) item->SetInnerVisible(IsVisible());
}

void CContainerUI::SetMouseEnabled(bool enabled) { CControlUI::SetMouseEnabled(enabled); }

bool CContainerUI::IsContainer() const { return true; }

CControlUI* CContainerUI::Visit(FindControlProc proc, void* data, unsigned flags) {
  if ((flags & UIFIND_VISIBLE) != 0 && !IsVisible()) return nullptr;
  if ((flags & UIFIND_ENABLED) != 0 && !IsEnabled()) return nullptr;
  const bool hitTest = (flags & UIFIND_HITTEST) != 0;
  POINT pt{};
  if (hitTest) {
    pt = *static_cast<POINT*>(data);
    if (!UIPtInRect(m_rcItem, pt)) return nullptr;
    if (!m_bMouseChildEnabled) return proc(this, data);
  }
  if ((flags & UIFIND_ME_FIRST) != 0) {
    if (CControlUI* found = proc(this, data)) return found;
  }
  RECT inset = InsetRect();
  const int n = static_cast<int>(m_items.size());
  const bool topFirst = (flags & UIFIND_TOP_FIRST) != 0;
  for (int k = 0; k < n; ++k) {
    int i = topFirst ? n - 1 - k : k;
    // The child may be removed by the visit itself; take it by index each time.
    if (i >= static_cast<int>(m_items.size())) continue;
    CControlUI* child = m_items[static_cast<size_t>(i)].get();
    if (hitTest && !child->IsFloat() && !UIPtInRect(inset, pt)) continue;
    if (CControlUI* found = child->Visit(proc, data, flags)) return found;
  }
  if ((flags & UIFIND_ME_FIRST) == 0) return proc(this, data);
  return nullptr;
}

void CContainerUI::HandleEvent(UIEvent& event) { CControlUI::HandleEvent(event); }

void CContainerUI::ApplyAttribute(const std::wstring& name, const std::wstring& value) {
  const wchar_t* v = value.c_str();
  if (name == L"inset") {
    RECT rc;
    if (ParseRect(v, rc)) SetInset(rc);
  } else if (name == L"mousechild") {
    SetMouseChildEnabled(ParseBool(v));
  } else if (name == L"childpadding") {
    SetChildPadding(ParseInt(v));
  } else if (name == L"enabledall") {
    SetEnabledAll(ParseBool(v));
  } else if (name == L"mouseenabledall") {
    SetMouseEnabledAll(ParseBool(v));
  } else if (name == L"vscrollbar" || name == L"hscrollbar" || name == L"vscrollbarstyle" ||
             name == L"hscrollbarstyle") {
    // No scroll bars in this build.
  } else {
    CControlUI::ApplyAttribute(name, value);
  }
}

void CContainerUI::Place(const RECT& rc) {
  CControlUI::Place(rc);
  if (m_items.empty()) return;
  RECT inset = InsetRect();
  for (size_t i = 0; i < m_items.size(); ++i) {
    CControlUI* child = m_items[i].get();
    if (!child->IsVisible()) continue;
    if (child->IsFloat()) {
      PlaceFloating(static_cast<int>(i));
    } else {
      child->Place(inset);
    }
  }
}

void CContainerUI::PlaceFloating(int index) {
  CControlUI* c = ItemAt(index);
  if (c == nullptr || !c->IsVisible()) return;
  SIZE xy = c->FixedXY();
  int w = c->FixedWidth();
  int h = c->FixedHeight();
  RECT rc;
  if (xy.cx >= 0) {
    rc.left = m_rcItem.left + xy.cx;
    rc.right = rc.left + w;
  } else {
    rc.right = m_rcItem.right + xy.cx;
    rc.left = rc.right - w;
  }
  if (xy.cy >= 0) {
    rc.top = m_rcItem.top + xy.cy;
    rc.bottom = rc.top + h;
  } else {
    rc.bottom = m_rcItem.bottom + xy.cy;
    rc.top = rc.bottom - h;
  }
  if (c->IsRelativePos()) {
    RelativePosUI rel = c->RelativePos();
    SIZE size{m_rcItem.right - m_rcItem.left, m_rcItem.bottom - m_rcItem.top};
    // Offsets move by the change since the last placement (Place stores the result).
    if (rel.parentSize.cx != 0 || rel.parentSize.cy != 0) {
      int dx = size.cx - rel.parentSize.cx;
      int dy = size.cy - rel.parentSize.cy;
      int mx = dx * rel.moveX / 100, my = dy * rel.moveY / 100;
      rc.left += mx;
      rc.right += mx + dx * rel.zoomX / 100;
      rc.top += my;
      rc.bottom += my + dy * rel.zoomY / 100;
    }
    c->SetRelativeParentSize(size);
  }
  c->Place(rc);
}

void CContainerUI::UpdateScrollBars(const RECT& /*rc*/, int /*width*/, int /*height*/) {}

void CContainerUI::Paint(CPaintDC& dc, const RECT& paint) {
  RECT visible;
  if (!UIIntersectRect(visible, paint, m_rcItem)) return;
  CRenderClip clip = CRenderEngine::ClipTo(&dc, visible);
  CControlUI::Paint(dc, paint);
  if (m_items.empty()) return;
  RECT inset = InsetRect();
  for (size_t i = 0; i < m_items.size(); ++i) {
    CControlUI* child = m_items[i].get();
    if (!child->IsVisible()) continue;
    RECT tmp;
    if (!UIIntersectRect(tmp, paint, child->Rect())) continue;
    if (child->IsFloat()) {
      if (!UIIntersectRect(tmp, m_rcItem, child->Rect())) continue;
      CRenderClip childClip = CRenderEngine::ClipTo(&dc, m_rcItem);
      child->Paint(dc, paint);
    } else {
      if (!UIIntersectRect(tmp, inset, child->Rect())) continue;
      CRenderClip childClip = CRenderEngine::ClipTo(&dc, inset);
      child->Paint(dc, paint);
    }
  }
}

RECT CContainerUI::Inset() const { return m_rcInset; }

void CContainerUI::SetInset(const RECT& rc) {
  m_rcInset = rc;
  RequestLayout();
}

int CContainerUI::ChildPadding() const { return m_nChildPadding; }

void CContainerUI::SetChildPadding(int padding) {
  m_nChildPadding = padding;
  RequestLayout();
}

bool CContainerUI::IsAutoDestroy() const { return m_bAutoDestroy; }
void CContainerUI::SetAutoDestroy(bool b) { m_bAutoDestroy = b; }
bool CContainerUI::IsDelayedDestroy() const { return m_bDelayedDestroy; }
void CContainerUI::SetDelayedDestroy(bool b) { m_bDelayedDestroy = b; }
bool CContainerUI::IsMouseChildEnabled() const { return m_bMouseChildEnabled; }
void CContainerUI::SetMouseChildEnabled(bool b) { m_bMouseChildEnabled = b; }

void CContainerUI::SetEnabledAll(bool b) {
  for (auto& item : m_items) {
    item->SetEnabled(b);
    if (item->IsContainer()) static_cast<CContainerUI*>(item.get())->SetEnabledAll(b);
  }
}

void CContainerUI::SetMouseEnabledAll(bool b) {
  for (auto& item : m_items) {
    item->SetMouseEnabled(b);
    if (item->IsContainer()) static_cast<CContainerUI*>(item.get())->SetMouseEnabledAll(b);
  }
}

RECT CContainerUI::InsetRect() const {
  return RECT{m_rcItem.left + m_rcInset.left, m_rcItem.top + m_rcInset.top, m_rcItem.right - m_rcInset.right,
              m_rcItem.bottom - m_rcInset.bottom};
}

}  // namespace SkinUI
