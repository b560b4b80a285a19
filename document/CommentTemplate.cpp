// The comment template of a fractal: words between dollar signs or square
// brackets (any case) are replaced by the fractal's values, everything else
// is copied. The output grows to hold every value whole.
#include "document/Fractal.h"
#include <stdarg.h>
#include <stdio.h>
#include <string.h>
#include <string>
#include "foundation/Buffers.h"
#include "document/DocumentHooks.h"
#include "document/DocumentSettings.h"

namespace {

const char* const kMonthNames[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                     "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

const char* MonthName(int month)
{
    return month >= 1 && month <= 12 ? kMonthNames[month - 1] : "";
}

std::string Format(const char* format, ...)
{
    char text[256];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return text;
}

// One word of a date: the value, or "Unknown" when the date's year is 0.
enum DatePart { DP_YEAR, DP_MONTH, DP_DAY, DP_HOUR, DP_MIN, DP_SEC, DP_DATE, DP_TIME };

std::string DateWord(const SYSTEMTIME& t, DatePart part)
{
    if (t.wYear == 0)
        return "Unknown";
    switch (part) {
    case DP_YEAR: return Format("%4d", t.wYear);
    case DP_MONTH: return MonthName(t.wMonth);
    case DP_DAY: return Format("%d", t.wDay);
    case DP_HOUR: return Format("%02d", t.wHour);
    case DP_MIN: return Format("%02d", t.wMinute);
    case DP_SEC: return Format("%02d", t.wSecond);
    case DP_DATE: return Format("%s %d, %d", MonthName(t.wMonth), t.wDay, t.wYear);
    case DP_TIME: return Format("%02d:%02d:%02d", t.wHour, t.wMinute, t.wSecond);
    }
    return "";
}

std::string CalcTimeWord(Fractal* f)
{
    int estimated = f->GetEstimatedCalculationTime();
    if (estimated > 0)
        f->header->CalcTime = estimated;
    int ms = f->header->CalcTime;
    if (ms <= 0)
        return "Unknown";
    return Format("%02d:%02d:%06.3lf", ms / 3600000, ms % 3600000 / 60000, (ms % 3600000 % 60000) / 1000.0);
}

std::string BufferText(const GrowBuffer* b, const char* none)
{
    return b && b->GetData() ? std::string((const char*)b->GetData()) : std::string(none);
}

// The words, tried in this order.
#define COMMENT_WORDS(X)                                                        \
    X("calctime", CalcTimeWord(f))                                             \
    X("year", DateWord(h.SaveTime, DP_YEAR))                                   \
    X("month", DateWord(h.SaveTime, DP_MONTH))                                 \
    X("day", DateWord(h.SaveTime, DP_DAY))                                     \
    X("hour", DateWord(h.SaveTime, DP_HOUR))                                   \
    X("min", DateWord(h.SaveTime, DP_MIN))                                     \
    X("sec", DateWord(h.SaveTime, DP_SEC))                                     \
    X("date", DateWord(h.SaveTime, DP_DATE))                                   \
    X("time", DateWord(h.SaveTime, DP_TIME))                                   \
    X("creationyear", DateWord(h.CreationTime, DP_YEAR))                       \
    X("creationmonth", DateWord(h.CreationTime, DP_MONTH))                     \
    X("creationday", DateWord(h.CreationTime, DP_DAY))                         \
    X("creationhour", DateWord(h.CreationTime, DP_HOUR))                       \
    X("creationmin", DateWord(h.CreationTime, DP_MIN))                         \
    X("creationsec", DateWord(h.CreationTime, DP_SEC))                         \
    X("creationdate", DateWord(h.CreationTime, DP_DATE))                       \
    X("creationtime", DateWord(h.CreationTime, DP_TIME))                       \
    X("xdots", Format("%d", h.Width))                                          \
    X("ydots", Format("%d", h.Height))                                         \
    X("version", Format("%d.%d", PROGRAM_VERSION_MAJOR, PROGRAM_VERSION_MINOR)) \
    X("author", BufferText(h.Author, ""))                                      \
    X("modified_by", BufferText(h.ModifiedBy, "Nobody"))

// Matches "$word$" or "[word]" at text without case; the length matched.
size_t MatchWord(const char* text, const char* word)
{
    static const char kPairs[2][2] = {{'$', '$'}, {'[', ']'}};
    size_t n = strlen(word);
    for (const auto& p : kPairs) {
        if (text[0] == p[0] && _strnicmp(text + 1, word, n) == 0 && text[1 + n] == p[1])
            return n + 2;
    }
    return 0;
}

}  // namespace

void Fractal::ExpandCommentTemplate()
{
    if (!commentTemplate || !commentText)
        return;
    const char* in = (const char*)commentTemplate->GetData();
    int capacity = commentTemplate->GetCapacity();
    std::string out;
    const FractalHeader& h = *header;
    Fractal* f = this;
    for (int i = 0; in && i < capacity && in[i];) {
        size_t matched = 0;
#define TRY_WORD(word, value)                         \
    if (!matched && (matched = MatchWord(in + i, word))) \
        out += value;
        COMMENT_WORDS(TRY_WORD)
#undef TRY_WORD
        if (matched) {
            i += (int)matched;
        } else {
            out += in[i];
            ++i;
        }
    }
    int needed = (int)out.size() + 1;
    commentText->Reserve(needed > capacity ? needed : capacity);
    memcpy(commentText->GetData(), out.c_str(), needed);
    if (g_CommentExpanded)
        g_CommentExpanded(this);
}
