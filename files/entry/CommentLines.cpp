// Comment lines pass through the entry untouched by the item layout: they
// are cut from the body before parsing and written straight to the file.
#include "files/entry/CommentLines.h"

#include <string.h>
#include <time.h>

#include "files/entry/TextWriter.h"
#include "files/entry/EntryFormat.h"

int SplitComments(const char* text, int last, std::string& code, std::string& comment)
{
    code.clear();
    comment.clear();
    int i = 0;
    int end = last + 1;
    while (i < end && text[i] != 0) {
        while (i < end && (text[i] == '\r' || text[i] == '\n'))
            i++;
        if (i >= end || text[i] == 0)
            break;
        int start = i;
        int semicolon = -1;
        bool quoted = false;
        while (i < end && text[i] != 0 && text[i] != '\r' && text[i] != '\n') {
            if (text[i] == '"')
                quoted = !quoted;
            else if (text[i] == ';' && !quoted && semicolon < 0)
                semicolon = i;
            i++;
        }
        if (semicolon < 0) {
            code.append(text + start, i - start);
            code += '\n';
            continue;
        }
        code.append(text + start, semicolon - start);
        code += '\n';
        int c = semicolon + 1;
        while (c < i && (signed char)text[c] <= ' ')
            c++;
        comment.append(text + c, i - c);
        comment += '\n';
    }
    if (!comment.empty() && comment.back() == '\n')
        comment.pop_back();
    return (int)comment.size();
}

CommentTagValues CommentTagsNow()
{
    time_t now = time(NULL);
    struct tm local = *localtime(&now);
    CommentTagValues v = {};
    v.year = local.tm_year + 1900;
    v.month = local.tm_mon + 1;
    v.day = local.tm_mday;
    v.hour = local.tm_hour;
    v.minute = local.tm_min;
    v.second = local.tm_sec;
    return v;
}

namespace {

const char* const kMonthNames[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                     "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

const char* MonthName(int month)
{
    return month >= 1 && month <= 12 ? kMonthNames[month - 1] : "";
}

std::string CalcTimeText(double milliseconds)
{
    double seconds = milliseconds / 1000.0;
    int hours = (int)(seconds / 3600.0);
    seconds -= hours * 3600.0;
    int minutes = (int)(seconds / 60.0);
    seconds -= minutes * 60.0;
    return EntryFormat("%02d:%02d:%06.3lf", hours, minutes, seconds);
}

// tag, its text from the values v
#define COMMENT_TAGS(X)                                                        \
    X("$year$", EntryFormat("%4d", v.year))                                         \
    X("$month$", MonthName(v.month))                                           \
    X("$day$", EntryFormat("%d", v.day))                                            \
    X("$hour$", EntryFormat("%02d", v.hour))                                        \
    X("$min$", EntryFormat("%02d", v.minute))                                       \
    X("$sec$", EntryFormat("%02d", v.second))                                       \
    X("$date$", EntryFormat("%s %d, %d", MonthName(v.month), v.day, v.year))        \
    X("$time$", EntryFormat("%02d:%02d:%02d", v.hour, v.minute, v.second))          \
    X("$xdots$", EntryFormat("%d", v.xdots))                                        \
    X("$ydots$", EntryFormat("%d", v.ydots))                                        \
    X("$calctime$", CalcTimeText(v.calcMilliseconds))                          \
    X("$version$", std::string("4.0"))

struct CommentTag {
    const char* tag;
    std::string (*text)(const CommentTagValues& v);
};

#define TAG_ROW(tag, expression) {tag, [](const CommentTagValues& v) -> std::string { return expression; }},
const CommentTag kTags[] = {COMMENT_TAGS(TAG_ROW)};
#undef TAG_ROW

}  // namespace

std::string ExpandCommentTags(const std::string& line, const CommentTagValues& values)
{
    // One pass from left to right, so a replacement is never searched again.
    std::string out;
    size_t i = 0;
    while (i < line.size() && out.size() < COMMENT_LINE_MAX) {
        int found = -1;
        if (line[i] == '$') {
            for (int t = 0; t < (int)(sizeof kTags / sizeof kTags[0]); t++) {
                if (line.compare(i, strlen(kTags[t].tag), kTags[t].tag) == 0) {
                    found = t;
                    break;
                }
            }
        }
        if (found < 0) {
            out += line[i++];
            continue;
        }
        out += kTags[found].text(values);
        i += strlen(kTags[found].tag);
    }
    if (out.size() > COMMENT_LINE_MAX)
        out.resize(COMMENT_LINE_MAX);
    return out;
}

void WriteCommentText(TextWriter& writer, const char* comment, const CommentTagValues& values)
{
    const char* p = comment;
    while (p != NULL && *p != 0) {
        const char* end = strpbrk(p, "\r\n");
        std::string line = end ? std::string(p, end - p) : std::string(p);
        if (!line.empty())
            fprintf(writer.file, "                  ; %s\n", ExpandCommentTags(line, values).c_str());
        if (end == NULL)
            break;
        p = end + 1;
    }
}
