// Layout steps shared by the Fractint and UltraFractal converters.
#include "formulas/convert/ConvertText.h"

#include <string.h>

namespace convert {

std::string LowerText(const std::string& text)
{
    std::string out(text);
    for (char& c : out)
        c = Lower(c);
    return out;
}

bool StartsNoCase(const char* text, const char* prefix)
{
    for (; *prefix != 0; text++, prefix++)
        if (*text == 0 || Lower(*text) != Lower(*prefix))
            return false;
    return true;
}

bool EqualNoCase(const std::string& a, const char* b)
{
    return a.size() == strlen(b) && StartsNoCase(a.c_str(), b);
}

int NumberLength(const char* text)
{
    int p = 0;
    while (IsDigit(text[p]))
        p++;
    if (text[p] == '.') {
        p++;
        while (IsDigit(text[p]))
            p++;
    }
    if (p == 0 || (p == 1 && text[0] == '.'))
        return 0;
    if (text[p] == 'e' || text[p] == 'E') {
        int q = p + 1;
        if (text[q] == '+' || text[q] == '-')
            q++;
        if (IsDigit(text[q])) {
            while (IsDigit(text[q]))
                q++;
            p = q;
        }
    }
    return p;
}

void ConvertOutput::IndentAt(int n)
{
    while (!text.empty() && IsBlank(text.back()))
        text.pop_back();
    text.append(n > 0 ? (size_t)n : 0, '\t');
}

void ConvertOutput::LineEnd()
{
    while (!text.empty() && IsBlank(text.back()))
        text.pop_back();
    if (text.empty() || (text.back() != '\n' && text.back() != '\r'))
        text += '\n';
}

void ConvertOutput::NewLineAt(int n)
{
    size_t end = text.size();
    while (end > 0 && IsSpace(text[end - 1]))
        end--;
    size_t lineEnd = text.find('\n', end);
    if (lineEnd != std::string::npos) {
        text.resize(lineEnd + 1);
    } else {
        text.resize(end);
        text += '\n';
    }
    text.append(n > 0 ? (size_t)n : 0, '\t');
}

}  // namespace convert
