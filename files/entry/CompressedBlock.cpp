// Decoding of compressed entries with the installed zlib; the sextet order
// is the reverse of RFC 4648's, so the standard decoders cannot be used.
#include "files/entry/CompressedBlock.h"

#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include <zlib.h>

namespace {

int SextetOf(char c)
{
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

}  // namespace

int DecodeBase64(const char* text, unsigned char* out)
{
    size_t length = strlen(text);
    if (length % 4 != 0)
        return -1;
    int written = 0;
    for (size_t g = 0; g < length; g += 4) {
        unsigned long v = 0;
        int n = 3;
        for (int k = 0; k < 4; k++) {
            char c = text[g + k];
            int s = 0;
            if (c == '=') {
                n--;
            } else {
                s = SextetOf(c);
                if (s < 0)
                    return -1;
            }
            v |= (unsigned long)s << (6 * k);
        }
        out[written++] = (unsigned char)(v & 0xFF);
        if (n > 1)
            out[written++] = (unsigned char)((v >> 8) & 0xFF);
        if (n > 2)
            out[written++] = (unsigned char)((v >> 16) & 0xFF);
    }
    out[written] = 0;
    return written;
}

char* InflateText(const unsigned char* data, int length)
{
    z_stream stream;
    memset(&stream, 0, sizeof stream);
    if (length < 0 || inflateInit(&stream) != Z_OK)
        return NULL;
    std::vector<unsigned char> output;
    output.reserve(5000);
    unsigned char window[500];
    int consumed = 0;
    bool failed = false;
    bool ended = false;
    while (!ended && !failed && consumed < length) {
        int offer = length - consumed < 500 ? length - consumed : 500;
        stream.next_in = const_cast<unsigned char*>(data + consumed);
        stream.avail_in = (uInt)offer;
        // Drain the window until this piece of input is used up.
        while (!ended && !failed && (stream.avail_in > 0 || stream.avail_out == 0)) {
            stream.next_out = window;
            stream.avail_out = sizeof window;
            int result = inflate(&stream, Z_NO_FLUSH);
            output.insert(output.end(), window, window + (sizeof window - stream.avail_out));
            if (result == Z_STREAM_END)
                ended = true;
            else if (result != Z_OK && !(result == Z_BUF_ERROR && stream.avail_in == 0))
                failed = true;
        }
        consumed += offer - (int)stream.avail_in;
    }
    if (inflateEnd(&stream) != Z_OK || failed)
        return NULL;
    // A stream cut short (truncated input) has no end mark: refuse it rather
    // than hand on a partial body.
    if (!ended)
        return NULL;
    char* text = (char*)malloc(output.size() + 4);
    if (text == NULL)
        return NULL;
    memcpy(text, output.data(), output.size());
    memcpy(text + output.size(), "\r\n}", 4);
    return text;
}

char* DecodeCompressedBlock(const char* text)
{
    const char* p = text;
    for (int i = 0; i < 2 && *p == ':'; i++)
        p++;
    const char* close = strchr(p, '}');
    size_t length = close != NULL ? (size_t)(close - p) : strlen(p);
    std::string sextets;
    sextets.reserve(length);
    for (size_t i = 0; i < length; i++) {
        char c = p[i];
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n')
            sextets += c;
    }
    std::vector<unsigned char> bytes(sextets.size() + 4);
    int count = DecodeBase64(sextets.c_str(), bytes.data());
    if (count < 4)
        return NULL;
    return InflateText(bytes.data() + 4, count - 4);
}
