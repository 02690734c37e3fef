// The settings window. Text1 (the mail check's status line) and Command7 ("切断") lie below the
// client area: they cannot be seen or clicked, but the keyboard reaches them through the tab order.
#pragma once

#include "platform/forms/Gui.h"

namespace setform_layout {

using namespace platform;

enum Control : int {
    Command1,
    Command2,
    Check1,
    Label1,
    Line1,
    Command3,
    Command4,
    Command5,
    Command6,
    Text1,
    Command7
};

inline const ControlDef kControls[] = {
    {.name = L"Command1",
     .rect = {120, 120, 1335, 375},
     .caption = L"ID/PASS",
     .tabIndex = 1,
     .graphical = true,
     .backColour = Rgb(255, 128, 0)},
    {.name = L"Command2",
     .rect = {1440, 120, 1335, 375},
     .caption = L"POPサーバー",
     .tabIndex = 2,
     .graphical = true,
     .backColour = Rgb(128, 128, 255)},
    {.name = L"Check1",
     .kind = ControlKind::CheckBox,
     .rect = {60, 600, 255, 255},
     .caption = L"Check1",
     .tabIndex = 0},
    {.name = L"Label1",
     .kind = ControlKind::Label,
     .rect = {360, 645, 2535, 255},
     .caption = L"新着がなければ接続を切断する。",
     .foreColour = Rgb(0, 0, 255),
     .transparent = true},
    {.name = L"Line1", .kind = ControlKind::Line, .rect = {0, 960, 3000, 960}},
    {.name = L"Command3",
     .rect = {120, 1200, 1095, 375},
     .caption = L"少女を出す",
     .tabIndex = 6,
     .graphical = true,
     .backColour = Rgb(224, 224, 224)},
    {.name = L"Command4",
     .rect = {1200, 1200, 975, 375},
     .caption = L"戻す",
     .tabIndex = 7,
     .graphical = true,
     .backColour = Rgb(192, 192, 192)},
    {.name = L"Command5",
     .rect = {2160, 1200, 615, 375},
     .caption = L"作者",
     .tabIndex = 8,
     .graphical = true,
     .backColour = Rgb(192, 192, 192)},
    {.name = L"Command6",
     .rect = {120, 1560, 2655, 375},
     .caption = L"メールチェック",
     .tabIndex = 9,
     .graphical = true,
     .backColour = Rgb(255, 0, 0)},
    {.name = L"Text1", .kind = ControlKind::TextBox, .rect = {120, 2520, 2655, 270}, .tabIndex = 3},
    {.name = L"Command7", .rect = {120, 3360, 1095, 375}, .caption = L"切断", .tabIndex = 10},
};

inline const FormDef kForm = {
    .name = L"SetForm",
    .caption = L"設定",
    .clientWidth = 2880,
    .clientHeight = 1980,
    .border = Border::FixedSingle,
    .controls = kControls,
};

}  // namespace setform_layout
