#pragma once
// The user's manual ("manual.pdf") the build makes beside the program is put
// into the working folder when that folder has none, so the help menu finds
// it; a manual already there (perhaps one the user put there) is never
// replaced.
#include <QString>

namespace tv::app {

inline constexpr const char* kManualFile = "manual.pdf";

// The manual the build made: manual.pdf in the program's own folder.
QString BuiltManualPath();

enum class ManualPlaced { AlreadyThere, Copied, NoBuiltManual, Failed };

// Copies `built` to `folder`/manual.pdf unless a file of that name is there
// already. Never overwrites: a copy is written under a temporary name and
// moved into place only while the name is still free.
ManualPlaced ProvideManual(const QString& folder, const QString& built);

}  // namespace tv::app
