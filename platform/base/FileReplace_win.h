// The last step of every save that replaces a settings file: a finished copy beside the file is moved over
// it. Virus scanners, search indexers and sync clients open files for a moment, sharing reading and writing
// but not deletion, and the move fails while they hold it; so it is retried for a while.
#pragma once

#include <string>

namespace platform {

// The name of the `attempt`th copy of `target`: beside it, so on the same volume, and told apart from other
// processes' copies by this process's id.
std::wstring CopyName(const std::wstring& target, int attempt);

// Removes the copies "<target>.~*" that an interrupted earlier save left beside `target`: one left in the
// middle of moving a clear password to its protected form still holds it.
void RemoveStaleCopies(const std::wstring& target);

// Flushes `copy` to disk, then moves it over `target`, retrying for about 2 s in all while the target is
// held; on failure the copy is deleted. True when `target` now holds the copy's bytes.
bool MoveCopyOver(const std::wstring& copy, const std::wstring& target);

// Deletes a copy that is not to be used, and checks that it is gone.
void DeleteCopy(const std::wstring& copy);

}  // namespace platform
