// The mascot window: a borderless window showing one frame, the eight frame picture boxes it takes its
// pictures and outlines from (placed below the 80 × 100-pixel area the window keeps, so never seen),
// and the motion timer.
#pragma once

#include "platform/forms/Gui.h"

namespace form1_layout {

using namespace platform;

enum Control : int {
    Picture1_0,
    Picture1_1,
    Picture1_2,
    Picture1_3,
    Picture1_4,
    Picture1_5,
    Picture1_6,
    Picture1_7,
    Timer1,
};

// Element k of the Picture1 control array.
constexpr int Picture1(int k) {
    return Picture1_0 + k;
}

inline constexpr int kFrameCount = 8;
inline constexpr float kFrameWidth = 1200, kFrameHeight = 1500;

inline const ControlDef kControls[] = {
    {.name = L"Picture1",
     .index = 0,
     .kind = ControlKind::PictureBox,
     .rect = {0, 1680, kFrameWidth, kFrameHeight},
     .picture = "girl0.gif"},
    {.name = L"Picture1",
     .index = 1,
     .kind = ControlKind::PictureBox,
     .rect = {1680, 1680, kFrameWidth, kFrameHeight},
     .picture = "girl1.gif"},
    {.name = L"Picture1",
     .index = 2,
     .kind = ControlKind::PictureBox,
     .rect = {5040, 1680, kFrameWidth, kFrameHeight},
     .picture = "girl2.gif"},
    {.name = L"Picture1",
     .index = 3,
     .kind = ControlKind::PictureBox,
     .rect = {3360, 1680, kFrameWidth, kFrameHeight},
     .picture = "girl3.gif"},
    {.name = L"Picture1",
     .index = 4,
     .kind = ControlKind::PictureBox,
     .rect = {0, 3360, kFrameWidth, kFrameHeight},
     .picture = "girl0.gif"},
    {.name = L"Picture1",
     .index = 5,
     .kind = ControlKind::PictureBox,
     .rect = {1680, 3480, kFrameWidth, kFrameHeight},
     .picture = "girl1.gif"},
    {.name = L"Picture1",
     .index = 6,
     .kind = ControlKind::PictureBox,
     .rect = {5040, 3360, kFrameWidth, kFrameHeight},
     .picture = "girl2.gif"},
    {.name = L"Picture1",
     .index = 7,
     .kind = ControlKind::PictureBox,
     .rect = {3360, 3360, kFrameWidth, kFrameHeight},
     .picture = "girl3.gif"},
    {.name = L"Timer1", .kind = ControlKind::Timer, .interval = 500},
};

// The design size encloses every picture box; the load step shrinks the window to one frame.
inline const FormDef kForm = {
    .name = L"Form1",
    .caption = L"",
    .clientWidth = 6240,
    .clientHeight = 4980,
    .border = Border::None,
    .hasIcon = false,
    .centreOnFirstShow = false,
    .showInTaskbar = false,
    .picture = "girl0.gif",
    .controls = kControls,
};

}  // namespace form1_layout
