// The server dialog. It has no default button, so Enter in a box never confirms it; Esc cancels.
#pragma once

#include "platform/forms/Gui.h"

namespace option_layout {

using namespace platform;

enum Control : int { Label1, SmtpText, Label2, Pop3Text, Label3, MailText, ApopCheck, OkCommand, CancelCommand };

inline constexpr ControlDef kControls[] = {
    {.name = L"Label1", .kind = ControlKind::Label, .rect = {120, 120, 1575, 195}, .caption = L"SMTPサーバー名(&S)"},
    {.name = L"SmtpText", .kind = ControlKind::TextBox, .rect = {120, 360, 2652, 264}, .tabIndex = 5},
    {.name = L"Label2", .kind = ControlKind::Label, .rect = {120, 720, 1635, 195}, .caption = L"POP3サーバー名(&P)"},
    {.name = L"Pop3Text", .kind = ControlKind::TextBox, .rect = {120, 960, 2652, 264}, .tabIndex = 4},
    {.name = L"Label3", .kind = ControlKind::Label, .rect = {120, 1320, 1635, 195}, .caption = L"メールアドレス(&M)"},
    {.name = L"MailText", .kind = ControlKind::TextBox, .rect = {120, 1560, 2652, 264}, .tabIndex = 0},
    {.name = L"ApopCheck",
     .kind = ControlKind::CheckBox,
     .rect = {480, 2040, 2172, 252},
     .caption = L"APOP を使用する(&A)",
     .tabIndex = 3},
    {.name = L"OkCommand", .rect = {660, 2520, 972, 372}, .caption = L"設定", .tabIndex = 2},
    {.name = L"CancelCommand", .rect = {1860, 2520, 912, 372}, .caption = L"中止", .tabIndex = 1, .isCancel = true},
};

inline const FormDef kForm = {
    .name = L"OptionForm",
    .caption = L"サーバー設定",
    .clientWidth = 2895,
    .clientHeight = 3015,
    .border = Border::FixedDialog,
    .hasIcon = false,
    .controls = kControls,
};

}  // namespace option_layout
