// The new-mail notice: one line of text and the message count beside it.
#pragma once

#include "platform/forms/Gui.h"

namespace msgform_layout {

using namespace platform;

enum Control : int { Text1, Text2 };

inline const ControlDef kControls[] = {
    {.name = L"Text1",
     .kind = ControlKind::TextBox,
     .rect = {0, 0, 3135, 270},
     .caption = L"新着メールはありませんでした。",
     .tabIndex = 1,
     .foreColour = Rgb(0, 0, 255)},
    {.name = L"Text2", .kind = ControlKind::TextBox, .rect = {3120, 0, 495, 270}, .tabIndex = 0, .readOnly = true},
};

inline const FormDef kForm = {
    .name = L"MsgForm",
    .caption = L"新着お知らせ",
    .clientWidth = 3615,
    .clientHeight = 270,
    .border = Border::FixedSingle,
    .controls = kControls,
};

}  // namespace msgform_layout
