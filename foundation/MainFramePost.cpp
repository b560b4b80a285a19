// Posting a message to the main frame window from any thread.
#include "foundation/MainFramePost.h"

#include "foundation/Services.h"

bool PostToMainFrame(UINT message, WPARAM wParam, LPARAM lParam)
{
    bool (*post)(UINT, WPARAM, LPARAM) = Services().postToMainFrame;
    return post != nullptr && post(message, wParam, lParam);
}
