#include "app/Sound.h"

std::wstring SoundOpenCommand(const std::wstring& programFolder) {
    return L"open \"" + programFolder + L"\\Sound\\Kouka.mid\" alias MIDIFILE";
}

void PlaySoundEffect(platform::Mci& mci, const std::wstring& programFolder) {
    mci.SendString(SoundOpenCommand(programFolder));
    mci.SendString(L"play MIDIFILE notify");
}

void CloseSoundEffect(platform::Mci& mci) {
    mci.SendString(L"close MIDIFILE");
}
