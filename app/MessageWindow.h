// The Message Window as the application binds it to the message list's
// window services; the window itself is a tool window
// (toolwindows/MessageWindow.h).
#pragma once

#include "toolwindows/MessageWindow.h"
