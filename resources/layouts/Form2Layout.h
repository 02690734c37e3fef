// The main window: its background, the small picture that grows, the "操作" button, and the
// keyboard-only "イベント" button that lies below the client area and holds the focus.
#pragma once

#include "platform/forms/Gui.h"

namespace form2_layout {

using namespace platform;

enum Control : int { Image1, Image2, Command2, Command1, Command5, Timer1 };

inline constexpr float kImage2Left = 1200, kImage2Top = 1320, kImage2Width = 315, kImage2Height = 375;

inline const ControlDef kControls[] = {
    {.name = L"Image1", .kind = ControlKind::Image, .rect = {0, 0, 2760, 1980}, .picture = "background.bmp"},
    {.name = L"Image2",
     .kind = ControlKind::Image,
     .rect = {kImage2Left, kImage2Top, kImage2Width, kImage2Height},
     .picture = "small.gif"},
    {.name = L"Command2",
     .kind = ControlKind::Button,
     .rect = {0, 0, 735, 255},
     .caption = L"操作",
     .tabIndex = 1,
     .graphical = true,
     .backColour = Rgb(255, 128, 128)},
    {.name = L"Command1",
     .kind = ControlKind::Button,
     .rect = {0, 2760, 1095, 375},
     .caption = L"イベント",
     .tabIndex = 0},
    {.name = L"Command5",
     .kind = ControlKind::Button,
     .rect = {1440, 2760, 1095, 375},
     .caption = L"切断",
     .visible = false},
    {.name = L"Timer1", .kind = ControlKind::Timer, .interval = 0},
};

// A popup menu that nothing opens; its items have no actions.
inline const MenuItemDef kPopupItems[] = {{L"mset", L"設定"},
                                          {L"mcheck", L"メールチェック"},
                                          {L"mgirl", L"少女を出す"},
                                          {L"mmodosu", L"戻す"}};
inline const MenuDef kMenus[] = {{.name = L"mPopup", .caption = L"Popup", .visible = false, .items = kPopupItems}};

inline const FormDef kForm = {
    .name = L"Form2",
    .caption = L"Velmora・・・",
    .clientWidth = 2760,
    .clientHeight = 1965,
    .border = Border::FixedSingle,
    .controls = kControls,
    .menus = kMenus,
};

}  // namespace form2_layout
