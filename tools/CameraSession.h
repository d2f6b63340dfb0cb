// The camera commands of the tool: the host's whole session, and single commands.
#pragma once

// `session`: discover, select, open, status, light and zoom toggles, freeze, unfreeze, save,
// resume, release. Prints each step's result and what it means; returns an exit code.
int runSession();

// A single command (status, light, zoom, freeze, unfreeze, save, resume, release), with the
// discovery, selection and bring-up it needs first; returns an exit code, or -1 when `name`
// is not a single command.
int runCommand(const char *name);

// Writes the names of the status bits set in s into out ("power, extended, light"), or "none".
void describeStatus(int s, char *out, unsigned long n);
