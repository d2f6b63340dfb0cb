// --simulate: runs the tool again with the simulated camera in place of the HID layer.
#pragma once

// Returns only on failure (with an exit code, after saying why): on success the process has
// been replaced by a new run of the tool with the simulated camera preloaded and SIMCAM=model.
// When this run already is that new run, returns 0 at once.
int simulate(const char *model, char **argv);

// The model this run simulates, or null when it talks to the real HID layer.
const char *simulatedModel();
