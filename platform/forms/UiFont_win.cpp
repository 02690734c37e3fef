// The windows' texts are Japanese, so the font must have glyphs for them. The message font is the
// user's choice and comes first; only when it lacks kana and kanji is another face taken, one that the
// system itself lists for the Shift-JIS character set, so nothing depends on one machine's fonts.
#include "platform/forms/UiFont_win.h"

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "platform/base/ScopedWin_win.h"

namespace platform::win {

namespace {

constexpr wchar_t kSample[] = L"設定新着メールを";

bool ShowsJapanese(const LOGFONTW& lf) {
    ScopedFont font(CreateFontIndirectW(&lf));
    if (!font)
        return false;
    ScopedGetDC screen(nullptr);
    ScopedSelect select(screen.Get(), font.Get());
    std::array<WORD, std::size(kSample) - 1> glyphs{};
    if (GetGlyphIndicesW(screen.Get(), kSample, int(glyphs.size()), glyphs.data(), GGI_MARK_NONEXISTING_GLYPHS) ==
        GDI_ERROR)
        return false;
    for (WORD g : glyphs)
        if (g == 0xFFFF)
            return false;
    return true;
}

int CALLBACK CollectFace(const LOGFONTW* lf, const TEXTMETRICW*, DWORD, LPARAM param) {
    auto* faces = reinterpret_cast<std::vector<std::wstring>*>(param);
    if (lf->lfFaceName[0] != L'@')  // vertical-writing variants
        faces->emplace_back(lf->lfFaceName);
    return 1;
}

std::vector<std::wstring> JapaneseFaces() {
    std::vector<std::wstring> faces;
    LOGFONTW query{};
    query.lfCharSet = SHIFTJIS_CHARSET;
    ScopedGetDC screen(nullptr);
    EnumFontFamiliesExW(screen.Get(), &query, &CollectFace, reinterpret_cast<LPARAM>(&faces), 0);
    // Faces made for user interfaces ("... UI") first.
    std::stable_partition(faces.begin(), faces.end(), [](const std::wstring& f) { return f.ends_with(L" UI"); });
    return faces;
}

bool TakeFace(LOGFONTW& lf, const wchar_t* face) {
    LOGFONTW candidate = lf;
    lstrcpynW(candidate.lfFaceName, face, LF_FACESIZE);
    candidate.lfCharSet = DEFAULT_CHARSET;
    if (!ShowsJapanese(candidate))
        return false;
    lf = candidate;
    return true;
}

}  // namespace

HFONT CreateUiFont() {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    LOGFONTW lf{};
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0))
        lf = metrics.lfMessageFont;
    else
        GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof(lf), &lf);

    if (!ShowsJapanese(lf)) {
        // The default GUI font is the system's own choice for dialogs in its language; then any listed face.
        LOGFONTW gui{};
        GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof(gui), &gui);
        if (!TakeFace(lf, gui.lfFaceName)) {
            for (const std::wstring& face : JapaneseFaces())
                if (TakeFace(lf, face.c_str()))
                    break;
        }
    }
    return CreateFontIndirectW(&lf);
}

}  // namespace platform::win
