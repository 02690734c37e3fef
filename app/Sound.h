// The sound effect: one MIDI file played under the alias "MIDIFILE" through MCI command strings.
// Results are ignored: a missing file or device just means no sound.
#pragma once

#include <string>

#include "platform/Mci.h"

namespace app {

// "open" and "play" the jingle. No "close" is sent first: a second start finds the alias in use
// and the play goes to the device that is already open.
void PlaySoundEffect(platform::Mci& mci, const std::wstring& programFolder);
void CloseSoundEffect(platform::Mci& mci);

// The path is quoted so that folders with blanks, such as "C:\Program Files\...", still play. It is the
// file's short (8.3) path when the system gives one: the sequencer opens its file through the ANSI code
// page and a name of at most 128 characters, which Japanese folder names or a deep folder would break.
std::wstring SoundOpenCommand(platform::Mci& mci, const std::wstring& programFolder);

}  // namespace app
