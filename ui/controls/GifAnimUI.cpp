// Animated image player.
#include "ui/controls/GifAnimUI.h"

#include "ui/controls/AttributeValue.h"
#include "ui/core/SkinManagerUI.h"
#include "ui/utils/AnimatedImage.h"
#include "ui/utils/SkinResources.h"

namespace SkinUI {

CGifAnimUI::CGifAnimUI() = default;

CGifAnimUI::~CGifAnimUI() { Stop(); }

const wchar_t* CGifAnimUI::ClassName() const { return L"GifAnimUI"; }

void* CGifAnimUI::AsInterface(const std::wstring& name) {
  if (name == L"GifAnim") return static_cast<CControlUI*>(this);
  return CControlUI::AsInterface(name);
}

void CGifAnimUI::PrepareContent() { LoadImage(); }

void CGifAnimUI::LoadImage() {
  if (m_pImage || m_bLoadFailed || m_sGifFile.empty()) return;
  m_pImage = LoadAnimatedImage(m_sGifFile);
  if (!m_pImage || m_pImage->FrameCount() == 0) {
    m_pImage.reset();
    m_bLoadFailed = true;
    return;
  }
  m_nFrameCount = m_pImage->FrameCount();
  m_nFramePosition = 0;
  if (m_bAutoSize) {
    SetFixedWidth(m_pImage->Width());
    SetFixedHeight(m_pImage->Height());
  }
  if (m_bAutoPlay && m_pImage->HasDelays()) Play();
}

void CGifAnimUI::FreeImage() {
  Stop();
  m_pImage.reset();
  m_nFrameCount = 0;
  m_nFramePosition = 0;
}

unsigned CGifAnimUI::FramePeriod(int frame) const {
  int delay = m_pImage ? m_pImage->DelayOf(frame) : 0;
  return delay > 0 ? static_cast<unsigned>(delay) * 10u : 100u;
}

void CGifAnimUI::Play() {
  // A still image (one frame, no delays) is drawn but never played.
  if (m_bPlaying || !m_pImage || m_nFrameCount < 2 || m_pManager == nullptr) return;
  if (m_pManager->StartTimer(this, kTimerId, FramePeriod(m_nFramePosition))) m_bPlaying = true;
}

void CGifAnimUI::Stop() {
  if (!m_bPlaying) return;
  if (m_pManager != nullptr) m_pManager->StopTimer(this, kTimerId);
  m_bPlaying = false;
}

void CGifAnimUI::SetVisible(bool visible) {
  CControlUI::SetVisible(visible);
  if (visible) {
    Play();
  } else if (m_bPlaying) {
    Stop();
    m_nFramePosition = 0;
    Invalidate();
  }
}

void CGifAnimUI::HandleEvent(UIEvent& event) {
  // Only its own timer; every other event ends here.
  if (event.kind == UIEVENT_TIMER && event.wParam == kTimerId) OnTimerTick();
}

void CGifAnimUI::OnTimerTick() {
  if (m_pManager == nullptr || !m_pImage || m_nFrameCount == 0) return;
  m_pManager->StopTimer(this, kTimerId);
  Invalidate();
  m_nFramePosition = (m_nFramePosition + 1) % m_nFrameCount;
  m_pManager->StartTimer(this, kTimerId, FramePeriod(m_nFramePosition));
}

void CGifAnimUI::ApplyAttribute(const std::wstring& name, const std::wstring& value) {
  if (name == L"bkimage") {
    SetImageFile(value);
  } else if (name == L"autoplay") {
    SetAutoPlay(ParseBool(value.c_str()));
  } else if (name == L"autosize") {
    SetAutoSize(ParseBool(value.c_str()));
  } else {
    CControlUI::ApplyAttribute(name, value);
  }
}

void CGifAnimUI::SetImageFile(const std::wstring& name) {
  if (name == m_sGifFile) return;
  FreeImage();
  m_sGifFile = name;
  m_bLoadFailed = false;
  Invalidate();
}

void CGifAnimUI::Paint(CPaintDC& dc, const RECT& paint) {
  if (!UIIntersectRect(m_rcPaint, paint, m_rcItem)) return;
  if (!m_pImage) LoadImage();
  if (!m_pImage) return;
  m_pImage->DrawFrame(dc, m_nFramePosition, m_rcItem);
}

}  // namespace SkinUI
