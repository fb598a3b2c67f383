// Frames and pages of the shown image, and GIF playback on a one-shot window timer that
// each tick re-arms with the delay of the frame it has just shown.

#include <algorithm>
#include <cctype>
#include <unordered_map>

#include "core/image_containers.h"
#include "platform/win/timer.h"
#include "viewer/ImageBox.h"

namespace tavimo {

// What a frame timer's identifier stands for. The control owns it; the thread's table
// below holds it weakly, so a tick whose identifier names no living control is refused
// instead of being taken for a control.
struct FrameTimerLink {
    explicit FrameTimerLink(ImageBox* b) : box(b) {}
    ImageBox* box;
    std::string lastProcedure;
};

namespace {

// The delay a frame without a usable value is shown for.
constexpr int32_t kFallbackDelayMs = 100;

thread_local std::unordered_map<uintptr_t, std::weak_ptr<FrameTimerLink>> t_frameTimerLinks;

void registerLink(uintptr_t id, const std::shared_ptr<FrameTimerLink>& link) {
    std::erase_if(t_frameTimerLinks, [](const auto& entry) { return entry.second.expired(); });
    t_frameTimerLinks[id] = link;
}

std::shared_ptr<FrameTimerLink> findLink(uintptr_t id) {
    auto it = t_frameTimerLinks.find(id);
    if (it == t_frameTimerLinks.end())
        return nullptr;
    auto link = it->second.lock();
    if (!link)
        t_frameTimerLinks.erase(it);
    return link;
}

std::string upperCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

} // namespace

// --- pages and frames ---

QuennetStatus ImageBox::DisplayFrame(int32_t nFrame) {
    bool hadPage = false;
    try {
        hadPage = m_s.m_CurrentPage != 0;
        m_s.m_LastStatus = 0;
        if (nFrame >= 1 && nFrame <= m_s.m_PageCount) {
            m_s.m_RealignH = m_s.m_RealignV = true;
            FreeWorkImage();
            const ImageId id = m_s.m_ImageId;
            if (IsGifContainer(id)) {
                m_s.m_LastStatus = SelectGifFrame(id, nFrame - 1);
                m_s.m_CurrentPage = nFrame;
            } else if (IsTiffContainer(id)) {
                m_s.m_LastStatus = SelectTiffPage(id, nFrame - 1);
                const int32_t current = GetCurrentTiffPage(id);
                m_s.m_CurrentPage = current >= 0 ? current + 1 : nFrame;
            } else {
                // A single image is its own first page: showing it again is no failure
                // (the core would refuse a page query on it and blank the view).
                m_s.m_CurrentPage = 1;
            }
            if (m_s.m_LastStatus == 0) {
                InitImageInfo();
                UpdateLayout();
            } else {
                Clear();
            }
        }
    } catch (...) {
        m_s.m_LastStatus = static_cast<int32_t>(QuennetStatus::GenericError);
    }
    if (hadPage) {
        try {
            raise(ImageBoxEvent::PageChange);
        } catch (...) {
        }
    }
    return static_cast<QuennetStatus>(m_s.m_LastStatus);
}

QuennetStatus ImageBox::DisplayNextFrame() {
    if (m_s.m_CurrentPage < m_s.m_PageCount)
        DisplayFrame(m_s.m_CurrentPage + 1);
    return static_cast<QuennetStatus>(m_s.m_LastStatus);
}

QuennetStatus ImageBox::DisplayPreviousFrame() {
    if (m_s.m_CurrentPage > 1)
        DisplayFrame(m_s.m_CurrentPage - 1);
    return static_cast<QuennetStatus>(m_s.m_LastStatus);
}

QuennetStatus ImageBox::DisplayFirstFrame() {
    if (m_s.m_CurrentPage != 1)
        DisplayFrame(1);
    return static_cast<QuennetStatus>(m_s.m_LastStatus);
}

QuennetStatus ImageBox::DisplayLastFrame() {
    if (m_s.m_CurrentPage != m_s.m_PageCount)
        DisplayFrame(m_s.m_PageCount);
    return static_cast<QuennetStatus>(m_s.m_LastStatus);
}

// --- GIF playback ---

QuennetStatus ImageBox::PlayGif() {
    try {
        if (m_s.m_LastStatus == 0 && !m_s.m_GifPlaying && m_s.m_IsAnimatedGif) {
            m_s.m_AnimateGIF = true;
            KillFrameTimer();
            m_s.m_GifPlaying = true;
            m_s.m_GifLoopCounter = -1;
            m_s.m_CurrentPage = 1;
            OnFrameTimer(false);
        }
    } catch (...) {
    }
    return static_cast<QuennetStatus>(m_s.m_LastStatus);
}

void ImageBox::StopGif() {
    try {
        if (hWnd() != 0)
            win::KillTimer(hWnd(), frameTimerIdentifier());
    } catch (...) {
    }
    m_s.m_FrameTimerId = 0;
    m_s.m_GifPlaying = false;
    m_s.m_AnimateGIF = false;
}

bool ImageBox::get_AnimateGIF() {
    return m_s.m_AnimateGIF;
}

void ImageBox::put_AnimateGIF(bool value) {
    // True starts the animation when it does not run yet; False stops a running one.
    try {
        if (value) {
            m_s.m_AnimateGIF = true;
            PlayGif();
        } else if (m_s.m_GifPlaying) {
            StopGif();
        } else {
            m_s.m_AnimateGIF = false;
        }
    } catch (...) {
    }
    PropertyChanged("AnimateGIF");
}

// One step of the animation. `advance` is false for the first step, which shows the
// current frame; later steps move on to the next frame, wrapping to the first. The
// current page always names the frame on screen.
void ImageBox::OnFrameTimer(bool advance) {
    if (m_s.m_Terminated)
        return;
    if (m_s.m_GifLoopCounter == 0 || !m_s.m_GifPlaying) {
        // The chain ends here; a later PlayGif may start it again.
        m_s.m_GifPlaying = false;
        return;
    }
    int32_t frame = m_s.m_CurrentPage;
    if (advance) {
        frame = m_s.m_CurrentPage + 1;
        if (frame > m_s.m_PageCount || frame < 1) {
            frame = 1;
            if (m_s.m_GifLoopCounter > 0 && --m_s.m_GifLoopCounter == 0) {
                m_s.m_GifPlaying = false;
                return;
            }
        }
    }
    const ImageId shown = m_s.m_ImageId;
    if (m_s.m_WorkImageId != 0) {
        // A rotated frame is dropped: the animation shows the frames as they are.
        FreeWorkImage();
        InitImageInfo(shown);
        UpdateLayout(shown);
    }
    DisplayFrame(frame);
    // A PageChange handler may have stopped the animation or shown another image.
    if (!m_s.m_GifPlaying || m_s.m_ImageId != shown)
        return;
    const size_t index = static_cast<size_t>(std::max(m_s.m_CurrentPage, 1) - 1);
    StartFrameTimer(index < m_s.m_FrameDelays.size() ? m_s.m_FrameDelays[index] : kFallbackDelayMs);
}

void ImageBox::StartFrameTimer(int32_t delayMs) {
    if (!m_frameTimerLink)
        m_frameTimerLink = std::make_shared<FrameTimerLink>(this);
    const uintptr_t id = frameTimerIdentifier();
    registerLink(id, m_frameTimerLink);
    const bool plainClass = upperCase(className()) == "IMAGEBOX";
    win::TimerProc proc = plainClass ? &ImageBox::FrameTimerProc : &ImageBox::FrameTimerProcCnt;
    m_s.m_FrameTimerId =
        win::SetTimer(hWnd(), id, static_cast<uint32_t>(std::max(delayMs, 0)), std::move(proc));
}

void ImageBox::FrameTimerProc(win::HWND hwnd, uint32_t, uintptr_t id, uint32_t) {
    runFrameTimer("FrameTimerProc", hwnd, id);
}

void ImageBox::FrameTimerProcCnt(win::HWND hwnd, uint32_t, uintptr_t id, uint32_t) {
    runFrameTimer("FrameTimerProcCnt", hwnd, id);
}

void ImageBox::runFrameTimer(const char* procedure, win::HWND hwnd, uintptr_t id) {
    try {
        std::shared_ptr<FrameTimerLink> link = findLink(id);
        if (!link || link->box->hWnd() != hwnd) {
            // Nothing living answers to this identifier: the stray timer goes.
            win::KillTimer(hwnd, id);
            return;
        }
        ImageBox* box = link->box;
        link->lastProcedure = procedure;
        // The host may release the control from an event raised by the tick.
        ax::ComPtr<IImageBox> hold = ax::ComPtr<IImageBox>::share(box);
        // Every tick is one-shot: the next one is armed inside it with the next delay.
        win::KillTimer(hwnd, box->GetFrameTimerID());
        box->OnFrameTimer(true);
    } catch (...) {
    }
}

std::string ImageBox::frameTimerProcedure() const {
    return m_frameTimerLink ? m_frameTimerLink->lastProcedure : std::string();
}

int32_t ImageBox::GetTotalFrame() {
    return m_s.m_PageCount;
}

} // namespace tavimo
