#include "app/Sound.h"

namespace app {

std::wstring SoundOpenCommand(platform::Mci& mci, const std::wstring& programFolder) {
    std::wstring file = programFolder + L"\\Sound\\Kouka.mid";
    std::wstring shortPath = mci.ShortPath(file);
    return L"open \"" + (shortPath.empty() ? file : shortPath) + L"\" alias MIDIFILE";
}

void PlaySoundEffect(platform::Mci& mci, const std::wstring& programFolder) {
    mci.SendString(SoundOpenCommand(mci, programFolder));
    mci.SendString(L"play MIDIFILE notify");
}

void CloseSoundEffect(platform::Mci& mci) {
    mci.SendString(L"close MIDIFILE");
}

}  // namespace app
