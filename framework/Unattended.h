// Whether anybody watches this process. A run that nobody watches (it may run
// in a session whose desktop nobody sees, as under a service account) must
// never open a window or wait for an answer: every box would wait forever.
#pragma once

// From now on (true) the process runs unattended: AfxMessageBox shows
// nothing (see SuppressMessageBoxes), shell deletions show no window, and the
// system shows no box of its own for a drive without a disk, a file it cannot
// open or a crash (the process's error mode, which the programs it starts
// inherit). false puts back the error mode the process had before.
void SetUnattended(bool unattended);

// True while the process runs unattended: what the code that starts other
// programs asks to choose their quiet switches.
bool IsUnattended();
