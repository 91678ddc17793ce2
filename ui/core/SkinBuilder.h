// Turns a skin file into a tree of controls: window-wide fonts, images, default
// attributes and window attributes go to the manager, every other element becomes a
// control of the class its name selects.
#pragma once

#include <memory>
#include <string>

#include "ui/core/SkinMarkup.h"

namespace SkinUI {

class CControlUI;
class CSkinManagerUI;

// Asked for element names the builder does not know.
class IDialogBuilderCallback {
 public:
  virtual std::unique_ptr<CControlUI> MakeControl(const std::wstring& className) = 0;

 protected:
  ~IDialogBuilderCallback() = default;
};

// A new control for a built-in element name ("Button", "VerticalLayout", ...), or null.
std::unique_ptr<CControlUI> CreateControlByName(const std::wstring& elementName);

class CSkinBuilder {
 public:
  CSkinBuilder();
  CSkinBuilder(const CSkinBuilder&) = delete;
  CSkinBuilder& operator=(const CSkinBuilder&) = delete;

  // `skin`: with a `type`, the decimal id of a packaged resource of that type; text
  // starting with '<' is the XML itself; anything else a skin file name. `callback`
  // and `manager` may be null (no manager: no fonts, images, defaults or window
  // settings). Returns the first top-level control (the others are dropped), or null
  // when the skin cannot be loaded or a parent is no container.
  std::unique_ptr<CControlUI> Create(const std::wstring& skin, const std::wstring& type,
                                     IDialogBuilderCallback* callback, CSkinManagerUI* manager);
  // Builds the top-level controls into `parent` (which keeps them) and returns the
  // first of them (not owned), or null (also for a null parent).
  CControlUI* Create(const std::wstring& skin, const std::wstring& type, IDialogBuilderCallback* callback,
                     CSkinManagerUI* manager, CControlUI* parent);

  const CSkinMarkup& Markup() const { return m_xml; }
  // The parser's message after a failed load.
  std::wstring LastError() const { return m_xml.LastError(); }

 private:
  bool Load(const std::wstring& skin, const std::wstring& type);
  void ApplyWindowResources(CSkinManagerUI* manager);
  CControlUI* BuildChildren(CSkinMarkupNode node, CControlUI* parent, CSkinManagerUI* manager, bool& failed);
  void Include(CSkinMarkupNode node, CControlUI* parent, CSkinManagerUI* manager);

  CSkinMarkup m_xml;
  IDialogBuilderCallback* m_pCallback = nullptr;  // not owned
  std::wstring m_sResType;  // set when the skin came from a packaged resource
  int m_nIncludeDepth = 0;
};

}  // namespace SkinUI
