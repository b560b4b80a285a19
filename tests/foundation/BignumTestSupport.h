// Helpers shared by the tests of the decimal number library.
#pragma once

#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <string.h>
#include <string>
#include <vector>

#include "foundation/bignum/ApmInternal.h"

namespace bignumtest {

// A record that frees itself.
class Num {
public:
    Num() : h(m_apm_init()) {}
    explicit Num(const char* text) : h(m_apm_init()) { m_apm_set_string(h, text); }
    explicit Num(const std::string& text) : Num(text.c_str()) {}
    ~Num() { m_apm_free(h); }
    Num(const Num&) = delete;
    Num& operator=(const Num&) = delete;
    operator M_APM() const { return h; }
    M_APM operator->() const { return h; }
    M_APM h;
};

// m_apm_to_string with all digits.
inline std::string Sci(M_APM a)
{
    std::vector<char> text(m_apm_to_string_size(-1, a));
    m_apm_to_string(text.data(), -1, a);
    return text.data();
}

inline std::string Sci(M_APM a, int places)
{
    std::vector<char> text(m_apm_to_string_size(places, a));
    m_apm_to_string(text.data(), places, a);
    return text.data();
}

inline std::string Fix(M_APM a, int places)
{
    std::vector<char> text(m_apm_to_fixpt_string_size(places, a));
    m_apm_to_fixpt_string(text.data(), places, a);
    return text.data();
}

// Digits of a random number: first digit 1..9, the rest 0..9.
class Random {
public:
    explicit Random(unsigned int seed) : state(seed ? seed : 1u) {}
    unsigned int Next()
    {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    }
    int Below(int n) { return (int)(Next() % (unsigned int)n); }
    std::string Digits(int n)
    {
        std::string s;
        s.reserve(n);
        s += (char)('1' + Below(9));
        for (int i = 1; i < n; i++)
            s += (char)('0' + Below(10));
        return s;
    }

private:
    unsigned int state;
};

// Catches what the library writes to the standard error stream while the
// object lives (the stream is sent to a temporary file).
class StderrCapture {
public:
    StderrCapture()
    {
        fflush(stderr);
        char dir[MAX_PATH];
        GetTempPathA(MAX_PATH, dir);
        GetTempFileNameA(dir, "bnc", 0, path);
        int fd = _open(path, _O_WRONLY | _O_TRUNC | _O_BINARY);
        saved = _dup(2);
        if (fd >= 0) {
            _dup2(fd, 2);
            _close(fd);
        }
    }
    ~StderrCapture() { Finish(); }

    // Restores the stream and answers what was written (CR LF as LF).
    std::string Finish()
    {
        if (done)
            return text;
        done = true;
        fflush(stderr);
        if (saved >= 0) {
            _dup2(saved, 2);
            _close(saved);
        }
        FILE* f = fopen(path, "rb");
        if (f) {
            int c;
            while ((c = fgetc(f)) != EOF)
                if (c != '\r')
                    text += (char)c;
            fclose(f);
        }
        DeleteFileA(path);
        return text;
    }

private:
    char path[MAX_PATH] = {};
    int saved = -1;
    bool done = false;
    std::string text;
};

} // namespace bignumtest
