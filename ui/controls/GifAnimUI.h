// An animated image player: loads a GIF (all frames and delays), shows one frame
// stretched over the control and advances on its own timer.
#pragma once

#include <memory>

#include "ui/controls/ControlUI.h"

namespace SkinUI {

class CAnimatedImage;

class CGifAnimUI : public CControlUI {
 public:
  static constexpr unsigned kTimerId = 100;

  CGifAnimUI();
  ~CGifAnimUI() override;

  const wchar_t* ClassName() const override;
  void* AsInterface(const std::wstring& name) override;
  void PrepareContent() override;
  void SetVisible(bool visible = true) override;
  void HandleEvent(UIEvent& event) override;
  void ApplyAttribute(const std::wstring& name, const std::wstring& value) override;
  void Paint(CPaintDC& dc, const RECT& paint) override;

  // The file of the animation (a name, not a descriptor).
  std::wstring ImageFile() const { return m_sGifFile; }
  void SetImageFile(const std::wstring& name);
  bool IsAutoPlay() const { return m_bAutoPlay; }
  void SetAutoPlay(bool b) { m_bAutoPlay = b; }
  bool IsAutoSize() const { return m_bAutoSize; }
  void SetAutoSize(bool b) { m_bAutoSize = b; }
  bool IsPlaying() const { return m_bPlaying; }
  int FrameCount() const { return m_nFrameCount; }
  int CurrentFrame() const { return m_nFramePosition; }
  void Play();
  void Stop();

 private:
  void LoadImage();
  void FreeImage();
  void OnTimerTick();
  // Timer period of a frame in ms (100 when the frame has no delay).
  unsigned FramePeriod(int frame) const;

  std::wstring m_sGifFile;
  std::unique_ptr<CAnimatedImage> m_pImage;
  int m_nFrameCount = 0;
  int m_nFramePosition = 0;
  bool m_bLoadFailed = false;  // not retried until the file changes
  bool m_bAutoPlay = true;
  bool m_bAutoSize = false;
  bool m_bPlaying = false;
};

}  // namespace SkinUI
