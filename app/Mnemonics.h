// Keyboard shortcuts of tool windows: Alt (or Control) with a character
// finds the control whose mnemonic list or caption holds "&" + character
// (or "_" + character) and works it as a click would, through the request
// routing.
#pragma once

struct ControlDescriptor;
class PFrameWindow;

// The patterns searched for a key with character ch (from MapVirtualKey),
// in order: "_" + ch with Control and Shift, or Control and Alt without
// Shift; then "&" + ch with Alt. Nothing without Alt or Control or for
// ch 32 and below. Returns the count (0 to 2).
int MnemonicPatterns(unsigned ch, bool shift, bool control, bool alt, char patterns[2][3]);

// Searches one control table (rows until type 0) for pattern, case
// insensitively, in each row's mnemonic list or, without one, its caption.
// Group frames are skipped. A panel row's extra holds its own control
// table, searched in turn; a tab control row's extra holds a null-ended
// array of its pages' tables, of which the shown page is searched after
// the tab row itself. The first match whose control exists and is active
// gets the focus and is worked by its type; true then.
bool FindMnemonicInTable(const ControlDescriptor* table, const char* pattern);

// Searches the control tables of every tool-window row whose window is
// this one.
bool FindMnemonicInWindow(PFrameWindow* window, const char* pattern);
