#pragma once

#include <QString>

namespace gabblet {

struct AppState;
struct Settings;
class ProgramPaths;

// The shared settings file in the program folder, the user's in the user's folder.
void SetSettingsFiles(Settings& settings, const ProgramPaths& paths);

// Reads every setting into memory. A value that does not fit its field stops
// the load at that key (the rest keep their zero values) and the reason is
// returned; an empty text means all went well.
QString LoadSettings(AppState& state);
// Writes what the program keeps between runs. formTop/formLeft in twips.
bool SaveSettings(AppState& state, qint32 formTop, qint32 formLeft, int tab);

} // namespace gabblet
