// The account dialog: user ID, masked password, and the box that decides whether they are stored.
#pragma once

#include "platform/forms/Gui.h"

namespace idpass_layout {

using namespace platform;

enum Control : int { Label1, IdText, Label2_0, PassText, Check1, Label2_1, OkCommand, CancelCommand };

inline const ControlDef kControls[] = {
    {.name = L"Label1", .kind = ControlKind::Label, .rect = {120, 180, 675, 255}, .caption = L"ID"},
    {.name = L"IdText", .kind = ControlKind::TextBox, .rect = {960, 120, 1632, 264}, .tabIndex = 4},
    {.name = L"Label2", .index = 0, .kind = ControlKind::Label, .rect = {120, 600, 795, 255}, .caption = L"Password"},
    {.name = L"PassText",
     .kind = ControlKind::TextBox,
     .rect = {960, 600, 1632, 264},
     .tabIndex = 3,
     .passwordChar = L'*'},
    {.name = L"Check1",
     .kind = ControlKind::CheckBox,
     .rect = {420, 1020, 255, 255},
     .caption = L"Check1",
     .tabIndex = 0},
    {.name = L"Label2",
     .index = 1,
     .kind = ControlKind::Label,
     .rect = {780, 1020, 1875, 255},
     .caption = L"IDパスワードを保存する"},
    {.name = L"OkCommand", .rect = {900, 1380, 852, 312}, .caption = L"OK", .tabIndex = 2, .isDefault = true},
    {.name = L"CancelCommand", .rect = {1860, 1380, 852, 312}, .caption = L"Cancel", .tabIndex = 1, .isCancel = true},
};

inline const FormDef kForm = {
    .name = L"IdPassForm",
    .caption = L"ID,PASS",
    .clientWidth = 2790,
    .clientHeight = 1800,
    .border = Border::FixedDialog,
    .hasIcon = false,
    .controls = kControls,
};

}  // namespace idpass_layout
