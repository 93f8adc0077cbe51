#pragma once

#include <QString>

namespace gabblet {

// Stored passwords are scrambled, not encrypted: the point is that a settings
// file shown on screen does not give the password away at a glance.
QString ScramblePassword(const QString& text);
QString UnscramblePassword(const QString& text);
// Files older than version 0.3 kept each character's Windows-1252 byte raised by 2.
QString UnscrambleOld(const QString& text);
QString ScrambleOld(const QString& text);

} // namespace gabblet
