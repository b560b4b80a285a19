// The scan progress dialog and the library window as the formula loaders
// and importers see them.
#pragma once

// The texts of the progress dialog's three lines (name on the left, message
// on the right); without a progress service they go nowhere.
void ProgressName(const char* text, int line);
void ProgressMessage(const char* text, int line);
// True while the dialog runs, or when there is none to wait for.
bool ProgressOpen();
// Ends the running dialog (called by the worker).
void ProgressClose();
// Shows or hides the formula library window while it is open.
void ShowLibraryWindow(bool visible);
