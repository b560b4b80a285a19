// The text of one entry of a formula file the program ships (Formulas/
// beside the sources), for tests that compile shipped formulas.
#pragma once
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

// From the entry's name line to its closing brace at the start of a line;
// empty when the file has no such entry.
inline std::string ShippedEntry(const char* file, const char* entry)
{
    std::string data = SPIRALIX_TEST_DATA;
    std::string path = data.substr(0, data.size() - strlen("/tests/data")) + "/Formulas/" + file;
    std::ifstream in(path);
    std::stringstream all;
    all << in.rdbuf();
    std::string text = all.str();
    size_t start = text.find(std::string("\n") + entry + "(");
    if (start == std::string::npos)
        return "";
    size_t end = text.find("\n}", start + 1);
    return text.substr(start + 1, end == std::string::npos ? std::string::npos : end + 2 - start - 1);
}
