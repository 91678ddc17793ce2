// The plain container: an ordered list of owned children with an inset, placing
// floating children by their "pos" and clipping children when painting.
#pragma once

#include <memory>
#include <vector>

#include "ui/controls/ControlUI.h"

namespace SkinUI {

// Item access of a container. Add and AddAt take ownership: a child that is refused
// (false) is destroyed.
class IContainerUI {
 public:
  virtual CControlUI* ItemAt(int index) const = 0;
  virtual int ItemIndex(CControlUI* control) const = 0;
  virtual int Count() const = 0;
  virtual bool Add(std::unique_ptr<CControlUI> control) = 0;
  virtual bool AddAt(std::unique_ptr<CControlUI> control, int index) = 0;
  // Removes and destroys (at once, or after the current event with delayed destroy).
  virtual bool Remove(CControlUI* control) = 0;
  virtual void RemoveAll() = 0;

 protected:
  ~IContainerUI() = default;
};

class CContainerUI : public CControlUI, public IContainerUI {
 public:
  CContainerUI();
  ~CContainerUI() override;

  const wchar_t* ClassName() const override;
  void* AsInterface(const std::wstring& name) override;

  CControlUI* ItemAt(int index) const override;
  int ItemIndex(CControlUI* control) const override;
  int Count() const override;
  bool Add(std::unique_ptr<CControlUI> control) override;
  bool AddAt(std::unique_ptr<CControlUI> control, int index) override;
  bool Remove(CControlUI* control) override;
  void RemoveAll() override;
  // Takes a child out without destroying it (null when it is not a child).
  std::unique_ptr<CControlUI> Detach(CControlUI* control);

  void Bind(CSkinManagerUI* manager, CControlUI* parent, bool init = true) override;
  void SetVisible(bool visible = true) override;
  void SetInnerVisible(bool visible = true) override;
  void SetMouseEnabled(bool enabled = true) override;
  bool IsContainer() const override;
  CControlUI* Visit(FindControlProc proc, void* data, unsigned flags) override;
  void HandleEvent(UIEvent& event) override;
  void ApplyAttribute(const std::wstring& name, const std::wstring& value) override;
  void Place(const RECT& rc) override;
  void Paint(CPaintDC& dc, const RECT& paint) override;

  // ---- Container operations ----
  virtual RECT Inset() const;
  virtual void SetInset(const RECT& rc);
  virtual int ChildPadding() const;
  virtual void SetChildPadding(int padding);
  virtual bool IsAutoDestroy() const;
  virtual void SetAutoDestroy(bool b);
  virtual bool IsDelayedDestroy() const;
  virtual void SetDelayedDestroy(bool b);
  virtual bool IsMouseChildEnabled() const;
  virtual void SetMouseChildEnabled(bool b);
  // Enables / mouse-enables every child, recursing into nested containers.
  virtual void SetEnabledAll(bool b);
  virtual void SetMouseEnabledAll(bool b);
  // Places the floating child at `index` from its fixed position and size, relative
  // to this container's item rectangle.
  virtual void PlaceFloating(int index);
  // No scroll bars exist in this build; kept for the layouts' final step.
  virtual void UpdateScrollBars(const RECT& rc, int width, int height);

  // The item rectangle minus the inset.
  RECT InsetRect() const;

 protected:
  std::vector<std::unique_ptr<CControlUI>> m_items;
  RECT m_rcInset{};
  int m_nChildPadding = 0;
  bool m_bAutoDestroy = true;
  bool m_bDelayedDestroy = true;
  bool m_bMouseChildEnabled = true;
};

}  // namespace SkinUI
