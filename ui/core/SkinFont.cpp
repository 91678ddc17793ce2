// Window fonts on Pango (see SkinFont.h), and the fontconfig aliases that give
// the skins' Chinese UI face names an installed CJK font.
#include "ui/core/SkinFont.h"

#include <fontconfig/fontconfig.h>
#include <pango/pangocairo.h>

#include <mutex>

#include "platform/Text.h"

namespace SkinUI {

namespace {

constexpr const char kAliases[] =
    "<?xml version=\"1.0\"?>\n"
    "<!DOCTYPE fontconfig SYSTEM \"fonts.dtd\">\n"
    "<fontconfig>\n"
    "  <alias binding=\"same\"><family>\xE5\xBE\xAE\xE8\xBD\xAF\xE9\x9B\x85\xE9\xBB\x91</family>"
    "<prefer><family>WenQuanYi Micro Hei</family><family>Noto Sans CJK SC</family></prefer></alias>\n"
    "  <alias binding=\"same\"><family>Microsoft YaHei</family>"
    "<prefer><family>WenQuanYi Micro Hei</family><family>Noto Sans CJK SC</family></prefer></alias>\n"
    "</fontconfig>\n";

}  // namespace

void InstallFontAliases() {
  static std::once_flag once;
  std::call_once(once, [] {
    FcInit();
    FcConfig* config = FcConfigGetCurrent();
    if (config != nullptr) {
      FcConfigParseAndLoadFromMemory(config, reinterpret_cast<const FcChar8*>(kAliases), FcTrue);
    }
  });
}

struct SkinFont::Native {
  PangoFontDescription* description = nullptr;
  bool hasMetrics = false;
  Metrics metrics;
  ~Native() {
    if (description != nullptr) pango_font_description_free(description);
  }
};

SkinFont::SkinFont(const std::wstring& face, int size, bool bold, bool underline, bool italic)
    : m_strFace(face.substr(0, 31)), m_nSize(size), m_bBold(bold), m_bUnderline(underline), m_bItalic(italic) {}

SkinFont::~SkinFont() = default;

const void* SkinFont::NativeDescription() const {
  if (!m_pNative) {
    InstallFontAliases();
    auto native = std::make_unique<Native>();
    native->description = pango_font_description_new();
    std::string family = platform::WideToUtf8(m_strFace);
    pango_font_description_set_family(native->description, family.empty() ? "Sans" : family.c_str());
    // Size is the character height in pixels (the em), as the skins give it.
    int pixels = m_nSize > 0 ? m_nSize : 12;
    pango_font_description_set_absolute_size(native->description, static_cast<double>(pixels) * PANGO_SCALE);
    pango_font_description_set_weight(native->description, m_bBold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
    pango_font_description_set_style(native->description, m_bItalic ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
    m_pNative = std::move(native);
  }
  return m_pNative->description;
}

const SkinFont::Metrics& SkinFont::TextMetrics() const {
  const auto* description = static_cast<const PangoFontDescription*>(NativeDescription());
  if (!m_pNative->hasMetrics) {
    PangoFontMap* map = pango_cairo_font_map_get_default();  // this thread's map; not owned
    PangoContext* context = pango_font_map_create_context(map);
    PangoFontMetrics* metrics = pango_context_get_metrics(context, description, nullptr);
    if (metrics != nullptr) {
      Metrics& m = m_pNative->metrics;
      m.ascent = PANGO_PIXELS_CEIL(pango_font_metrics_get_ascent(metrics));
      m.descent = PANGO_PIXELS_CEIL(pango_font_metrics_get_descent(metrics));
      m.height = m.ascent + m.descent;
      m.aveCharWidth = PANGO_PIXELS(pango_font_metrics_get_approximate_char_width(metrics));
      pango_font_metrics_unref(metrics);
    }
    g_object_unref(context);
    m_pNative->hasMetrics = true;
  }
  return m_pNative->metrics;
}

}  // namespace SkinUI
