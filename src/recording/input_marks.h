#pragma once
// Clicks and keys shown in a recording: the main window notes what the hooks report into the
// event log, and the recording thread draws the rings and the key caption into each frame whose
// time covers them, straight into the frame's memory.
#include <windows.h>

#include "recording/input_event_log.h"
#include "recording/mark_drawing.h"
#include "recording/window_fit.h"
#include "win/handles.h"

#include <string>
#include <vector>

// From the main window: the keyboard hook's key and data, the mouse hook's button and point.
// Noted only while recording, and only what the Cursor Options show.
void NoteKeyEvent(WPARAM key, LPARAM data);
void NoteMouseClick(WPARAM button, LPARAM point);

// The marks of one recording, on its thread; the events before it started are not its own.
class CInputMarks {
public:
    CInputMarks();
    // The frame shows the placement's screen pixels at `now` on the recording's clock.
    void Draw(const FrameRows& frame, const FramePlacement& placement, std::uint32_t now);

private:
    void DrawCaption(const FrameRows& frame, std::uint32_t now);
    void Render(const std::string& text);

    bool m_clicks;
    bool m_keys;
    std::uint32_t m_clickColour;
    int m_dpi = 0; // of the region's monitor, found at the first frame
    std::uint64_t m_next;
    CKeyCaption m_caption;
    std::vector<InputEvent> m_taken;
    std::vector<ClickMark> m_recent;
    std::string m_rendered; // the caption text that m_text and m_box hold
    CoverageMask m_text;
    CoverageMask m_box;
    // Made at the first caption and kept: under Wine a font costs more than drawing a frame's marks.
    MemoryDC m_dc;
    GdiFont m_font;
};
