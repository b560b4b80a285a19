// Fetching one address over HTTP with WinINet into a file. Only a complete
// answer counts: a status of 2xx, a content length above zero and exactly
// that many bytes; anything else (or a stop request) removes the file.
#include <windows.h>
#include <wininet.h>
#include <stdio.h>

#include "formulas/convert/FormulaDownload.h"

int DownloadUrl(const char* address, const char* path, DownloadWindow* window)
{
    HINTERNET session = InternetOpenA("Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1)",
                                      INTERNET_OPEN_TYPE_PRECONFIG, NULL, NULL, 0);
    if (session == NULL)
        return 1;
    char proxyUser[1024];
    DWORD proxyUserSize = sizeof proxyUser;
    if (!InternetQueryOptionA(session, INTERNET_OPTION_PROXY_USERNAME, proxyUser, &proxyUserSize) &&
        GetLastError() != ERROR_INTERNET_INCORRECT_HANDLE_TYPE) {
        InternetCloseHandle(session);
        return 1;
    }
    HINTERNET request = InternetOpenUrlA(session, address, NULL, 0,
                                         INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_KEEP_CONNECTION |
                                             INTERNET_FLAG_NO_UI | INTERNET_FLAG_PRAGMA_NOCACHE,
                                         0);
    if (request == NULL) {
        InternetCloseHandle(session);
        return 1;
    }
    DWORD status = 0, length = 0, size = sizeof(DWORD), index = 0;
    bool answered = HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, &index);
    size = sizeof(DWORD);
    index = 0;
    bool hasLength =
        HttpQueryInfoA(request, HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &length, &size, &index);
    if (!answered || status < 200 || status > 299 || !hasLength || length == 0) {
        InternetCloseHandle(request);
        InternetCloseHandle(session);
        return 1;
    }
    FILE* out = fopen(path, "wb");
    if (out == NULL) {
        InternetCloseHandle(request);
        InternetCloseHandle(session);
        return 1;
    }
    bool failed = false;
    DWORD total = 0;
    char buffer[1024];
    for (;;) {
        if (window != NULL)
            window->SetProgress((int)((unsigned long long)total * 100 / length));
        if (DownloadCancel) {
            failed = true;
            break;
        }
        DWORD read = 0;
        if (!InternetReadFile(request, buffer, sizeof buffer, &read)) {
            failed = true;
            break;
        }
        if (read == 0)
            break;
        if (fwrite(buffer, 1, read, out) != read) {
            failed = true;
            break;
        }
        total += read;
    }
    if (fclose(out) != 0)
        failed = true;
    InternetCloseHandle(request);
    InternetCloseHandle(session);
    // A connection closed early delivers fewer bytes than announced.
    if (failed || total != length) {
        DeleteFileA(path);
        return 1;
    }
    return 0;
}
