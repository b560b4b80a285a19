// Joins the lines the entry writer continued with a trailing '\', so that
// the reader sees every continued value as one piece of text.
#pragma once

// In place: every '\' followed by CR or LF is removed with all blanks,
// tabs, CR and LF after it; any other '\' stays.
void JoinContinuedLines(char* text);
