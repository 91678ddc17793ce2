// The skin builder: window resources and attributes, the element-name table and the
// recursive build of the control tree.
#include "ui/core/SkinBuilder.h"

#include <cwchar>

#include "platform/Resources.h"
#include "ui/controls/AttributeValue.h"
#include "ui/controls/ButtonUI.h"
#include "ui/controls/ContainerUI.h"
#include "ui/controls/ControlUI.h"
#include "ui/controls/EditUI.h"
#include "ui/controls/GifAnimUI.h"
#include "ui/controls/LabelUI.h"
#include "ui/controls/OptionUI.h"
#include "ui/controls/ProgressUI.h"
#include "ui/controls/VerticalLayoutUI.h"
#include "ui/core/SkinManagerUI.h"

namespace SkinUI {

namespace {

// A skin including itself would otherwise recurse until the stack is gone.
constexpr int kMaxIncludeDepth = 16;

std::string Narrow(const std::wstring& text) {
  std::string out;
  for (wchar_t ch : text) out.push_back(static_cast<char>(ch < 0x80 ? ch : '?'));
  return out;
}

}  // namespace

std::unique_ptr<CControlUI> CreateControlByName(const std::wstring& name) {
  if (name == L"Control") return std::make_unique<CControlUI>();
  if (name == L"Container") return std::make_unique<CContainerUI>();
  if (name == L"VerticalLayout") return std::make_unique<CVerticalLayoutUI>();
  if (name == L"Label") return std::make_unique<CLabelUI>();
  if (name == L"Button") return std::make_unique<CButtonUI>();
  if (name == L"Option") return std::make_unique<COptionUI>();
  if (name == L"Edit") return std::make_unique<CEditUI>();
  if (name == L"Progress") return std::make_unique<CProgressUI>();
  if (name == L"GifAnim") return std::make_unique<CGifAnimUI>();
  return nullptr;
}

CSkinBuilder::CSkinBuilder() : m_xml(true) {}

bool CSkinBuilder::Load(const std::wstring& skin, const std::wstring& type) {
  if (!type.empty()) {
    m_sResType = type;
    platform::ResourceBlob blob;
    int id = ParseInt(skin.c_str());
    if (!platform::FindResource(Narrow(type), id, &blob) || blob.data == nullptr) return false;
    return m_xml.LoadFromBytes(blob.data, blob.size);
  }
  if (!skin.empty() && skin[0] == L'<') return m_xml.LoadFromText(skin.c_str());
  return m_xml.LoadFromFile(skin);
}

std::unique_ptr<CControlUI> CSkinBuilder::Create(const std::wstring& skin, const std::wstring& type,
                                                 IDialogBuilderCallback* callback, CSkinManagerUI* manager) {
  CContainerUI holder;
  CControlUI* first = Create(skin, type, callback, manager, &holder);
  if (first == nullptr) return nullptr;
  return holder.Detach(first);
}

void CSkinBuilder::ApplyWindowResources(CSkinManagerUI* manager) {
  CSkinMarkupNode root = m_xml.Root();
  for (CSkinMarkupNode node = root.FirstChild(); node.IsValid(); node = node.NextSibling()) {
    const std::wstring name = node.Name();
    if (name == L"Image") {
      const wchar_t* file = node.AttributeValue(L"name");
      const wchar_t* restype = node.AttributeValue(L"restype");
      const wchar_t* mask = node.AttributeValue(L"mask");
      if (file != nullptr) manager->CacheImage(file, restype != nullptr ? restype : L"", mask != nullptr ? ParseColor(mask) : 0);
    } else if (name == L"Font") {
      const wchar_t* face = node.AttributeValue(L"name");
      if (face == nullptr) continue;
      const wchar_t* size = node.AttributeValue(L"size");
      manager->AddFont(face, size != nullptr ? ParseInt(size) : 12, ParseBool(node.AttributeValue(L"bold")),
                       ParseBool(node.AttributeValue(L"underline")), ParseBool(node.AttributeValue(L"italic")),
                       ParseBool(node.AttributeValue(L"default")));
    } else if (name == L"Default") {
      const wchar_t* element = node.AttributeValue(L"name");
      const wchar_t* value = node.AttributeValue(L"value");
      if (element != nullptr && value != nullptr) manager->AddDefaultAttributeList(element, value);
    }
  }

  if (std::wcscmp(root.Name(), L"Window") != 0 || manager->Host() == nullptr) return;
  for (int i = 0; i < root.AttributeCount(); ++i) {
    const std::wstring name = root.AttributeName(i);
    const wchar_t* v = root.AttributeValue(i);
    SIZE sz;
    RECT rc;
    if (name == L"size") {
      if (ParsePair(v, sz)) manager->SetInitSize(sz.cx, sz.cy);
    } else if (name == L"sizebox") {
      if (ParseRect(v, rc)) manager->SetSizeBox(rc);
    } else if (name == L"caption") {
      if (ParseRect(v, rc)) manager->SetCaptionRect(rc);
    } else if (name == L"roundcorner") {
      if (ParsePair(v, sz)) manager->SetRoundCorner(sz.cx, sz.cy);
    } else if (name == L"mininfo") {
      if (ParsePair(v, sz)) manager->SetMinInfo(sz.cx, sz.cy);
    } else if (name == L"maxinfo") {
      if (ParsePair(v, sz)) manager->SetMaxInfo(sz.cx, sz.cy);
    } else if (name == L"showdirty") {
      manager->SetShowDirty(ParseBool(v));
    } else if (name == L"alpha") {
      manager->SetAlpha(ParseInt(v));
    } else if (name == L"bktrans") {
      manager->SetBackgroundTransparent(ParseBool(v));
    } else if (name == L"disabledfontcolor") {
      manager->SetDefaultDisabledColor(ParseColor(v));
    } else if (name == L"defaultfontcolor") {
      manager->SetDefaultFontColor(ParseColor(v));
    } else if (name == L"linkfontcolor") {
      manager->SetDefaultLinkFontColor(ParseColor(v));
    } else if (name == L"linkhoverfontcolor") {
      manager->SetDefaultLinkHoverFontColor(ParseColor(v));
    } else if (name == L"selectedcolor") {
      manager->SetDefaultSelectedBkColor(ParseColor(v));
    } else if (name == L"shadowsize") {
      manager->Shadow().SetSize(ParseInt(v));
    } else if (name == L"shadowsharpness") {
      manager->Shadow().SetSharpness(ParseInt(v));
    } else if (name == L"shadowdarkness") {
      manager->Shadow().SetDarkness(ParseInt(v));
    } else if (name == L"shadowpositon") {
      if (ParsePair(v, sz)) manager->Shadow().SetPosition(sz.cx, sz.cy);
    } else if (name == L"shadowcolor") {
      manager->Shadow().SetColor(ParseColor(v));
    } else if (name == L"shadowcorner") {
      if (ParseRect(v, rc)) manager->Shadow().SetCorner(rc);
    } else if (name == L"shadowimage") {
      manager->Shadow().SetImage(v);
    } else if (name == L"showshadow") {
      manager->Shadow().show = ParseBool(v);
    }
  }
}

CControlUI* CSkinBuilder::Create(const std::wstring& skin, const std::wstring& type, IDialogBuilderCallback* callback,
                                 CSkinManagerUI* manager, CControlUI* parent) {
  // Without a parent nothing would own the controls (the other overload keeps one).
  if (parent == nullptr) return nullptr;
  m_pCallback = callback;
  if (!Load(skin, type)) return nullptr;
  if (manager != nullptr) ApplyWindowResources(manager);
  bool failed = false;
  CControlUI* first = BuildChildren(m_xml.Root(), parent, manager, failed);
  return failed ? nullptr : first;
}

void CSkinBuilder::Include(CSkinMarkupNode node, CControlUI* parent, CSkinManagerUI* manager) {
  const wchar_t* countText = node.AttributeValue(L"count");
  int count = countText != nullptr ? ParseInt(countText) : 1;
  wchar_t source[500] = {};
  if (!node.AttributeValue(L"source", source, 500) || count <= 0) return;
  if (m_nIncludeDepth >= kMaxIncludeDepth) return;
  for (int i = 0; i < count; ++i) {
    CSkinBuilder builder;
    builder.m_pCallback = m_pCallback;
    builder.m_nIncludeDepth = m_nIncludeDepth + 1;
    if (!builder.Load(source, m_sResType)) return;
    bool failed = false;
    builder.BuildChildren(builder.m_xml.Root(), parent, manager, failed);
    if (failed) return;
  }
}

CControlUI* CSkinBuilder::BuildChildren(CSkinMarkupNode parentNode, CControlUI* parent, CSkinManagerUI* manager,
                                        bool& failed) {
  CControlUI* first = nullptr;
  for (CSkinMarkupNode node = parentNode.FirstChild(); node.IsValid(); node = node.NextSibling()) {
    const std::wstring name = node.Name();
    if (name == L"Image" || name == L"Font" || name == L"Default") continue;
    if (name == L"Include") {
      Include(node, parent, manager);
      continue;
    }
    std::unique_ptr<CControlUI> control = CreateControlByName(name);
    if (!control && m_pCallback != nullptr) control = m_pCallback->MakeControl(name);
    if (!control) continue;  // unknown element: skipped with its subtree

    if (node.HasChildren()) {
      BuildChildren(node, control.get(), manager, failed);
      if (failed) return nullptr;
    }

    CControlUI* raw = control.get();
    if (parent != nullptr) {
      auto* container = static_cast<IContainerUI*>(parent->AsInterface(L"IContainer"));
      if (container == nullptr) {
        failed = true;
        return nullptr;
      }
      if (!container->Add(std::move(control))) continue;
    }

    if (manager != nullptr) {
      // Attached only while its attributes are read (a live parent keeps its own binding).
      CSkinManagerUI* before = raw->Manager();
      raw->Bind(manager, raw->Parent(), false);
      std::wstring defaults = manager->DefaultAttributeList(name);
      if (!defaults.empty()) raw->ApplyAttributeList(defaults);
      for (int i = 0; i < node.AttributeCount(); ++i) raw->ApplyAttribute(node.AttributeName(i), node.AttributeValue(i));
      raw->Bind(before, raw->Parent(), false);
      if (before != nullptr) before->RegisterNames(raw);
    }
    if (first == nullptr) first = raw;
  }
  return first;
}

}  // namespace SkinUI
