// Image-filter files (".flt"): entries in the parameter-file layout whose
// bodies give a convolution kernel (NAME, SIZE, DIVISOR, BIAS, then
// "VALUES:" and the kernel row by row). Every entry read becomes one
// ImageFilter appended to g_ImageFilters, found by its entry name.
#pragma once

class ImageFilter;

// Loads every entry of directory\fileName (either may be empty or null).
// Files that cannot be opened or are empty are skipped silently. Returns
// the number of filters appended.
int LoadImageFilterFile(const char* directory, const char* fileName);

// Reads one entry (text from its '{' to its '}', length bytes) named name
// into a new filter and appends it to g_ImageFilters. A SIZE outside 1..10
// or fewer values than SIZE x SIZE refuses the entry with an error message
// naming fileName and the entry; null then.
ImageFilter* ReadImageFilters(const char* name, const char* text, int length, const char* fileName = nullptr);
