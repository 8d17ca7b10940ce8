// The markup a benchmark's lookups read, switched as a user switches it: in
// the configuration file beside the program, which is this process's module.
#pragma once

/// Writes the switch and has the module read it again; throws when the
/// module does not take it.
void selectMarkup(bool current);
