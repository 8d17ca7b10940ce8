// The module's configuration: one switch read once, at process attach, from
// the INI file beside the module (section "config", key "AudioEnabled").
#pragma once

#include <cstdint>
#include <string>

/// Reads the switch from the configuration file of `module` (an HMODULE on
/// Windows; null names the module holding this code). A missing file or key
/// leaves the switch as it was.
void loadConfiguration(void* module);

/// The configuration file of the module at `modulePath`: the module's name
/// with its extension replaced by "ini" ("C:\a.b\LexoraDX.dll" gives
/// "C:\a.b\LexoraDX.ini"); a name without an extension gets ".ini" appended.
/// Only a "." in the final path component counts.
std::u16string configurationPath(const std::u16string& modulePath);

/// The switch as the configuration file `configPath` sets it: `current` when
/// the file or the key is absent (or its value empty), else whether the value
/// is non-zero.
bool readAudioSwitch(const char16_t* configPath, bool current);

/// Whether a lookup runs its audio stage (on until the configuration says 0).
bool audioEnabled();

/// The module's entry point: on process attach (`reason` 1) it reads the
/// configuration of `module`; other notifications do nothing. Always 1: the
/// module never fails its attach.
int32_t DllEntryPoint(void* module, uint32_t reason, void* reserved);
